// The installer's system on POSIX: files and folders are the real ones,
// reached below the held skin folder through its descriptor; a .reg file
// stands in for the registry (reg_file.h), the terminal for message boxes
// (terminal_box.h), and the copy engine is file_copy.h's.

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "platform/posix/file_copy.h"
#include "platform/posix/reg_file.h"
#include "platform/posix/terminal_box.h"
#include "platform/system_platform.h"

namespace platform {
namespace {

// Windows' codes for the registry's answers, which the logic passes on.
constexpr long kErrorFileNotFound = 2;
constexpr long kErrorMoreData = 234;

struct PosixKey {
  std::string path;
};

struct PosixListing {
  DIR* dir;
  std::string name;    // The entry read last,
  unsigned char type;  // and its type as the listing gave it (DT_*).
};

struct PosixFile {
  int fd;
  off_t size;  // As the open found it,
  dev_t dev;   // and what file it is.
  ino_t ino;
};

struct PosixLock {
  int fd;
  std::string path;  // Deleted on the way out.
};

// Reads the next entry; false at the end, with errno 0, or on an error.
bool ReadEntry(PosixListing* listing) {
  errno = 0;
  const dirent* entry = readdir(listing->dir);
  if (entry == nullptr) return false;
  listing->name = entry->d_name;
  listing->type = entry->d_type;
  return true;
}

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

}  // namespace

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
  bool Locate(const std::string& path, Where* where, Use use = Use::kLook) {
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

  // Reaches the folder `name` right below the held one, which the run has
  // just made: false, with errno EEXIST, when what is there holds anything.
  bool Adopt(const std::string& name) {
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

  // Puts in `*fd` the working folder `name` right below the held one.
  bool Reach(const std::string& name, Use use, int* fd) {
    struct stat status;
    auto known = folders.find(name);
    if (known != folders.end()) {
      const Folder& folder = known->second;
      if (use == Use::kAdd &&
          (fstatat(held_fd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 ||
           status.st_dev != folder.dev || status.st_ino != folder.ino)) {
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
};

namespace {

EntryType TypeOf(mode_t mode) {
  return S_ISDIR(mode)   ? EntryType::kFolder
         : S_ISREG(mode) ? EntryType::kFile
                         : EntryType::kOther;
}

// The entry's status, a final link followed or not. Returns false with
// errno set.
bool StatAt(const Where& where, struct stat* status, bool follow) {
  return fstatat(where.dir, where.name.c_str(), status,
                 follow ? 0 : AT_SYMLINK_NOFOLLOW) == 0;
}

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
  if (held_itself &&
      (fstat(held_fd, &own) != 0 || own.st_dev != status.st_dev ||
       own.st_ino != status.st_ino)) {
    errno = ENOENT;
    return false;
  }
  // Nor does a working folder the run has reached move by its name once
  // another folder has taken that name: marked as the discard folder, the
  // other folder's files would be the next run's to delete.
  auto reached = folders.find(source.name);
  if (folder && source.dir == held_fd && reached != folders.end() &&
      (reached->second.dev != status.st_dev ||
       reached->second.ino != status.st_ino)) {
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

SystemPlatform::SystemPlatform(std::string invocation_name)
    : invocation_name_(std::move(invocation_name)),
      state_(std::make_unique<State>()) {}

SystemPlatform::~SystemPlatform() = default;

char SystemPlatform::Separator() const { return '/'; }

const char* SystemPlatform::ExeSuffix() const { return ""; }

template <typename T>
T SystemPlatform::Failed(T result) {
  last_error_ = static_cast<std::uint32_t>(errno);
  return result;
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

void SystemPlatform::SuppressSystemBoxes() {
  // The system shows no boxes of its own here.
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

bool SystemPlatform::IsNotFound(std::uint32_t code) const {
  return code == ENOENT;
}

bool SystemPlatform::IsShortAlias(std::uint32_t /*code*/) const {
  return false;
}

bool SystemPlatform::IsAccessDenied(std::uint32_t /*code*/) const {
  // And a permission once refused is refused for good.
  return false;
}

bool SystemPlatform::EnvironmentValue(const std::string& name,
                                      std::string* value) {
  const char* found = std::getenv(name.c_str());
  if (found == nullptr) return false;
  *value = found;
  return true;
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
  if (!state_->Locate(path, &where)) return Failed(-1);
  // A working folder the run has reached is removed only while it is what
  // has its name, and only it is forgotten; so is every one, with the
  // folder the run held.
  auto reached = state_->folders.find(where.name);
  const bool working =
      where.dir == state_->held_fd && reached != state_->folders.end();
  struct stat status;
  if (working && (fstatat(where.dir, where.name.c_str(), &status,
                          AT_SYMLINK_NOFOLLOW) != 0 ||
                  status.st_dev != reached->second.dev ||
                  status.st_ino != reached->second.ino)) {
    errno = ESTALE;
    return Failed(-1);
  }
  if (unlinkat(where.dir, where.name.c_str(), AT_REMOVEDIR) != 0) {
    return Failed(-1);
  }
  if (working) {
    close(reached->second.fd);
    state_->folders.erase(reached);
  } else if (!where.below) {
    state_->Forget();
  }
  return 0;
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
  if (error == 0 &&
      (lstat(path.c_str(), &named) != 0 || named.st_dev != status.st_dev ||
       named.st_ino != status.st_ino)) {
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
  if (!ReadEntry(listing)) {
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
  if (!ReadEntry(posix)) return Failed(false);
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

File SystemPlatform::OpenExclusive(const std::string& path, EntryType listed) {
  struct stat status;
  const int fd = OpenRegularFile(path, listed == EntryType::kFile, &status);
  if (fd < 0) return Failed<File>(nullptr);
  return reinterpret_cast<File>(
      new PosixFile{fd, status.st_size, status.st_dev, status.st_ino});
}

bool SystemPlatform::OpenedFileId(File file, FileId* id) {
  // The open has just read it, as it read the size.
  const auto* posix = reinterpret_cast<const PosixFile*>(file);
  *id = FileId{static_cast<std::uint64_t>(posix->dev), {}};
  const auto inode = static_cast<std::uint64_t>(posix->ino);
  std::memcpy(id->id, &inode, sizeof inode);
  return true;
}

Stream SystemPlatform::OpenStream(const std::string& path) {
  struct stat status;
  const int fd = OpenRegularFile(path, false, &status);
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

bool SystemPlatform::StreamSize(Stream stream, std::uint64_t* size) {
  struct stat status;
  if (fstat(fileno(reinterpret_cast<std::FILE*>(stream)), &status) != 0) {
    return Failed(false);
  }
  *size = static_cast<std::uint64_t>(status.st_size);
  return true;
}

bool SystemPlatform::FileSize(File file, std::uint64_t* size) {
  // The open has just read the size; a second query would tell the same.
  *size = static_cast<std::uint64_t>(reinterpret_cast<PosixFile*>(file)->size);
  return true;
}

void SystemPlatform::CloseFile(File file) {
  PosixFile* posix = reinterpret_cast<PosixFile*>(file);
  close(posix->fd);
  delete posix;
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

bool SystemPlatform::RenameFile(const std::string& from,
                                const std::string& to) {
  return state_->MoveEntry(from, to, false) || Failed(false);
}

bool SystemPlatform::RenameFolder(const std::string& from,
                                  const std::string& to) {
  return state_->MoveEntry(from, to, true) || Failed(false);
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

bool SystemPlatform::ProgramFileId(FileId* id) {
  // The kernel's own link to the program's file, whatever path, link or
  // name started it.
  return QueryFileId("/proc/self/exe", true, id);
}

bool SystemPlatform::IsListedName(const std::string& path) {
  // A name is the only way to an entry here: there are no aliases.
  Where where;
  struct stat status;
  return (state_->Locate(path, &where) && StatAt(where, &status, false)) ||
         Failed(false);
}

}  // namespace platform
