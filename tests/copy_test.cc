// The copy: the space check, the overwrite question, the copies, and a
// failed run that leaves the skin folder as it was.

#include <gtest/gtest.h>

#include "skinsetup/kept_files.h"
#include "tests/test_support.h"

namespace fake {
namespace {

using skinsetup::kAlreadyPresent;
using skinsetup::kCannotCopy;
using skinsetup::kNoSpace;
using skinsetup::kProgramTitle;
using skinsetup::kSuccess;

const Box kQuestion{kAlreadyPresent, kProgramTitle, platform::kBoxYesNo};
const Box kSuccessBox{kSuccess, kProgramTitle, platform::kBoxOk};
const Box kDeleteBox{"D:\\Apps\\Client\\Skins\\Blue\\*", " delete file dir",
                     platform::kBoxOk};
const Box kCopyErrorBox{"Accesso negato.\r\n", "Quintavo",
                        platform::kBoxOkInformation};
const Box kCopyFailure{"Impossibile copiare i files su disco CODICE ERRORE:1",
                       kProgramTitle, platform::kBoxOk};

using CopyTest = InstallerTest;

TEST_F(CopyTest, FreshInstallCopiesEveryPackageFileButTheInstaller) {
  EXPECT_EQ(RunSetup(os, "Blue"), 1);
  EXPECT_EQ(os.boxes, std::vector<Box>{kSuccessBox});
  EXPECT_EQ(os.Tree(kSkin),
            (std::map<std::string, std::string>{
                {kSkin, "<dir>"},
                {InSkin("a.bmp"), "aaaa@1"},
                {InSkin("b.bmp"), "bb@1"},
                {InSkin("cliver.map"),
                 "SKIN-COMPATIBILITY-MIN=3\nSKIN-COMPATIBILITY-MAX=7\n@1"}}));
  // The copies replace, in listing order, "." and ".." left out.
  EXPECT_EQ(os.copies.size(), 3u);
  EXPECT_EQ(os.copies[0],
            std::make_pair(std::string("C:\\Pkg\\a.bmp"), InSkin("a.bmp")));
}

TEST_F(CopyTest, SkinsFolderIsLockedFromTheQuestionToTheSuccessBox) {
  InstallEarlierSkin();
  os.yes_no_answers = {platform::kIdYes};
  EXPECT_EQ(RunSetup(os, "Blue"), 1);
  auto at = [&](const std::string& prefix) {
    for (std::size_t i = 0; i < os.events.size(); ++i) {
      if (os.events[i].rfind(prefix, 0) == 0) return i;
    }
    return os.events.size();
  };
  EXPECT_LT(at("Lock D:\\Apps\\Client\\Skins"),
            at("Stat D:\\Apps\\Client\\Skins\\Blue"));
  EXPECT_LT(at("Copy"), at("Unlock"));
  EXPECT_EQ(at("Unlock") + 1, at("Box Quintavo Skins Installer: Install"));
  EXPECT_EQ(os.held_locks, 0);
}

TEST_F(CopyTest, RunGoesOnWhereNoLockCanBeTaken) {
  os.fail_lock = true;
  EXPECT_EQ(RunSetup(os, "Blue"), 1);
  EXPECT_TRUE(os.HasFile(InSkin("a.bmp")));
}

TEST_F(CopyTest, SpaceCheckPassesAtEqualityAndFailsOneByteShort) {
  // The package needs 4 + 2 + 50 bytes.
  os.total_free = 56;
  EXPECT_EQ(RunSetup(os, "Blue"), 1);

  Installation fresh;
  fresh.os.total_free = 55;
  fresh.ExpectFailure("Blue", kNoSpace, 1);
  EXPECT_TRUE(fresh.os.copies.empty());
  EXPECT_FALSE(fresh.os.HasDir(kSkin));
}

TEST_F(CopyTest, ReinstallAnsweredNoChangesNothingAndShowsNothingMore) {
  InstallEarlierSkin();
  const auto before = os.Tree(kSkins);
  os.yes_no_answers = {platform::kIdNo};
  EXPECT_EQ(RunSetup(os, "Blue"), 0);
  EXPECT_EQ(os.boxes, std::vector<Box>{kQuestion});
  EXPECT_EQ(os.Tree(kSkins), before);
  EXPECT_FALSE(Happened("MakeDir"));
}

TEST_F(CopyTest, ReinstallAnsweredYesReplacesPackageFilesAndKeepsOthers) {
  InstallEarlierSkin();
  os.yes_no_answers = {platform::kIdYes};
  EXPECT_EQ(RunSetup(os, "Blue"), 1);
  EXPECT_EQ(os.boxes, (std::vector<Box>{kQuestion, kSuccessBox}));
  EXPECT_EQ(os.files[InSkin("a.bmp")].content, "aaaa");
  EXPECT_EQ(os.files[InSkin("notes.txt")].content, "mine");
  // Nothing of the kept earlier files remains.
  EXPECT_FALSE(os.HasDir(InSkin(skinsetup::KeptFolderName(0))));
  EXPECT_FALSE(os.HasFile(InSkin(skinsetup::KeptFolderName(0) + "\\a.bmp")));
}

TEST_F(CopyTest, AnyAnswerButNoGoesOn) {
  InstallEarlierSkin();
  os.yes_no_answers = {0};  // The box could not be shown.
  EXPECT_EQ(RunSetup(os, "Blue"), 1);
}

TEST_F(CopyTest, FileStandingAsTheSkinFolderIsAskedAbout) {
  os.AddFile(kSkin, "a file");
  os.yes_no_answers = {platform::kIdYes};
  EXPECT_EQ(RunSetup(os, "Blue"), 0);
  EXPECT_EQ(os.boxes.front(), kQuestion);
  EXPECT_EQ(os.boxes.back(), kCopyFailure);
  EXPECT_EQ(os.files[kSkin].content, "a file");
}

// A copy failing at each position of the package, on a first installation
// and on a reinstall, leaves the Skins folder exactly as it was.
TEST_F(CopyTest, FailedCopyAtAnyPositionLeavesTheSkinFolderAsItWas) {
  const std::vector<std::string> names = {"a.bmp", "b.bmp", "c.bmp",
                                          "cliver.map", "d.bmp"};
  for (bool reinstall : {false, true}) {
    for (std::size_t k = 0; k < names.size(); ++k) {
      SCOPED_TRACE(testing::Message() << reinstall << " " << names[k]);
      Installation test;
      FakePlatform& fake = test.os;
      fake.AddFile("C:\\Pkg\\c.bmp", "cc");
      fake.AddFile("C:\\Pkg\\d.bmp", "dd");
      if (reinstall) {
        test.InstallEarlierSkin();
        fake.AddFile(test.InSkin("c.bmp"), "old c", 9);
        fake.yes_no_answers = {platform::kIdYes};
      }
      const auto before = fake.Tree(kSkins);
      fake.fail_copy_to.insert(test.InSkin(names[k]));

      EXPECT_EQ(RunSetup(fake, "Blue"), 0);
      EXPECT_EQ(fake.Tree(kSkins), before);
      // Every other file was still copied.
      EXPECT_EQ(fake.copies.size(), names.size() - 1);
      std::vector<Box> expected = {kCopyErrorBox, kDeleteBox, kCopyFailure};
      if (reinstall) expected.insert(expected.begin(), kQuestion);
      EXPECT_EQ(fake.boxes, expected);
      EXPECT_EQ(fake.HasDir(kSkin), reinstall);
    }
  }
}

TEST_F(CopyTest, EveryFailedCopyHasItsBoxAndOneRollbackFollows) {
  os.fail_copy_to = {InSkin("a.bmp"), InSkin("b.bmp")};
  EXPECT_EQ(RunSetup(os, "Blue"), 0);
  EXPECT_EQ(os.boxes, (std::vector<Box>{kCopyErrorBox, kCopyErrorBox,
                                        kDeleteBox, kCopyFailure}));
}

TEST_F(CopyTest, FolderInPlaceOfAPackageFileFailsAndStays) {
  InstallEarlierSkin();
  os.AddDir(InSkin("b.bmp"));
  os.yes_no_answers = {platform::kIdYes};
  const auto before = os.Tree(kSkins);
  EXPECT_EQ(RunSetup(os, "Blue"), 0);
  EXPECT_EQ(os.Tree(kSkins), before);
  EXPECT_EQ(os.boxes[1], kCopyErrorBox);
}

TEST_F(CopyTest, EarlierFileThatCannotBeKeptIsNotOverwritten) {
  InstallEarlierSkin();
  os.fail_rename_to.insert(InSkin(skinsetup::KeptFolderName(0) + "\\a.bmp"));
  os.yes_no_answers = {platform::kIdYes};
  const auto before = os.Tree(kSkins);
  EXPECT_EQ(RunSetup(os, "Blue"), 0);
  EXPECT_EQ(os.Tree(kSkins), before);
  EXPECT_FALSE(Happened("Copy C:\\Pkg\\a.bmp"));
}

TEST_F(CopyTest, RestoreThatFailsKeepsTheEarlierFileAside) {
  InstallEarlierSkin();
  os.fail_copy_to.insert(InSkin("b.bmp"));
  os.fail_rename_to.insert(InSkin("a.bmp"));  // Putting it back fails.
  os.yes_no_answers = {platform::kIdYes};
  EXPECT_EQ(RunSetup(os, "Blue"), 0);
  const std::string kept = InSkin(skinsetup::KeptFolderName(0) + "\\a.bmp");
  ASSERT_TRUE(os.HasFile(kept));
  EXPECT_EQ(os.files[kept].content, "old a");
}

TEST_F(CopyTest, CopyListingThatCannotBeOpenedIsAFailedRun) {
  const Box invalid{"NON VALIDO", " Installazione Fallita", platform::kBoxOk};
  for (bool reinstall : {false, true}) {
    SCOPED_TRACE(reinstall);
    Installation test;
    if (reinstall) test.InstallEarlierSkin();
    test.os.yes_no_answers = {platform::kIdYes};
    // The scan's listing opens; the copy's does not.
    test.os.fail_listing_from["C:\\Pkg\\*"] = 2;
    const auto before = test.os.Tree(kSkins);
    EXPECT_EQ(RunSetup(test.os, "Blue"), 0);
    std::vector<Box> expected = {invalid, kDeleteBox, kCopyFailure};
    if (reinstall) expected.insert(expected.begin(), kQuestion);
    EXPECT_EQ(test.os.boxes, expected);
    EXPECT_EQ(test.os.Tree(kSkins), before);
  }
}

TEST_F(CopyTest, ErrorWithoutSystemTextShowsItsNumber) {
  os.error_texts.clear();
  os.fail_copy_to.insert(InSkin("a.bmp"));
  EXPECT_EQ(RunSetup(os, "Blue"), 0);
  EXPECT_EQ(os.boxes[0], (Box{"Errore di sistema 5", "Quintavo",
                              platform::kBoxOkInformation}));
}

TEST_F(CopyTest, PackageInsideItsOwnSkinFolderIsNotTouched) {
  InstallEarlierSkin();
  os.AddFile(InSkin("cliver.map"),
             "SKIN-COMPATIBILITY-MIN=3\nSKIN-COMPATIBILITY-MAX=7\n");
  os.current_dir = kSkin;
  os.yes_no_answers = {platform::kIdYes};
  const auto before = os.Tree(kSkins);
  EXPECT_EQ(RunSetup(os, "Blue"), 1);
  EXPECT_EQ(os.Tree(kSkins), before);
  EXPECT_TRUE(os.copies.empty());
}

TEST_F(CopyTest, FileLinkedIntoTheSkinFolderIsNotCopiedOntoItself) {
  InstallEarlierSkin();
  os.same_files.insert({"C:\\Pkg\\a.bmp", InSkin("a.bmp")});
  os.yes_no_answers = {platform::kIdYes};
  EXPECT_EQ(RunSetup(os, "Blue"), 1);
  EXPECT_EQ(os.files[InSkin("a.bmp")].content, "old a");
  EXPECT_FALSE(Happened("Copy C:\\Pkg\\a.bmp"));
}

TEST_F(CopyTest, FilesLeftAsideByAnInterruptedRunArePutBackFirst) {
  InstallEarlierSkin();
  const std::string kept_dir = InSkin(skinsetup::KeptFolderName(0));
  os.AddDir(kept_dir);
  os.AddFile(kept_dir + "\\notes.txt", "mine before", 3);
  os.fail_copy_to.insert(InSkin("b.bmp"));
  os.yes_no_answers = {platform::kIdYes};
  EXPECT_EQ(RunSetup(os, "Blue"), 0);
  EXPECT_EQ(os.files[InSkin("notes.txt")].content, "mine before");
  EXPECT_EQ(os.files[InSkin("a.bmp")].content, "old a");
  EXPECT_FALSE(os.HasDir(kept_dir));
}

TEST_F(CopyTest, DiscardFolderOfARunStoppedAfterItsCopyIsDeleted) {
  InstallEarlierSkin();
  const std::string discard = InSkin(skinsetup::DiscardFolderName(0));
  os.AddDir(discard);
  os.AddFile(discard + "\\a.bmp", "older a", 2);
  os.yes_no_answers = {platform::kIdYes};
  EXPECT_EQ(RunSetup(os, "Blue"), 1);
  EXPECT_FALSE(os.HasDir(discard));
  EXPECT_FALSE(os.HasFile(discard + "\\a.bmp"));
  EXPECT_EQ(os.files[InSkin("a.bmp")].content, "aaaa");
}

TEST_F(CopyTest, EarlierFilesGoThroughTheDiscardFolderOnSuccess) {
  InstallEarlierSkin();
  os.yes_no_answers = {platform::kIdYes};
  EXPECT_EQ(RunSetup(os, "Blue"), 1);
  EXPECT_TRUE(Happened("RenameFolder " + InSkin(skinsetup::KeptFolderName(0)) +
                       " -> " + InSkin(skinsetup::DiscardFolderName(0))));
  EXPECT_TRUE(Happened("RemoveFile " +
                       InSkin(skinsetup::DiscardFolderName(0) + "\\a.bmp")));
  EXPECT_FALSE(os.HasDir(InSkin(skinsetup::DiscardFolderName(0))));
}

TEST_F(CopyTest, CopyErrorIntoASkinFolderThatCannotBeMadeTellsWhy) {
  os.fail_mkdir.insert(kSkin);
  EXPECT_EQ(RunSetup(os, "Blue"), 0);
  // Access denied, the making's error, not the copies' missing path.
  EXPECT_EQ(os.boxes[0], kCopyErrorBox);
}

TEST_F(CopyTest, WorkingFolderThatCannotBeMadeTellsWhy) {
  InstallEarlierSkin();
  os.fail_mkdir.insert(InSkin(skinsetup::KeptFolderName(0)));
  os.yes_no_answers = {platform::kIdYes};
  const auto before = os.Tree(kSkins);
  EXPECT_EQ(RunSetup(os, "Blue"), 0);
  EXPECT_EQ(os.boxes[1], kCopyErrorBox);
  EXPECT_EQ(os.Tree(kSkins), before);
}

// A package may hold files named as the installer's working folders, and
// the skin folder entries of those names that are no folders of its own:
// reinstalls still work, and those entries are left as they are.
TEST_F(CopyTest, WorkingFoldersTakeNamesThatNothingElseHas) {
  InstallEarlierSkin();
  os.AddFile("C:\\Pkg\\" + skinsetup::KeptFolderName(0), "pkg kept");
  os.AddFile("C:\\Pkg\\" + skinsetup::DiscardFolderName(0), "pkg discard");
  os.AddFile(InSkin(skinsetup::KeptFolderName(1)), "user's own");
  for (int run = 0; run < 3; ++run) {
    SCOPED_TRACE(run);
    os.yes_no_answers = {platform::kIdYes};
    EXPECT_EQ(RunSetup(os, "Blue"), 1);
    EXPECT_EQ(os.files[InSkin(skinsetup::KeptFolderName(0))].content,
              "pkg kept");
    EXPECT_EQ(os.files[InSkin(skinsetup::KeptFolderName(1))].content,
              "user's own");
    EXPECT_FALSE(os.HasDir(InSkin(skinsetup::KeptFolderName(2))));
  }
  // The first reinstall could not know the package's names in the skin
  // folder; the later ones keep them aside too, in the third slot.
  EXPECT_TRUE(Happened("RenameNoReplace " +
                       InSkin(skinsetup::KeptFolderName(0)) + " -> " +
                       InSkin(skinsetup::KeptFolderName(2)) + "\\"));
}

TEST_F(CopyTest, KeepingAsideNeverReplaces) {
  InstallEarlierSkin();
  os.yes_no_answers = {platform::kIdYes};
  EXPECT_EQ(RunSetup(os, "Blue"), 1);
  EXPECT_TRUE(Happened("RenameNoReplace " + InSkin("a.bmp")));
  EXPECT_FALSE(Happened("Rename " + InSkin("a.bmp")));
}

}  // namespace
}  // namespace fake
