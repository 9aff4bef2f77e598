// Text between the installer, which speaks UTF-8, and the wide (UTF-16)
// calls of Windows, which reach every name whatever the system's code page.

#ifndef SKINSETUP_PLATFORM_WIN32_WIDE_TEXT_H_
#define SKINSETUP_PLATFORM_WIN32_WIDE_TEXT_H_

#include <string>

namespace platform {

// UTF-8 as UTF-16; a malformed sequence becomes U+FFFD.
std::wstring Widen(const std::string& utf8);

// UTF-16, `length` units of it (embedded zeros included), as UTF-8.
std::string Narrow(const wchar_t* text, std::size_t length);
std::string Narrow(const std::wstring& text);

// A path as the wide file calls take it: as it is where it fits the plain
// form's limit, otherwise in the extended-length form, which reaches up to
// 32,767 characters on every Windows without any setting.
std::wstring SystemPath(const std::string& path);

}  // namespace platform

#endif  // SKINSETUP_PLATFORM_WIN32_WIDE_TEXT_H_
