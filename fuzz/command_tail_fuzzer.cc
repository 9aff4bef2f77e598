// Cuts the command tail from the input as a Windows command line, and joins
// the input, split at its zero bytes, as a POSIX argument vector; checks
// both against plainer readings of the same rules.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/command_tail.h"

namespace {

bool Blank(char c) { return c == ' ' || c == '\t'; }

std::string TrimLeft(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && Blank(text[i])) ++i;
  return text.substr(i);
}

// The tail, by the rule read once more: drop the leading blanks, then the
// program token, then the blanks after it.
std::string ExpectedTail(const std::string& line) {
  std::string rest = TrimLeft(line);
  if (!rest.empty() && rest[0] == '"') {
    const std::size_t close = rest.find('"', 1);
    rest = close == std::string::npos ? "" : rest.substr(close + 1);
  } else {
    std::size_t i = 0;
    while (i < rest.size() && !Blank(rest[i])) ++i;
    rest = rest.substr(i);
  }
  return TrimLeft(rest);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  // A command line ends at its first zero byte.
  const std::string line = input.substr(0, input.find('\0'));
  const std::string tail = app::CutCommandTail(line.c_str());
  if (tail != ExpectedTail(line)) std::abort();
  if (line.size() < tail.size() ||
      line.compare(line.size() - tail.size(), tail.size(), tail) != 0) {
    std::abort();
  }

  std::vector<std::string> arguments = {"./setup"};
  std::size_t start = 0;
  while (start <= input.size()) {
    std::size_t end = input.find('\0', start);
    if (end == std::string::npos) end = input.size();
    arguments.push_back(input.substr(start, end - start));
    start = end + 1;
  }
  std::vector<const char*> argv;
  std::string joined;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    argv.push_back(arguments[i].c_str());
    if (i > 1) joined += ' ';
    if (i > 0) joined += arguments[i];
  }
  const std::string posix =
      app::JoinArguments(static_cast<int>(argv.size()), argv.data());
  if (posix != TrimLeft(joined)) std::abort();
  return 0;
}
