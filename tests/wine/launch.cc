// Test-only: starts a program with an exact command line and returns its
// exit status. Wine builds a program's command line from its arguments and
// quotes those that hold blanks; the tests need leading tabs, trailing
// blanks and quotes to reach the installer as typed, so the line comes
// whole from the environment variable SKINSETUP_COMMAND_LINE.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main() {
  const char* line = std::getenv("SKINSETUP_COMMAND_LINE");
  if (line == nullptr) {
    std::fprintf(stderr, "SKINSETUP_COMMAND_LINE is not set\n");
    return 255;
  }
  // CreateProcessA may write to the command line it is given.
  std::vector<char> command(line, line + std::strlen(line) + 1);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0,
                      nullptr, nullptr, &startup, &process)) {
    std::fprintf(stderr, "CreateProcessA failed: %lu\n", GetLastError());
    return 254;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 253;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(status);
}
