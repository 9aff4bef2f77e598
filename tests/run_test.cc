// One run on the fake system: the skin name, every failure with its box
// and code, the installer's own file, the client's location and the free
// space. (The phases' order shows in the trace test.)

#include <functional>

#include "tests/test_support.h"

namespace fake {
namespace {

using Arrange = std::function<void(FakePlatform&)>;

TEST(RunTest, SuccessEndsWithTheSuccessBoxItsResultAndNothingOpen) {
  for (int ok : {platform::kIdOk, 0}) {  // 0: the box could not be shown.
    FakePlatform os = Installation();
    os.ok_result = ok;
    EXPECT_EQ(RunSetup(os), ok);
    EXPECT_EQ(os.boxes, std::vector<Box>{kSuccessBox});
    EXPECT_EQ(os.open_handles, 0);
  }
}

// Every fatal failure: the boxes before it, its own box, status 0, and
// nothing after the box but the key's closing where the run has a key open.
TEST(RunTest, EachFailureShowsItsTextAndCode) {
  const Arrange no_value = [](FakePlatform& os) {
    os.registry[FakePlatform::Fold(kClientKey)].clear();
  };
  const auto install_dir = [](std::string dir) -> Arrange {
    return [dir](FakePlatform& os) {
      std::vector<unsigned char> bytes(dir.begin(), dir.end());
      os.SetValue(kClientKey, "Install Directory", bytes);
    };
  };
  const auto classic = [](const char* op) -> Arrange {
    return [op](FakePlatform& os) {
      os.version.dwPlatformId = 1;  // The 9x family before build 1001.
      os.version.dwBuildNumber = 950;
      os.FailCall(op);
    };
  };
  const auto map = [](const char* text) -> Arrange {
    return [text](FakePlatform& os) { os.AddFile(InPkg("cliver.map"), text); };
  };
  const struct {
    Arrange setup;
    const char* text;
    int code;
    bool closes_key_after = false;
    std::vector<Box> before = {};
  } cases[] = {
      {[](FakePlatform& os) { os.registry.clear(); }, kNotInstalled, 2},
      {no_value, kNotInstalled, 1, true},
      {install_dir(std::string(255, 'x') + '\0' + 'x'), kNotInstalled, 1, true},
      {install_dir(std::string(256, 'x')), kNotInstalled, 1, true},
      {install_dir(std::string("Apps", 5)), kNotInstalled, 1, true},
      {install_dir(std::string("\\Apps", 6)), kNotInstalled, 1, true},
      {install_dir(std::string("", 1)), kNotInstalled, 1, true},
      {[](FakePlatform& os) { os.FailCall("LoadLibrary"); }, kCannotInstall, 1},
      {[](FakePlatform& os) { os.FailCall("FindLibraryEntry"); },
       kCannotInstall, 2},
      {[](FakePlatform& os) { os.FailCall("FreeSpaceEx"); }, kCannotInstall, 3},
      {classic("FreeSpace"), kCannotInstall, 4},
      {map("===\n"), kCannotInstall, 5},
      {map("AUTHOR\n"), kCannotInstall, 6},
      {map("SKIN-COMPATIBILITY-MIN=6\nSKIN-COMPATIBILITY-MAX=5\n"),
       kCannotInstall, 7},
      {[](FakePlatform& os) { os.FailCall("OpenExclusive"); }, kCannotInstall,
       8},
      {[](FakePlatform& os) { os.FailCall("FileSize"); }, kCannotInstall, 9},
      {[](FakePlatform& os) { os.files[InPkg("a.bmp")].size = 0xFFFFFFFF; },
       kCannotInstall, 9},
      {[](FakePlatform& os) { os.files.erase(InPkg("cliver.map")); },
       kCannotInstall, 10},
      {[](FakePlatform& os) { os.FailCall("OpenStream"); }, kCannotInstall, 10},
      {[](FakePlatform& os) { os.FailCall("OpenListing"); },
       kCannotInstall,
       10,
       false,
       {kInvalidBox}},
      {[](FakePlatform& os) {
         os.registry.erase(FakePlatform::Fold(kRevisionKey));
       },
       kIncompatible, 2},
      {[](FakePlatform& os) {
         os.registry[FakePlatform::Fold(kRevisionKey)].clear();
       },
       kIncompatible, 1, true},
      {[](FakePlatform& os) {
         os.SetValue(kRevisionKey, "SKIN-COMPATIBILITY", {5, 0, 0, 0, 0});
       },
       kIncompatible, 1, true},
      {[](FakePlatform& os) {
         os.SetDword(kRevisionKey, "SKIN-COMPATIBILITY", 8);
       },
       kIncompatible, 3},
      {[](FakePlatform& os) {
         os.dirs.erase(kSkins);
         os.dirs.erase("D:\\Apps\\Client");
       },
       kCannotCreateSkins, 1},
      {[](FakePlatform& os) { os.total_free = 55; }, kNoSpace, 1},
      {[](FakePlatform& os) { os.FailCall("Copy", 2); },
       kCannotCopy,
       1,
       false,
       {kCopyErrorBox, kDeleteBox}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(FormatFailure(c.text, c.code));
    FakePlatform os = Installation();
    c.setup(os);
    EXPECT_EQ(RunSetup(os), 0);
    std::vector<Box> boxes = c.before;
    boxes.push_back(Failure(c.text, c.code));
    EXPECT_EQ(os.boxes, boxes);
    const std::size_t n = os.events.size();
    EXPECT_EQ(os.events[n - 1], "Exit 0");
    EXPECT_EQ(os.events[n - 2] == "CloseKey", c.closes_key_after);
  }
}

TEST(RunTest, SkinNamesThatLeaveTheSkinsFolderAreRefusedFirst) {
  for (const char* name : {"", "..", ".", "a\\b", "..\\x", "a/b", "/", "\\",
                           "C:Blue", ".skinsetup-lock", ".SkinSetup-Kept"}) {
    SCOPED_TRACE(name);
    FakePlatform os = Installation();
    EXPECT_EQ(RunSetup(os, name), 0);
    EXPECT_EQ(os.boxes, std::vector<Box>{Failure(kCannotInstall, 0)});
    EXPECT_EQ(os.events.size(), 2u);  // The box and the exit.
  }
  for (const char* name : {"My Skin ", "\"Blue\"", "..Blue", "Blue.skin"}) {
    FakePlatform os = Installation();
    EXPECT_EQ(RunSetup(os, name), 1);
    EXPECT_TRUE(os.HasFile(std::string(kSkins) + "\\" + name + "\\a.bmp"));
  }
}

// The installer takes a package file for itself only by the name it was
// started under, with ".exe" added where that name has none.
TEST(RunTest, InstallerRecognisesItsOwnFileOnlyAsDotBackslashName) {
  const struct {
    const char* invocation;
    const char* file;
    bool skipped;
  } cases[] = {
      {".\\setup.exe", "setup.exe", true},
      {".\\setup", "setup.exe", true},
      {"C:\\Pkg\\setup.exe", "setup.exe", false},
      {"setup", "setup.exe", false},
      {".\\SETUP.EXE", "SETUP.EXE", false},
      {".\\setup.exe", "SETUP.EXE", false},
      {"", "setup.exe", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.invocation);
    FakePlatform os = Installation();
    os.files.erase(InPkg("setup.exe"));
    os.AddFile(InPkg(c.file), "MZ");
    os.invocation_name = c.invocation;
    EXPECT_EQ(RunSetup(os), 1);
    EXPECT_EQ(os.HasFile(InSkin(c.file)), !c.skipped);
  }
}

TEST(RunTest, InstallDirectoryGivesTheSkinsFolderAndTheRoot) {
  const std::string longest = "E:\\" + std::string(252, 'x');
  const struct {
    std::string value;
    std::string dir;
    const char* root;
  } cases[] = {
      {longest + '\0', longest, "E:\\"},
      {"E:\\B", "E:\\B", "E:\\"},  // Stored without a terminating zero.
      {std::string("E:\\\0", 4), "E:\\", "E:\\"},  // Gives "E:\\Skins".
      {std::string("\\\\s\\q\0", 6), "\\\\s\\q", "\\\\s"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dir);
    FakePlatform os = Installation();
    os.SetValue(kClientKey, "Install Directory",
                {c.value.begin(), c.value.end()});
    const std::string skins = c.dir + "\\Skins";
    os.dirs.insert({c.dir, skins});
    EXPECT_EQ(RunSetup(os), 1);
    EXPECT_TRUE(os.HasFile(skins + "\\Blue\\a.bmp"));
    EXPECT_TRUE(os.Happened(std::string("FreeSpaceEx ") + c.root));
  }
}

TEST(RunTest, SkinsFolderIsMadeOnlyForAnAcceptedSkinAndStays) {
  FakePlatform os = Installation();
  os.dirs.erase(kSkins);
  os.SetDword(kRevisionKey, "SKIN-COMPATIBILITY", 9);
  EXPECT_EQ(RunSetup(os), 0);
  EXPECT_FALSE(os.Happened("MakeDir"));

  os = Installation();
  os.dirs.erase(kSkins);
  os.total_free = 1;  // A later failure.
  EXPECT_EQ(RunSetup(os), 0);
  EXPECT_TRUE(os.HasDir(kSkins));

  // Made meanwhile by another installer: missing when the run looks, there
  // when it comes to make it.
  os = Installation();
  os.FailCall("Stat");
  os.FailCall("MakeDir");
  EXPECT_EQ(RunSetup(os), 1);
  EXPECT_TRUE(os.Happened(std::string("MakeDir ") + kSkins));

  // A file named Skins counts as the folder; its copies fail.
  os = Installation();
  os.dirs.erase(kSkins);
  os.AddFile(kSkins, "not a folder");
  EXPECT_EQ(RunSetup(os), 0);
  EXPECT_EQ(os.boxes.back(), Failure(kCannotCopy, 1));
  EXPECT_EQ(os.files[kSkins].content, "not a folder");
}

TEST(RunTest, VersionChoosesTheFreeSpaceQuery) {
  const struct {
    std::uint32_t platform_id;
    std::uint32_t build;
    bool extended;
  } cases[] = {
      {2, 0, true},     {1, 1000, false},       {1, 1001, true},
      {0, 5000, false}, {1, 0x040A03E9, true},   // Low 16 bits 1001.
      {3, 5000, false}, {1, 0x000103E8, false},  // Low 16 bits 1000.
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.platform_id << " " << c.build);
    FakePlatform os = Installation();
    os.version.dwPlatformId = c.platform_id;
    os.version.dwBuildNumber = c.build;
    EXPECT_EQ(RunSetup(os), 1);
    EXPECT_EQ(os.Happened("FreeSpaceEx D:\\"), c.extended);
    EXPECT_EQ(os.Happened("FreeSpace D:\\"), !c.extended);
  }
  // A failed version query means the classic one.
  FakePlatform os = Installation();
  os.FailCall("QueryVersion");
  EXPECT_EQ(RunSetup(os), 1);
  EXPECT_TRUE(os.Happened("FreeSpace D:\\"));
  EXPECT_FALSE(os.Happened("LoadLibrary"));
}

// The package needs 4 + 2 + 50 bytes: with the extended query, all free
// bytes count, not the caller's quota; the classic product wraps at 2^32.
TEST(RunTest, FreeSpaceIsComparedWithTheBytesNeeded) {
  const struct {
    std::uint64_t free;
    std::uint32_t clusters;
    bool classic;
    bool fits;
  } cases[] = {
      {56, 0, false, true},
      {55, 0, false, false},
      {0, 65536, true, false},  // 65,536 clusters of 64 KiB: 2^32, so 0.
      {0, 65535, true, true},
  };
  for (const auto& c : cases) {
    FakePlatform os = Installation();
    os.free_to_caller = 0;
    os.total_free = c.free;
    os.version = {148, 4, 10, 1000, c.classic ? 1u : 2u, ""};
    os.free_clusters = c.clusters;
    os.sectors_per_cluster = 64;
    os.bytes_per_sector = 1024;
    EXPECT_EQ(RunSetup(os), c.fits ? 1 : 0) << c.free << " " << c.clusters;
  }
}

}  // namespace
}  // namespace fake
