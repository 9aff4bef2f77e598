// Windows' rules for names and paths, which every build can check.

#include "platform/win32/win32_names.h"

#include <gtest/gtest.h>

#include <vector>

namespace platform {
namespace {

// Only a reparse point that stands for another name is a link.
TEST(Win32NamesTest, LinksAreNameSurrogateTags) {
  for (unsigned long tag : {0xA000000Cul, 0xA0000003ul, 0xA000001Dul}) {
    EXPECT_TRUE(IsNameSurrogateTag(tag)) << std::hex << tag;
  }
  // A cloud placeholder (OneDrive), deduplication, an app execution alias.
  for (unsigned long tag : {0x9000701Aul, 0x80000013ul, 0x8000001Bul}) {
    EXPECT_FALSE(IsNameSurrogateTag(tag)) << std::hex << tag;
  }
}

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

// Where the free space of a missing Skins folder is asked for: the folders
// above it up to the root of its drive or share; and the form of a path
// too long for the plain one.
TEST(Win32NamesTest, FreeSpaceFoldersAndLongForms) {
  const std::vector<std::vector<const char*>> walks = {
      {"D:\\Apps\\Client\\Skins", "D:\\Apps\\Client\\", "D:\\Apps\\", "D:\\"},
      {"E:\\\\Skins", "E:\\\\", "E:\\"},
      {"\\\\srv\\share\\Q\\Skins", "\\\\srv\\share\\Q\\", "\\\\srv\\share\\"},
      {"//srv/share/Skins", "//srv/share\\"},
      {"\\\\?\\D:\\Q\\Skins", "\\\\?\\D:\\Q\\", "\\\\?\\D:\\"},
      {"\\\\?\\UNC\\srv\\share\\Skins", "\\\\?\\UNC\\srv\\share\\"},
  };
  for (const auto& walk : walks) {
    std::string folder = Win32ParentFolder(walk[0]);
    for (std::size_t step = 1; step < walk.size(); ++step) {
      EXPECT_EQ(folder, walk[step]) << walk[0];
      folder = Win32ParentFolder(folder);
    }
    EXPECT_EQ(Win32ParentFolder(walk.back()), walk.back());
  }
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
