// The run as a whole: the skin name, the invocation name, the order of the
// phases and the exit status.

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace fake {
namespace {

using skinsetup::kCannotInstall;
using skinsetup::kProgramTitle;
using skinsetup::kSuccess;

TEST_F(InstallerTest, EmptySkinNameFailsBeforeAnyRegistryAccess) {
  ExpectFailure("", kCannotInstall, 0);
  EXPECT_EQ(os.boxes.size(), 1u);
  EXPECT_TRUE(os.opened_keys.empty());
  EXPECT_EQ(os.events, (std::vector<std::string>{
                           "Box Quintavo Skins Installer: Impossibile "
                           "installare la skin CODICE ERRORE:0",
                           "Exit 0"}));
}

TEST_F(InstallerTest, NamesThatLeaveTheSkinsFolderAreRefusedAtTheStart) {
  const char* names[] = {"..", ".", "a\\b", "..\\x", "a/b", "/", "\\", "C:Blue",
                         "Blue:s", "..  ", ". .", "...", "CON", "nul.txt",
                         "Com1", "LPT9 .x",
                         // The installer's own names in the Skins folder.
                         ".skinsetup-lock", ".SkinSetup-Kept"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    os = Installation().os;
    ExpectFailure(name, kCannotInstall, 0);
    EXPECT_EQ(os.boxes.size(), 1u);
    EXPECT_TRUE(os.opened_keys.empty());
    EXPECT_TRUE(os.made_dirs.empty());
    EXPECT_TRUE(os.copies.empty());
  }
}

TEST_F(InstallerTest, OtherNamesKeepBlanksAndQuotes) {
  for (const char* name :
       {"My Skin ", "\"Blue\"", "Blue.skin", "CONSOLE", "COM10", "..Blue"}) {
    SCOPED_TRACE(name);
    os = Installation().os;
    EXPECT_EQ(RunSetup(os, name), 1);
    EXPECT_TRUE(os.HasFile(std::string(kSkins) + "\\" + name + "\\cliver.map"));
  }
}

TEST_F(InstallerTest, SuccessfulRunEndsWithTheSuccessBoxAndItsResult) {
  EXPECT_EQ(RunSetup(os, "Blue"), 1);
  EXPECT_EQ(os.boxes,
            (std::vector<Box>{{kSuccess, kProgramTitle, platform::kBoxOk}}));
  EXPECT_EQ(os.events.back(),
            "Box Quintavo Skins Installer: " + std::string(kSuccess));
  EXPECT_EQ(os.open_keys + os.open_listings + os.open_files + os.open_streams,
            0);
}

TEST_F(InstallerTest, SuccessBoxThatCannotBeShownGivesStatusZero) {
  os.ok_result = 0;
  EXPECT_EQ(RunSetup(os, "Blue"), 0);
  EXPECT_TRUE(os.HasFile(std::string(kSkin) + "\\a.bmp"));
}

TEST_F(InstallerTest, PhasesRunInTheirFixedOrder) {
  RunSetup(os, "Blue");
  std::vector<std::string> milestones;
  for (const std::string& event : os.events) {
    for (const char* prefix :
         {"OpenUserKey SOFTWARE\\QV CLIENT", "QueryVersion", "Access ",
          "OpenListing C:\\Pkg\\*", "OpenStream",
          "Stat D:\\Apps\\Client\\Skins\\Blue", "Copy"}) {
      if (event.compare(0, std::string(prefix).size(), prefix) == 0) {
        milestones.push_back(prefix);
        break;
      }
    }
  }
  milestones.erase(std::unique(milestones.begin(), milestones.end()),
                   milestones.end());
  EXPECT_EQ(milestones, (std::vector<std::string>{
                            "OpenUserKey SOFTWARE\\QV CLIENT", "QueryVersion",
                            "Access ", "OpenListing C:\\Pkg\\*", "OpenStream",
                            "OpenUserKey SOFTWARE\\QV CLIENT",
                            "Stat D:\\Apps\\Client\\Skins\\Blue",
                            "OpenListing C:\\Pkg\\*", "Copy"}));
}

// Which package file the installer takes for itself depends only on the
// name it was started under.
TEST_F(InstallerTest, InstallerRecognisesItsOwnFileOnlyAsDotBackslashName) {
  struct Case {
    const char* invocation;
    bool skipped;
  } cases[] = {
      {".\\setup.exe", true},
      {".\\setup", true},
      {"C:\\Pkg\\setup.exe", false},
      {"setup", false},
      {"setup.exe", false},
      {".\\SETUP.EXE", false},  // Gets ".exe" appended: ".\SETUP.EXE.exe".
      {"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.invocation);
    os = Installation().os;
    os.invocation_name = c.invocation;
    EXPECT_EQ(RunSetup(os, "Blue"), 1);
    EXPECT_EQ(os.HasFile(std::string(kSkin) + "\\setup.exe"), !c.skipped);
  }
}

TEST_F(InstallerTest, UpperCaseFileIsNotTheInstallerStartedInLowerCase) {
  os.files.erase("C:\\Pkg\\setup.exe");
  os.AddFile("C:\\Pkg\\SETUP.EXE", "MZ");
  EXPECT_EQ(RunSetup(os, "Blue"), 1);
  EXPECT_TRUE(os.HasFile(std::string(kSkin) + "\\SETUP.EXE"));
}

}  // namespace
}  // namespace fake
