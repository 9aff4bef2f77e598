// Windows' rules for names and paths, which every build can check.

#include "platform/win32_names.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(Win32NamesTest, EntryNamesAndAbsolutePaths) {
  for (const char* name : {"Blue", "My Skin ", "\"Blue\"", "..Blue",
                           "Blue.skin", "CONSOLE", "COM10"}) {
    EXPECT_TRUE(IsPlainWin32EntryName(name)) << name;
  }
  // A drive or stream, names that trailing dots and blanks reduce to
  // nothing, "." or "..", and devices with or without an extension.
  for (const char* name : {"C:Blue", "Blue:s", "..  ", ". .", "...", "", "CON",
                           "nul.txt", "Com1", "LPT9 .x", "AUX "}) {
    EXPECT_FALSE(IsPlainWin32EntryName(name)) << name;
  }
  for (const char* path : {"C:\\Apps", "d:/x", "C:", "\\\\srv\\share", "//s"}) {
    EXPECT_TRUE(IsAbsoluteWin32Path(path)) << path;
  }
  for (const char* path : {"", "Apps", "\\Apps", "/x", ".", "1:\\x"}) {
    EXPECT_FALSE(IsAbsoluteWin32Path(path)) << path;
  }
}

}  // namespace
}  // namespace platform
