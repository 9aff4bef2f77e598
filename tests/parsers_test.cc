// The compatibility map's lines, as the text mode reads them and as the
// parser splits and converts them; the catalogue's code page as UTF-8.

#include <gtest/gtest.h>

#include <cstring>

#include "skinsetup/map_parser.h"
#include "skinsetup/messages.h"
#include "skinsetup/switches.h"
#include "skinsetup/text_reader.h"

namespace skinsetup {
namespace {

TEST(MapParserTest, ParsesEveryKindOfLine) {
  const struct {
    const char* line;
    MapLine::Kind kind;
    const char *name, *value;
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
  const std::pair<const char*, std::int32_t> cases[] = {
      {"3", 3},
      {"abc", 0},
      {"3abc", 3},
      {"-3", -3},
      {"+42", 42},
      {"\t\r\v 12", 12},
      {"-", 0},
      {"007", 7},
      {"2147483647", 2147483647},
      {"2147483648", 2147483647},
      {"99999999999999999999999", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"-2147483649", -2147483647 - 1},
  };
  for (const auto& [text, number] : cases)
    EXPECT_EQ(ParseInteger(text), number) << text;
}

TEST(TextReaderTest, ReadsAsTheWindowsTextModeDoes) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {
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
    const std::string& bytes = c.first;
    for (std::size_t chunk : {1, 2, 4096}) {  // Bytes per read.
      std::size_t offset = 0;
      TextReader reader([&](char* buffer, long size) {
        const std::size_t count = std::min(
            {bytes.size() - offset, static_cast<std::size_t>(size), chunk});
        std::memcpy(buffer, bytes.data() + offset, count);
        offset += count;
        return static_cast<long>(count);
      });
      std::vector<std::string> lines;
      char line[512];
      while (!reader.AtEnd()) {
        if (reader.GetLine(line, sizeof line)) lines.push_back(line);
      }
      EXPECT_EQ(lines, c.second) << chunk << " " << bytes;
    }
  }
}

// Code page 1252 at the ends of its ranges: the euro sign, the two of the
// 0x80 block that Windows leaves as they are, Ÿ, and Latin-1 from 0xA0.
TEST(CatalogueTest, CodePage1252BecomesUtf8) {
  EXPECT_EQ(Utf8FromCatalogue("a\x80\x81\x9D\x9F\xA0\xE8\xFF"),
            "a€\u0081\u009DŸ\u00A0èÿ");
}

}  // namespace
}  // namespace skinsetup

// Switches before the skin's name: what is set, the name, and whether the
// tail is accepted.
TEST(SwitchesTest, SplitsSwitchesFromTheSkinName) {
  const struct {
    const char* tail;
    bool ok, silent, overwrite;
    const char *log, *name;
    bool help = false;
  } cases[] = {
      {"Blue", true, false, false, "", "Blue"},
      {"/s /overwrite \t My  Skin ", true, true, true, "", "My  Skin "},
      {"/S /LOG=\"C:\\My Logs\\skin.log\" Blue", true, true, false,
       "C:\\My Logs\\skin.log", "Blue"},
      {"\"/Log=C:\\a b.txt\" Blue", true, false, false, "C:\\a b.txt", "Blue"},
      {"/LOG=C:\\x.txt /LOG=C:\\y.txt Blue", true, false, false, "C:\\y.txt",
       "Blue"},
      {"/S", true, true, false, "", ""},
      {"/VERYSILENT /NORESTART Blue", true, true, false, "", "Blue"},
      {"/Silent /suppressmsgboxes Blue", true, true, false, "", "Blue"},
      {"/quiet /QN Blue", true, true, false, "", "Blue"},
      {"/norestart Blue", true, false, false, "", "Blue"},
      {"/Help /h Blue", true, false, false, "", "Blue", true},
      // Refused: unknown, malformed, or a quote left open.
      {"/X Blue", false, false, false, "", "Blue"},
      {"/S=1 Blue", false, false, false, "", "Blue"},
      {"/LOG Blue", false, false, false, "", "Blue"},
      {"/LOG= Blue", false, false, false, "", "Blue"},
      {"/LOG=\"\" Blue", false, false, false, "", "Blue"},
      {"/X /S Blue", false, true, false, "", "Blue"},
      {"/uninstall /check Blue", false, false, false, "", "Blue"},
      {"/LOG=\"C:\\x.txt Blue", false, false, false, "", ""},
      {"/LOG=\"C:\\x.txt /qn Blue", false, true, false, "", ""},
  };
  for (const auto& c : cases) {
    skinsetup::Switches switches;
    std::string name;
    EXPECT_EQ(skinsetup::SplitCommandTail(c.tail, &switches, &name), c.ok)
        << c.tail;
    EXPECT_EQ(switches.bSilent, c.silent) << c.tail;
    EXPECT_EQ(switches.bOverwrite, c.overwrite) << c.tail;
    EXPECT_EQ(switches.bHelp, c.help) << c.tail;
    if (c.ok) {
      EXPECT_EQ(switches.szLogPath, c.log) << c.tail;
    }
    EXPECT_EQ(name, c.name) << c.tail;
  }
}
