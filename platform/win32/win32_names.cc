// Windows' rules for paths and their last element, as win32_names.h
// gives them.

#include "platform/win32/win32_names.h"

#include <vector>

namespace platform {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// True when `path` starts with the prefix of the long forms, "\\\\?\\"
// (or the device form "\\\\.\\"), in either separator.
bool HasLongPrefix(const std::string& path) {
  return path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) &&
         (path[2] == '?' || path[2] == '.') && IsSeparator(path[3]);
}

// The end of the server and share of the network path whose server name
// starts at `at`: the separator after the share, or the end of the path.
std::size_t EndOfShare(const std::string& path, std::size_t at) {
  for (int element = 0; element < 2 && at < path.size(); ++element) {
    while (at < path.size() && !IsSeparator(path[at])) ++at;
    if (element == 0 && at < path.size()) ++at;
  }
  return at;
}

// The root of `path`'s drive ("D:\\") or share ("\\\\server\\share\\"), in
// the long form too.
std::string Win32RootOf(const std::string& path) {
  std::size_t at = 0;  // Where the drive letter or the server begins.
  bool network =
      path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
  if (HasLongPrefix(path)) {
    at = 4;
    network = path.compare(4, 4, "UNC\\") == 0;
    if (network) at = 8;
  } else if (network) {
    at = 2;
  }
  if (!network) return path.substr(0, at + 3);
  const std::size_t end = EndOfShare(path, at);
  return path.substr(0, end) + '\\';
}

}  // namespace

bool IsAbsoluteWin32Path(const std::string& path) {
  auto separator = [&](std::size_t at) {
    return at < path.size() && (path[at] == '\\' || path[at] == '/');
  };
  if (separator(0) && separator(1)) return true;
  const char drive = path.empty() ? '\0' : path[0];
  // "C:Apps" and "C:" name a place in the current folder of drive C.
  return ((drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z')) &&
         path.size() >= 2 && path[1] == ':' && separator(2);
}

std::string Win32ParentFolder(const std::string& folder) {
  const std::string root = Win32RootOf(folder);
  std::size_t end = folder.size();
  while (end > 0 && IsSeparator(folder[end - 1])) --end;
  while (end > 0 && !IsSeparator(folder[end - 1])) --end;
  return end <= root.size() ? root : folder.substr(0, end);
}

std::string ExtendedLengthPath(const std::string& path) {
  if (HasLongPrefix(path) || !IsAbsoluteWin32Path(path)) return path;
  const bool network = IsSeparator(path[0]);
  const std::size_t start = network ? EndOfShare(path, 2) : 2;
  std::string root = network ? "\\\\?\\UNC\\" + path.substr(2, start - 2)
                             : "\\\\?\\" + path.substr(0, 2);
  for (char& c : root) {
    if (c == '/') c = '\\';
  }
  std::vector<std::string> elements;
  std::size_t at = start;
  while (at < path.size()) {
    std::size_t end = at;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    const std::string element = path.substr(at, end - at);
    if (element == "..") {
      if (!elements.empty()) elements.pop_back();
    } else if (!element.empty() && element != ".") {
      elements.push_back(element);
    }
    at = end + 1;
  }
  if (!elements.empty()) {
    std::string& last = elements.back();
    last.erase(last.find_last_not_of(". ") + 1);
  }
  std::string full = root;
  for (const std::string& element : elements) full += '\\' + element;
  return elements.empty() ? full + '\\' : full;
}

}  // namespace platform
