// What the POSIX backend's files share; internal to platform/posix/.
// The State, the folder the run holds and its working folders, is
// working_folders.h's; here are the look at an entry reached through it,
// the noting of a failure and a file's identity, which every file makes
// alike.

#ifndef SKINSETUP_PLATFORM_POSIX_POSIX_STATE_H_
#define SKINSETUP_PLATFORM_POSIX_POSIX_STATE_H_

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/posix/working_folders.h"
#include "platform/system_platform.h"

namespace platform {

// Every file of the backend notes its failures alike, so the rule is
// defined here, for each to instantiate as it needs.
template <typename T>
T SystemPlatform::Failed(T result) {
  last_error_ = static_cast<std::uint32_t>(errno);
  return result;
}

// The entry's status, a final link followed or not. Returns false with
// errno set.
inline bool StatAt(const Where& where, struct stat* status, bool follow) {
  return fstatat(where.dir, where.name.c_str(), status,
                 follow ? 0 : AT_SYMLINK_NOFOLLOW) == 0;
}

// Whether the entry looked at is still the one known by these numbers.
inline bool IsEntry(const struct stat& status, dev_t device, ino_t inode) {
  return status.st_dev == device && status.st_ino == inode;
}

// A file's identity from its device and inode numbers.
inline FileId IdOf(dev_t device, ino_t inode) {
  FileId id{static_cast<std::uint64_t>(device), {}};
  const auto number = static_cast<std::uint64_t>(inode);
  std::memcpy(id.id, &number, sizeof number);
  return id;
}

}  // namespace platform

#endif  // SKINSETUP_PLATFORM_POSIX_POSIX_STATE_H_
