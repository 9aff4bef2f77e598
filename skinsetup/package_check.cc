#include "skinsetup/package_check.h"

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "skinsetup/kept_files.h"
#include "skinsetup/map_parser.h"
#include "skinsetup/messages.h"
#include "skinsetup/name_case.h"
#include "skinsetup/scan.h"
#include "skinsetup/session.h"
#include "skinsetup/skin_name.h"
#include "skinsetup/text_reader.h"

namespace skinsetup {
namespace {

// The longest name Windows takes, in UTF-16 units.
constexpr std::size_t kLongestName = 255;
// How many problems the box shows; the log has them all.
constexpr std::size_t kShownProblems = 15;

using Problems = std::vector<std::string>;

void Add(Problems* problems, const std::string& where, const char* text) {
  problems->push_back(where + ": " + Utf8FromCatalogue(text));
}

std::string AtMapLine(int line) {
  return std::string(kMapName) + ", " + Utf8FromCatalogue(kCheckMapLine) + ' ' +
         std::to_string(line);
}

// The UTF-8 text's code points, each given to `action`; a byte that starts
// no sequence counts as one.
template <typename Action>
void ForEachCodePoint(const std::string& text, Action action) {
  for (std::size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const int length = lead >= 0xF0   ? 4
                       : lead >= 0xE0 ? 3
                       : lead >= 0xC0 ? 2
                                      : 1;
    char32_t point = length == 1 ? lead : lead & (0x3F >> (length - 1));
    for (int i = 1; i < length && at + i < text.size(); ++i) {
      point = point << 6 | (static_cast<unsigned char>(text[at + i]) & 0x3F);
    }
    action(point);
    at += length;
  }
}

// The name's length as Windows counts it, in UTF-16 units.
std::size_t Utf16Length(const std::string& name) {
  std::size_t length = 0;
  ForEachCodePoint(name,
                   [&](char32_t point) { length += point >= 0x10000 ? 2 : 1; });
  return length;
}

// Reads the whole file: its size, or -1 when it cannot be read; `*hex` is
// the SHA-256 of its bytes, left empty where the system cannot compute it.
long long ReadAll(platform::Platform& os, platform::Stream stream,
                  std::string* hex) {
  platform::Digest digest = os.OpenDigest();
  bool digested = digest != nullptr;
  char buffer[4096];
  long long total = 0;
  long count;
  while ((count = os.ReadStream(stream, buffer, sizeof buffer)) > 0) {
    total += count;
    digested = digested && os.AddToDigest(digest, buffer, count);
  }
  if (digest != nullptr) *hex = os.FinishDigest(digest);
  if (!digested) hex->clear();
  return count == 0 ? total : -1;
}

// The file's line of the fingerprint, as sha256sum prints it (a valid
// package's names hold no line feed or backslash, which it would escape).
std::string DigestLine(const std::string& name, const std::string& hex) {
  return hex + "  " + name;
}

// The package's fingerprint: the SHA-256 of the lines of its files, each
// ended by a line feed, in the order of the names' bytes (a std::map of
// std::string compares them as unsigned bytes), which on Windows is the
// order of UTF-8. A deployment tool's script recomputes it over the
// installed skin with its own tools. "" where the system cannot compute a
// digest.
std::string Fingerprint(platform::Platform& os,
                        const std::map<std::string, std::string>& digests) {
  std::string lines;
  for (const auto& [name, hex] : digests) {
    if (hex.empty()) return "";
    lines += DigestLine(name, hex) + '\n';
  }
  platform::Digest digest = os.OpenDigest();
  if (digest == nullptr) return "";
  const bool added =
      os.AddToDigest(digest, lines.data(), static_cast<long>(lines.size()));
  const std::string hex = os.FinishDigest(digest);
  return added ? hex : "";
}

// A NUL or a Ctrl-Z ends what the installation reads of the map: a
// problem where anything follows it.
void CheckMapEnd(platform::Platform& os, const std::string& path,
                 Problems* problems) {
  platform::Stream stream = os.OpenStream(path);
  if (stream == nullptr) return;
  char buffer[4096];
  int line = 1;
  int stop = 0;
  bool after = false;
  for (long count;
       !after && (count = os.ReadStream(stream, buffer, sizeof buffer)) > 0;) {
    for (long i = 0; i < count && !after; ++i) {
      after = stop != 0;
      if (buffer[i] == '\0' || buffer[i] == '\x1A') {
        if (stop == 0) stop = line;
      } else if (buffer[i] == '\n') {
        ++line;
      }
    }
  }
  os.CloseStream(stream);
  if (after) Add(problems, AtMapLine(stop), kCheckStop);
}

// The map's lines as the installation reads them: each problem with its
// line, and the range.
void CheckMapLines(platform::Platform& os, const std::string& path,
                   Problems* problems) {
  platform::Stream stream = os.OpenStream(path);
  if (stream == nullptr) return;
  TextReader reader([&os, stream](char* buffer, long size) {
    return os.ReadStream(stream, buffer, size);
  });
  std::int32_t min = -1;
  std::int32_t max = -1;
  int line = 1;
  bool in_long_line = false;
  // The reading stops at the end, or where the stream fails.
  for (;;) {
    // A filler that no terminating zero is: the piece read ends at the
    // last byte before it. A piece read holds at least one byte, so the
    // zero is never the first.
    char piece[kMapLineSize];
    std::memset(piece, '\xFF', sizeof piece);
    if (!reader.GetLine(piece, sizeof piece)) break;
    int length = kMapLineSize - 1;
    while (piece[length] == '\xFF') --length;
    const bool ends = piece[length - 1] == '\n';
    if (!ends && !reader.AtEnd() && !in_long_line) {
      Add(problems, AtMapLine(line), kCheckLongLine);
    }
    in_long_line = !ends;
    // As the installation parses it: up to its first line feed or zero.
    char* feed = std::strchr(piece, '\n');
    if (feed != nullptr) *feed = '\0';
    const MapLine parsed = ParseMapLine(piece);
    if (parsed.kind == MapLine::kNoName) {
      Add(problems, AtMapLine(line), kCheckNoName);
    } else if (parsed.kind == MapLine::kNoValue) {
      Add(problems, AtMapLine(line), kCheckNoValue);
    } else if (parsed.name == kMinName) {
      min = ParseInteger(parsed.value);
    } else if (parsed.name == kMaxName) {
      max = ParseInteger(parsed.value);
    }
    if (ends) ++line;
  }
  os.CloseStream(stream);
  if (!IsValidRange(min, max)) Add(problems, kMapName, kCheckNoRange);
}

}  // namespace

int CheckPackage(platform::Platform& os, SkinSetupRun& run) {
  Problems problems;
  if (!run.szSkinName.empty() && !IsAcceptableSkinName(run.szSkinName)) {
    Add(&problems, Utf8FromCatalogue(kCheckSkinName) + ' ' + run.szSkinName,
        kCheckBadName);
  }
  run.szCurDir = os.CurrentDirectory();
  std::vector<std::string> names;
  if (!ListPackage(os, run, &names)) {
    Add(&problems, run.szCurDir, kCheckUnreadable);
  }
  std::map<std::u16string, std::string> seen;
  std::map<std::string, std::string> digests;  // Of each file, by name.
  bool map_found = false;
  long long total = 0;
  for (const std::string& name : names) {
    if (!IsStorableName(name)) Add(&problems, name, kCheckBadName);
    if (Utf16Length(name) > kLongestName) Add(&problems, name, kCheckLongName);
    const auto [first, fresh] = seen.emplace(NameWithCaseFolded(name), name);
    if (!fresh) {
      problems.push_back(name + ": " + Utf8FromCatalogue(kCheckSameName) + ' ' +
                         first->second);
    }
    const std::string path = InFolder(os, run.szCurDir, name);
    if (os.QueryEntry(path) == platform::EntryType::kFolder) {
      Add(&problems, name, kCheckFolder);
      continue;
    }
    platform::Stream stream = os.OpenStream(path);
    if (stream == nullptr) {
      Add(&problems, name, kCheckNotFile);
      continue;
    }
    const long long size = ReadAll(os, stream, &digests[name]);
    os.CloseStream(stream);
    if (size < 0) {
      Add(&problems, name, kCheckUnreadable);
      continue;
    }
    total += size;
    if (name == kMapName) {
      map_found = true;
      CheckMapEnd(os, path, &problems);
      CheckMapLines(os, path, &problems);
    }
  }
  if (!map_found) problems.push_back(Utf8FromCatalogue(kCheckNoMap));
  const std::string fingerprint =
      problems.empty() ? Fingerprint(os, digests) : "";
  if (problems.empty() && fingerprint.empty()) {
    problems.push_back(Utf8FromCatalogue(kCheckFingerprint) + ' ' +
                       Utf8FromCatalogue(kCheckNoFingerprint));
  }

  for (const std::string& problem : problems) {
    LogStep(os, run, kLogProblem, problem);
  }
  // The log lists the files the fingerprint covers, for the author to copy
  // into a deployment tool's script, in the fingerprint's order.
  if (problems.empty()) {
    for (const auto& [name, hex] : digests) {
      LogStep(os, run, kLogFingerprintFile, DigestLine(name, hex));
    }
  }
  std::string text = Utf8FromCatalogue(kCheckValid) + '\n' +
                     Utf8FromCatalogue(kLogPackage) + ' ' +
                     std::to_string(total) + '\n' +
                     Utf8FromCatalogue(kCheckFingerprint) + ' ' + fingerprint;
  if (!problems.empty()) {
    text = Utf8FromCatalogue(kCheckProblems);
    for (std::size_t i = 0; i < problems.size() && i < kShownProblems; ++i) {
      text += '\n' + problems[i];
    }
    if (problems.size() > kShownProblems) {
      text += '\n' + Utf8FromCatalogue(kCheckMore) + ' ' +
              std::to_string(problems.size() - kShownProblems);
    }
  }
  const int answer =
      ShowSystemText(os, run, text, kProgramTitle, platform::kBoxOk);
  const bool silent = run.switches.bSilent;
  return Finish(os, run, text.substr(0, text.find('\n')),
                problems.empty() ? (silent ? kExitInstalled : answer)
                                 : (silent ? kExitFailed : 0));
}

}  // namespace skinsetup
