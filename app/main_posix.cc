// The installer's entry on POSIX systems.

#include "app/command_tail.h"
#include "platform/system_platform.h"
#include "skinsetup/skinsetup.h"

int main(int argc, char** argv) {
  platform::SystemPlatform os(argc > 0 ? argv[0] : "");
  const std::string tail = app::JoinArguments(argc, argv);
  return skinsetup::WinMain(os, nullptr, nullptr, tail.c_str(), 0);
}
