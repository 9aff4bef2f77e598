#include "platform/win32_names.h"

namespace platform {
namespace {

bool IsReservedDeviceName(std::string base) {
  for (char& c : base) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") {
    return true;
  }
  return base.size() == 4 &&
         (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

}  // namespace

bool IsPlainWin32EntryName(const std::string& name) {
  if (name.find(':') != std::string::npos) return false;
  const std::size_t end = name.find_last_not_of(". ");
  if (end == std::string::npos) return false;
  const std::string stored = name.substr(0, end + 1);
  if (stored == "." || stored == "..") return false;
  std::string base = stored.substr(0, stored.find('.'));
  const std::size_t last = base.find_last_not_of(' ');
  base.erase(last == std::string::npos ? 0 : last + 1);
  return !IsReservedDeviceName(base);
}

bool IsAbsoluteWin32Path(const std::string& path) {
  auto separator = [&](std::size_t at) {
    return at < path.size() && (path[at] == '\\' || path[at] == '/');
  };
  if (separator(0) && separator(1)) return true;
  const char drive = path.empty() ? '\0' : path[0];
  return ((drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z')) &&
         path.size() >= 2 && path[1] == ':';
}

}  // namespace platform
