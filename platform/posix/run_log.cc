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
namespace {

// A log is its descriptor plus one, so that descriptor 0 is no nullptr.
Log LogOf(int fd) {
  return reinterpret_cast<Log>(static_cast<std::intptr_t>(fd) + 1);
}
int FdOf(Log log) {
  return static_cast<int>(reinterpret_cast<std::intptr_t>(log) - 1);
}

}  // namespace

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
    return LogOf(fd);
  }
  return Failed<Log>(nullptr);
}

Log SystemPlatform::OpenStandardOutput() {
  // A copy of its own, so that closing the log leaves the process's
  // standard output alone; a pipe or a terminal is taken as it is.
  const int fd = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
  return fd >= 0 ? LogOf(fd) : Failed<Log>(nullptr);
}

bool SystemPlatform::LogFileId(Log log, FileId* id) {
  struct stat status;
  if (fstat(FdOf(log), &status) != 0) return Failed(false);
  *id = IdOf(status.st_dev, status.st_ino);
  return true;
}

bool SystemPlatform::AppendLog(Log log, const std::string& text) {
  const int fd = FdOf(log);
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t written = write(fd, text.data() + done, text.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<std::size_t>(written);
  }
  return true;
}

void SystemPlatform::CloseLog(Log log) { close(FdOf(log)); }

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
