// UTF-8 to UTF-16 and back, and the long path form (wide_text.h); calls
// only Windows' conversions.

#include "platform/win32/wide_text.h"

#include <windows.h>

#include "platform/win32/win32_names.h"

namespace platform {
namespace {

// The longest plain path a call takes: MAX_PATH less its terminating zero,
// and less the 8.3 name that a folder being made must leave room for.
constexpr std::size_t kPlainPathLimit = MAX_PATH - 12;

}  // namespace

std::wstring Widen(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int size = static_cast<int>(utf8.size());
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, &wide[0], length);
  return wide;
}

std::string Narrow(const wchar_t* text, std::size_t length) {
  if (length == 0) return std::string();
  const int size = static_cast<int>(length);
  const int bytes =
      WideCharToMultiByte(CP_UTF8, 0, text, size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, size, &utf8[0], bytes, nullptr,
                      nullptr);
  return utf8;
}

std::string Narrow(const std::wstring& text) {
  return Narrow(text.data(), text.size());
}

std::wstring SystemPath(const std::string& path) {
  std::wstring wide = Widen(path);
  if (wide.size() < kPlainPathLimit) return wide;
  return Widen(ExtendedLengthPath(path));
}

}  // namespace platform
