// Deleting a file, or a link itself, on Windows: a read-only one too,
// without taking the attribute from the names it keeps elsewhere.
//
// Attributes belong to the file, not to its name: every hard link of a file
// shares them. Clearing the read-only attribute to delete one name would
// leave the file writable under every other name it has, outside the skin
// folder too, for good.

#include <windows.h>

#include "platform/win32/win32_state.h"

namespace platform {
namespace {

// FileDispositionInfoEx and its flags (FILE_DISPOSITION_INFO_EX), which
// MinGW declares only for later targets than this one. Windows 10 version
// 1809 and later delete a read-only file through them, its attribute
// untouched; elsewhere the call fails, and the classic way serves.
constexpr FILE_INFO_BY_HANDLE_CLASS kDispositionInfoEx =
    static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
constexpr DWORD kDispositionDelete = 0x1;
constexpr DWORD kDispositionIgnoreReadOnly = 0x10;

// The attributes that FILE_BASIC_INFO sets; the others (a reparse point,
// compression) are not the caller's to set.
constexpr DWORD kSettableAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
    FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
    FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Sets the attributes through the open handle; the zero times leave the
// file's times as they are.
bool SetAttributes(HANDLE file, DWORD attributes) {
  FILE_BASIC_INFO basic = {};
  attributes &= kSettableAttributes;
  basic.FileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
  return SetFileInformationByHandle(file, FileBasicInfo, &basic,
                                    sizeof basic) != 0;
}

bool Dispose(HANDLE file) {
  FILE_DISPOSITION_INFO dispose = {TRUE};
  return SetFileInformationByHandle(file, FileDispositionInfo, &dispose,
                                    sizeof dispose) != 0;
}

}  // namespace

bool DeleteEntry(const std::wstring& path) {
  // Most files are no read-only ones, and the plain delete serves them.
  if (DeleteFileW(path.c_str()) != 0) return true;
  DWORD error = GetLastError();
  if (error != ERROR_ACCESS_DENIED) return false;
  // The entry itself, a link not followed; a folder, or a link to one, is
  // not opened at all, as DeleteFileW does not delete it. Others may go on
  // reading and writing it meanwhile, as DeleteFileW allows.
  const HANDLE file = CreateFileW(
      path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD flags = kDispositionDelete | kDispositionIgnoreReadOnly;
  bool deleted = SetFileInformationByHandle(file, kDispositionInfoEx, &flags,
                                            sizeof flags) != 0;
  // Where the system cannot ignore the attribute, it is cleared for the
  // delete through this handle and put back through it, before the file is
  // closed, when the file lives on under another name (or stays whole).
  BY_HANDLE_FILE_INFORMATION info;
  if (!deleted && GetFileInformationByHandle(file, &info) != 0 &&
      (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0 &&
      SetAttributes(file, info.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY)) {
    deleted = Dispose(file);
    if (!deleted) error = GetLastError();
    if (!deleted || info.nNumberOfLinks > 1) {
      SetAttributes(file, info.dwFileAttributes);
    }
  }
  CloseHandle(file);
  SetLastError(error);
  return deleted;
}

}  // namespace platform
