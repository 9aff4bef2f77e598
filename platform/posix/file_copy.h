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
// act on being opened. With `listed_file`, a listing has just found a
// regular file there, and no further look is taken before the open. Fills
// `*status`. Returns -1 with errno set otherwise.
int OpenRegularFile(const std::string& path, bool listed_file,
                    struct stat* status);

// Copies the regular file `source` (`listed_file` as for OpenRegularFile)
// to the new entry `name` of the folder
// open as `dir` (or AT_FDCWD), made exclusively, never through a link
// there. The copy keeps the source's times and its permission bits as far
// as the umask allows, never set-id or sticky bits, and leaves no partial
// file behind. Returns false with errno set.
bool CopyRegularFile(const std::string& source, bool listed_file, int dir,
                     const std::string& name);

}  // namespace platform

#endif  // SKINSETUP_PLATFORM_POSIX_FILE_COPY_H_
