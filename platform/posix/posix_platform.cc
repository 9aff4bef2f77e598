// The POSIX system's conventions, the process, the boxes and its errors.
//
// Every other job has the file of the same name as on Windows: the files
// and folders are in folders.cc, files.cc and file_copy.cc, which reach
// below the held skin folder through working_folders.h; the registry,
// a .reg file (reg_file.h), in registry.cc; the free space in free_space.cc,
// the log and the local time in run_log.cc and the digests in digest.cc;
// the map's stream in ../stdio_streams.cc. The boxes are the terminal's
// (terminal_box.h).

#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/posix/posix_state.h"
#include "platform/posix/terminal_box.h"
#include "platform/system_platform.h"

namespace platform {

SystemPlatform::SystemPlatform(std::string invocation_name)
    : invocation_name_(std::move(invocation_name)),
      state_(std::make_unique<State>()) {}

SystemPlatform::~SystemPlatform() = default;

char SystemPlatform::Separator() const { return '/'; }

const char* SystemPlatform::ExeSuffix() const { return ""; }

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

bool SystemPlatform::ErrorText(std::uint32_t code, std::string* text) {
  const char* message = std::strerror(static_cast<int>(code));
  if (message == nullptr || *message == '\0') return false;
  *text = message;
  return true;
}

}  // namespace platform
