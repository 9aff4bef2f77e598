// The installer's entry on Windows. The program is built for the GUI
// subsystem, so no console window opens; the C runtime still hands main
// the argument vector, whose first element is the invocation name.

#include <windows.h>

#include "app/command_tail.h"
#include "platform/system_platform.h"
#include "skinsetup/skinsetup.h"

int main(int argc, char** argv) {
  platform::SystemPlatform os(argc > 0 ? argv[0] : "");
  const std::string tail = app::CutCommandTail(GetCommandLineA());
  return skinsetup::WinMain(os, GetModuleHandleA(nullptr), nullptr,
                            tail.c_str(), SW_SHOWDEFAULT);
}
