// The walk below the held folder on POSIX, and the moves that never replace.
// What they promise is said in working_folders.h.

#include "platform/posix/working_folders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
// renameat2() and RENAME_NOREPLACE, where the C library has them.
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/posix/posix_state.h"

namespace platform {
namespace {

// Renames `source` to `target`, never replacing anything there, not even an
// empty folder, which renameat() would. Returns false with errno set.
bool RenameWithoutReplacing(const Where& source, const Where& target) {
#ifdef RENAME_NOREPLACE
  // The kernel refuses to replace, also a name that differs only in case
  // on a file system that ignores case.
  if (renameat2(source.dir, source.name.c_str(), target.dir,
                target.name.c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return false;
#endif
  // A file system that cannot refuse by itself: look first.
  struct stat status;
  if (StatAt(target, &status, false)) {
    errno = EEXIST;
    return false;
  }
  return renameat(source.dir, source.name.c_str(), target.dir,
                  target.name.c_str()) == 0;
}

}  // namespace

bool SystemPlatform::State::Locate(const std::string& path, Where* where,
                                   Use use) {
  const std::string prefix = held + '/';
  if (held_fd < 0 || path.compare(0, prefix.size(), prefix) != 0) {
    where->name = path;
    return true;
  }
  where->below = true;
  std::vector<std::string> elements;
  for (std::size_t at = prefix.size(), slash; at <= path.size();
       at = slash + 1) {
    slash = std::min(path.find('/', at), path.size());
    const std::string element = path.substr(at, slash - at);
    if (element == "." || element == "..") {
      errno = EINVAL;
      return false;
    }
    if (!element.empty() || slash == path.size()) elements.push_back(element);
  }
  where->name = elements.back();
  where->dir = held_fd;
  if (elements.size() == 1) return true;
  if (elements.size() == 2) return Reach(elements[0], use, &where->dir);
  for (std::size_t at = 0; at + 1 < elements.size(); ++at) {
    const int next = openat(where->dir, elements[at].c_str(),
                            O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0) return false;
    if (where->owned >= 0) close(where->owned);
    where->owned = where->dir = next;
  }
  return true;
}

bool SystemPlatform::State::Adopt(const std::string& name) {
  int fd;
  if (!Reach(name, Use::kLook, &fd)) return false;
  const int listed = openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* dir = listed < 0 ? nullptr : fdopendir(listed);
  if (dir == nullptr) {
    if (listed >= 0) close(listed);
    return false;
  }
  bool empty = true;
  for (const dirent* entry; empty && (entry = readdir(dir)) != nullptr;) {
    empty = std::strcmp(entry->d_name, ".") == 0 ||
            std::strcmp(entry->d_name, "..") == 0;
  }
  closedir(dir);
  if (empty) return true;
  auto adopted = folders.find(name);
  close(adopted->second.fd);
  folders.erase(adopted);
  errno = EEXIST;
  return false;
}

bool SystemPlatform::State::Reach(const std::string& name, Use use, int* fd) {
  struct stat status;
  auto known = folders.find(name);
  if (known != folders.end()) {
    const Folder& folder = known->second;
    if (use == Use::kAdd &&
        (fstatat(held_fd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 ||
         !IsEntry(status, folder.dev, folder.ino))) {
      errno = ESTALE;
      return false;
    }
    *fd = folder.fd;
    return true;
  }
  const int opened = openat(held_fd, name.c_str(),
                            O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (opened < 0) return false;
  if (fstat(opened, &status) != 0) {
    const int error = errno;
    close(opened);
    errno = error;
    return false;
  }
  folders[name] = Folder{opened, status.st_dev, status.st_ino};
  *fd = opened;
  return true;
}

bool SystemPlatform::State::RemoveFolder(const Where& where) {
  // A working folder the run has reached is removed only while it is what
  // has its name, and only it is forgotten; so is every one, with the
  // folder the run held.
  auto reached = folders.find(where.name);
  const bool working = where.dir == held_fd && reached != folders.end();
  struct stat status;
  if (working && (!StatAt(where, &status, false) ||
                  !IsEntry(status, reached->second.dev, reached->second.ino))) {
    errno = ESTALE;
    return false;
  }
  if (unlinkat(where.dir, where.name.c_str(), AT_REMOVEDIR) != 0) return false;
  if (working) {
    close(reached->second.fd);
    folders.erase(reached);
  } else if (!where.below) {
    Forget();
  }
  return true;
}

bool SystemPlatform::State::MoveEntry(const std::string& from,
                                      const std::string& to, bool folder) {
  Where source;
  Where target;
  struct stat status;
  struct stat own;
  // A folder above the held one is named by the caller, and may be reached
  // through a link; below it, nothing is. The held folder itself moves only
  // while it is what has its name: a link or another folder put there
  // meanwhile stays where it is.
  const bool held_itself = folder && held_fd >= 0 && from == held;
  if (!Locate(from, &source) || !Locate(to, &target, Use::kAdd) ||
      !StatAt(source, &status, folder && !source.below && !held_itself)) {
    return false;
  }
  if (held_itself && (fstat(held_fd, &own) != 0 ||
                      !IsEntry(own, status.st_dev, status.st_ino))) {
    errno = ENOENT;
    return false;
  }
  // Nor does a working folder the run has reached move by its name once
  // another folder has taken that name: marked as the discard folder, the
  // other folder's files would be the next run's to delete.
  auto reached = folders.find(source.name);
  if (folder && source.dir == held_fd && reached != folders.end() &&
      !IsEntry(status, reached->second.dev, reached->second.ino)) {
    errno = ESTALE;
    return false;
  }
  if (S_ISDIR(status.st_mode) != folder) {
    errno = folder ? ENOTDIR : EISDIR;
    return false;
  }
  if (!RenameWithoutReplacing(source, target)) return false;
  // A working folder the run has reached keeps its descriptor under its new
  // name, right below the held folder; after any other folder's move, the
  // working folders are looked for by name again.
  if (folder && source.dir == held_fd && target.dir == held_fd &&
      reached != folders.end()) {
    const Folder moved = reached->second;
    folders.erase(reached);
    auto stale = folders.find(target.name);
    if (stale != folders.end()) close(stale->second.fd);
    folders[target.name] = moved;
  } else if (folder) {
    Forget();
  }
  return true;
}

}  // namespace platform
