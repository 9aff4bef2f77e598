// Windows' rules for paths and their last element, apart from the calls
// that apply them, so that every build can check them.

#ifndef SKINSETUP_PLATFORM_WIN32_WIN32_NAMES_H_
#define SKINSETUP_PLATFORM_WIN32_WIN32_NAMES_H_

#include <string>

namespace platform {

// False for a name that Windows reads as something other than one entry of
// the folder before it: one with a colon (a drive or a file's stream), one
// whose trailing dots and blanks the system drops down to "", "." or "..",
// and a device name (CON, NUL, COM1 ...), with or without an extension.
bool IsPlainWin32EntryName(const std::string& name);

// True for a path with a drive letter ("C:...") or a UNC prefix ("\\server"),
// in either separator: the paths that do not depend on the current
// directory or drive.
bool IsAbsoluteWin32Path(const std::string& path);

// The root of the volume that holds `path`, as the free-space queries take
// it: the drive root ("D:\\") of a drive-letter path, the share
// ("\\\\server\\share\\") of a network path, in the long form too.
std::string Win32RootOf(const std::string& path);

// The extended-length form ("\\\\?\\D:\\..." or "\\\\?\\UNC\\server\\...") of
// an absolute path, normalised as Windows normalises the plain form:
// either separator, repeated separators, "." and ".." components, and the
// trailing dots and blanks of the last element. A path in that form
// already, or a relative one, is returned as it is.
std::string ExtendedLengthPath(const std::string& path);

}  // namespace platform

#endif  // SKINSETUP_PLATFORM_WIN32_WIN32_NAMES_H_
