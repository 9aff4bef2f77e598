// The installer's entry on POSIX systems.

#include <signal.h>

#include "app/command_tail.h"
#include "platform/system_platform.h"
#include "skinsetup/skinsetup.h"

int main(int argc, char** argv) {
  // Under a file-size limit, a write past it would kill the installer in
  // the middle of a copy; ignored, the write fails instead (EFBIG), and the
  // failure is reported and rolled back like any other. So for a box
  // written to a pipe that no one reads any more (`./setup Blue 2>&1 |
  // head -1`): the box counts as not shown, and the run goes on.
  signal(SIGXFSZ, SIG_IGN);
  signal(SIGPIPE, SIG_IGN);
  platform::SystemPlatform os(argc > 0 ? argv[0] : "");
  const std::string tail = app::JoinArguments(argc, argv);
  return skinsetup::WinMain(os, nullptr, nullptr, tail.c_str(), 0);
}
