// The free-space probe: which query, its failures, and the single
// precision of the result.

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace fake {
namespace {

using skinsetup::kCannotInstall;

TEST_F(InstallerTest, VersionChoosesTheQuery) {
  struct Case {
    std::uint32_t platform_id;
    std::uint32_t build;
    bool extended;
  } cases[] = {
      {2, 0, true},
      {2, 2600, true},
      {1, 1000, false},
      {1, 1001, true},
      {1, 0x040A03E9, true},   // Low 16 bits 1001, high
                               // bits set.
      {1, 0x000103E8, false},  // Low 16 bits 1000.
      {0, 5000, false},
      {3, 5000, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.platform_id << " " << c.build);
    os = Installation().os;
    os.version.dwPlatformId = c.platform_id;
    os.version.dwBuildNumber = c.build;
    EXPECT_EQ(RunSetup(os, "Blue"), 1);
    EXPECT_EQ(Happened("FreeSpaceEx "), c.extended);
    EXPECT_EQ(Happened("FreeSpace "), !c.extended);
    EXPECT_EQ(Happened("LoadLibrary KERNEL32.DLL"), c.extended);
  }
}

TEST_F(InstallerTest, FailedVersionQueryUsesTheClassicQuery) {
  os.fail_version = true;
  EXPECT_EQ(RunSetup(os, "Blue"), 1);
  EXPECT_TRUE(Happened("FreeSpace D:\\"));
  EXPECT_FALSE(Happened("LoadLibrary"));
}

TEST_F(InstallerTest, FreeSpaceFailuresHaveTheirCodes) {
  struct Case {
    bool FakePlatform::*failure;
    bool classic;
    int code;
  } cases[] = {
      {&FakePlatform::fail_load_library, false, 1},
      {&FakePlatform::fail_find_entry, false, 2},
      {&FakePlatform::fail_free_space_ex, false, 3},
      {&FakePlatform::fail_free_space, true, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    os = Installation().os;
    if (c.classic) os.version = {sizeof os.version, 4, 0, 950, 1, ""};
    os.*c.failure = true;
    ExpectFailure("Blue", kCannotInstall, c.code);
    EXPECT_EQ(os.boxes.size(), 1u);
    EXPECT_FALSE(Happened("Access"));
  }
}

TEST_F(InstallerTest, ExtendedQueryCountsAllFreeBytesNotTheQuota) {
  os.free_to_caller = 0;
  os.total_free = 4;
  SetMap("SKIN-COMPATIBILITY-MIN=3\nSKIN-COMPATIBILITY-MAX=7\n");
  ExpectFailure("Blue", skinsetup::kNoSpace, 1);  // 4 free, more needed.
  os.total_free = 1u << 20;
  os.boxes.clear();
  EXPECT_EQ(RunSetup(os, "Blue"), 1);
}

// The classic product wraps at 2^32: 65,536 clusters of 64 sectors of 1,024
// bytes are 2^32 bytes, which count as 0 free.
TEST_F(InstallerTest, ClassicProductWrapsModulo2To32) {
  os.version = {sizeof os.version, 4, 10, 1000, 1, ""};
  os.free_clusters = 65536;
  os.sectors_per_cluster = 64;
  os.bytes_per_sector = 1024;
  ExpectFailure("Blue", skinsetup::kNoSpace, 1);

  os.free_clusters = 65535;  // 2^32 - 65,536 bytes.
  os.boxes.clear();
  EXPECT_EQ(RunSetup(os, "Blue"), 1);
}

}  // namespace
}  // namespace fake
