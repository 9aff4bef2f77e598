// The POSIX copy engine: regular files only, opened without waking a pipe
// or a device, copied in the kernel where it can, with the source's
// permission bits and times.

#ifndef SKINSETUP_PLATFORM_POSIX_FILE_COPY_H_
#define SKINSETUP_PLATFORM_POSIX_FILE_COPY_H_

#include <sys/stat.h>

#include <string>

namespace platform {

// Opens `path` for reading when it is a regular file (a link to one is
// followed), and opens nothing else: a pipe would block, and a device may
// act on being opened. Fills `*status`. Returns -1 with errno set otherwise.
int OpenRegularFile(const std::string& path, struct stat* status);

// Copies the regular file `source` to the new entry `name` of the folder
// open as `dir` (or AT_FDCWD), made exclusively, never through a link
// there. The copy keeps the source's times and its permission bits as far
// as the umask allows, never set-id or sticky bits, and leaves no partial
// file behind. Returns false with errno set.
bool CopyRegularFile(const std::string& source, int dir,
                     const std::string& name);

}  // namespace platform

#endif  // SKINSETUP_PLATFORM_POSIX_FILE_COPY_H_
