#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

#include "platform/system_platform.h"
#ifdef __linux__
#include <linux/fs.h>
#include <sys/ioctl.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/reg_file.h"
#include "platform/terminal_box.h"

namespace platform {
namespace {

// Windows' codes for the registry's answers, which the logic passes on.
constexpr long kErrorFileNotFound = 2;
constexpr long kErrorMoreData = 234;

struct PosixKey {
  const RegistryData::Values* values;
};

struct PosixListing {
  DIR* dir;
};

struct PosixFile {
  int fd;
  off_t size;  // As the open found it.
};

// The largest registry file read: a real one is a few kilobytes.
constexpr off_t kMaxRegistrySize = 64 << 20;

// Opens `path` for reading when it is a regular file (a link to one is
// followed), and opens nothing else: a pipe would block, and a device may
// act on being opened. Fills `*status`. Returns -1 with errno set otherwise.
int OpenRegularFile(const std::string& path, struct stat* status) {
  struct stat before;
  if (stat(path.c_str(), &before) != 0) return -1;
  if (!S_ISREG(before.st_mode)) {
    errno = S_ISDIR(before.st_mode) ? EISDIR : EINVAL;
    return -1;
  }
  // Without blocking, in case the entry is swapped for a pipe meanwhile.
  const int fd =
      open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return -1;
  if (fstat(fd, status) != 0 || !S_ISREG(status->st_mode) ||
      status->st_dev != before.st_dev || status->st_ino != before.st_ino) {
    close(fd);
    errno = EINVAL;
    return -1;
  }
  return fd;
}

// Reads the next entry's name; false at the end or on an error.
bool ReadEntry(DIR* dir, std::string* name) {
  const dirent* entry = readdir(dir);
  if (entry == nullptr) return false;
  *name = entry->d_name;
  return true;
}

// The nearest folder of `path` that exists, for the free-space query of a
// folder that is still to be made.
std::string NearestExisting(std::string path) {
  struct stat status;
  while (!path.empty() && stat(path.c_str(), &status) != 0) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    path.resize(slash == 0 ? 1 : slash);
  }
  return path.empty() ? "." : path;
}

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

// Puts the folder's entries on the disk, and with `contents`, everything
// written to its file system too: one flush of the file system costs far
// less than one for each file of a package. Returns false with errno set.
bool SyncEntries(const std::string& folder, bool contents) {
  const int fd = open(folder.empty() ? "/" : folder.c_str(),
                      O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = true;
  if (contents) {
#ifdef __linux__
    ok = syncfs(fd) == 0;
#else
    sync();
#endif
  }
  ok = fsync(fd) == 0 && ok;
  const int error = errno;
  close(fd);
  errno = error;
  return ok;
}

// Reads the registry file; a missing file has no keys, and anything else
// that cannot be used (not a regular file, implausibly large, unreadable,
// malformed) is reported and has none either.
std::unique_ptr<RegistryData> ReadRegistry() {
  auto registry = std::make_unique<RegistryData>();
  const std::string path = RegistryFilePath();
  struct stat status;
  const int fd = OpenRegularFile(path, &status);
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
  if (!ParseRegFile(text, registry.get(), &message, &line)) {
    std::fprintf(stderr, "%s:%d: %s; the registry file is not used.\n",
                 path.c_str(), line, message.c_str());
  }
  return registry;
}

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

}  // namespace

// The registry file, read once, on first use, and the folder the run holds.
struct SystemPlatform::State {
  std::unique_ptr<RegistryData> registry;
  std::string held;
  int held_fd = -1;

  // Splits `path` into a folder's descriptor and a name. Below the held
  // folder, the way goes from its descriptor, each folder opened without
  // following a link: a name swapped for a link meanwhile leads nowhere.
  // Returns false with errno set when a folder on the way is not a real
  // one.
  bool Locate(const std::string& path, Where* where) const {
    const std::string prefix = held + '/';
    if (held_fd < 0 || path.compare(0, prefix.size(), prefix) != 0) {
      where->name = path;
      return true;
    }
    where->below = true;
    where->dir = held_fd;
    std::size_t at = prefix.size();
    for (std::size_t slash; (slash = path.find('/', at)) != std::string::npos;
         at = slash + 1) {
      const std::string element = path.substr(at, slash - at);
      if (element.empty()) continue;
      const int next =
          element == "." || element == ".."
              ? (errno = EINVAL, -1)
              : openat(where->dir, element.c_str(),
                       O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (next < 0) return false;
      if (where->owned >= 0) close(where->owned);
      where->owned = where->dir = next;
    }
    where->name = path.substr(at);
    return true;
  }
};

namespace {

// The entry's status, a final link followed or not. Returns false with
// errno set.
bool StatAt(const Where& where, struct stat* status, bool follow) {
  return fstatat(where.dir, where.name.c_str(), status,
                 follow ? 0 : AT_SYMLINK_NOFOLLOW) == 0;
}

}  // namespace

SystemPlatform::SystemPlatform(std::string invocation_name)
    : invocation_name_(std::move(invocation_name)),
      state_(std::make_unique<State>()) {}

SystemPlatform::~SystemPlatform() {
  if (state_->held_fd >= 0) close(state_->held_fd);
}

char SystemPlatform::Separator() const { return '/'; }

const char* SystemPlatform::ExeSuffix() const { return ""; }

template <typename T>
T SystemPlatform::Failed(T result) {
  last_error_ = static_cast<std::uint32_t>(errno);
  return result;
}

std::string SystemPlatform::RootOf(const std::string& skins_folder) const {
  // There are no drive roots: the free space is that of the file system
  // that holds the Skins folder itself.
  return skins_folder;
}

bool SystemPlatform::IsPlainEntryName(const std::string& name) const {
  return name.find('\0') == std::string::npos;
}

bool SystemPlatform::IsAbsolutePath(const std::string& path) const {
  return !path.empty() && path[0] == '/';
}

std::string SystemPlatform::CurrentDirectory() {
  std::vector<char> buffer(256);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return Failed(std::string());
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

void SystemPlatform::Exit(int status) {
  std::fflush(nullptr);
  std::exit(status);
}

void SystemPlatform::Pause(unsigned milliseconds) {
  struct timespec rest = {static_cast<time_t>(milliseconds / 1000),
                          static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
  }
}

bool SystemPlatform::IsSharingError(std::uint32_t /*code*/) const {
  // Nothing here keeps others from renaming, deleting or opening a file.
  return false;
}

int SystemPlatform::ShowMessageBox(const std::string& text,
                                   const std::string& caption, unsigned type) {
  BoxIo io;
  io.in = stdin;
  io.out = stderr;
  io.terminal = isatty(STDIN_FILENO) != 0;
  io.preset = std::getenv("SKINSETUP_ANSWER");
  return ShowTerminalBox(text, caption, type, io);
}

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

long SystemPlatform::OpenUserKey(const char* subkey, std::uint32_t /*access*/,
                                 RegKey* key) {
  if (state_->registry == nullptr) state_->registry = ReadRegistry();
  const RegistryData::Values* values =
      state_->registry->Find(std::string("HKEY_CURRENT_USER\\") + subkey);
  if (values == nullptr) return kErrorFileNotFound;
  *key = reinterpret_cast<RegKey>(new PosixKey{values});
  return 0;
}

long SystemPlatform::QueryKeyValue(RegKey key, const char* name,
                                   unsigned char* data, std::uint32_t* size) {
  const RegistryData::Values& values =
      *reinterpret_cast<PosixKey*>(key)->values;
  auto it = values.find(FoldCase(name));
  if (it == values.end()) return kErrorFileNotFound;
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

bool SystemPlatform::CallFreeSpaceEx(Proc /*entry*/, const std::string& root,
                                     std::uint64_t* free_to_caller,
                                     std::uint64_t* total_bytes,
                                     std::uint64_t* total_free) {
  struct statvfs volume;
  if (statvfs(NearestExisting(root).c_str(), &volume) != 0) {
    return Failed(false);
  }
  *free_to_caller =
      static_cast<std::uint64_t>(volume.f_bavail) * volume.f_frsize;
  *total_bytes = static_cast<std::uint64_t>(volume.f_blocks) * volume.f_frsize;
  *total_free = static_cast<std::uint64_t>(volume.f_bfree) * volume.f_frsize;
  return true;
}

bool SystemPlatform::QueryFreeSpace(const std::string& root,
                                    std::uint32_t* sectors_per_cluster,
                                    std::uint32_t* bytes_per_sector,
                                    std::uint32_t* free_clusters,
                                    std::uint32_t* total_clusters) {
  struct statvfs volume;
  if (statvfs(NearestExisting(root).c_str(), &volume) != 0) {
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
  return state_->Locate(path, &where) &&
                 mkdirat(where.dir, where.name.c_str(), 0777) == 0
             ? 0
             : Failed(-1);
}

int SystemPlatform::RemoveDir(const std::string& path) {
  Where where;
  return state_->Locate(path, &where) &&
                 unlinkat(where.dir, where.name.c_str(), AT_REMOVEDIR) == 0
             ? 0
             : Failed(-1);
}

bool SystemPlatform::HoldFolder(const std::string& folder) {
  const int fd =
      open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return Failed(false);
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
  return S_ISDIR(status.st_mode) ? EntryType::kFolder : EntryType::kOther;
}

Lock SystemPlatform::LockFolder(const std::string& folder) {
  // An advisory lock on the folder itself: nothing is left behind, and the
  // kernel releases it when the process ends, however it ends.
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return Failed<Lock>(nullptr);
  while (flock(fd, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    const int error = errno;
    close(fd);
    errno = error;
    return Failed<Lock>(nullptr);
  }
  return reinterpret_cast<Lock>(new PosixFile{fd, 0});
}

void SystemPlatform::UnlockFolder(Lock lock) {
  PosixFile* posix = reinterpret_cast<PosixFile*>(lock);
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
  std::string first;
  if (!ReadEntry(dir, &first)) {
    const int error = errno;
    closedir(dir);
    errno = error != 0 ? error : ENOENT;
    return Failed<Listing>(nullptr);
  }
  *name = first;
  return reinterpret_cast<Listing>(new PosixListing{dir});
}

bool SystemPlatform::NextEntry(Listing listing, std::string* name) {
  return ReadEntry(reinterpret_cast<PosixListing*>(listing)->dir, name);
}

void SystemPlatform::CloseListing(Listing listing) {
  PosixListing* posix = reinterpret_cast<PosixListing*>(listing);
  closedir(posix->dir);
  delete posix;
}

File SystemPlatform::OpenExclusive(const std::string& path) {
  struct stat status;
  const int fd = OpenRegularFile(path, &status);
  if (fd < 0) return Failed<File>(nullptr);
  return reinterpret_cast<File>(new PosixFile{fd, status.st_size});
}

Stream SystemPlatform::OpenStream(const std::string& path) {
  struct stat status;
  const int fd = OpenRegularFile(path, &status);
  if (fd < 0) return Failed<Stream>(nullptr);
  std::FILE* file = fdopen(fd, "rb");
  if (file == nullptr) {
    const int error = errno;
    close(fd);
    errno = error;
    return Failed<Stream>(nullptr);
  }
  return reinterpret_cast<Stream>(file);
}

std::uint32_t SystemPlatform::FileSize(File file) {
  // The open has just read the size; a second query would tell the same.
  const auto size =
      static_cast<std::uint64_t>(reinterpret_cast<PosixFile*>(file)->size);
  return static_cast<std::uint32_t>(size & 0xFFFFFFFFu);
}

void SystemPlatform::CloseFile(File file) {
  PosixFile* posix = reinterpret_cast<PosixFile*>(file);
  close(posix->fd);
  delete posix;
}

bool SystemPlatform::CopyFileTo(const std::string& source,
                                const std::string& destination,
                                bool fail_if_exists) {
  struct stat from;
  const int in = OpenRegularFile(source, &from);
  if (in < 0) return Failed(false);
  // Most destinations are new, and made exclusively need no checks; the
  // source's permission bits are theirs at once, as far as the umask lets,
  // and never the set-id or sticky bits, which a package has no business
  // handing out. A destination is never followed through a link.
  const mode_t mode = from.st_mode & 0777 & ~CreationMask();
  const int flags = O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW;
  mode_t current_mode = mode & ~CreationMask();
  bool emptied = true;
  Where where;
  if (!state_->Locate(destination, &where)) {
    const int error = errno;
    close(in);
    errno = error;
    return Failed(false);
  }
  int out =
      openat(where.dir, where.name.c_str(), flags | O_CREAT | O_EXCL, mode);
  if (out < 0 && errno == EEXIST && !fail_if_exists) {
    // An existing file is replaced, once it is known not to be the source
    // itself. Only a file that has contents is emptied: on some file
    // systems (ext4) a truncated file is flushed to disk when it is closed,
    // which a new file need not wait for.
    out = openat(where.dir, where.name.c_str(), flags);
    struct stat to;
    if (out >= 0 && (fstat(out, &to) != 0 || !S_ISREG(to.st_mode) ||
                     (to.st_dev == from.st_dev && to.st_ino == from.st_ino))) {
      close(out);
      close(in);
      errno = EINVAL;
      return Failed(false);
    }
    current_mode = to.st_mode & 07777;
    emptied = out >= 0 && (to.st_size == 0 || ftruncate(out, 0) == 0);
  }
  if (out < 0 && errno == EEXIST) {
    // A folder in the file's place says so.
    struct stat to;
    if (StatAt(where, &to, false) && S_ISDIR(to.st_mode)) errno = EISDIR;
  }
  if (out < 0) {
    const int error = errno;
    close(in);
    errno = error;
    return Failed(false);
  }
  bool ok = emptied && CopyFileData(in, out, from.st_size) &&
            (current_mode == mode || fchmod(out, mode) == 0);
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
    unlinkat(where.dir, where.name.c_str(), 0);
    errno = error;
    return Failed(false);
  }
  return true;
}

bool SystemPlatform::ErrorText(std::uint32_t code, std::string* text) {
  const char* message = std::strerror(static_cast<int>(code));
  if (message == nullptr || *message == '\0') return false;
  *text = message;
  return true;
}

bool SystemPlatform::RemoveFile(const std::string& path) {
  Where where;
  return state_->Locate(path, &where) &&
                 unlinkat(where.dir, where.name.c_str(), 0) == 0
             ? true
             : Failed(false);
}

bool SystemPlatform::RenameFile(const std::string& from, const std::string& to,
                                bool replace) {
  Where source;
  Where target;
  struct stat status;
  if (!state_->Locate(from, &source) || !state_->Locate(to, &target) ||
      !StatAt(source, &status, false)) {
    return Failed(false);
  }
  if (S_ISDIR(status.st_mode)) {
    errno = EISDIR;
    return Failed(false);
  }
  auto rename_at = [&] {
    return renameat(source.dir, source.name.c_str(), target.dir,
                    target.name.c_str()) == 0;
  };
  if (replace) return rename_at() || Failed(false);
#ifdef RENAME_NOREPLACE
  // The kernel refuses to replace, also a name that differs only in case
  // on a file system that ignores case.
  if (renameat2(source.dir, source.name.c_str(), target.dir,
                target.name.c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
    return Failed(false);
  }
#endif
  // A file system that cannot refuse by itself: look first.
  if (StatAt(target, &status, false)) {
    errno = EEXIST;
    return Failed(false);
  }
  return rename_at() || Failed(false);
}

bool SystemPlatform::RenameFolder(const std::string& from,
                                  const std::string& to) {
  Where source;
  Where target;
  struct stat status;
  if (!state_->Locate(from, &source) || !state_->Locate(to, &target) ||
      !StatAt(source, &status, !source.below)) {
    return Failed(false);
  }
  if (!S_ISDIR(status.st_mode)) {
    errno = ENOTDIR;
    return Failed(false);
  }
  // rename() would replace an empty folder at `to`; a folder is never
  // merged into another.
  if (StatAt(target, &status, false)) {
    errno = EEXIST;
    return Failed(false);
  }
  if (renameat(source.dir, source.name.c_str(), target.dir,
               target.name.c_str()) != 0) {
    return Failed(false);
  }
  // The rename is on the disk once the folder that holds both names is.
  const std::size_t slash = to.find_last_of('/');
  return SyncEntries(slash == std::string::npos ? "." : to.substr(0, slash),
                     false) ||
         Failed(false);
}

bool SystemPlatform::SyncFolder(const std::string& folder) {
  return SyncEntries(folder, true) || Failed(false);
}

bool SystemPlatform::QueryFileId(const std::string& path, bool follow_link,
                                 FileId* id) {
  Where where;
  struct stat status;
  if (!state_->Locate(path, &where) || !StatAt(where, &status, follow_link)) {
    return Failed(false);
  }
  *id = FileId{static_cast<std::uint64_t>(status.st_dev), {}};
  const auto inode = static_cast<std::uint64_t>(status.st_ino);
  std::memcpy(id->id, &inode, sizeof inode);
  return true;
}

bool SystemPlatform::IsListedName(const std::string& path) {
  // A name is the only way to an entry here: there are no aliases.
  Where where;
  struct stat status;
  return (state_->Locate(path, &where) && StatAt(where, &status, false)) ||
         Failed(false);
}

}  // namespace platform
