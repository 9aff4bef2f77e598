// The compatibility map: its text-mode reading, the parsing of its lines,
// the range test and the client's revision.

#include <gtest/gtest.h>

#include <cstring>

#include "skinsetup/map_parser.h"
#include "skinsetup/text_reader.h"
#include "tests/test_support.h"

namespace fake {
namespace {

using skinsetup::kCannotInstall;
using skinsetup::kIncompatible;
using skinsetup::MapLine;
using skinsetup::ParseInteger;
using skinsetup::ParseMapLine;

TEST(MapParserTest, ParsesEveryExampleLine) {
  struct Case {
    const char* line;
    MapLine::Kind kind;
    const char* name;
    const char* value;
  } cases[] = {
      {"SKIN-COMPATIBILITY-MIN=3", MapLine::kEntry, "SKIN-COMPATIBILITY-MIN",
       "3"},
      {"SKIN-COMPATIBILITY-MAX=7 some words", MapLine::kEntry,
       "SKIN-COMPATIBILITY-MAX", "7"},
      {"SKIN-COMPATIBILITY-MIN = 3", MapLine::kNoValue,
       "SKIN-COMPATIBILITY-MIN", ""},
      {"  SKIN-COMPATIBILITY-MIN=3", MapLine::kEntry,
       "  SKIN-COMPATIBILITY-MIN", "3"},
      {"SKIN-COMPATIBILITY-MIN==3", MapLine::kEntry, "SKIN-COMPATIBILITY-MIN",
       "3"},
      {"SKIN-COMPATIBILITY-MIN=3=4", MapLine::kEntry, "SKIN-COMPATIBILITY-MIN",
       "3"},
      {"SKIN-COMPATIBILITY-MIN=", MapLine::kNoValue, "SKIN-COMPATIBILITY-MIN",
       ""},
      {"AUTHOR", MapLine::kNoValue, "AUTHOR", ""},
      {"=5", MapLine::kNoValue, "5", ""},
      {"===", MapLine::kNoName, "", ""},
      {"SKIN-COMPATIBILITY-MIN=abc", MapLine::kEntry, "SKIN-COMPATIBILITY-MIN",
       "abc"},
      {"SKIN-COMPATIBILITY-MIN=3abc", MapLine::kEntry, "SKIN-COMPATIBILITY-MIN",
       "3abc"},
      {"SKIN-COMPATIBILITY-MIN=-3", MapLine::kEntry, "SKIN-COMPATIBILITY-MIN",
       "-3"},
      {"==SKIN-COMPATIBILITY-MIN=3", MapLine::kEntry, "SKIN-COMPATIBILITY-MIN",
       "3"},
      {"\tSKIN-COMPATIBILITY-MIN=3", MapLine::kEntry,
       "\tSKIN-COMPATIBILITY-MIN", "3"},
      {"= A", MapLine::kNoName, "", ""},
      {" =", MapLine::kNoValue, " ", ""},
      {"# comment", MapLine::kNoValue, "#", ""},
      {"#SKIN-COMPATIBILITY-MIN=3", MapLine::kEntry, "#SKIN-COMPATIBILITY-MIN",
       "3"},
      {"", MapLine::kBlank, "", ""},
      {" \t  ", MapLine::kBlank, "", ""},
      {"A=1\tB=2", MapLine::kEntry, "A", "1"},
      {"A=1\r", MapLine::kEntry, "A", "1\r"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const MapLine parsed = ParseMapLine(c.line);
    EXPECT_EQ(parsed.kind, c.kind);
    EXPECT_EQ(parsed.name, c.name);
    EXPECT_EQ(parsed.value, c.value);
  }
}

TEST(MapParserTest, ConvertsValuesAsAtoiWithClampedBounds) {
  struct Case {
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
      {"-99999999999999999999999", -2147483647 - 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseInteger(c.value), c.number) << c.value;
  }
}

// Reads all lines of `bytes` as the map reading does, delivered `chunk`
// bytes at a time.
std::vector<std::string> ReadLines(const std::string& bytes, long chunk) {
  long offset = 0;
  skinsetup::TextReader reader([&](char* buffer, long size) {
    long count = static_cast<long>(bytes.size()) - offset;
    count = std::min({count, size, chunk});
    std::memcpy(buffer, bytes.data() + offset, static_cast<std::size_t>(count));
    offset += count;
    return count;
  });
  std::vector<std::string> lines;
  while (!reader.AtEnd()) {
    char line[512];
    std::memset(line, 0, sizeof line);
    if (reader.GetLine(line, sizeof line)) lines.push_back(line);
  }
  return lines;
}

TEST(TextReaderTest, ReadsAsTheWindowsTextModeDoes) {
  struct Case {
    std::string bytes;
    std::vector<std::string> lines;
  } cases[] = {
      {"A\r\nB\r\n", {"A\n", "B\n"}},
      {"A\rB\n", {"A\rB\n"}},
      {"A\r\r\nB", {"A\r\n", "B"}},
      {"A\nB", {"A\n", "B"}},
      {"A\n\x1A"
       "B\n",
       {"A\n"}},
      {"A\r\x1A", {"A\r"}},
      {"A\r", {"A\r"}},
      {"", {}},
      {std::string("A\0B\n", 4), {"A"}},
  };
  for (const Case& c : cases) {
    for (long chunk : {1L, 2L, 4096L}) {
      SCOPED_TRACE(testing::Message() << chunk << " " << c.bytes);
      EXPECT_EQ(ReadLines(c.bytes, chunk), c.lines);
    }
  }
}

TEST(TextReaderTest, LongLineIsReadIn511CharacterParts) {
  const std::vector<std::string> lines =
      ReadLines(std::string(600, 'x') + "\n", 4096);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], std::string(511, 'x'));
  EXPECT_EQ(lines[1], std::string(89, 'x') + "\n");
}

TEST(TextReaderTest, ReadErrorEndsTheReading) {
  int calls = 0;
  skinsetup::TextReader reader([&](char*, long) {
    ++calls;
    return -1L;
  });
  char line[512] = {};
  EXPECT_FALSE(reader.GetLine(line, sizeof line));
  EXPECT_TRUE(reader.Failed());
  EXPECT_FALSE(reader.GetLine(line, sizeof line));
  EXPECT_EQ(calls, 1);
}

class MapTest : public InstallerTest {
 protected:
  void ExpectMapFailure(const std::string& map, const char* text, int code) {
    SetMap(map);
    os.boxes.clear();
    os.events.clear();
    ExpectFailure("Blue", text, code);
  }
};

TEST_F(MapTest, LinesThatFailStopTheRunWithTheirCodes) {
  struct Case {
    const char* map;
    int code;
  } cases[] = {
      {"SKIN-COMPATIBILITY-MIN = 3\n", 6},
      {"SKIN-COMPATIBILITY-MIN=\n", 6},
      {"AUTHOR\n", 6},
      {"=5\n", 6},
      {"===\n", 5},
      {"= A\n", 5},
      {" =\n", 6},
      {"# comment\n", 6},
      {"", 7},
      {"\n\n  \n", 7},
      {"SKIN-COMPATIBILITY-MIN=3\n", 7},
      {"SKIN-COMPATIBILITY-MAX=3\n", 7},
      {"SKIN-COMPATIBILITY-MIN=6\nSKIN-COMPATIBILITY-MAX=5\n", 7},
      {"SKIN-COMPATIBILITY-MIN=-3\nSKIN-COMPATIBILITY-MAX=5\n", 7},
      {"  SKIN-COMPATIBILITY-MIN=3\nSKIN-COMPATIBILITY-MAX=5\n", 7},
      {"#SKIN-COMPATIBILITY-MIN=3\nSKIN-COMPATIBILITY-MAX=5\n", 7},
      {"skin-compatibility-min=3\nSKIN-COMPATIBILITY-MAX=5\n", 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.map);
    ExpectMapFailure(c.map, kCannotInstall, c.code);
    // Nothing is read from the registry before the range is accepted.
    EXPECT_FALSE(Happened("OpenUserKey SOFTWARE\\QV CLIENT\\NEWREVISION"));
  }
}

TEST_F(MapTest, AcceptedMapsInstall) {
  for (const char* map : {
           "SKIN-COMPATIBILITY-MIN=3\nSKIN-COMPATIBILITY-MAX=7",
           "SKIN-COMPATIBILITY-MIN=3\r\nSKIN-COMPATIBILITY-MAX=7\r\n",
           "AUTHOR=me\nSKIN-COMPATIBILITY-MAX=7 "
           "words\nSKIN-COMPATIBILITY-MIN==3\n",
           "SKIN-COMPATIBILITY-MIN=9\nSKIN-COMPATIBILITY-MAX=7\n"
           "SKIN-COMPATIBILITY-MIN=5\n",
           "SKIN-COMPATIBILITY-MIN=5abc\nSKIN-COMPATIBILITY-MAX=5\n",
           "SKIN-COMPATIBILITY-MIN=0\nSKIN-COMPATIBILITY-MAX=99999999999\n",
           "SKIN-COMPATIBILITY-MIN=3\nSKIN-COMPATIBILITY-MAX=7\n\x1A"
           "AUTHOR\n",
       }) {
    SCOPED_TRACE(map);
    os = Installation().os;
    SetMap(map);
    EXPECT_EQ(RunSetup(os, "Blue"), 1);
    EXPECT_EQ(os.open_streams, 0);
  }
}

TEST_F(MapTest, LongLineIsParsedAsTwoLines) {
  // 511 characters of a harmless entry, then the 89 that remain: a name
  // without a value.
  const std::string first = "X=" + std::string(509, 'x');
  ExpectMapFailure(first + std::string(89, 'y') + "\n", kCannotInstall, 6);
  SetMap(first + "\nSKIN-COMPATIBILITY-MIN=3\nSKIN-COMPATIBILITY-MAX=7\n");
  EXPECT_EQ(RunSetup(os, "Blue"), 1);
}

TEST_F(MapTest, ReadErrorEndsTheReadingWithWhatWasRead) {
  os.stream_chunk = 8;
  os.stream_error_after = 25;  // After the first line.
  ExpectMapFailure("SKIN-COMPATIBILITY-MIN=3\nSKIN-COMPATIBILITY-MAX=7\n",
                   kCannotInstall, 7);
}

TEST_F(MapTest, RangeIsInclusiveAndUnsigned) {
  struct Case {
    const char* map;
    std::uint32_t revision;
    bool accepted;
  } cases[] = {
      {"SKIN-COMPATIBILITY-MIN=5\nSKIN-COMPATIBILITY-MAX=5\n", 5, true},
      {"SKIN-COMPATIBILITY-MIN=5\nSKIN-COMPATIBILITY-MAX=5\n", 4, false},
      {"SKIN-COMPATIBILITY-MIN=5\nSKIN-COMPATIBILITY-MAX=5\n", 6, false},
      {"SKIN-COMPATIBILITY-MIN=0\nSKIN-COMPATIBILITY-MAX=2147483647\n",
       0x80000000u, false},
      {"SKIN-COMPATIBILITY-MIN=0\nSKIN-COMPATIBILITY-MAX=2147483647\n",
       0x7FFFFFFFu, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.map << c.revision);
    os = Installation().os;
    os.InstallClient(kClient, c.revision);
    SetMap(c.map);
    if (c.accepted) {
      EXPECT_EQ(RunSetup(os, "Blue"), 1);
    } else {
      ExpectFailure("Blue", kIncompatible, 3);
    }
  }
}

TEST_F(MapTest, RevisionFailuresHaveTheirCodes) {
  const std::string key = "SOFTWARE\\QV CLIENT\\NEWREVISION";
  os.registry.erase(Fold(key));
  ExpectFailure("Blue", kIncompatible, 2);
  EXPECT_FALSE(Happened("QueryKeyValue SKIN-COMPATIBILITY"));

  os.AddKey(key);
  os.events.clear();
  ExpectFailure("Blue", kIncompatible, 1);
  const std::vector<std::string> tail(os.events.end() - 3, os.events.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"Box Quintavo Skins Installer: " +
                                                Failure(kIncompatible, 1),
                                            "CloseKey", "Exit 0"}));

  os.SetValue(key, "SKIN-COMPATIBILITY", {5, 0, 0, 0, 0});
  ExpectFailure("Blue", kIncompatible, 1);
}

TEST_F(MapTest, ShortRevisionValueIsZeroExtended) {
  const std::string key = "SOFTWARE\\QV CLIENT\\NEWREVISION";
  os.SetValue(key, "SKIN-COMPATIBILITY", {5});
  EXPECT_EQ(RunSetup(os, "Blue"), 1);
  os.SetValue(key, "SKIN-COMPATIBILITY", {5, 1});  // 261.
  os.dirs.erase(kSkin);
  ExpectFailure("Blue", kIncompatible, 3);
}

}  // namespace
}  // namespace fake
