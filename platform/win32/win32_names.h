// Windows' rules for paths and their last element, apart from the calls
// that apply them, so that every build can check them.

#ifndef SKINSETUP_PLATFORM_WIN32_WIN32_NAMES_H_
#define SKINSETUP_PLATFORM_WIN32_WIN32_NAMES_H_

#include <string>

namespace platform {

// True for a path from a drive's root ("C:\\...") or with a UNC prefix
// ("\\\\server"), in either separator: the paths that do not depend on the
// current directory or drive ("C:Apps" does).
bool IsAbsoluteWin32Path(const std::string& path);

// The folder above `folder` (with or without a final separator), with a
// final separator; the root of its drive ("D:\\") or share
// ("\\\\server\\share\\"), in the long form too, stays the root.
std::string Win32ParentFolder(const std::string& folder);

// True for a reparse tag that stands for another name (IsReparseTagName-
// Surrogate): a symbolic link, a junction or a mount point. Other tags (a
// cloud file's placeholder, deduplication) leave the entry what it is.
inline bool IsNameSurrogateTag(unsigned long tag) {
  return (tag & 0x20000000ul) != 0;
}

// The extended-length form ("\\\\?\\D:\\..." or "\\\\?\\UNC\\server\\...") of
// an absolute path, normalised as Windows normalises the plain form:
// either separator, repeated separators, "." and ".." components, and the
// trailing dots and blanks of the last element. A path in that form
// already, or a relative one, is returned as it is.
std::string ExtendedLengthPath(const std::string& path);

}  // namespace platform

#endif  // SKINSETUP_PLATFORM_WIN32_WIN32_NAMES_H_
