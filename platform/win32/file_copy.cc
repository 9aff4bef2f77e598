// The Windows copy engine: a new file made exclusively, the source's bytes,
// its time of last write and its attributes, flushed before it is closed.
//
// CopyFileW would do most of it, but its file cannot be flushed afterwards
// without opening it again for writing, which a read-only copy refuses
// unless its attribute is cleared a moment; here the handle that wrote the
// file flushes it. It also copies a file's alternate data streams, among
// them the mark that a downloaded package carries (Zone.Identifier): an
// installed skin carries none, as the files of other installers carry none.

#include <windows.h>

#include <vector>

#include "platform/system_platform.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_state.h"

namespace platform {
namespace {

// The attributes a copy keeps.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
    FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Copies to the end of the file. `size`, what the file said of itself when
// it was opened, only sizes the buffer: a share may answer that query in
// part.
bool CopyBytes(HANDLE in, HANDLE out, ULONGLONG size) {
  constexpr ULONGLONG kBuffer = 1 << 20;
  std::vector<char> buffer(
      static_cast<std::size_t>(size > 0 && size < kBuffer ? size : kBuffer));
  for (;;) {
    DWORD count = 0;
    if (ReadFile(in, buffer.data(), static_cast<DWORD>(buffer.size()), &count,
                 nullptr) == 0) {
      return false;
    }
    if (count == 0) return true;
    for (DWORD done = 0; done < count;) {
      DWORD written = 0;
      if (WriteFile(out, buffer.data() + done, count - done, &written,
                    nullptr) == 0) {
        return false;
      }
      done += written;
    }
  }
}

// Sets the time of last write and the attributes through the open handle.
// The time is kept where the file system can store it: FAT32 and exFAT
// (USB sticks) store none before 1980 or after 2107, and refuse the whole
// call for one, as for the time 0 of many a package that a script made.
// The attributes are then set alone (a zero time leaves the file's own):
// a time is worth no failed installation.
bool SetBasics(HANDLE out, const FILETIME& written, DWORD attributes) {
  FILE_BASIC_INFO basic = {};
  basic.LastWriteTime.LowPart = written.dwLowDateTime;
  basic.LastWriteTime.HighPart = static_cast<LONG>(written.dwHighDateTime);
  basic.FileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
  if (SetFileInformationByHandle(out, FileBasicInfo, &basic, sizeof basic)) {
    return true;
  }
  basic.LastWriteTime.QuadPart = 0;
  return SetFileInformationByHandle(out, FileBasicInfo, &basic, sizeof basic) !=
         0;
}

}  // namespace

bool SystemPlatform::CopyFileTo(const std::string& source,
                                const std::string& destination,
                                EntryType listed) {
  if (!state_->Reach(destination)) return Failed(false);
  const HANDLE in =
      CreateFileW(SystemPath(source).c_str(), GENERIC_READ, FILE_SHARE_READ,
                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (in == INVALID_HANDLE_VALUE) return Failed(false);
  // What was opened tells its size, time and attributes; a file that the
  // listing did not find a plain file is let go unless it is one on a disk.
  BY_HANDLE_FILE_INFORMATION from;
  if (GetFileInformationByHandle(in, &from) == 0 ||
      (listed != EntryType::kFile && GetFileType(in) != FILE_TYPE_DISK)) {
    const DWORD error = GetLastError();
    CloseHandle(in);
    SetLastError(error != 0 ? error : ERROR_ACCESS_DENIED);
    return Failed(false);
  }
  // Made where nothing has the name, not even a short alias or a link.
  const HANDLE out =
      CreateFileW(SystemPath(destination).c_str(), GENERIC_WRITE | DELETE, 0,
                  nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    CloseHandle(in);
    SetLastError(error);
    return Failed(false);
  }
  // The read-only attribute comes last, once nothing more is written.
  const DWORD attributes = from.dwFileAttributes & kKeptAttributes;
  const ULONGLONG size =
      (static_cast<ULONGLONG>(from.nFileSizeHigh) << 32) | from.nFileSizeLow;
  bool ok = CopyBytes(in, out, size) &&
            SetBasics(out, from.ftLastWriteTime,
                      attributes & ~FILE_ATTRIBUTE_READONLY) &&
            FlushFileBuffers(out) != 0 &&
            ((attributes & FILE_ATTRIBUTE_READONLY) == 0 ||
             SetBasics(out, from.ftLastWriteTime, attributes));
  const DWORD error = GetLastError();
  // Deleted through the handle that made it: no partial copy stays, and
  // nothing of another name is touched. Where the file system refuses that,
  // by its name, once closed.
  FILE_DISPOSITION_INFO dispose = {TRUE};
  const bool disposed =
      ok || SetFileInformationByHandle(out, FileDispositionInfo, &dispose,
                                       sizeof dispose) != 0;
  CloseHandle(out);
  CloseHandle(in);
  if (!disposed) DeleteFileW(SystemPath(destination).c_str());
  if (ok) return true;
  SetLastError(error);
  return Failed(false);
}

}  // namespace platform
