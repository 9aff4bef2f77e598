// Windows' rules for names and paths, which every build can check.

#include "platform/win32/win32_names.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(Win32NamesTest, AbsolutePaths) {
  for (const char* path :
       {"C:\\Apps", "d:/x", "C:\\", "\\\\srv\\share", "//s"}) {
    EXPECT_TRUE(IsAbsoluteWin32Path(path)) << path;
  }
  for (const char* path :
       {"", "Apps", "\\Apps", "/x", ".", "1:\\x", "C:", "C:Apps"}) {
    EXPECT_FALSE(IsAbsoluteWin32Path(path)) << path;
  }
}

// Where the free space is asked for, and the form of a path too long for
// the plain one.
TEST(Win32NamesTest, RootsAndLongForms) {
  const std::pair<const char*, const char*> roots[] = {
      {"D:\\Apps\\Skins", "D:\\"},
      {"\\\\srv\\share\\Q\\Skins", "\\\\srv\\share\\"},
      {"//srv/share/Q/Skins", "//srv/share\\"},
      {"\\\\srv\\share", "\\\\srv\\share\\"},
      {"\\\\?\\D:\\Q\\Skins", "\\\\?\\D:\\"},
      {"\\\\?\\UNC\\srv\\share\\Skins", "\\\\?\\UNC\\srv\\share\\"},
  };
  for (const auto& [path, root] : roots) EXPECT_EQ(Win32RootOf(path), root);
  const std::pair<const char*, const char*> forms[] = {
      {"D:\\Apps\\\\Skins\\My Skin \\a.bmp. ",
       "\\\\?\\D:\\Apps\\Skins\\My Skin \\a.bmp"},
      {"d:/a/./b/../c", "\\\\?\\d:\\a\\c"},
      {"\\\\srv\\share\\..\\x", "\\\\?\\UNC\\srv\\share\\x"},
      {"\\\\?\\D:\\a\\..", "\\\\?\\D:\\a\\.."},
      {"Apps\\x", "Apps\\x"},
  };
  for (const auto& [path, form] : forms) {
    EXPECT_EQ(ExtendedLengthPath(path), form);
  }
}

}  // namespace
}  // namespace platform
