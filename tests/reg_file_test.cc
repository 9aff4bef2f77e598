// The .reg file's reader: every value type, key and encoding, and the
// line of a malformed file.

#include "platform/posix/reg_file.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

using Bytes = std::vector<unsigned char>;

// The bytes of value `name` of `key` once `text` is read; {0xEE} for a
// missing key, {0xDD} for a missing value. Read whole, or keeping that key
// alone, with that value alone, the answer is the same.
Bytes Value(const std::string& text, const std::string& key,
            const std::string& name) {
  Bytes answers[2];
  const std::string folded = FoldCase(name);
  for (int alone = 0; alone < 2; ++alone) {
    RegistryData data;
    data.keys["hkey_current_user\\software\\other"];  // Of an earlier reading.
    std::string message;
    int line = 0;
    EXPECT_TRUE(ParseRegFile(text, &data, &message, &line, alone ? key : "",
                             alone ? &folded : nullptr))
        << line << message;
    const RegistryData::Values* values = data.Find(key);
    if (values == nullptr) {
      answers[alone] = {0xEE};
      continue;
    }
    auto it = values->find(folded);
    answers[alone] = it == values->end() ? Bytes{0xDD} : it->second;
  }
  EXPECT_EQ(answers[0], answers[1]) << key << " " << name;
  return answers[0];
}

// The registry editor's export of the 5.00 format is UTF-16LE.
std::string Utf16(const std::string& latin1) {
  std::string text = "\xFF\xFE";
  for (char c : latin1) text += std::string{c, '\0'};
  return text;
}

TEST(RegFileTest, ReadsEveryValueTypeKeyAndEncoding) {
  const std::string client = "HKEY_CURRENT_USER\\SOFTWARE\\QV CLIENT";
  const std::string file =
      "Windows Registry Editor Version 5.00\r\n\r\n; the client\r\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\QV CLIENT]\r\n"
      "\"Install Directory\"=\"C:\\\\Q\"\r\n"
      "\"Quoted\"=\"say \\\"hi\\\"\"\r\n"
      "@=\"default\"\r\n"
      "\"Count\"=dword:0000000a\r\n\"Short\"=dword:1\r\n"
      "\"Raw\"=hex: 09 ,\tA2, Ff\r\n"
      "\"Multi\"=hex(7):41,00,00,00,\\\r\n  42,00,00,00,00,00\r\n"
      "\"Expand\"=hex(2):25,00,51,00,25,00,e0,00,00,00\r\n"
      "\"Empty\"=hex:\r\n"
      "\"Split\"=hex\\\r\n:4\\\r\n1\r\n"
      "[hkcu\\Software\\QV Client\\NewRevision]\r\n"
      "\"skin-compatibility\"=dword:5\r\n"
      "[HKCU\\A]\r\n\"x\"=dword:1\r\n\"y\"=dword:2\r\n\"x\"=dword:3\r\n"
      "\"y\"=-\r\n[HKCU\\B\\C]\r\n[HKCU\\B C]\r\n[HKCU\\D\\E]\r\n"
      "[-HKCU\\B]\r\n[-HKCU\\D\\E]\r\n[HKCU\\Z]\r\n\"Z\"=dword:7\r\n";
  const struct {
    std::string key, name;
    Bytes bytes;
  } cases[] = {
      {client, "install directory", {'C', ':', '\\', 'Q', 0}},
      {client, "Quoted", {'s', 'a', 'y', ' ', '"', 'h', 'i', '"', 0}},
      {client, "", {'d', 'e', 'f', 'a', 'u', 'l', 't', 0}},
      {client, "Count", {10, 0, 0, 0}},
      {client, "Short", {1, 0, 0, 0}},
      {client, "Raw", {9, 0xA2, 0xFF}},
      // Texts in bytes are UTF-16, and come as UTF-8, unexpanded.
      {client, "Multi", {'A', 0, 'B', 0, 0}},
      {client, "Expand", {'%', 'Q', '%', 0xC3, 0xA0, 0}},
      {client, "Empty", {}},
      {client, "Split", {0x41}},  // Lines join before they are read.
      // Keys and names match in any case, and ancestors exist.
      {client + "\\NEWREVISION", "SKIN-COMPATIBILITY", {5, 0, 0, 0}},
      {"HKEY_CURRENT_USER\\SOFTWARE", "x", {0xDD}},
      {"HKEY_CURRENT_USER\\SOFTWARE\\Other", "x", {0xEE}},
      {"hkey_current_user\\z", "z", {7, 0, 0, 0}},
      {"HKEY_LOCAL_MACHINE\\SOFTWARE\\QV CLIENT", "Count", {0xEE}},
      // Later lines replace and delete; a deleted key's parent stays, and
      // a key that merely starts alike too.
      {"HKEY_CURRENT_USER\\A", "x", {3, 0, 0, 0}},
      {"HKEY_CURRENT_USER\\A", "y", {0xDD}},
      {"HKEY_CURRENT_USER\\B\\C", "x", {0xEE}},
      {"HKEY_CURRENT_USER\\B", "x", {0xEE}},
      {"HKEY_CURRENT_USER\\B C", "x", {0xDD}},
      {"HKEY_CURRENT_USER\\D", "x", {0xDD}},
      {"HKEY_CURRENT_USER\\D\\E", "x", {0xEE}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Value(file, c.key, c.name), c.bytes) << c.key << " " << c.name;
  }
  // UTF-8 after its mark, and UTF-16LE, read as UTF-8.
  const auto city = [](const std::string& a_grave) {
    return "REGEDIT4\r\n[HKCU\\K]\r\n\"D\"=\"Citt" + a_grave + "\"\r\n";
  };
  for (const std::string& text :
       {"\xEF\xBB\xBF" + city("\xC3\xA0"), Utf16(city("\xE0"))}) {
    EXPECT_EQ(Value(text, "HKCU\\K", "D"),
              (Bytes{'C', 'i', 't', 't', 0xC3, 0xA0, 0}));
  }
}

TEST(RegFileTest, ReportsTheLineOfAMalformedFileAndKeepsNoKeys) {
  const std::string k = "REGEDIT4\n[HKCU\\K]\n";
  const std::pair<std::string, int> cases[] = {
      {"", 1},
      {"[HKCU\\K]\n", 1},
      {"REGEDIT4\n\"x\"=dword:1\n", 2},
      {"REGEDIT4\n[HKCU\\K\n", 2},
      {"REGEDIT4\n[NOWHERE\\K]\n", 2},
      {k + "\"x\"=dword:123456789\n", 3},
      {k + "\"x\"=dword:xyz\n", 3},
      {k + "\"x\"=\"open\n", 3},
      {k + "\"x\"=\"a\" b\n", 3},  // Text, then more.
      {k + "\"x\"=hex:1,2\n", 3},
      {k + "\"x\"=hex:01,2\n", 3},
      {k + "\"x\"=hex:01,\n", 3},
      {k + "\"x\"=hex:01,\\\n", 3},
      {k + "\"x\"=string:abc\n", 3},
      {k + "\"x\"=hexz1):00\n", 3},           // Neither hex: nor hex(N):.
      {k + "\"x\"=hex(1):00,d8,00,00\n", 3},  // A text of a lone surrogate.
      {k + "\"x\" dword:1\n", 3},
      {k + "junk\n", 3},
      // A lone surrogate after a whole file.
      {Utf16(k + "\"x\"=dword:1\n") + std::string("\x00\xD8", 2), 4},
  };
  for (const auto& [text, expected_line] : cases) {
    RegistryData data;
    data.keys["stale"];
    std::string message;
    int line = 0;
    EXPECT_FALSE(ParseRegFile(text, &data, &message, &line)) << text;
    EXPECT_EQ(line, expected_line) << text;
    EXPECT_FALSE(message.empty());
    EXPECT_TRUE(data.keys.empty());
  }
}

}  // namespace
}  // namespace platform
