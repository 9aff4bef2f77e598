// Runs the whole installer on a fake system whose package holds the input
// as its compatibility map, and checks the outcome against a second,
// simpler reading of the same map: the same failure code, or an accepted
// skin whose range 0 <= min <= max holds the client's revision.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "skinsetup/messages.h"
#include "tests/fake_platform.h"

namespace {

constexpr std::uint32_t kRevision = 5;

// The outcome: a fatal code of "Impossibile installare la skin" (5, 6, 7),
// 3 for a revision outside the range, or 0 for an accepted skin.
struct Outcome {
  int code = 0;
  std::int64_t min = -1;
  std::int64_t max = -1;
};

bool Blank(char c) { return c == ' ' || c == '\t'; }

// atoi with clamping, written as plainly as possible.
std::int64_t Number(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && std::strchr(" \t\n\v\f\r", text[i]) && text[i]) ++i;
  int sign = 1;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    sign = text[i] == '-' ? -1 : 1;
    ++i;
  }
  std::int64_t value = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    value = std::min<std::int64_t>(value * 10 + (text[i] - '0'), 1ll << 40);
    ++i;
  }
  value *= sign;
  return std::max<std::int64_t>(INT32_MIN,
                                std::min<std::int64_t>(INT32_MAX, value));
}

Outcome Expected(const std::string& file) {
  // Text mode: the file ends at 0x1A, CR LF reads as LF.
  std::string text = file.substr(0, file.find('\x1A'));
  std::string translated;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    translated += text[i];
  }
  // Lines of at most 511 characters, a line feed ending a line.
  std::vector<std::string> reads;
  std::string current;
  for (char c : translated) {
    current += c;
    if (c == '\n' || current.size() == 511) {
      reads.push_back(current);
      current.clear();
    }
  }
  if (!current.empty()) reads.push_back(current);

  Outcome outcome;
  for (std::string line : reads) {
    line = line.substr(0, line.find('\n'));
    line = line.substr(0, line.find('\0'));
    // The first word and what stands before it; the rest is not read.
    std::size_t start = 0;
    while (start < line.size() && Blank(line[start])) ++start;
    if (start == line.size()) continue;
    std::size_t stop = start;
    while (stop < line.size() && !Blank(line[stop])) ++stop;
    line.resize(stop);
    // "=" characters, a name, "=" characters, a value up to the next "=".
    std::size_t i = 0;
    while (i < line.size() && line[i] == '=') ++i;
    if (i == line.size()) return Outcome{5};
    std::string name;
    while (i < line.size() && line[i] != '=') name += line[i++];
    while (i < line.size() && line[i] == '=') ++i;
    if (i == line.size()) return Outcome{6};
    std::string value;
    while (i < line.size() && line[i] != '=') value += line[i++];
    if (name == "SKIN-COMPATIBILITY-MIN") outcome.min = Number(value);
    if (name == "SKIN-COMPATIBILITY-MAX") outcome.max = Number(value);
  }
  if (outcome.min < 0 || outcome.max < 0 || outcome.min > outcome.max) {
    outcome.code = 7;
  } else if (kRevision < outcome.min || kRevision > outcome.max) {
    outcome.code = 3;
  }
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string map(reinterpret_cast<const char*>(data), size);
  fake::FakePlatform os;
  os.AddDir("D:");
  os.InstallClient("D:\\Client", kRevision);
  os.AddDir("D:\\Client\\Skins");
  os.AddFile("C:\\Pkg\\cliver.map", map);
  os.stream_chunk = 1 + static_cast<long>(size % 7);  // Odd read sizes.
  const int status = fake::RunSetup(os, "Blue");

  const Outcome expected = Expected(map);
  std::string want = skinsetup::kSuccess;
  if (expected.code == 3) {
    want = skinsetup::FormatFailure(skinsetup::kIncompatible, 3);
  } else if (expected.code != 0) {
    want = skinsetup::FormatFailure(skinsetup::kCannotInstall, expected.code);
  }
  const std::string got = os.boxes.empty() ? "" : os.boxes.back().text;
  if (got != want || (status == 1) != (expected.code == 0)) std::abort();
  if (status == 1 &&
      !(0 <= expected.min && expected.min <= expected.max &&
        os.files["D:\\Client\\Skins\\Blue\\cliver.map"].content == map)) {
    std::abort();
  }
  return 0;
}
