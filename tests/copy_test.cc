// The copy: the overwrite question, the lock, the copies, and a failed run
// that leaves the skin folder as it was, earlier files included.

#include <algorithm>

#include "skinsetup/kept_files.h"
#include "tests/test_support.h"

namespace fake {
namespace {

const Box kPathError{"Errore di sistema 3", kCopyErrorCaption,
                     platform::kBoxOkInformation};

std::string Kept(int slot, const std::string& name = "") {
  return InSkin(KeptFolderName(slot)) + (name.empty() ? "" : "\\" + name);
}

TEST(CopyTest, FreshInstallCopiesEveryPackageFileButTheInstaller) {
  FakePlatform os = Installation();
  EXPECT_EQ(RunSetup(os), 1);
  EXPECT_EQ(os.Tree(kSkin),
            (std::map<std::string, std::string>{
                {kSkin, "<dir>"},
                {InSkin("a.bmp"), "aaaa@1"},
                {InSkin("b.bmp"), "bb@1"},
                {InSkin("cliver.map"), std::string(kMap) + "@1"}}));
  // A copy replaces whatever stands at its destination by then.
  EXPECT_EQ(std::count(os.events.begin(), os.events.end(),
                       "Copy C:\\Pkg\\a.bmp -> " + InSkin("a.bmp")),
            1);
}

TEST(CopyTest, ReinstallAsksAndNoChangesNothing) {
  for (int answer : {platform::kIdNo, platform::kIdYes, 0}) {
    SCOPED_TRACE(answer);
    FakePlatform os = Installation();
    InstallEarlierSkin(os);
    os.answers = {answer};
    // What a run stopped after its copy left, to be deleted first.
    os.dirs.insert(InSkin(DiscardFolderName(0)));
    os.AddFile(InSkin(DiscardFolderName(0)) + "\\b.bmp", "older b", 2);
    const auto before = os.Tree(kSkins);
    EXPECT_EQ(RunSetup(os), answer == platform::kIdNo ? 0 : 1);
    if (answer == platform::kIdNo) {
      EXPECT_EQ(os.boxes, std::vector<Box>{kQuestion});
      EXPECT_EQ(os.Tree(kSkins), before);
      continue;
    }
    // Any answer but No goes on: package files replaced, the user's kept,
    // nothing left of the earlier files.
    EXPECT_EQ(os.boxes, (std::vector<Box>{kQuestion, kSuccessBox}));
    EXPECT_EQ(os.files[InSkin("a.bmp")].content, "aaaa");
    EXPECT_EQ(os.files[InSkin("notes.txt")].content, "mine");
    EXPECT_FALSE(os.HasDir(Kept(0)));
    EXPECT_FALSE(os.HasDir(InSkin(DiscardFolderName(0))));
    EXPECT_EQ(os.open_handles, 0);
    // Kept aside without replacing, then discarded through the discard
    // folder, the moment the new installation takes over.
    EXPECT_TRUE(os.Happened("RenameNoReplace " + InSkin("a.bmp") + " -> " +
                            Kept(0, "a.bmp")));
    EXPECT_TRUE(
        os.Happened("RemoveFile " + InSkin(DiscardFolderName(0)) + "\\a.bmp"));
  }
}

TEST(CopyTest, SkinsFolderIsLockedFromTheQuestionToTheSuccessBox) {
  FakePlatform os = Installation();
  InstallEarlierSkin(os);
  EXPECT_EQ(RunSetup(os), 1);
  auto at = [&](const std::string& prefix) {
    for (std::size_t i = 0; i < os.events.size(); ++i) {
      if (os.events[i].rfind(prefix, 0) == 0) return i;
    }
    return os.events.size();
  };
  EXPECT_LT(at(std::string("Lock ") + kSkins), at("Box " + kQuestion.caption));
  EXPECT_LT(at("Copy"), at("Unlock"));
  EXPECT_EQ(at("Unlock") + 1,
            at("Box " + kSuccessBox.caption + ": " + kSuccess));
  // Where no lock can be taken, the run goes on.
  os = Installation();
  os.FailCall("Lock");
  EXPECT_EQ(RunSetup(os), 1);
}

// A copy failing at each position, on a first installation and on a
// reinstall: every other file is still copied, one rollback follows, and
// the Skins folder is exactly as it was.
TEST(CopyTest, FailedCopyAtAnyPositionLeavesTheSkinsFolderAsItWas) {
  for (bool reinstall : {false, true}) {
    for (int failing = 1; failing <= 3; ++failing) {
      SCOPED_TRACE(testing::Message() << reinstall << " " << failing);
      FakePlatform os = Installation();
      if (reinstall) InstallEarlierSkin(os);
      os.FailCall("Copy", failing);
      const auto before = os.Tree(kSkins);
      EXPECT_EQ(RunSetup(os), 0);
      EXPECT_EQ(os.Tree(kSkins), before);
      std::vector<Box> boxes = {kCopyErrorBox, kDeleteBox,
                                Failure(kCannotCopy, 1)};
      if (reinstall) boxes.insert(boxes.begin(), kQuestion);
      EXPECT_EQ(os.boxes, boxes);
      EXPECT_TRUE(os.Happened("Copy C:\\Pkg\\cliver.map"));
    }
  }
}

TEST(CopyTest, FailuresAroundTheCopyAreRolledBackToo) {
  const struct {
    const char* what;
    void (*setup)(FakePlatform&);
    std::vector<Box> boxes;
  } cases[] = {
      {"every copy fails, each has its box",
       [](FakePlatform& os) { os.FailCall("Copy", 1, true); },
       {kCopyErrorBox, kCopyErrorBox, kCopyErrorBox, kDeleteBox}},
      {"a folder stands where a file goes",
       [](FakePlatform& os) { os.dirs.insert(InSkin("b.bmp")); },
       {kCopyErrorBox, kDeleteBox}},
      {"an earlier file cannot be kept aside, so it is not replaced",
       [](FakePlatform& os) { os.FailCall("RenameNoReplace"); },
       {kCopyErrorBox, kDeleteBox}},
      {"the copy's listing cannot be opened",
       [](FakePlatform& os) { os.FailCall("OpenListing", 2); },
       {kInvalidBox, kDeleteBox}},
      {"a file stands as the skin folder",
       [](FakePlatform& os) {
         os.dirs.erase(kSkin);
         os.files.erase(InSkin("a.bmp"));
         os.files.erase(InSkin("notes.txt"));
         os.AddFile(kSkin, "a file");
       },
       {kPathError, kPathError, kPathError, kDeleteBox}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform os = Installation();
    InstallEarlierSkin(os);
    c.setup(os);
    const auto before = os.Tree(kSkins);
    EXPECT_EQ(RunSetup(os), 0);
    std::vector<Box> boxes = c.boxes;
    boxes.insert(boxes.begin(), kQuestion);
    boxes.push_back(Failure(kCannotCopy, 1));
    EXPECT_EQ(os.boxes, boxes);
    EXPECT_EQ(os.Tree(kSkins), before);
  }
}

TEST(CopyTest, CopyErrorBoxTellsTheRealReason) {
  const struct {
    void (*setup)(FakePlatform&);
    Box box;
  } cases[] = {
      // No text for the error: its number.
      {[](FakePlatform& os) {
         os.error_texts.clear();
         os.FailCall("Copy");
       },
       {"Errore di sistema 5", kCopyErrorCaption, platform::kBoxOkInformation}},
      // A skin folder that cannot be made: its making's error, not the
      // copies' missing path.
      {[](FakePlatform& os) { os.FailCall("MakeDir"); }, kCopyErrorBox},
      // A working folder that cannot be made, likewise.
      {[](FakePlatform& os) {
         InstallEarlierSkin(os);
         os.FailCall("MakeDir", 2);
       },
       kCopyErrorBox},
  };
  for (const auto& c : cases) {
    FakePlatform os = Installation();
    c.setup(os);
    EXPECT_EQ(RunSetup(os), 0);
    EXPECT_EQ(os.boxes[os.boxes.size() - 3], c.box);
  }
}

TEST(CopyTest, RestoreThatFailsKeepsTheEarlierFileAside) {
  FakePlatform os = Installation();
  InstallEarlierSkin(os);
  os.FailCall("Copy", 2);
  os.FailCall("Rename");  // Putting it back.
  EXPECT_EQ(RunSetup(os), 0);
  EXPECT_EQ(os.files[Kept(0, "a.bmp")].content, "old a");
}

TEST(CopyTest, FileIsNeverCopiedOntoItself) {
  // A package inside its own skin folder, and a file linked into it.
  FakePlatform os = Installation();
  InstallEarlierSkin(os);
  os.AddFile(InSkin("cliver.map"), kMap);
  os.current_dir = kSkin;
  const auto before = os.Tree(kSkins);
  EXPECT_EQ(RunSetup(os), 1);
  EXPECT_EQ(os.Tree(kSkins), before);

  os = Installation();
  InstallEarlierSkin(os);
  os.same_files.insert({InPkg("a.bmp"), InSkin("a.bmp")});
  EXPECT_EQ(RunSetup(os), 1);
  EXPECT_EQ(os.files[InSkin("a.bmp")].content, "old a");
  EXPECT_FALSE(os.Happened("Copy C:\\Pkg\\a.bmp"));
}

TEST(CopyTest, InterruptedRunsAreFinishedFirst) {
  // A run stopped before its copy was whole left earlier files aside, in
  // two slots; one stopped after left a discard folder.
  FakePlatform os = Installation();
  InstallEarlierSkin(os);
  os.dirs.insert({Kept(0), Kept(1), InSkin(DiscardFolderName(0))});
  os.AddFile(Kept(0, "notes.txt"), "mine before", 3);
  os.AddFile(Kept(1, "notes.txt"), "mine later", 4);
  os.AddFile(InSkin(DiscardFolderName(0)) + "\\b.bmp", "older b", 2);
  os.FailCall("Copy", 2);
  EXPECT_EQ(RunSetup(os), 0);
  EXPECT_EQ(os.Tree(kSkin), (std::map<std::string, std::string>{
                                {kSkin, "<dir>"},
                                {InSkin("a.bmp"), "old a@7"},
                                {InSkin("notes.txt"), "mine before@3"}}));
}

// With every working name taken, the first is tried: its making fails, and
// the run is rolled back; no name past the last is ever used.
TEST(CopyTest, RunWithEveryWorkingNameTakenFailsSafely) {
  FakePlatform os = Installation();
  InstallEarlierSkin(os);
  for (int slot = 0; slot <= kWorkingSlots; ++slot) {  // One past, too.
    os.AddFile(InPkg(KeptFolderName(slot)), "pkg");
  }
  const auto before = os.Tree(kSkins);
  EXPECT_EQ(RunSetup(os), 0);
  EXPECT_EQ(os.Tree(kSkins), before);
  EXPECT_TRUE(os.Happened("MakeDir " + Kept(0)));
}

// A package may hold files named as the working folders, and the skin
// folder entries of those names that are no folders of the installer's:
// reinstalls still work, and those entries are left as they are.
TEST(CopyTest, WorkingFoldersTakeNamesThatNothingElseHas) {
  FakePlatform os = Installation();
  InstallEarlierSkin(os);
  os.AddFile(InPkg(KeptFolderName(0)), "pkg kept");
  os.AddFile(InPkg(DiscardFolderName(0)), "pkg discard");
  os.AddFile(Kept(1), "user's own");
  for (int run = 0; run < 3; ++run) {
    SCOPED_TRACE(run);
    os.answers = {platform::kIdYes};
    EXPECT_EQ(RunSetup(os), 1);
    EXPECT_EQ(os.files[Kept(0)].content, "pkg kept");
    EXPECT_EQ(os.files[Kept(1)].content, "user's own");
    EXPECT_FALSE(os.HasDir(Kept(2)));
  }
  // Once installed, the package's own such file is kept aside too.
  EXPECT_TRUE(os.Happened("RenameNoReplace " + Kept(0) + " -> " +
                          Kept(2, KeptFolderName(0))));
}

}  // namespace
}  // namespace fake
