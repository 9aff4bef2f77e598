// The command tail cut from a whole command line, the line's first
// argument, and the tail joined from an argument vector (command_tail.h).
// Pure: text in, text out.

#include "app/command_tail.h"

namespace app {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

const char* SkipBlanks(const char* at) {
  while (IsBlank(*at)) ++at;
  return at;
}

// Finds the program token after the leading blanks: from a double quote up
// to the next one or the end, otherwise up to a blank or tab. Sets `*begin`
// and `*end` to its text without the quotes, and returns where it ends.
const char* ProgramToken(const char* command_line, const char** begin,
                         const char** end) {
  const char* at = SkipBlanks(command_line);
  const bool quoted = *at == '"';
  if (quoted) ++at;
  *begin = at;
  while (*at != '\0' && (quoted ? *at != '"' : !IsBlank(*at))) ++at;
  *end = at;
  return quoted && *at == '"' ? at + 1 : at;
}

}  // namespace

std::string CutCommandTail(const char* command_line) {
  if (command_line == nullptr) return "";
  const char* begin;
  const char* end;
  return SkipBlanks(ProgramToken(command_line, &begin, &end));
}

std::string FirstArgument(const char* command_line) {
  if (command_line == nullptr) return "";
  const char* begin;
  const char* end;
  ProgramToken(command_line, &begin, &end);
  return std::string(begin, end);
}

std::string JoinArguments(int argc, const char* const* argv) {
  std::string tail;
  bool switches = true;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) tail += ' ';
    const std::string argument =
        i == 1 && std::string(argv[i]) == "--help" ? "/?" : argv[i];
    // The shell has taken a switch's quotes away; a switch with a blank in
    // its path gets them back, as a Windows command line would hold it.
    switches = switches && (argument.empty() || argument[0] == '/');
    if (switches && argument.find_first_of(" \t") != std::string::npos &&
        argument.find('"') == std::string::npos) {
      tail += '"' + argument + '"';
    } else {
      tail += argument;
    }
  }
  return SkipBlanks(tail.c_str());
}

}  // namespace app
