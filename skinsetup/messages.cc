// The catalogue's helpers (messages.h): a failure's text with its code,
// code page 1252 as UTF-8, and the numbers of the trace boxes. Pure:
// touches neither the system nor the run.

#include "skinsetup/messages.h"

#include <cstdio>

namespace skinsetup {
namespace {

// One format a code, so that the message reads text + code in decimal.
constexpr const char* kFailureFormats[] = {
    "%s CODICE ERRORE:0", "%s CODICE ERRORE:1", "%s CODICE ERRORE:2",
    "%s CODICE ERRORE:3", "%s CODICE ERRORE:4", "%s CODICE ERRORE:5",
    "%s CODICE ERRORE:6", "%s CODICE ERRORE:7", "%s CODICE ERRORE:8",
    "%s CODICE ERRORE:9", "%s CODICE ERRORE:10"};
constexpr int kCodeCount = sizeof(kFailureFormats) / sizeof(*kFailureFormats);

// The message buffer of the fatal errors and the formatted traces. Every
// text that goes through it is far shorter.
constexpr std::size_t kMessageSize = 256;

// What code page 1252 puts at 0x80 to 0x9F; from 0xA0 on, it is Latin-1,
// whose bytes are their own code points. The five bytes the page leaves
// undefined stand for themselves, as Windows reads them.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

std::string FormatFailure(const char* text, int code) {
  char buffer[kMessageSize];
  if (code < 0 || code >= kCodeCount) {
    std::snprintf(buffer, sizeof buffer, "%s CODICE ERRORE:%d", text, code);
  } else {
    std::snprintf(buffer, sizeof buffer, kFailureFormats[code], text);
  }
  return buffer;
}

std::string Utf8FromCatalogue(const std::string& text) {
  std::string utf8;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const char16_t code = byte < 0x80   ? byte
                          : byte < 0xA0 ? kCp1252High[byte - 0x80]
                                        : byte;
    if (code < 0x80) {
      utf8 += static_cast<char>(code);
    } else if (code < 0x800) {
      utf8 += static_cast<char>(0xC0 | (code >> 6));
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      utf8 += static_cast<char>(0xE0 | (code >> 12));
      utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return utf8;
}

std::string FormatFloat(float value) {
  char buffer[kMessageSize];
  std::snprintf(buffer, sizeof buffer, "%f", static_cast<double>(value));
  return buffer;
}

std::string FormatSigned(std::uint32_t value) {
  char buffer[kMessageSize];
  std::snprintf(buffer, sizeof buffer, "%d", static_cast<int>(value));
  return buffer;
}

}  // namespace skinsetup
