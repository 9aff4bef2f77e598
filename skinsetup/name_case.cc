// The case rules of names (name_case.h): capitals of ASCII, and Windows'
// upper case of file names from the table the build writes. Pure: touches
// neither the system nor the run.

#include "skinsetup/name_case.h"

#include <cstdint>

namespace skinsetup {
namespace {

// kUpperCasePage and kUpperCaseDelta, written at build time from Unicode's
// data by cmake/upper_case_table.py.
#include "upper_case_table.inc"

// The length of the valid UTF-8 sequence at `at`, and its code point in
// `*point`; 0 where no valid sequence starts there. Overlong forms,
// surrogates and points beyond U+10FFFF are not valid, so that each name
// has a single reading.
std::size_t ReadSequence(const std::string& text, std::size_t at,
                         char32_t* point) {
  const auto byte = [&](std::size_t i) {
    return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0u;
  };
  const unsigned lead = byte(0);
  const std::size_t length = lead < 0x80   ? 1
                             : lead < 0xC0 ? 0
                             : lead < 0xE0 ? 2
                             : lead < 0xF0 ? 3
                             : lead < 0xF5 ? 4
                                           : 0;
  if (length == 0) return 0;
  char32_t value = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    value = value << 6 | (byte(i) & 0x3F);
  }
  constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kShortest[length] || value > 0x10FFFF ||
      (value >= 0xD800 && value <= 0xDFFF)) {
    return 0;
  }
  *point = value;
  return length;
}

}  // namespace

std::string AsciiCapitals(const std::string& text) {
  std::string capitals = text;
  for (char& c : capitals) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return capitals;
}

char16_t UpperCaseUnit(char16_t unit) {
  const int delta = kUpperCaseDelta[kUpperCasePage[unit >> 8]][unit & 0xFF];
  return static_cast<char16_t>(unit + delta);
}

std::u16string NameWithCaseFolded(const std::string& utf8_name) {
  std::u16string folded;
  for (std::size_t at = 0; at < utf8_name.size();) {
    char32_t point = 0;
    const std::size_t length = ReadSequence(utf8_name, at, &point);
    if (length == 0) {
      folded += static_cast<char16_t>(
          0xDC00 + static_cast<unsigned char>(utf8_name[at]));
      ++at;
      continue;
    }
    if (point >= 0x10000) {
      // A surrogate pair, which Windows leaves as it is.
      point -= 0x10000;
      folded += static_cast<char16_t>(0xD800 + (point >> 10));
      folded += static_cast<char16_t>(0xDC00 + (point & 0x3FF));
    } else {
      folded += UpperCaseUnit(static_cast<char16_t>(point));
    }
    at += length;
  }
  return folded;
}

}  // namespace skinsetup
