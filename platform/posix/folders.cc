// POSIX folders: what an entry is, the held folder, lock, listings, flushes.
// Entries below the held folder are reached through working_folders.h.

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/posix/posix_state.h"
#include "platform/system_platform.h"

namespace platform {
namespace {

struct PosixListing {
  DIR* dir;
  std::string name;    // The entry read last,
  unsigned char type;  // and its type as the listing gave it (DT_*).
};

struct PosixLock {
  int fd;
  std::string path;  // Deleted on the way out.
};

// Reads the next entry; false at the end, with errno 0, or on an error.
bool ReadNextEntry(PosixListing* listing) {
  errno = 0;
  const dirent* entry = readdir(listing->dir);
  if (entry == nullptr) return false;
  listing->name = entry->d_name;
  listing->type = entry->d_type;
  return true;
}

// Puts everything written to the file system of the folder open as `fd` on
// the disk, and the folder's own entries: one flush of the file system
// costs far less than one for each file of a package. Returns false with
// errno set.
bool SyncEntries(int fd) {
#ifdef __linux__
  const bool ok = syncfs(fd) == 0;
#else
  sync();
  const bool ok = true;
#endif
  return fsync(fd) == 0 && ok;
}

EntryType TypeOf(mode_t mode) {
  return S_ISDIR(mode)   ? EntryType::kFolder
         : S_ISREG(mode) ? EntryType::kFile
                         : EntryType::kOther;
}

}  // namespace

int SystemPlatform::Access(const std::string& path, int mode, int* error) {
  if (access(path.c_str(), mode) == 0) return 0;
  *error = errno;
  return Failed(-1);
}

int SystemPlatform::Stat(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 ? 0 : Failed(-1);
}

int SystemPlatform::MakeDir(const std::string& path) {
  Where where;
  if (!state_->Locate(path, &where, Use::kAdd) ||
      mkdirat(where.dir, where.name.c_str(), 0777) != 0) {
    return Failed(-1);
  }
  // A working folder right below the held one is reached at once, and only
  // while it is as empty as the run made it: another folder swapped in
  // meanwhile is not the run's.
  return where.dir != state_->held_fd || state_->Adopt(where.name) ? 0
                                                                   : Failed(-1);
}

int SystemPlatform::RemoveDir(const std::string& path) {
  Where where;
  return state_->Locate(path, &where) && state_->RemoveFolder(where)
             ? 0
             : Failed(-1);
}

bool SystemPlatform::RenameFolder(const std::string& from,
                                  const std::string& to) {
  return state_->MoveEntry(from, to, true) || Failed(false);
}

bool SystemPlatform::HoldFolder(const std::string& folder) {
  const int fd =
      open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return Failed(false);
  state_->Forget();
  if (state_->held_fd >= 0) close(state_->held_fd);
  state_->held = folder;
  state_->held_fd = fd;
  return true;
}

EntryType SystemPlatform::QueryEntry(const std::string& path) {
  Where where;
  struct stat status;
  if (!state_->Locate(path, &where) || !StatAt(where, &status, false)) {
    return Failed(EntryType::kNone);
  }
  return TypeOf(status.st_mode);
}

Lock SystemPlatform::LockFolder(const std::string& folder, bool* busy) {
  // An advisory lock on a file of the folder, which the kernel releases
  // when the process ends, however it ends. Making the file needs only the
  // right to write to the folder, not to list it. Never through a link, and
  // nothing but a regular file: a pipe there would hold the run up. The
  // holder deletes the file before it lets go, so a lock taken on a file
  // that is no longer the one of that name is let go again: its holder
  // has just finished.
  *busy = false;
  const std::string path = folder + "/.skinsetup-lock";
  const int fd =
      open(path.c_str(),
           O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
  if (fd < 0) return Failed<Lock>(nullptr);
  struct stat status;
  struct stat named;
  int error = fstat(fd, &status) != 0   ? errno
              : S_ISREG(status.st_mode) ? 0
                                        : EINVAL;
  while (error == 0 && flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EINTR) error = errno;
  }
  if (error == 0 && (lstat(path.c_str(), &named) != 0 ||
                     !IsEntry(named, status.st_dev, status.st_ino))) {
    error = EWOULDBLOCK;
  }
  if (error == 0) return reinterpret_cast<Lock>(new PosixLock{fd, path});
  *busy = error == EWOULDBLOCK;
  close(fd);
  errno = error;
  return Failed<Lock>(nullptr);
}

void SystemPlatform::UnlockFolder(Lock lock) {
  PosixLock* posix = reinterpret_cast<PosixLock*>(lock);
  unlink(posix->path.c_str());
  close(posix->fd);
  delete posix;
}

Listing SystemPlatform::OpenListing(const std::string& pattern,
                                    std::string* name) {
  if (pattern.size() < 2 || pattern.compare(pattern.size() - 2, 2, "/*") != 0) {
    errno = EINVAL;
    return Failed<Listing>(nullptr);
  }
  std::string folder = pattern.substr(0, pattern.size() - 2);
  if (folder.empty()) folder = "/";
  // Below the held folder, a link is never listed through.
  Where where;
  const int fd = state_->Locate(folder, &where)
                     ? openat(where.dir, where.name.c_str(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC |
                                  (where.below ? O_NOFOLLOW : 0))
                     : -1;
  DIR* dir = fd < 0 ? nullptr : fdopendir(fd);
  if (dir == nullptr) {
    if (fd >= 0) close(fd);
    return Failed<Listing>(nullptr);
  }
  auto* listing = new PosixListing{dir, std::string(), DT_UNKNOWN};
  if (!ReadNextEntry(listing)) {
    const int error = errno;
    CloseListing(reinterpret_cast<Listing>(listing));
    errno = error != 0 ? error : ENOENT;
    return Failed<Listing>(nullptr);
  }
  *name = listing->name;
  return reinterpret_cast<Listing>(listing);
}

bool SystemPlatform::NextEntry(Listing listing, std::string* name) {
  auto* posix = reinterpret_cast<PosixListing*>(listing);
  if (!ReadNextEntry(posix)) return Failed(false);
  *name = posix->name;
  return true;
}

EntryType SystemPlatform::ListedType(Listing listing) {
  const auto* posix = reinterpret_cast<const PosixListing*>(listing);
  switch (posix->type) {
    case DT_REG:
      return EntryType::kFile;
    case DT_DIR:
      return EntryType::kFolder;
    case DT_UNKNOWN:
      break;
    default:
      return EntryType::kOther;
  }
  // A file system whose listing does not tell: a look in the folder.
  struct stat status;
  if (fstatat(dirfd(posix->dir), posix->name.c_str(), &status,
              AT_SYMLINK_NOFOLLOW) != 0) {
    return Failed(EntryType::kNone);
  }
  return TypeOf(status.st_mode);
}

void SystemPlatform::CloseListing(Listing listing) {
  PosixListing* posix = reinterpret_cast<PosixListing*>(listing);
  closedir(posix->dir);
  delete posix;
}

bool SystemPlatform::SyncFolder(const std::string& folder) {
  const int fd = open(folder.empty() ? "/" : folder.c_str(),
                      O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    // A folder that may be written to but not read (a Skins folder of mode
    // 0300) opens for nothing; the flush of the file system that holds the
    // held folder inside it puts its entries on the disk all the same.
    return (errno == EACCES && state_->held_fd >= 0 &&
            SyncEntries(state_->held_fd)) ||
           Failed(false);
  }
  const bool ok = SyncEntries(fd);
  const int error = errno;
  close(fd);
  errno = error;
  return ok || Failed(false);
}

}  // namespace platform
