// The installer's entry on Windows. The program is built for the GUI
// subsystem, so no console window opens. It reads its command line in
// UTF-16, so that a skin name in any script arrives whole whatever the
// system's code page, and hands the installer UTF-8.

#include <windows.h>

#include <cwchar>

#include "app/command_tail.h"
#include "platform/system_platform.h"
#include "platform/win32/wide_text.h"
#include "skinsetup/skinsetup.h"

int main() {
  const wchar_t* wide = GetCommandLineW();
  const std::string line = platform::Narrow(wide, std::wcslen(wide));
  platform::SystemPlatform os(app::FirstArgument(line.c_str()));
  const std::string tail = app::CutCommandTail(line.c_str());
  return skinsetup::WinMain(os, GetModuleHandleW(nullptr), nullptr,
                            tail.c_str(), SW_SHOWDEFAULT);
}
