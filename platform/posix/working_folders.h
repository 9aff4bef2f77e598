// The held folder and its working folders on POSIX, and the way below them.
// The backend's files reach the entries below the held folder through here,
// from its descriptor, each working folder opened once. Internal to
// platform/posix/.

#ifndef SKINSETUP_PLATFORM_POSIX_WORKING_FOLDERS_H_
#define SKINSETUP_PLATFORM_POSIX_WORKING_FOLDERS_H_

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <map>
#include <string>

#include "platform/system_platform.h"

namespace platform {

// A path as a folder's descriptor and an entry's name in that folder.
struct Where {
  int dir = AT_FDCWD;
  std::string name;
  bool below = false;  // Below the held folder.
  int owned = -1;      // A descriptor opened on the way, to close.
  Where() = default;
  Where(const Where&) = delete;
  Where& operator=(const Where&) = delete;
  ~Where() {
    if (owned >= 0) close(owned);
  }
};

// Whether an operation adds an entry to the folder it reaches.
enum class Use { kLook, kAdd };

// A working folder right below the held one, open since the run first
// reached it, and its identity then.
struct Folder {
  int fd;
  dev_t dev;
  ino_t ino;
};

// The folder the run holds, and the working folders right below it that
// the run has reached, each opened once.
struct SystemPlatform::State {
  std::string held;
  int held_fd = -1;
  std::map<std::string, Folder> folders;  // By name.

  ~State() {
    Forget();
    if (held_fd >= 0) close(held_fd);
  }

  // Lets go of the folders reached so far: one of them has been renamed or
  // removed, or the held folder changes.
  void Forget() {
    for (const auto& folder : folders) close(folder.second.fd);
    folders.clear();
  }

  // Renames the file (or link, or special file) `from`, or with `folder`
  // the real folder, to `to`, never replacing anything there, not even an
  // empty folder, which rename() would. Returns false with errno set.
  bool MoveEntry(const std::string& from, const std::string& to, bool folder);

  // Removes the empty folder at `where`. Returns false with errno set.
  bool RemoveFolder(const Where& where);

  // Splits `path` into a folder's descriptor and a name. Below the held
  // folder, the way goes from its descriptor, each folder opened without
  // following a link: a name swapped for a link meanwhile leads nowhere.
  // A working folder right below the held one is opened once. What the run
  // put in one it still reaches there, to put back or delete, wherever
  // another process moves the folder; but nothing more goes into it
  // (`use` kAdd) once it is no longer the folder of that name: that fails
  // with ESTALE, never with "not found", so that the run stops and puts
  // back. Returns false with errno set when a folder on the way is not a
  // real one.
  bool Locate(const std::string& path, Where* where, Use use = Use::kLook);

  // Reaches the folder `name` right below the held one, which the run has
  // just made: false, with errno EEXIST, when what is there holds anything.
  bool Adopt(const std::string& name);

  // Puts in `*fd` the working folder `name` right below the held one.
  bool Reach(const std::string& name, Use use, int* fd);
};

}  // namespace platform

#endif  // SKINSETUP_PLATFORM_POSIX_WORKING_FOLDERS_H_
