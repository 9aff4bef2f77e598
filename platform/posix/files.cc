// POSIX files: package files, renames, deletes, identities and listed names.
// Entries below the held folder are reached through working_folders.h.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/posix/file_copy.h"
#include "platform/posix/posix_state.h"
#include "platform/system_platform.h"

namespace platform {
namespace {

struct PosixFile {
  int fd;
  off_t size;  // As the open found it,
  dev_t dev;   // and what file it is.
  ino_t ino;
};

}  // namespace

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
  *id = IdOf(posix->dev, posix->ino);
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

bool SystemPlatform::QueryFileId(const std::string& path, bool follow_link,
                                 FileId* id) {
  Where where;
  struct stat status;
  if (!state_->Locate(path, &where) || !StatAt(where, &status, follow_link)) {
    return Failed(false);
  }
  *id = IdOf(status.st_dev, status.st_ino);
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
