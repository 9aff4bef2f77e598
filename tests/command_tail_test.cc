#include "app/command_tail.h"

#include <gtest/gtest.h>

namespace app {
namespace {

TEST(CommandTailTest, CutsTheTailFromAWindowsCommandLine) {
  const std::pair<const char*, const char*> cases[] = {
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
  for (const auto& [line, tail] : cases) {
    EXPECT_EQ(CutCommandTail(line), tail) << "[" << line << "]";
  }
  EXPECT_EQ(CutCommandTail(nullptr), "");
}

TEST(CommandTailTest, JoinsPosixArgumentsWithSingleBlanks) {
  const std::pair<std::vector<const char*>, const char*> cases[] = {
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
  for (const auto& [argv, tail] : cases) {
    EXPECT_EQ(JoinArguments(static_cast<int>(argv.size()), argv.data()), tail);
  }
}

}  // namespace
}  // namespace app
