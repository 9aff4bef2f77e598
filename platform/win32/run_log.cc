// The log that /LOG asks for, and the local time its lines start with.

#include <windows.h>

#include <cstdio>

#include "platform/system_platform.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_state.h"

namespace platform {

Log SystemPlatform::OpenLog(const std::string& path) {
  // Appends only, shared with readers and with other writers that append
  // too (a second installer logging to the same file).
  const HANDLE handle =
      CreateFileW(SystemPath(path).c_str(), FILE_APPEND_DATA,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    last_error_ = GetLastError();
    return nullptr;
  }
  // A device or a pipe under a file's name is no log.
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    last_error_ = ERROR_INVALID_FUNCTION;
    return nullptr;
  }
  return reinterpret_cast<Log>(handle);
}

Log SystemPlatform::OpenStandardOutput() {
  // A program without a console has a standard output only where the
  // process that started it passed one (a redirection, a CI job's pipe). A
  // handle of its own, so that closing the log leaves that one alone.
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  HANDLE own = nullptr;
  if (out == nullptr || out == INVALID_HANDLE_VALUE ||
      DuplicateHandle(GetCurrentProcess(), out, GetCurrentProcess(), &own, 0,
                      FALSE, DUPLICATE_SAME_ACCESS) == 0) {
    last_error_ = out == nullptr ? ERROR_INVALID_HANDLE : GetLastError();
    return nullptr;
  }
  return reinterpret_cast<Log>(own);
}

bool SystemPlatform::LogFileId(Log log, FileId* id) {
  return FileIdentity(reinterpret_cast<HANDLE>(log), id) || Failed(false);
}

bool SystemPlatform::AppendLog(Log log, const std::string& text) {
  for (std::size_t done = 0; done < text.size();) {
    DWORD written = 0;
    if (WriteFile(reinterpret_cast<HANDLE>(log), text.data() + done,
                  static_cast<DWORD>(text.size() - done), &written,
                  nullptr) == 0 ||
        written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

void SystemPlatform::CloseLog(Log log) {
  CloseHandle(reinterpret_cast<HANDLE>(log));
}

std::string SystemPlatform::LocalTime() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear,
                now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
  return text;
}

}  // namespace platform
