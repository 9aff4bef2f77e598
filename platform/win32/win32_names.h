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

// The root of the volume that holds `path`, as the free-space queries take
// it: the drive root ("D:\\") of a drive-letter path, the share
// ("\\\\server\\share\\") of a network path, in the long form too.
std::string Win32RootOf(const std::string& path);

// The folder whose free space the installer asks for, for the Skins folder
// `skins_folder`: the folder that holds it, the client's install directory,
// with a final separator. Windows answers for any folder, for the volume
// that holds it, also one mounted there or a network link's target.
std::string Win32FreeSpaceFolder(const std::string& skins_folder);

// The folder above `folder` (which ends in a separator), with a final
// separator; the volume's root stays the root.
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
