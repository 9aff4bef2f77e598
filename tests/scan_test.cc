// The package scan: the walk, the files it refuses, the byte total and the
// moment the map is processed.

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace fake {
namespace {

using skinsetup::kCannotInstall;
using skinsetup::kNoSpace;

class ScanTest : public InstallerTest {
 protected:
  ScanTest() {
    os.files.erase("C:\\Pkg\\a.bmp");
    os.files.erase("C:\\Pkg\\b.bmp");
    SetMap("SKIN-COMPATIBILITY-MIN=3\nSKIN-COMPATIBILITY-MAX=7\n");
  }

  // The bytes the scan counted, measured by the space check: the run
  // passes with exactly that many free bytes and fails with one fewer.
  void ExpectTotal(float total) {
    os.total_free = static_cast<std::uint64_t>(total);
    os.boxes.clear();
    EXPECT_EQ(RunSetup(os, "Blue"), 1) << "with " << os.total_free << " free";
    os.total_free -= 1;
    os.boxes.clear();
    os.dirs.erase(kSkin);
    for (auto it = os.files.begin(); it != os.files.end();) {
      it = it->first.rfind(kSkin, 0) == 0 ? os.files.erase(it) : ++it;
    }
    ExpectFailure("Blue", kNoSpace, 1);
  }
};

TEST_F(ScanTest, MapAndOneFileOf2To24BytesCountAsExactlyThatInEitherOrder) {
  SetMap(std::string("SKIN-COMPATIBILITY-MIN=3\nSKIN-COMPATIBILITY-MAX=7\n"));
  os.AddFileOfSize("C:\\Pkg\\big.bin", 16777216);
  os.files["C:\\Pkg\\cliver.map"].size = 1;
  for (const auto& order :
       {std::vector<std::string>{".", "..", "cliver.map", "big.bin",
                                 "setup.exe"},
        std::vector<std::string>{".", "..", "big.bin", "setup.exe",
                                 "cliver.map"}}) {
    os.listing_order[kPkg] = order;
    ExpectTotal(16777216.0f);
  }
}

TEST_F(ScanTest, SizesAreAddedBeforeEachRounding) {
  // The sizes in listing order; the map is the first of them.
  struct Case {
    std::vector<std::uint64_t> sizes;
    float total;
  } cases[] = {
      {{1, 16777217}, 16777218.0f},  // Rounding the size first would lose 1.
      {{16777216, 1}, 16777216.0f},  // At 2^24 one more byte changes nothing.
      {{1, 4294967296ull}, 1.0f},    // 4 GiB adds 0.
      {{3, 5, 7}, 15.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.total);
    std::vector<std::string> order = {".", "..", "cliver.map"};
    os.files["C:\\Pkg\\cliver.map"].size = c.sizes[0];
    for (std::size_t i = 1; i < c.sizes.size(); ++i) {
      const std::string name = "f" + std::to_string(i);
      os.AddFileOfSize(std::string(kPkg) + "\\" + name, c.sizes[i]);
      order.push_back(name);
    }
    os.listing_order[kPkg] = order;
    ExpectTotal(c.total);
    for (std::size_t i = 1; i < c.sizes.size(); ++i) {
      os.files.erase(std::string(kPkg) + "\\f" + std::to_string(i));
    }
  }
}

TEST_F(ScanTest, SizeOfAllOnesIsCodeNine) {
  os.AddFileOfSize("C:\\Pkg\\huge.bin", 4294967295ull);
  ExpectFailure("Blue", kCannotInstall, 9);
  EXPECT_EQ(os.open_files, 1);  // The process end closes it.
}

TEST_F(ScanTest, FailedSizeQueryIsCodeNine) {
  os.AddFile("C:\\Pkg\\a.bmp", "aaaa");
  os.fail_size.insert("C:\\Pkg\\a.bmp");
  ExpectFailure("Blue", kCannotInstall, 9);
}

TEST_F(ScanTest, FileThatCannotBeOpenedAheadOfTheMapIsCodeEightAndNoMapIsRead) {
  os.AddFile("C:\\Pkg\\a.bmp", "aaaa");
  os.locked.insert("C:\\Pkg\\a.bmp");
  SetMap("SKIN-COMPATIBILITY-MIN=6\nSKIN-COMPATIBILITY-MAX=5\n");
  ExpectFailure("Blue", kCannotInstall, 8);
  EXPECT_FALSE(Happened("OpenStream"));
}

TEST_F(ScanTest, MapAheadOfALockedFileReportsItsOwnFailure) {
  os.AddFile("C:\\Pkg\\z.bmp", "zz");
  os.locked.insert("C:\\Pkg\\z.bmp");
  SetMap("SKIN-COMPATIBILITY-MIN=6\nSKIN-COMPATIBILITY-MAX=5\n");
  ExpectFailure("Blue", kCannotInstall, 7);
  EXPECT_FALSE(Happened("OpenExclusive C:\\Pkg\\z.bmp"));
}

TEST_F(ScanTest, SubfolderIsCodeEight) {
  os.AddDir("C:\\Pkg\\extra");
  ExpectFailure("Blue", kCannotInstall, 8);
}

TEST_F(ScanTest, MapInAnotherCaseIsNoMapAndEveryFileIsCountedFirst) {
  os.files.erase("C:\\Pkg\\cliver.map");
  os.AddFile("C:\\Pkg\\CLIVER.MAP", "SKIN-COMPATIBILITY-MIN=3\n");
  os.AddFile("C:\\Pkg\\z.bmp", "zz");
  ExpectFailure("Blue", kCannotInstall, 10);
  EXPECT_TRUE(Happened("OpenExclusive C:\\Pkg\\z.bmp"));
  EXPECT_TRUE(Happened("OpenExclusive C:\\Pkg\\CLIVER.MAP"));
  EXPECT_FALSE(Happened("OpenStream"));
}

TEST_F(ScanTest, ListingThatCannotBeOpenedShowsNonValidoThenCodeTen) {
  os.fail_listing.insert("C:\\Pkg\\*");
  ExpectFailure("Blue", kCannotInstall, 10);
  ASSERT_EQ(os.boxes.size(), 2u);
  EXPECT_EQ(os.boxes[0],
            (Box{"NON VALIDO", " Installazione Fallita", platform::kBoxOk}));
}

TEST_F(ScanTest, MapThatCannotBeOpenedIsCodeTenBeforeAnythingIsRead) {
  os.fail_stream.insert("C:\\Pkg\\cliver.map");
  ExpectFailure("Blue", kCannotInstall, 10);
  EXPECT_FALSE(Happened("OpenUserKey SOFTWARE\\QV CLIENT\\NEWREVISION"));
}

TEST_F(ScanTest, CurrentDirectoryLongerThan255CharactersIsWalkedWhole) {
  const std::string dir = "C:\\" + std::string(300, 'p');
  os.AddDir(dir);
  os.AddFile(dir + "\\cliver.map",
             "SKIN-COMPATIBILITY-MIN=3\nSKIN-COMPATIBILITY-MAX=7\n");
  os.AddFile(dir + "\\long.bmp", "l");
  os.current_dir = dir;
  EXPECT_EQ(RunSetup(os, "Blue"), 1);
  EXPECT_TRUE(os.HasFile(std::string(kSkin) + "\\long.bmp"));
}

TEST_F(ScanTest, DriveRootAsCurrentDirectoryDoublesTheSeparator) {
  os.AddDir("E:\\");
  os.AddFile("E:\\\\cliver.map",
             "SKIN-COMPATIBILITY-MIN=3\nSKIN-COMPATIBILITY-MAX=7\n");
  os.current_dir = "E:\\";
  EXPECT_EQ(RunSetup(os, "Blue"), 1);
  EXPECT_TRUE(Happened("OpenListing E:\\\\*"));
  EXPECT_TRUE(Happened("OpenExclusive E:\\\\cliver.map"));
}

}  // namespace
}  // namespace fake
