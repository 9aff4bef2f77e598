// The current user's registry, read through the wide calls.

#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/system_platform.h"
#include "platform/win32/wide_text.h"

namespace platform {

long SystemPlatform::OpenUserKey(const char* subkey, std::uint32_t access,
                                 RegKey* key) {
  HKEY handle = nullptr;
  const LONG result = RegOpenKeyExW(HKEY_CURRENT_USER, Widen(subkey).c_str(), 0,
                                    access, &handle);
  if (result == ERROR_SUCCESS) *key = reinterpret_cast<RegKey>(handle);
  return result;
}

long SystemPlatform::QueryKeyValue(RegKey key, const char* name,
                                   unsigned char* data, std::uint32_t* size) {
  // Texts come as UTF-16 and go to the installer as UTF-8, and the bounds
  // hold in UTF-8 bytes; any other type is passed on as its bytes.
  const std::wstring value_name = Widen(name);
  std::vector<unsigned char> raw;
  DWORD type = REG_NONE;
  DWORD bytes = 0;
  LONG result;
  do {
    raw.resize(bytes + sizeof(wchar_t));
    bytes = static_cast<DWORD>(raw.size());
    result = RegQueryValueExW(reinterpret_cast<HKEY>(key), value_name.c_str(),
                              nullptr, &type, raw.data(), &bytes);
  } while (result == ERROR_MORE_DATA);
  if (result != ERROR_SUCCESS) return result;
  std::string value;
  if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
    std::vector<wchar_t> text(bytes / sizeof(wchar_t));
    if (!text.empty()) std::memcpy(text.data(), raw.data(), text.size() * 2);
    value = Narrow(text.data(), text.size());
  } else {
    value.assign(raw.begin(), raw.begin() + bytes);
  }
  if (value.size() > *size) {
    *size = static_cast<std::uint32_t>(value.size());
    return ERROR_MORE_DATA;
  }
  if (!value.empty()) std::memcpy(data, value.data(), value.size());
  *size = static_cast<std::uint32_t>(value.size());
  return ERROR_SUCCESS;
}

void SystemPlatform::CloseKey(RegKey key) {
  RegCloseKey(reinterpret_cast<HKEY>(key));
}

}  // namespace platform
