#include "platform/reg_file.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

using Bytes = std::vector<unsigned char>;

RegistryData Parse(const std::string& text) {
  RegistryData data;
  std::string message;
  int line = 0;
  EXPECT_TRUE(ParseRegFile(text, &data, &message, &line))
      << "line " << line << ": " << message;
  return data;
}

Bytes Value(const RegistryData& data, const std::string& key,
            const std::string& name) {
  const RegistryData::Values* values = data.Find(key);
  if (values == nullptr) return {0xEE};
  auto it = values->find(FoldCase(name));
  return it == values->end() ? Bytes{0xDD} : it->second;
}

TEST(RegFileTest, ReadsEveryValueType) {
  const RegistryData data = Parse(
      "Windows Registry Editor Version 5.00\r\n"
      "\r\n"
      "; the client\r\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\QV CLIENT]\r\n"
      "\"Install Directory\"=\"C:\\\\Apps\\\\Quintavo\"\r\n"
      "\"Quoted\"=\"say \\\"hi\\\"\"\r\n"
      "@=\"default\"\r\n"
      "\"Count\"=dword:0000000a\r\n"
      "\"Short\"=dword:1\r\n"
      "\"Raw\"=hex: 01 ,\tA2, Ff\r\n"
      "\"Multi\"=hex(7):41,00,\\\r\n"
      "  42,00,00\r\n"
      "\"Empty\"=hex:\r\n");
  const std::string key = "HKEY_CURRENT_USER\\SOFTWARE\\QV CLIENT";
  const std::string dir = "C:\\Apps\\Quintavo";
  Bytes text(dir.begin(), dir.end());
  text.push_back(0);
  EXPECT_EQ(Value(data, key, "Install Directory"), text);
  EXPECT_EQ(Value(data, key, "Quoted"),
            (Bytes{'s', 'a', 'y', ' ', '"', 'h', 'i', '"', 0}));
  EXPECT_EQ(Value(data, key, ""),
            (Bytes{'d', 'e', 'f', 'a', 'u', 'l', 't', 0}));
  EXPECT_EQ(Value(data, key, "Count"), (Bytes{10, 0, 0, 0}));
  EXPECT_EQ(Value(data, key, "Short"), (Bytes{1, 0, 0, 0}));
  EXPECT_EQ(Value(data, key, "Raw"), (Bytes{1, 0xA2, 0xFF}));
  EXPECT_EQ(Value(data, key, "Multi"), (Bytes{0x41, 0, 0x42, 0, 0}));
  EXPECT_EQ(Value(data, key, "Empty"), Bytes{});
}

TEST(RegFileTest, KeysAndNamesMatchInAnyCaseAndAncestorsExist) {
  const RegistryData data = Parse(
      "REGEDIT4\n"
      "[hkey_current_user\\Software\\QV Client\\NewRevision]\n"
      "\"skin-compatibility\"=dword:00000005\n");
  EXPECT_EQ(Value(data, "HKEY_CURRENT_USER\\SOFTWARE\\QV CLIENT\\NEWREVISION",
                  "SKIN-COMPATIBILITY"),
            (Bytes{5, 0, 0, 0}));
  EXPECT_NE(data.Find("HKEY_CURRENT_USER\\SOFTWARE\\QV CLIENT"), nullptr);
  EXPECT_NE(data.Find("HKEY_CURRENT_USER\\SOFTWARE"), nullptr);
  EXPECT_EQ(data.Find("HKEY_CURRENT_USER\\SOFTWARE\\Other"), nullptr);
  EXPECT_EQ(data.Find("HKEY_LOCAL_MACHINE\\SOFTWARE\\QV CLIENT"), nullptr);
}

TEST(RegFileTest, LaterLinesReplaceAndDelete) {
  const RegistryData data = Parse(
      "REGEDIT4\n"
      "[HKCU\\A]\n\"x\"=dword:1\n\"y\"=dword:2\n\"x\"=dword:3\n\"y\"=-\n"
      "[HKCU\\B\\C]\n\"z\"=dword:4\n"
      "[HKCU\\B C]\n[HKCU\\D\\E]\n"
      "[-HKCU\\B]\n[-HKCU\\D\\E]\n");
  // A deleted key's parent stays; a key that merely starts alike too.
  EXPECT_NE(data.Find("HKEY_CURRENT_USER\\B C"), nullptr);
  EXPECT_NE(data.Find("HKEY_CURRENT_USER\\D"), nullptr);
  EXPECT_EQ(data.Find("HKEY_CURRENT_USER\\D\\E"), nullptr);
  EXPECT_EQ(Value(data, "HKEY_CURRENT_USER\\A", "x"), (Bytes{3, 0, 0, 0}));
  EXPECT_EQ(Value(data, "HKEY_CURRENT_USER\\A", "y"), Bytes{0xDD});
  EXPECT_EQ(data.Find("HKEY_CURRENT_USER\\B\\C"), nullptr);
  EXPECT_EQ(data.Find("HKEY_CURRENT_USER\\B"), nullptr);
}

TEST(RegFileTest, KeepsNoMoreThanTheFileHolds) {
  // Every level of a deep key held as a path of its own would take 1.6 GB.
  std::string text = "REGEDIT4\n[HKEY_CURRENT_USER";
  for (int level = 0; level < 40000; ++level) text += "\\k";
  const RegistryData data = Parse(text + "]\n");
  std::size_t held = 0;
  for (const auto& key : data.keys) held += key.first.size();
  EXPECT_LE(held, text.size());
  EXPECT_NE(data.Find("HKCU\\k\\k"), nullptr);
}

// The registry editor's own export of the 5.00 format is UTF-16LE; it
// reads as the same text in UTF-8 would.
std::string Utf16(const std::string& ascii_or_latin1) {
  std::string text = "\xFF\xFE";
  for (char c : ascii_or_latin1) {
    const auto unit = static_cast<unsigned char>(c);
    text += static_cast<char>(unit);
    text += '\0';
  }
  return text;
}

TEST(RegFileTest, UnderstandsByteOrderMarks) {
  auto text = [](const std::string& a_grave) {
    return "Windows Registry Editor Version 5.00\r\n[HKCU\\K]\r\n"
           "\"Install Directory\"=\"C:\\\\Citt" +
           a_grave + "\"\r\n";
  };
  for (const std::string& file :
       {"\xEF\xBB\xBF" + text("\xC3\xA0"), Utf16(text("\xE0"))}) {
    const RegistryData data = Parse(file);
    EXPECT_EQ(Value(data, "HKEY_CURRENT_USER\\K", "Install Directory"),
              (Bytes{'C', ':', '\\', 'C', 'i', 't', 't', 0xC3, 0xA0, 0}));
  }
  // A lone surrogate on the third line.
  RegistryData data;
  std::string message;
  int line = 0;
  EXPECT_FALSE(ParseRegFile(
      Utf16("REGEDIT4\n[HKCU\\K]\n\"x\"=\"") + std::string("\x00\xD8", 2),
      &data, &message, &line));
  EXPECT_EQ(line, 3);
}

TEST(RegFileTest, ReportsTheLineOfAMalformedFileAndKeepsNoKeys) {
  struct Case {
    std::string text;
    int line;
  } cases[] = {
      {"", 1},
      {"[HKCU\\K]\n", 1},
      {"REGEDIT4\n\"x\"=dword:1\n", 2},
      {"REGEDIT4\n[HKCU\\K]\n\"x\"=dword:123456789\n", 3},
      {"REGEDIT4\n[HKCU\\K]\n\"x\"=dword:xyz\n", 3},
      {"REGEDIT4\n[HKCU\\K]\n\"x\"=\"open\n", 3},
      {"REGEDIT4\n[HKCU\\K]\n\"x\"=hex:1,2\n", 3},
      {"REGEDIT4\n[HKCU\\K]\n\"x\"=hex:01,2\n", 3},
      {"REGEDIT4\n[HKCU\\K]\n\"x\"=hex:01,\n", 3},
      {"REGEDIT4\n[HKCU\\K]\n\"x\"=string:abc\n", 3},
      {"REGEDIT4\n[HKCU\\K]\n\"x\" dword:1\n", 3},
      {"REGEDIT4\n[HKCU\\K\n", 2},
      {"REGEDIT4\n[NOWHERE\\K]\n", 2},
      {"REGEDIT4\n[HKCU\\K]\njunk\n", 3},
      {"REGEDIT4\n[HKCU\\K]\n\"x\"=hex:01,\\\n", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    RegistryData data;
    data.keys["stale"];
    std::string message;
    int line = 0;
    EXPECT_FALSE(ParseRegFile(c.text, &data, &message, &line));
    EXPECT_EQ(line, c.line);
    EXPECT_FALSE(message.empty());
    EXPECT_TRUE(data.keys.empty());
  }
}

}  // namespace
}  // namespace platform
