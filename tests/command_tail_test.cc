#include "app/command_tail.h"

#include <gtest/gtest.h>

namespace app {
namespace {

TEST(CommandTailTest, CutsTheTailFromAWindowsCommandLine) {
  struct Case {
    const char* line;
    const char* tail;
  } cases[] = {
      {".\\setup.exe Blue", "Blue"},
      {"setup.exe", ""},
      {"setup.exe   \t ", ""},
      {"  \t setup.exe \t  My Skin ", "My Skin "},
      {"\"C:\\Program Files\\setup.exe\" Blue", "Blue"},
      {"\"C:\\Program Files\\setup.exe\"Blue", "Blue"},
      {"\"unterminated Blue", ""},
      {"setup.exe \"Blue\"", "\"Blue\""},
      {"setup.exe\tBlue\tRed", "Blue\tRed"},
      {"\"\" Blue", "Blue"},
      {"", ""},
      {"   ", ""},
      {"a\"b c", "c"},  // A quote inside the token does not start a quote.
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CutCommandTail(c.line), c.tail) << "[" << c.line << "]";
  }
  EXPECT_EQ(CutCommandTail(nullptr), "");
}

TEST(CommandTailTest, JoinsPosixArgumentsWithSingleBlanks) {
  struct Case {
    std::vector<const char*> argv;
    const char* tail;
  } cases[] = {
      {{"./setup", "Blue"}, "Blue"},
      {{"./setup"}, ""},
      {{"./setup", "My", "Skin"}, "My Skin"},
      {{"./setup", "My Skin "}, "My Skin "},  // A quoted argument keeps them.
      {{"./setup", "  \t"}, ""},
      {{"./setup", " ", "\t"}, ""},
      {{"./setup", "\t Blue"}, "Blue"},
      {{"./setup", "", "Blue"}, "Blue"},
      {{"./setup", "\"Blue\""}, "\"Blue\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(JoinArguments(static_cast<int>(c.argv.size()), c.argv.data()),
              c.tail);
  }
}

}  // namespace
}  // namespace app
