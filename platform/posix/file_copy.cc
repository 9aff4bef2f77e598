// The POSIX copy engine (file_copy.h) and CopyFileTo, which drives it.
// A copy writes only a new entry, reached below the held folder through
// working_folders.h.

#include "platform/posix/file_copy.h"

#include <fcntl.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/fs.h>
#include <sys/ioctl.h>
#endif

#include <cerrno>

#include "platform/posix/posix_state.h"
#include "platform/system_platform.h"

namespace platform {
namespace {

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool CopyByReading(int in, int out) {
  char buffer[64 * 1024];
  while (true) {
    const ssize_t count = read(in, buffer, sizeof buffer);
    if (count == 0) return true;
    if (count < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (!WriteAll(out, buffer, static_cast<std::size_t>(count))) return false;
  }
}

// Copies `size` bytes, the size the regular file open on `in` had when the
// copy began, to `out`: with a reflink or the kernel's in-kernel copy where
// the file system offers them, else with reads and writes (which go on to
// the end of the file). A file that shrinks meanwhile is copied to its new
// end. Returns false with errno set on failure.
bool CopyFileData(int in, int out, off_t size) {
#ifdef __linux__
#ifdef FICLONE
  // A reflink shares the blocks, where the file system can. One that cannot
  // says so at the first try; a package's files all go from one folder to
  // another, so it is not asked again.
  static bool reflinks = true;
  if (reflinks) {
    if (ioctl(out, FICLONE, in) == 0) return true;
    reflinks = false;
  }
#endif
  // A large file is read ahead further; a small one is not worth the call.
  if (size >= (1 << 20)) posix_fadvise(in, 0, 0, POSIX_FADV_SEQUENTIAL);
  // The in-kernel copy. It is refused by some file systems and across some
  // mounts; the first call tells.
  off_t copied = 0;
  while (copied < size) {
    const ssize_t count = copy_file_range(
        in, nullptr, out, nullptr, static_cast<std::size_t>(size - copied), 0);
    if (count > 0) {
      copied += count;
      continue;
    }
    if (count == 0) return true;
    if (errno == EINTR) continue;
    if (copied == 0 && (errno == ENOSYS || errno == EXDEV || errno == EINVAL ||
                        errno == EOPNOTSUPP || errno == EPERM)) {
      return CopyByReading(in, out);
    }
    return false;
  }
  return true;
#else
  (void)size;
  return CopyByReading(in, out);
#endif
}

// The permission bits a new file gets from the process's umask.
mode_t CreationMask() {
  static const mode_t mask = [] {
    const mode_t current = umask(0);
    umask(current);
    return current;
  }();
  return mask;
}

}  // namespace

int OpenRegularFile(const std::string& path, bool listed_file,
                    struct stat* status) {
  // A regular file as the listing saw it is opened at once; anything else
  // is looked at first. A link to a regular file is followed.
  struct stat before;
  if (!listed_file) {
    if (stat(path.c_str(), &before) != 0) return -1;
    if (!S_ISREG(before.st_mode)) {
      errno = S_ISDIR(before.st_mode) ? EISDIR : EINVAL;
      return -1;
    }
  }
  // Without blocking, in case the entry is swapped for a pipe meanwhile,
  // and what was opened must be what was seen.
  const int fd =
      open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return -1;
  if (fstat(fd, status) != 0 || !S_ISREG(status->st_mode) ||
      (!listed_file && !IsEntry(*status, before.st_dev, before.st_ino))) {
    close(fd);
    errno = EINVAL;
    return -1;
  }
  return fd;
}

bool CopyRegularFile(const std::string& source, bool listed_file, int dir,
                     const std::string& name) {
  struct stat from;
  const int in = OpenRegularFile(source, listed_file, &from);
  if (in < 0) return false;
  // The destination is made exclusively, never through a link; the
  // source's permission bits are its own at once, as far as the umask
  // lets, and never the set-id or sticky bits, which a package has no
  // business handing out.
  const mode_t mode = from.st_mode & 0777 & ~CreationMask();
  const int out = openat(
      dir, name.c_str(),
      O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW | O_CREAT | O_EXCL, mode);
  if (out < 0 && errno == EEXIST) {
    // A folder in the file's place says so.
    struct stat to;
    if (fstatat(dir, name.c_str(), &to, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(to.st_mode)) {
      errno = EISDIR;
    }
  }
  if (out < 0) {
    const int error = errno;
    close(in);
    errno = error;
    return false;
  }
  bool ok = CopyFileData(in, out, from.st_size);
  if (ok) {
    const struct timespec times[2] = {from.st_atim, from.st_mtim};
    ok = futimens(out, times) == 0;
  }
  int error = errno;
  if (close(out) != 0 && ok) {
    ok = false;
    error = errno;
  }
  close(in);
  if (!ok) {
    // No partial copy is left behind.
    unlinkat(dir, name.c_str(), 0);
    errno = error;
  }
  return ok;
}

bool SystemPlatform::CopyFileTo(const std::string& source,
                                const std::string& destination,
                                EntryType listed) {
  Where where;
  return (state_->Locate(destination, &where, Use::kAdd) &&
          CopyRegularFile(source, listed == EntryType::kFile, where.dir,
                          where.name)) ||
         Failed(false);
}

}  // namespace platform
