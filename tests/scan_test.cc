// The package scan and the compatibility map: the walk, the byte total,
// the map's lines as the text mode reads them, the range and the revision.

#include <cstring>

#include "skinsetup/map_parser.h"
#include "skinsetup/text_reader.h"
#include "tests/test_support.h"

namespace fake {
namespace {

TEST(MapParserTest, ParsesEveryKindOfLine) {
  const struct {
    const char* line;
    MapLine::Kind kind;
    const char* name;
    const char* value;
  } cases[] = {
      {"SKIN-COMPATIBILITY-MIN=3", MapLine::kEntry, "SKIN-COMPATIBILITY-MIN",
       "3"},
      {"MAX=7 some words", MapLine::kEntry, "MAX", "7"},
      {"MIN = 3", MapLine::kNoValue, "MIN", ""},
      {"  MIN=3", MapLine::kEntry, "  MIN", "3"},
      {"\tMIN=3", MapLine::kEntry, "\tMIN", "3"},
      {"MIN==3", MapLine::kEntry, "MIN", "3"},
      {"MIN=3=4", MapLine::kEntry, "MIN", "3"},
      {"==MIN=3", MapLine::kEntry, "MIN", "3"},
      {"MIN=", MapLine::kNoValue, "MIN", ""},
      {"AUTHOR", MapLine::kNoValue, "AUTHOR", ""},
      {"=5", MapLine::kNoValue, "5", ""},
      {"===", MapLine::kNoName, "", ""},
      {"= A", MapLine::kNoName, "", ""},
      {" =", MapLine::kNoValue, " ", ""},
      {"# comment", MapLine::kNoValue, "#", ""},
      {"#MIN=3", MapLine::kEntry, "#MIN", "3"},
      {"", MapLine::kBlank, "", ""},
      {" \t  ", MapLine::kBlank, "", ""},
      {"A=1\tB=2", MapLine::kEntry, "A", "1"},
      {"A=1\r", MapLine::kEntry, "A", "1\r"},
  };
  for (const auto& c : cases) {
    const MapLine parsed = ParseMapLine(c.line);
    EXPECT_EQ(parsed.kind, c.kind) << c.line;
    EXPECT_EQ(parsed.name, c.name) << c.line;
    EXPECT_EQ(parsed.value, c.value) << c.line;
  }
}

TEST(MapParserTest, ConvertsValuesAsAtoiWithClampedBounds) {
  const struct {
    const char* value;
    std::int32_t number;
  } cases[] = {
      {"3", 3},
      {"abc", 0},
      {"3abc", 3},
      {"-3", -3},
      {"+42", 42},
      {"\r\v 12", 12},
      {"-", 0},
      {"007", 7},
      {"2147483647", 2147483647},
      {"2147483648", 2147483647},
      {"99999999999999999999999", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"-2147483649", -2147483647 - 1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ParseInteger(c.value), c.number) << c.value;
}

// The lines the map reading gets from `bytes`, delivered `chunk` at a time.
std::vector<std::string> ReadLines(const std::string& bytes, long chunk) {
  std::size_t offset = 0;
  TextReader reader([&](char* buffer, long size) {
    const std::size_t count =
        std::min({bytes.size() - offset, static_cast<std::size_t>(size),
                  static_cast<std::size_t>(chunk)});
    std::memcpy(buffer, bytes.data() + offset, count);
    offset += count;
    return static_cast<long>(count);
  });
  std::vector<std::string> lines;
  char line[512];
  while (!reader.AtEnd()) {
    if (reader.GetLine(line, sizeof line)) lines.push_back(line);
  }
  return lines;
}

TEST(TextReaderTest, ReadsAsTheWindowsTextModeDoes) {
  const struct {
    std::string bytes;
    std::vector<std::string> lines;
  } cases[] = {
      {"A\r\nB\r\n", {"A\n", "B\n"}},
      {"A\rB\n", {"A\rB\n"}},
      {"A\r\r\nB", {"A\r\n", "B"}},
      {"A\n\x1A"
       "B\n",
       {"A\n"}},
      {"A\r\x1A", {"A\r"}},
      {"A\r", {"A\r"}},
      {"", {}},
      {std::string("A\0B\n", 4), {"A"}},
      {std::string(600, 'x') + "\n",
       {std::string(511, 'x'), std::string(89, 'x') + "\n"}},
  };
  for (const auto& c : cases) {
    for (long chunk : {1L, 2L, 4096L}) {
      EXPECT_EQ(ReadLines(c.bytes, chunk), c.lines) << chunk << " " << c.bytes;
    }
  }
}

// The map's lines and what becomes of the run; nothing is read from the
// registry before the map has given a range.
TEST(MapTest, MapDecidesTheRange) {
  const std::string min3 = "SKIN-COMPATIBILITY-MIN=3\n";
  const std::string max7 = "SKIN-COMPATIBILITY-MAX=7\n";
  const struct {
    std::string map;
    int code;  // -1: accepted.
  } cases[] = {
      {"SKIN-COMPATIBILITY-MIN = 3\n", 6},
      {" =\n", 6},
      {"= A\n", 5},
      {"", 7},
      {"\n\n  \n", 7},
      {min3, 7},
      {max7, 7},
      {"SKIN-COMPATIBILITY-MIN=-3\n" + max7, 7},
      {"  " + min3 + max7, 7},
      {"skin-compatibility-min=3\n" + max7, 7},
      {min3 + max7.substr(0, max7.size() - 1), -1},  // No final line feed.
      {"AUTHOR=me\r\nSKIN-COMPATIBILITY-MAX=7 words\r\n"
       "SKIN-COMPATIBILITY-MIN==3\r\n",
       -1},
      {"SKIN-COMPATIBILITY-MIN=9\n" + max7 + "SKIN-COMPATIBILITY-MIN=5\n", -1},
      {"SKIN-COMPATIBILITY-MIN=0\nSKIN-COMPATIBILITY-MAX=99999999999\n", -1},
      {min3 + max7 +
           "\x1A"
           "AUTHOR\n",
       -1},
      // A long line is two: 511 characters, then a name without a value.
      {"X=" + std::string(598, 'x') + "\n" + min3 + max7, 6},
      {"X=" + std::string(509, 'x') + "\n" + min3 + max7, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.map);
    FakePlatform os = Installation();
    os.AddFile(InPkg("cliver.map"), c.map);
    EXPECT_EQ(RunSetup(os), c.code < 0 ? 1 : 0);
    if (c.code >= 0) {
      EXPECT_EQ(os.boxes.back(), Failure(kCannotInstall, c.code));
      EXPECT_FALSE(os.Happened(std::string("OpenUserKey ") + kRevisionKey));
    }
  }
  // A read error ends the reading with what was read: here, nothing.
  FakePlatform os = Installation();
  os.FailCall("ReadStream", 1, true);
  EXPECT_EQ(RunSetup(os), 0);
  EXPECT_EQ(os.boxes.back(), Failure(kCannotInstall, 7));
}

TEST(MapTest, RevisionIsInTheRangeInclusiveAndUnsigned) {
  const char* five = "SKIN-COMPATIBILITY-MIN=5\nSKIN-COMPATIBILITY-MAX=5\n";
  const char* all =
      "SKIN-COMPATIBILITY-MIN=0\nSKIN-COMPATIBILITY-MAX=2147483647\n";
  const struct {
    const char* map;
    std::vector<unsigned char> revision;
    bool accepted;
  } cases[] = {
      // clang-format off
      {five, {5, 0, 0, 0}, true},
      {five, {4, 0, 0, 0}, false},
      {five, {6, 0, 0, 0}, false},
      {all, {0, 0, 0, 0x80}, false},  // Compared unsigned: above the range.
      {all, {0xFF, 0xFF, 0xFF, 0x7F}, true},
      {five, {5}, true},  // A shorter value: the missing bytes are zero.
      {five, {5, 1}, false},
      // clang-format on
  };
  for (const auto& c : cases) {
    FakePlatform os = Installation();
    os.AddFile(InPkg("cliver.map"), c.map);
    os.SetValue(kRevisionKey, "SKIN-COMPATIBILITY", c.revision);
    EXPECT_EQ(RunSetup(os), c.accepted ? 1 : 0) << c.map << int{c.revision[0]};
    if (!c.accepted) {
      EXPECT_EQ(os.boxes.back(), Failure(kIncompatible, 3));
    }
  }
}

// The bytes the scan counted, as the space check measures them: the run
// passes with exactly that many free bytes and fails with one fewer.
void ExpectTotal(const std::vector<std::uint64_t>& sizes, std::uint64_t total) {
  for (std::uint64_t free : {total, total - 1}) {
    FakePlatform os = Installation();
    os.files.erase(InPkg("a.bmp"));
    os.files.erase(InPkg("b.bmp"));
    os.listing_order["C:\\Pkg"] = {".", ".."};
    for (std::size_t i = 0; i < sizes.size(); ++i) {
      const std::string name = i == 0 ? "cliver.map" : "f" + std::to_string(i);
      if (i != 0) os.AddFile(InPkg(name), "");
      os.files[InPkg(name)].size = sizes[i];
      os.listing_order["C:\\Pkg"].push_back(name);
    }
    os.total_free = free;
    EXPECT_EQ(RunSetup(os), free == total ? 1 : 0) << total << " " << free;
  }
}

TEST(ScanTest, SizesAreAddedBeforeEachRounding) {
  ExpectTotal({1, 16777217}, 16777218.0f);  // Rounding first would lose 1.
  ExpectTotal({16777216, 1}, 16777216.0f);  // At 2^24 one byte is nothing.
  ExpectTotal({1, 16777216}, 16777216.0f);
  ExpectTotal({1, 4294967296ull}, 1.0f);  // 4 GiB adds 0.
  ExpectTotal({3, 5, 7}, 15.0f);
}

TEST(ScanTest, FailuresComeInListingOrder) {
  const struct {
    std::vector<std::string> order;
    const char* map;
    int code;
  } cases[] = {
      // A file that cannot be opened ahead of a bad map: no map is read.
      {{".", "..", "a.bmp", "cliver.map"}, "SKIN-COMPATIBILITY-MIN=6\n", 8},
      // A bad map ahead of it reports its own failure.
      {{".", "..", "cliver.map", "a.bmp"}, "SKIN-COMPATIBILITY-MIN=6\n", 7},
  };
  for (const auto& c : cases) {
    FakePlatform os = Installation();
    os.listing_order["C:\\Pkg"] = c.order;
    os.AddFile(InPkg("cliver.map"), c.map);
    os.FailCall("OpenExclusive", 1);
    EXPECT_EQ(RunSetup(os), 0);
    EXPECT_EQ(os.boxes.back(), Failure(kCannotInstall, c.code));
    EXPECT_EQ(os.Happened("OpenStream"), c.code == 7);
  }
  // A subfolder cannot be opened as a file.
  FakePlatform os = Installation();
  os.dirs.insert(InPkg("extra"));
  EXPECT_EQ(RunSetup(os), 0);
  EXPECT_EQ(os.boxes.back(), Failure(kCannotInstall, 8));
  // A map in other letters is no map, found missing once all is counted.
  os = Installation();
  os.files.erase(InPkg("cliver.map"));
  os.AddFile(InPkg("CLIVER.MAP"), kMap);
  EXPECT_EQ(RunSetup(os), 0);
  EXPECT_TRUE(os.Happened("OpenExclusive C:\\Pkg\\b.bmp"));
  EXPECT_FALSE(os.Happened("OpenStream"));
}

TEST(ScanTest, CurrentDirectoryIsWalkedAsTheSystemGivesIt) {
  for (const std::string& dir :
       {"C:\\" + std::string(300, 'p'), std::string("E:\\")}) {
    FakePlatform os = Installation();
    os.dirs.insert(dir);
    os.current_dir = dir;
    // A drive root keeps its separator: two in a row follow it.
    os.AddFile(dir + "\\cliver.map", kMap);
    os.AddFile(dir + "\\c.bmp", "c");
    EXPECT_EQ(RunSetup(os), 1) << dir;
    EXPECT_TRUE(os.HasFile(InSkin("c.bmp")));
  }
}

}  // namespace
}  // namespace fake
