#include "app/command_tail.h"

namespace app {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

const char* SkipBlanks(const char* at) {
  while (IsBlank(*at)) ++at;
  return at;
}

}  // namespace

std::string CutCommandTail(const char* command_line) {
  if (command_line == nullptr) return "";
  const char* at = SkipBlanks(command_line);
  if (*at == '"') {
    ++at;
    while (*at != '\0' && *at != '"') ++at;
    if (*at == '"') ++at;
  } else {
    while (*at != '\0' && !IsBlank(*at)) ++at;
  }
  return SkipBlanks(at);
}

std::string JoinArguments(int argc, const char* const* argv) {
  std::string tail;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) tail += ' ';
    tail += argv[i];
  }
  return SkipBlanks(tail.c_str());
}

}  // namespace app
