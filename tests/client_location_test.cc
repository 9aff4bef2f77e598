// Finding the client: the registry key and value, the Skins folder path,
// the root, and whether the Skins folder exists.

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace fake {
namespace {

using skinsetup::kCannotCreateSkins;
using skinsetup::kNotInstalled;

constexpr char kClientKey[] = "SOFTWARE\\QV CLIENT";

TEST_F(InstallerTest, MissingClientKeyIsCodeTwo) {
  os.registry.erase(Fold(kClientKey));
  ExpectFailure("Blue", kNotInstalled, 2);
  EXPECT_FALSE(Happened("QueryKeyValue"));
  EXPECT_EQ(os.boxes.size(), 1u);
}

TEST_F(InstallerTest, MissingInstallDirectoryIsCodeOneBoxedBeforeTheKeyCloses) {
  os.registry[Fold(kClientKey)].erase(Fold("Install Directory"));
  ExpectFailure("Blue", kNotInstalled, 1);
  const std::vector<std::string> tail(os.events.end() - 3, os.events.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"Box Quintavo Skins Installer: " +
                                                Failure(kNotInstalled, 1),
                                            "CloseKey", "Exit 0"}));
}

TEST_F(InstallerTest, InstallDirectoryThatDoesNotFitIsCodeOne) {
  // 256 bytes with no terminating zero, and 257 with one.
  os.SetValue(kClientKey, "Install Directory",
              std::vector<unsigned char>(256, 'x'));
  ExpectFailure("Blue", kNotInstalled, 1);

  os.SetText(kClientKey, "Install Directory", std::string(256, 'x'));
  os.boxes.clear();
  ExpectFailure("Blue", kNotInstalled, 1);
  EXPECT_EQ(os.open_keys, 0);
}

TEST_F(InstallerTest, InstallDirectoryThatNamesNoOnePlaceIsCodeOne) {
  // Empty, relative, or on the current drive: the skins would land at the
  // root of a drive or inside the package.
  for (const char* dir : {"", "Apps\\Client", "\\Apps\\Client", "."}) {
    SCOPED_TRACE(dir);
    os = Installation().os;
    os.SetText(kClientKey, "Install Directory", dir);
    ExpectFailure("Blue", kNotInstalled, 1);
    EXPECT_EQ(os.open_keys, 0);
    EXPECT_TRUE(os.free_space_roots.empty());
  }
  // A network path names one place.
  os = Installation().os;
  os.SetText(kClientKey, "Install Directory", "\\\\srv\\share");
  os.AddDir("\\\\srv\\share");
  EXPECT_EQ(RunSetup(os, "Blue"), 1);
}

TEST_F(InstallerTest, InstallDirectoryOf255CharactersIsRead) {
  const std::string dir = "D:\\" + std::string(252, 'x');
  os.SetText(kClientKey, "Install Directory", dir);
  os.AddDir(dir);
  EXPECT_EQ(RunSetup(os, "Blue"), 1);
  EXPECT_TRUE(os.HasFile(dir + "\\Skins\\Blue\\a.bmp"));
}

TEST_F(InstallerTest, ValueWithoutTerminatorShorterThanTheBufferIsRead) {
  const std::string dir = "D:\\Bin";
  os.SetValue(kClientKey, "Install Directory",
              std::vector<unsigned char>(dir.begin(), dir.end()));
  os.AddDir(dir);
  EXPECT_EQ(RunSetup(os, "Blue"), 1);
  EXPECT_TRUE(os.HasFile("D:\\Bin\\Skins\\Blue\\a.bmp"));
}

TEST_F(InstallerTest, SkinsFolderAndRootComeFromTheInstallDirectory) {
  struct Case {
    const char* stored;
    const char* root;
  } cases[] = {
      {"D:\\Apps\\Client", "D:\\"},
      {"D:\\Apps\\Client\\", "D:\\"},  // Two separators before Skins.
      {"\\\\server\\share\\Client", "\\\\s"},
      {"D:", "D:\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    os.SetText(kClientKey, "Install Directory", c.stored);
    os.free_space_roots.clear();
    os.events.clear();
    RunSetup(os, "Blue");
    ASSERT_EQ(os.free_space_roots.size(), 1u);
    EXPECT_EQ(os.free_space_roots[0], c.root);
    EXPECT_TRUE(Happened("Access " + std::string(c.stored) + "\\Skins"));
  }
}

TEST_F(InstallerTest, KeyPathAndAccessAreTheClients) {
  RunSetup(os, "Blue");
  ASSERT_FALSE(os.opened_keys.empty());
  EXPECT_EQ(os.opened_keys[0], "SOFTWARE\\QV CLIENT");
  EXPECT_EQ(os.opened_keys[1], "SOFTWARE\\QV CLIENT\\NEWREVISION");
}

TEST_F(InstallerTest, MissingSkinsFolderIsCreatedAfterTheMapAcceptsTheSkin) {
  os.dirs.erase(kSkins);
  EXPECT_EQ(RunSetup(os, "Blue"), 1);
  EXPECT_EQ(os.made_dirs.front(), kSkins);
  EXPECT_TRUE(os.HasFile(std::string(kSkin) + "\\cliver.map"));
}

TEST_F(InstallerTest, SkinsFolderIsNotCreatedForARefusedSkin) {
  os.dirs.erase(kSkins);
  os.SetDword("SOFTWARE\\QV CLIENT\\NEWREVISION", "SKIN-COMPATIBILITY", 9);
  ExpectFailure("Blue", skinsetup::kIncompatible, 3);
  EXPECT_TRUE(os.made_dirs.empty());
}

TEST_F(InstallerTest, SkinsFolderThatCannotBeCreatedEndsTheRun) {
  os.dirs.erase(kSkins);
  os.dirs.erase(kClient);  // Its parent is gone too.
  ExpectFailure("Blue", kCannotCreateSkins, 1);
}

TEST_F(InstallerTest, SkinsFolderMadeMeanwhileByAnotherInstallerIsUsed) {
  os.dirs.erase(kSkins);
  // Missing when the run looks, there when it comes to make it.
  os.AddDir(kSkins);
  os.FailCall("Stat", 1);
  os.FailCall("MakeDir", 1);
  EXPECT_EQ(RunSetup(os, "Blue"), 1);
  EXPECT_TRUE(Happened("MakeDir " + std::string(kSkins)));
}

TEST_F(InstallerTest, CreatedSkinsFolderStaysWhenALaterPhaseFails) {
  os.dirs.erase(kSkins);
  os.total_free = 1;
  ExpectFailure("Blue", skinsetup::kNoSpace, 1);
  EXPECT_TRUE(os.HasDir(kSkins));
}

TEST_F(InstallerTest, FileNamedSkinsCountsAsAnExistingFolder) {
  os.dirs.erase(kSkins);
  os.AddFile(kSkins, "not a folder");
  ExpectFailure("Blue", skinsetup::kCannotCopy, 1);
  EXPECT_TRUE(os.made_dirs.empty());
  EXPECT_EQ(os.files[kSkins].content, "not a folder");
}

}  // namespace
}  // namespace fake
