// The log that /LOG asks for, and the local time its lines start with.

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/posix/posix_state.h"
#include "platform/system_platform.h"

namespace platform {

Log SystemPlatform::OpenLog(const std::string& path) {
  // Opened without waiting, so that a pipe with no reader cannot stop the
  // run; then only a regular file is kept.
  const int fd = open(
      path.c_str(),
      O_WRONLY | O_APPEND | O_CREAT | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0666);
  struct stat status;
  if (fd >= 0 && (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))) {
    close(fd);
    errno = EINVAL;
  } else if (fd >= 0) {
    return reinterpret_cast<Log>(static_cast<std::intptr_t>(fd) + 1);
  }
  last_error_ = static_cast<std::uint32_t>(errno);
  return nullptr;
}

Log SystemPlatform::OpenStandardOutput() {
  // A copy of its own, so that closing the log leaves the process's
  // standard output alone; a pipe or a terminal is taken as it is.
  const int fd = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
  if (fd < 0) {
    last_error_ = static_cast<std::uint32_t>(errno);
    return nullptr;
  }
  return reinterpret_cast<Log>(static_cast<std::intptr_t>(fd) + 1);
}

bool SystemPlatform::LogFileId(Log log, FileId* id) {
  struct stat status;
  if (fstat(static_cast<int>(reinterpret_cast<std::intptr_t>(log) - 1),
            &status) != 0) {
    last_error_ = static_cast<std::uint32_t>(errno);
    return false;
  }
  *id = IdOf(status.st_dev, status.st_ino);
  return true;
}

bool SystemPlatform::AppendLog(Log log, const std::string& text) {
  const int fd = static_cast<int>(reinterpret_cast<std::intptr_t>(log) - 1);
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t written = write(fd, text.data() + done, text.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<std::size_t>(written);
  }
  return true;
}

void SystemPlatform::CloseLog(Log log) {
  close(static_cast<int>(reinterpret_cast<std::intptr_t>(log) - 1));
}

std::string SystemPlatform::LocalTime() {
  const time_t now = time(nullptr);
  struct tm local;
  char text[32];
  if (localtime_r(&now, &local) == nullptr ||
      strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local) == 0) {
    return "0000-00-00 00:00:00";
  }
  return text;
}

}  // namespace platform
