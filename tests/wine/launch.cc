// Test-only: starts a program with an exact command line and prints its
// whole exit status on the standard output (the status of a process under
// Wine reaches Linux in eight bits only). Wine builds a program's command line
// from its arguments and quotes those that hold blanks; the tests need leading
// tabs, trailing blanks, quotes and letters of any script to reach the
// installer as typed, so the line comes whole, in UTF-16, from the environment
// variable SKINSETUP_COMMAND_LINE.

#include <windows.h>

#include <cstdio>
#include <vector>

int main() {
  const wchar_t kName[] = L"SKINSETUP_COMMAND_LINE";
  const DWORD size = GetEnvironmentVariableW(kName, nullptr, 0);
  if (size == 0) {
    std::fprintf(stderr, "SKINSETUP_COMMAND_LINE is not set\n");
    return 255;
  }
  // CreateProcessW may write to the command line it is given.
  std::vector<wchar_t> command(size + 1);
  GetEnvironmentVariableW(kName, command.data(), size + 1);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0,
                      nullptr, nullptr, &startup, &process)) {
    std::fprintf(stderr, "CreateProcessW failed: %lu\n", GetLastError());
    return 254;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 253;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  std::printf("%lu\n", static_cast<unsigned long>(status));
  return 0;
}
