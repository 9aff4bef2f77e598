// The installer's system on Windows: its conventions, the process, the
// boxes and the system's errors. Every call is the wide (UTF-16) one, so
// that any name reaches the system whatever its code page; the texts it
// hands the installer are UTF-8 (wide_text.h). The files and folders are
// in folders.cc, files.cc and file_copy.cc, the registry in registry.cc,
// the free space in free_space.cc and the log in run_log.cc.

#include <windows.h>

#include <cstdlib>
#include <vector>

#include "platform/system_platform.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_names.h"
#include "platform/win32/win32_state.h"

namespace platform {
namespace {

// The flags of the error text request: a buffer the call allocates, the
// system's table, and no insert arguments (a text's "%1" stays as it is).
constexpr DWORD kErrorTextFlags = FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                  FORMAT_MESSAGE_FROM_SYSTEM |
                                  FORMAT_MESSAGE_IGNORE_INSERTS;
constexpr DWORD kErrorTextLanguage = 0x400;  // Neutral, the user's default.

// The error of a file that is being deleted while someone holds it.
constexpr DWORD kDeletePending = 303;

// Windows Error Reporting's flag that keeps its window away (werapi.h).
constexpr DWORD kWerFaultReportingNoUi = 0x20;

}  // namespace

SystemPlatform::SystemPlatform(std::string invocation_name)
    : invocation_name_(std::move(invocation_name)),
      state_(std::make_unique<State>()) {}

SystemPlatform::~SystemPlatform() = default;

char SystemPlatform::Separator() const { return '\\'; }

const char* SystemPlatform::ExeSuffix() const { return ".exe"; }

bool SystemPlatform::IsAbsolutePath(const std::string& path) const {
  return IsAbsoluteWin32Path(path);
}

std::string SystemPlatform::CurrentDirectory() {
  const DWORD needed = GetCurrentDirectoryW(0, nullptr);
  if (needed == 0) return Failed(std::string());
  std::vector<wchar_t> buffer(needed + 1);
  const DWORD length =
      GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
  if (length == 0 || length >= buffer.size()) return Failed(std::string());
  return Narrow(buffer.data(), length);
}

void SystemPlatform::Exit(int status) { std::exit(status); }

void SystemPlatform::SuppressSystemBoxes() {
  // Added to what the process inherited, never in place of it. A crash
  // ends the run without the system's box, and without the one of Windows
  // Error Reporting, which is looked up since older systems have none.
  SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS |
               SEM_NOOPENFILEERRORBOX | SEM_NOGPFAULTERRORBOX);
  using WerSetFlagsFn = HRESULT(WINAPI*)(DWORD);
  const auto wer_set_flags =
      reinterpret_cast<WerSetFlagsFn>(reinterpret_cast<void*>(
          GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "WerSetFlags")));
  if (wer_set_flags != nullptr) wer_set_flags(kWerFaultReportingNoUi);
}

void SystemPlatform::Pause(unsigned milliseconds) { Sleep(milliseconds); }

bool SystemPlatform::IsSharingError(std::uint32_t code) const {
  return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION ||
         code == kDeletePending;
}

bool SystemPlatform::IsNotFound(std::uint32_t code) const {
  // A folder on the way that is missing: nothing has the name either.
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

bool SystemPlatform::IsShortAlias(std::uint32_t code) const {
  // What IsListedName sets for a name that lists as another.
  return code == ERROR_FILE_EXISTS;
}

bool SystemPlatform::IsAccessDenied(std::uint32_t code) const {
  return code == ERROR_ACCESS_DENIED;
}

bool SystemPlatform::EnvironmentValue(const std::string& name,
                                      std::string* value) {
  const std::wstring wide = Widen(name);
  std::vector<wchar_t> buffer(256);
  for (;;) {
    const DWORD length = GetEnvironmentVariableW(
        wide.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
    if (length < buffer.size()) {
      *value = Narrow(buffer.data(), length);
      return true;
    }
    buffer.resize(length);
  }
}

int SystemPlatform::ShowMessageBox(const std::string& text,
                                   const std::string& caption, unsigned type) {
  return MessageBoxW(nullptr, Widen(text).c_str(), Widen(caption).c_str(),
                     type);
}

bool SystemPlatform::ErrorText(std::uint32_t code, std::string* text) {
  wchar_t* buffer = nullptr;
  const DWORD length =
      FormatMessageW(kErrorTextFlags, nullptr, code, kErrorTextLanguage,
                     reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
  // Only a buffer the call allocated is released.
  if (length == 0 || buffer == nullptr) return false;
  *text = Narrow(buffer, length);
  LocalFree(buffer);
  return true;
}

}  // namespace platform
