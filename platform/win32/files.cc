// Files on Windows: the package's files, the skin folder's renames and
// deletes, and files' identities and listed names.

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/system_platform.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_state.h"

namespace platform {
namespace {

// The file identity query of Windows Vista and later, looked up at run time
// so that the installer still starts where it is missing. Its FileIdInfo
// class (Windows 8 and later) gives the 128-bit file id, which is unique on
// ReFS, where the 64-bit file index is not.
using FileInfoExFn = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID,
                                   DWORD);

}  // namespace

bool FileIdentity(HANDLE handle, FileId* identity) {
  // Zeros pass through as they come: the installer takes them for
  // "unknown".
  static const FileInfoExFn query =
      reinterpret_cast<FileInfoExFn>(reinterpret_cast<void*>(GetProcAddress(
          GetModuleHandleA("KERNEL32.DLL"), "GetFileInformationByHandleEx")));
  FILE_ID_INFO info;
  if (query != nullptr && query(handle, FileIdInfo, &info, sizeof info) != 0) {
    identity->volume = info.VolumeSerialNumber;
    std::memcpy(identity->id, info.FileId.Identifier, 16);
    return true;
  }
  BY_HANDLE_FILE_INFORMATION classic;
  if (GetFileInformationByHandle(handle, &classic) == 0) return false;
  identity->volume = classic.dwVolumeSerialNumber;
  std::memset(identity->id, 0, 16);
  std::memcpy(identity->id, &classic.nFileIndexLow, 4);
  std::memcpy(identity->id + 4, &classic.nFileIndexHigh, 4);
  return true;
}

std::wstring InvariantCapitals(std::wstring text) {
  if (text.empty()) return text;
  const int length = static_cast<int>(text.size());
  std::wstring upper(text.size(), L'\0');
  if (LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, text.data(), length,
                   &upper[0], length) != length) {
    return text;
  }
  return upper;
}

Stream SystemPlatform::OpenStream(const std::string& path) {
  // A folder cannot be opened this way, and anything else that is not a
  // file on a disk (a device, a pipe) is let go at once.
  const HANDLE handle =
      CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return Failed<Stream>(nullptr);
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    SetLastError(ERROR_ACCESS_DENIED);
    return Failed<Stream>(nullptr);
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle),
                                 _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    return Failed<Stream>(nullptr);
  }
  std::FILE* file = _fdopen(fd, "rb");
  if (file == nullptr) _close(fd);
  return reinterpret_cast<Stream>(file);
}

bool SystemPlatform::StreamSize(Stream stream, std::uint64_t* size) {
  const auto handle = reinterpret_cast<HANDLE>(
      _get_osfhandle(_fileno(reinterpret_cast<std::FILE*>(stream))));
  LARGE_INTEGER whole;
  if (handle == INVALID_HANDLE_VALUE || GetFileSizeEx(handle, &whole) == 0) {
    return Failed(false);
  }
  *size = static_cast<std::uint64_t>(whole.QuadPart);
  return true;
}

File SystemPlatform::OpenExclusive(const std::string& path,
                                   EntryType /*listed*/) {
  // Share mode 0: the open fails while the file is open elsewhere. A folder
  // cannot be opened this way at all, and says so, rather than look like a
  // file that someone holds.
  const std::wstring wide = SystemPath(path);
  const HANDLE handle =
      CreateFileW(wide.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      SetLastError(ERROR_DIRECTORY);
    }
    return Failed<File>(nullptr);
  }
  return reinterpret_cast<File>(handle);
}

bool SystemPlatform::OpenedFileId(File file, FileId* id) {
  return FileIdentity(reinterpret_cast<HANDLE>(file), id) || Failed(false);
}

bool SystemPlatform::FileSize(File file, std::uint64_t* size) {
  LARGE_INTEGER whole;
  if (GetFileSizeEx(reinterpret_cast<HANDLE>(file), &whole) == 0) {
    return Failed(false);
  }
  *size = static_cast<std::uint64_t>(whole.QuadPart);
  return true;
}

void SystemPlatform::CloseFile(File file) {
  CloseHandle(reinterpret_cast<HANDLE>(file));
}

bool SystemPlatform::RemoveFile(const std::string& path) {
  // A read-only package file is installed read-only (the copy keeps the
  // attribute); this run's copies and the earlier files it discards go
  // all the same.
  if (!state_->Reach(path)) return Failed(false);
  return DeleteEntry(SystemPath(path)) || Failed(false);
}

bool FindEntry(const std::string& path, DWORD* attributes, bool* link,
               bool* listed) {
  const std::size_t slash = path.find_last_of("\\/");
  const std::string name =
      slash == std::string::npos ? path : path.substr(slash + 1);
  // A wildcard would list another entry; no file has one in its name.
  if (name.find_first_of("*?") != std::string::npos) {
    SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  WIN32_FIND_DATAW data;
  const HANDLE handle = FindFirstFileW(SystemPath(path).c_str(), &data);
  if (handle == INVALID_HANDLE_VALUE) return false;
  FindClose(handle);
  *attributes = data.dwFileAttributes;
  *link = IsListedLink(data);
  *listed = InvariantCapitals(Widen(name)) == InvariantCapitals(data.cFileName);
  return true;
}

bool MoveEntry(const std::string& from, const std::string& to, bool folder) {
  DWORD attributes;
  bool link;
  if (folder) {
    // The run's own working folders, named as it made them: what they are
    // is read without listing the folder that holds them, which a Skins
    // folder may refuse.
    if (!ReadEntry(SystemPath(from), &attributes, &link)) return false;
  } else {
    // One look at a file tells what it is and whether its name is the
    // listed one: a short alias names another entry than the caller means.
    bool listed;
    if (!FindEntry(from, &attributes, &link, &listed)) return false;
    if (!listed) {
      SetLastError(ERROR_FILE_EXISTS);
      return false;
    }
  }
  if (((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && !link) != folder) {
    // A folder is no file (as a copy onto one fails), and a file or a link
    // is no folder.
    SetLastError(folder ? ERROR_DIRECTORY : ERROR_ACCESS_DENIED);
    return false;
  }
  // Without replacing, the system refuses a name that exists in any case.
  return MoveFileExW(SystemPath(from).c_str(), SystemPath(to).c_str(), 0) != 0;
}

bool SystemPlatform::RenameFile(const std::string& from,
                                const std::string& to) {
  return (state_->Reach(from) && state_->Reach(to) &&
          MoveEntry(from, to, false)) ||
         Failed(false);
}

bool SystemPlatform::QueryFileId(const std::string& path, bool follow_link,
                                 FileId* id) {
  // No access is needed to read an identity, and no one is kept from the
  // file meanwhile; a folder opens with backup semantics.
  const HANDLE handle =
      CreateFileW(SystemPath(path).c_str(), 0,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS |
                      (follow_link ? 0 : FILE_FLAG_OPEN_REPARSE_POINT),
                  nullptr);
  if (handle == INVALID_HANDLE_VALUE) return Failed(false);
  const bool ok = FileIdentity(handle, id);
  if (!ok) Failed(false);
  CloseHandle(handle);
  return ok;
}

bool SystemPlatform::ProgramFileId(FileId* id) {
  // The module's own file, whatever path, case or short name started it.
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD size = GetModuleFileNameW(nullptr, path.data(),
                                          static_cast<DWORD>(path.size()));
    if (size == 0) return Failed(false);
    if (size < path.size()) {
      return QueryFileId(Narrow(path.data(), size), true, id);
    }
    path.resize(path.size() * 2);
  }
}

bool SystemPlatform::IsListedName(const std::string& path) {
  // The listing names the entry that the path reaches, also through a short
  // 8.3 alias, by its own long name.
  DWORD attributes;
  bool link;
  bool listed;
  if (!FindEntry(path, &attributes, &link, &listed)) return Failed(false);
  if (listed) return true;
  SetLastError(ERROR_FILE_EXISTS);
  return Failed(false);
}

}  // namespace platform
