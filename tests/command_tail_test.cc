// The command tail as the program forms it from its arguments.

#include "app/command_tail.h"

#include <gtest/gtest.h>

namespace app {
namespace {

// The tail, and the first argument as the runtime's splitter gives it.
TEST(CommandTailTest, CutsTheTailFromAWindowsCommandLine) {
  const struct {
    const char *line, *tail, *program;
  } cases[] = {
      {".\\setup.exe Blue", "Blue", ".\\setup.exe"},
      {"setup.exe", "", "setup.exe"},
      {"setup.exe   \t ", "", "setup.exe"},
      {"  \t setup.exe \t  My Skin ", "My Skin ", "setup.exe"},
      {"\"C:\\Program Files\\setup.exe\" Blue", "Blue",
       "C:\\Program Files\\setup.exe"},
      {"\"C:\\Program Files\\setup.exe\"Blue", "Blue",
       "C:\\Program Files\\setup.exe"},
      {"\"unterminated Blue", "", "unterminated Blue"},
      {"setup.exe \"Blue\"", "\"Blue\"", "setup.exe"},
      {"setup.exe\tBlue\tRed", "Blue\tRed", "setup.exe"},
      {"\"\" Blue", "Blue", ""},
      {"", "", ""},
      {"   ", "", ""},
      {"a\"b c", "c", "a\"b"},  // A quote inside the token starts no quote.
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CutCommandTail(c.line), c.tail) << "[" << c.line << "]";
    EXPECT_EQ(FirstArgument(c.line), c.program) << "[" << c.line << "]";
  }
  EXPECT_EQ(CutCommandTail(nullptr), "");
}

TEST(CommandTailTest, JoinsPosixArgumentsWithSingleBlanks) {
  const std::pair<std::vector<const char*>, const char*> cases[] = {
      {{"./setup", "Blue"}, "Blue"},
      {{"./setup"}, ""},
      {{"./setup", "My", "Skin"}, "My Skin"},
      {{"./setup", "My Skin "}, "My Skin "},  // A quoted argument keeps them.
      {{"./setup", " ", "\t"}, ""},
      {{"./setup", "\t Blue"}, "Blue"},
      {{"./setup", "", "Blue"}, "Blue"},
      {{"./setup", "\"Blue\""}, "\"Blue\""},
      {{"./setup", "/S", "/LOG=/tmp/my log", "My", "Skin"},
       "/S \"/LOG=/tmp/my log\" My Skin"},
      {{"./setup", "My", "/LOG=a b"}, "My /LOG=a b"},
      // A name that starts with a dash stays a name, but for "--help".
      {{"./setup", "--help"}, "/?"},
      {{"./setup", "-Blue"}, "-Blue"},
      {{"./setup", "/S", "--help"}, "/S --help"},
  };
  for (const auto& [argv, tail] : cases) {
    EXPECT_EQ(JoinArguments(static_cast<int>(argv.size()), argv.data()), tail);
  }
}

}  // namespace
}  // namespace app
