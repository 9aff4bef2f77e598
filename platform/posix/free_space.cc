// The system's version and the free-space queries on POSIX, from statvfs().
// Nothing is opened or changed: the answers are Windows' shape, the
// figures the file system's.

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <string>

#include "platform/posix/posix_state.h"
#include "platform/system_platform.h"

namespace platform {
namespace {

// `path`, a link followed, or while nothing is there, the nearest folder
// above it that exists: the free space of a Skins folder still to be made is
// that of the folder it will be made in. A path that cannot be looked at
// for another reason stays, and its query fails, as on Windows.
std::string NearestExisting(std::string path) {
  struct stat status;
  while (!path.empty() && stat(path.c_str(), &status) != 0 &&
         (errno == ENOENT || errno == ENOTDIR)) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    path.resize(slash == 0 ? 1 : slash);
  }
  return path.empty() ? "." : path;
}

}  // namespace

bool SystemPlatform::QueryVersion(OsVersionInfo* info) {
  // The extended free-space query is always available here, as on the NT
  // family.
  info->dwMajorVersion = 10;
  info->dwMinorVersion = 0;
  info->dwBuildNumber = 0;
  info->dwPlatformId = 2;
  info->szCSDVersion[0] = '\0';
  return true;
}

Library SystemPlatform::LoadLibraryByName(const char* /*name*/) {
  // Nothing is loaded; any non-null handle will do.
  static char library;
  return reinterpret_cast<Library>(&library);
}

Proc SystemPlatform::FindLibraryEntry(Library /*library*/,
                                      const char* /*name*/) {
  static char entry;
  return reinterpret_cast<Proc>(&entry);
}

bool SystemPlatform::CallFreeSpaceEx(Proc /*entry*/, const std::string& folder,
                                     std::uint64_t* free_to_caller,
                                     std::uint64_t* total_bytes,
                                     std::uint64_t* total_free) {
  struct statvfs volume;
  if (statvfs(NearestExisting(folder).c_str(), &volume) != 0) {
    return Failed(false);
  }
  *free_to_caller =
      static_cast<std::uint64_t>(volume.f_bavail) * volume.f_frsize;
  *total_bytes = static_cast<std::uint64_t>(volume.f_blocks) * volume.f_frsize;
  *total_free = static_cast<std::uint64_t>(volume.f_bfree) * volume.f_frsize;
  return true;
}

bool SystemPlatform::QueryFreeSpace(const std::string& folder,
                                    std::uint32_t* sectors_per_cluster,
                                    std::uint32_t* bytes_per_sector,
                                    std::uint32_t* free_clusters,
                                    std::uint32_t* total_clusters) {
  struct statvfs volume;
  if (statvfs(NearestExisting(folder).c_str(), &volume) != 0) {
    return Failed(false);
  }
  // Clusters of the fragment size in sectors of 512 bytes, the counts
  // capped at 32 bits as the classic query caps them.
  constexpr std::uint64_t kSector = 512;
  const std::uint64_t fragment = volume.f_frsize;
  *bytes_per_sector = static_cast<std::uint32_t>(kSector);
  *sectors_per_cluster =
      static_cast<std::uint32_t>(fragment >= kSector ? fragment / kSector : 1);
  auto cap = [](std::uint64_t count) {
    return static_cast<std::uint32_t>(count > 0xFFFFFFFFu ? 0xFFFFFFFFu
                                                          : count);
  };
  *free_clusters = cap(volume.f_bfree);
  *total_clusters = cap(volume.f_blocks);
  return true;
}

}  // namespace platform
