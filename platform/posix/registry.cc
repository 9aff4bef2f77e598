// The current user's registry on POSIX: a .reg file, read anew each call.
// The file is only read (reg_file.h parses it), never written.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/posix/file_copy.h"
#include "platform/posix/reg_file.h"
#include "platform/system_platform.h"

namespace platform {
namespace {

// The largest registry file read: a real one is a few kilobytes.
constexpr off_t kMaxRegistrySize = 64 << 20;

// Windows' codes for the registry's answers, which the logic passes on.
constexpr long kErrorFileNotFound = 2;
constexpr long kErrorMoreData = 234;

struct PosixKey {
  std::string path;
};

}  // namespace

std::string RegistryFilePath() {
  const char* path = std::getenv("SKINSETUP_REGISTRY");
  if (path != nullptr && *path != '\0') return path;
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string folder;
  if (config != nullptr && *config != '\0') {
    folder = config;
  } else {
    const char* home = std::getenv("HOME");
    folder = std::string(home != nullptr ? home : "") + "/.config";
  }
  return folder + "/quintavo/registry.reg";
}

// Reads the registry file; a missing file has no keys, and anything else
// that cannot be used (not a regular file, implausibly large, unreadable,
// malformed) is reported and has none either.
std::unique_ptr<RegistryData> LoadRegistry(const std::string& only,
                                           const std::string* only_value) {
  auto registry = std::make_unique<RegistryData>();
  const std::string path = RegistryFilePath();
  struct stat status;
  const int fd = OpenRegularFile(path, false, &status);
  if (fd < 0) {
    // A missing file is a registry without keys.
    if (errno != ENOENT) {
      std::fprintf(
          stderr, "%s: %s; the registry file is not used.\n", path.c_str(),
          errno == EINVAL ? "not a regular file" : std::strerror(errno));
    }
    return registry;
  }
  std::string text;
  bool ok = status.st_size <= kMaxRegistrySize;
  if (ok) {
    // Up to one byte past the limit, in case the file grows meanwhile.
    char buffer[64 * 1024];
    ssize_t count;
    while ((count = read(fd, buffer, sizeof buffer)) != 0) {
      if (count < 0 && errno == EINTR) continue;
      if (count < 0) {
        std::fprintf(stderr, "%s: %s; the registry file is not used.\n",
                     path.c_str(), std::strerror(errno));
        close(fd);
        return registry;
      }
      text.append(buffer, static_cast<std::size_t>(count));
      if (text.size() > static_cast<std::size_t>(kMaxRegistrySize)) break;
    }
    ok = text.size() <= static_cast<std::size_t>(kMaxRegistrySize);
  }
  close(fd);
  if (!ok) {
    std::fprintf(stderr,
                 "%s: larger than %d MiB, which no registry file is; the "
                 "registry file is not used.\n",
                 path.c_str(), static_cast<int>(kMaxRegistrySize >> 20));
    return registry;
  }
  std::string message;
  int line = 0;
  // No value at all is kept for a name that no value has.
  static const std::string kNoValue = "\n";
  if (!ParseRegFile(std::move(text), registry.get(), &message, &line, only,
                    only_value != nullptr ? only_value : &kNoValue)) {
    std::fprintf(stderr, "%s:%d: %s; the registry file is not used.\n",
                 path.c_str(), line, message.c_str());
  }
  return registry;
}

long SystemPlatform::OpenUserKey(const char* subkey, std::uint32_t /*access*/,
                                 RegKey* key) {
  // The file is read for each key and each value, and only what is asked
  // for is kept, so that a registry file of any size and shape takes
  // memory near its own size. A real one is a few kilobytes.
  const std::string path = std::string("HKEY_CURRENT_USER\\") + subkey;
  if (LoadRegistry(path, nullptr)->Find(path) == nullptr) {
    return kErrorFileNotFound;
  }
  *key = reinterpret_cast<RegKey>(new PosixKey{path});
  return 0;
}

long SystemPlatform::QueryKeyValue(RegKey key, const char* name,
                                   unsigned char* data, std::uint32_t* size) {
  const std::string& path = reinterpret_cast<PosixKey*>(key)->path;
  const std::string folded = FoldCase(name);
  const std::unique_ptr<RegistryData> registry = LoadRegistry(path, &folded);
  const RegistryData::Values* values = registry->Find(path);
  if (values == nullptr) return kErrorFileNotFound;
  auto it = values->find(folded);
  if (it == values->end()) return kErrorFileNotFound;
  const std::vector<unsigned char>& bytes = it->second;
  if (bytes.size() > *size) {
    *size = static_cast<std::uint32_t>(bytes.size());
    return kErrorMoreData;
  }
  if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
  *size = static_cast<std::uint32_t>(bytes.size());
  return 0;
}

void SystemPlatform::CloseKey(RegKey key) {
  delete reinterpret_cast<PosixKey*>(key);
}

}  // namespace platform
