// The installer's system on Windows. Every call is the wide (UTF-16) one,
// so that any name reaches the system whatever its code page; the texts it
// hands the installer are UTF-8 (wide_text.h). Paths too long for the plain
// form take the extended-length one.

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <vector>

#include "platform/system_platform.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_names.h"

namespace platform {
namespace {

static_assert(sizeof(OsVersionInfo) == sizeof(OSVERSIONINFOA),
              "the version record has the system's layout");

// The flags of the error text request: a buffer the call allocates, the
// system's table, and no insert arguments (a text's "%1" stays as it is).
constexpr DWORD kErrorTextFlags = FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                  FORMAT_MESSAGE_FROM_SYSTEM |
                                  FORMAT_MESSAGE_IGNORE_INSERTS;
constexpr DWORD kErrorTextLanguage = 0x400;  // Neutral, the user's default.

// The error of a file that is being deleted while someone holds it.
constexpr DWORD kDeletePending = 303;

struct Win32Listing {
  HANDLE handle;
};

// The file identity query of Windows Vista and later, looked up at run time
// so that the installer still starts where it is missing. Its FileIdInfo
// class (Windows 8 and later) gives the 128-bit file id, which is unique on
// ReFS, where the 64-bit file index is not.
using FileInfoExFn = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID,
                                   DWORD);

// The volume and file id of an open file: the 128-bit id where the system
// has one, else the 64-bit index, widened. Zeros pass through as they come:
// the installer takes them for "unknown".
bool FileIdentity(HANDLE handle, FileId* identity) {
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

// Runs `action` on `path`; when it is refused because the file is
// read-only, clears that attribute and runs it again, then puts the
// attribute back if it still fails. For files the installer owns alone.
template <typename Action>
bool EvenIfReadOnly(const std::wstring& path, Action action) {
  if (action()) return true;
  const DWORD error = GetLastError();
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (error != ERROR_ACCESS_DENIED || attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & FILE_ATTRIBUTE_READONLY) == 0 ||
      SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY) ==
          0) {
    SetLastError(error);
    return false;
  }
  if (action()) return true;
  const DWORD again = GetLastError();
  SetFileAttributesW(path.c_str(), attributes);
  SetLastError(again);
  return false;
}

// `text` in capitals by the invariant rules, for names that the file
// system tells apart only by case.
std::wstring Capitals(std::wstring text) {
  if (text.empty()) return text;
  const int length = static_cast<int>(text.size());
  std::wstring upper(text.size(), L'\0');
  if (LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, text.data(), length,
                   &upper[0], length) != length) {
    return text;
  }
  return upper;
}

// The C library's error number for a failed existence test.
int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return EACCES;
    default:
      return EINVAL;
  }
}

// The error of a way that passes through a link or junction.
constexpr DWORD kThroughLink = ERROR_CANT_RESOLVE_FILENAME;

}  // namespace

// The folder the run holds.
struct SystemPlatform::State {
  std::string held;

  // True, with the error set, when the way to `path` below the held folder
  // passes through a reparse point (a link or a junction), which another
  // process may have put there in place of a working folder. Windows has
  // no way to reach an entry from a folder's handle that the wide calls
  // take, so this is looked at right before each use.
  bool ThroughLink(const std::string& path) const {
    const std::string prefix = held + '\\';
    if (held.empty() || path.compare(0, prefix.size(), prefix) != 0) {
      return false;
    }
    for (std::size_t at = path.find('\\', prefix.size());
         at != std::string::npos; at = path.find('\\', at + 1)) {
      const DWORD attributes =
          GetFileAttributesW(SystemPath(path.substr(0, at)).c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES &&
          (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        SetLastError(kThroughLink);
        return true;
      }
    }
    return false;
  }
};

SystemPlatform::SystemPlatform(std::string invocation_name)
    : invocation_name_(std::move(invocation_name)),
      state_(std::make_unique<State>()) {}

SystemPlatform::~SystemPlatform() = default;

char SystemPlatform::Separator() const { return '\\'; }

const char* SystemPlatform::ExeSuffix() const { return ".exe"; }

template <typename T>
T SystemPlatform::Failed(T result) {
  last_error_ = GetLastError();
  return result;
}

std::string SystemPlatform::RootOf(const std::string& skins_folder) const {
  return Win32RootOf(skins_folder);
}

bool SystemPlatform::IsPlainEntryName(const std::string& name) const {
  return IsPlainWin32EntryName(name);
}

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
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

void SystemPlatform::Pause(unsigned milliseconds) { Sleep(milliseconds); }

bool SystemPlatform::IsSharingError(std::uint32_t code) const {
  return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION ||
         code == ERROR_ACCESS_DENIED || code == kDeletePending;
}

int SystemPlatform::ShowMessageBox(const std::string& text,
                                   const std::string& caption, unsigned type) {
  return MessageBoxW(nullptr, Widen(text).c_str(), Widen(caption).c_str(),
                     type);
}

long SystemPlatform::OpenUserKey(const char* subkey, std::uint32_t access,
                                 RegKey* key) {
  HKEY handle = nullptr;
  const LONG result = RegOpenKeyExW(HKEY_CURRENT_USER, Widen(subkey).c_str(), 0,
                                    access, &handle);
  if (result == ERROR_SUCCESS) *key = reinterpret_cast<RegKey>(handle);
  return result;
}

long SystemPlatform::QueryKeyValue(RegKey key, const char* name,
                                   unsigned char* data, std::uint32_t* size) {
  // Texts come as UTF-16 and go to the installer as UTF-8, and the bounds
  // hold in UTF-8 bytes; any other type is passed on as its bytes.
  const std::wstring value_name = Widen(name);
  std::vector<unsigned char> raw;
  DWORD type = REG_NONE;
  DWORD bytes = 0;
  LONG result;
  do {
    raw.resize(bytes + sizeof(wchar_t));
    bytes = static_cast<DWORD>(raw.size());
    result = RegQueryValueExW(reinterpret_cast<HKEY>(key), value_name.c_str(),
                              nullptr, &type, raw.data(), &bytes);
  } while (result == ERROR_MORE_DATA);
  if (result != ERROR_SUCCESS) return result;
  std::string value;
  if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
    std::vector<wchar_t> text(bytes / sizeof(wchar_t));
    if (!text.empty()) std::memcpy(text.data(), raw.data(), text.size() * 2);
    value = Narrow(text.data(), text.size());
  } else {
    value.assign(raw.begin(), raw.begin() + bytes);
  }
  if (value.size() > *size) {
    *size = static_cast<std::uint32_t>(value.size());
    return ERROR_MORE_DATA;
  }
  if (!value.empty()) std::memcpy(data, value.data(), value.size());
  *size = static_cast<std::uint32_t>(value.size());
  return ERROR_SUCCESS;
}

void SystemPlatform::CloseKey(RegKey key) {
  RegCloseKey(reinterpret_cast<HKEY>(key));
}

bool SystemPlatform::QueryVersion(OsVersionInfo* info) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  return GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(info)) != 0;
#pragma GCC diagnostic pop
}

Library SystemPlatform::LoadLibraryByName(const char* name) {
  return reinterpret_cast<Library>(LoadLibraryA(name));
}

Proc SystemPlatform::FindLibraryEntry(Library library, const char* name) {
  return reinterpret_cast<Proc>(
      GetProcAddress(reinterpret_cast<HMODULE>(library), name));
}

bool SystemPlatform::CallFreeSpaceEx(Proc /*entry*/, const std::string& root,
                                     std::uint64_t* free_to_caller,
                                     std::uint64_t* total_bytes,
                                     std::uint64_t* total_free) {
  // The wide twin of the query that was found, which every system that has
  // the one has, so that a share with any name is reached.
  ULARGE_INTEGER caller;
  ULARGE_INTEGER total;
  ULARGE_INTEGER free;
  if (GetDiskFreeSpaceExW(Widen(root).c_str(), &caller, &total, &free) == 0) {
    return Failed(false);
  }
  *free_to_caller = caller.QuadPart;
  *total_bytes = total.QuadPart;
  *total_free = free.QuadPart;
  return true;
}

bool SystemPlatform::QueryFreeSpace(const std::string& root,
                                    std::uint32_t* sectors_per_cluster,
                                    std::uint32_t* bytes_per_sector,
                                    std::uint32_t* free_clusters,
                                    std::uint32_t* total_clusters) {
  DWORD sectors = 0;
  DWORD bytes = 0;
  DWORD free = 0;
  DWORD total = 0;
  if (GetDiskFreeSpaceW(Widen(root).c_str(), &sectors, &bytes, &free, &total) ==
      0) {
    return Failed(false);
  }
  *sectors_per_cluster = sectors;
  *bytes_per_sector = bytes;
  *free_clusters = free;
  *total_clusters = total;
  return true;
}

int SystemPlatform::Access(const std::string& path, int /*mode*/, int* error) {
  if (GetFileAttributesW(SystemPath(path).c_str()) != INVALID_FILE_ATTRIBUTES) {
    return 0;
  }
  *error = ErrnoOf(GetLastError());
  return Failed(-1);
}

int SystemPlatform::Stat(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  return GetFileAttributesExW(SystemPath(path).c_str(), GetFileExInfoStandard,
                              &data) != 0
             ? 0
             : Failed(-1);
}

int SystemPlatform::MakeDir(const std::string& path) {
  if (state_->ThroughLink(path)) return Failed(-1);
  return CreateDirectoryW(SystemPath(path).c_str(), nullptr) != 0 ? 0
                                                                  : Failed(-1);
}

int SystemPlatform::RemoveDir(const std::string& path) {
  if (state_->ThroughLink(path)) return Failed(-1);
  return RemoveDirectoryW(SystemPath(path).c_str()) != 0 ? 0 : Failed(-1);
}

bool SystemPlatform::HoldFolder(const std::string& folder) {
  const DWORD attributes = GetFileAttributesW(SystemPath(folder).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Failed(false);
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    SetLastError(kThroughLink);
    return Failed(false);
  }
  state_->held = folder;
  return true;
}

EntryType SystemPlatform::QueryEntry(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(SystemPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Failed(EntryType::kNone);
  // A junction or a symbolic link to a folder is a folder with a reparse
  // point: not a real folder.
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                 (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0
             ? EntryType::kFolder
             : EntryType::kOther;
}

Lock SystemPlatform::LockFolder(const std::string& folder, bool* busy) {
  // A hidden file that no one else may open while it exists, and that the
  // system deletes when the process ends, however it ends.
  const std::wstring path = SystemPath(folder + "\\.skinsetup-lock");
  // Access is denied for a moment to a file that is being deleted (the lock
  // of an installer that just ended), which the caller waits out, and for
  // good in a folder where no file may be made.
  const HANDLE handle = CreateFileW(
      path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
      FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  *busy = handle == INVALID_HANDLE_VALUE &&
          GetLastError() == ERROR_SHARING_VIOLATION;
  return handle != INVALID_HANDLE_VALUE ? reinterpret_cast<Lock>(handle)
                                        : Failed<Lock>(nullptr);
}

void SystemPlatform::UnlockFolder(Lock lock) {
  CloseHandle(reinterpret_cast<HANDLE>(lock));
}

Listing SystemPlatform::OpenListing(const std::string& pattern,
                                    std::string* name) {
  if (state_->ThroughLink(pattern)) return Failed<Listing>(nullptr);
  WIN32_FIND_DATAW data;
  const HANDLE handle = FindFirstFileW(SystemPath(pattern).c_str(), &data);
  if (handle == INVALID_HANDLE_VALUE) return Failed<Listing>(nullptr);
  *name = Narrow(data.cFileName, std::wcslen(data.cFileName));
  return reinterpret_cast<Listing>(new Win32Listing{handle});
}

bool SystemPlatform::NextEntry(Listing listing, std::string* name) {
  WIN32_FIND_DATAW data;
  if (FindNextFileW(reinterpret_cast<Win32Listing*>(listing)->handle, &data) ==
      0) {
    return false;
  }
  *name = Narrow(data.cFileName, std::wcslen(data.cFileName));
  return true;
}

void SystemPlatform::CloseListing(Listing listing) {
  Win32Listing* win32 = reinterpret_cast<Win32Listing*>(listing);
  FindClose(win32->handle);
  delete win32;
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

File SystemPlatform::OpenExclusive(const std::string& path) {
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

std::uint32_t SystemPlatform::FileSize(File file) {
  return ::GetFileSize(reinterpret_cast<HANDLE>(file), nullptr);
}

void SystemPlatform::CloseFile(File file) {
  CloseHandle(reinterpret_cast<HANDLE>(file));
}

bool SystemPlatform::CopyFileTo(const std::string& source,
                                const std::string& destination,
                                bool fail_if_exists) {
  if (state_->ThroughLink(destination)) return Failed(false);
  return CopyFileW(SystemPath(source).c_str(), SystemPath(destination).c_str(),
                   fail_if_exists ? TRUE : FALSE) != 0
             ? true
             : Failed(false);
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

bool SystemPlatform::RemoveFile(const std::string& path) {
  // A read-only package file is installed read-only (the copy keeps the
  // attribute); this run's copies and the earlier files it discards go
  // all the same.
  if (state_->ThroughLink(path)) return Failed(false);
  const std::wstring wide = SystemPath(path);
  return EvenIfReadOnly(wide, [&] { return DeleteFileW(wide.c_str()) != 0; })
             ? true
             : Failed(false);
}

bool SystemPlatform::RenameFile(const std::string& from, const std::string& to,
                                bool replace) {
  if (state_->ThroughLink(from) || state_->ThroughLink(to)) {
    return Failed(false);
  }
  const std::wstring source = SystemPath(from);
  const std::wstring target = SystemPath(to);
  const DWORD attributes = GetFileAttributesW(source.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Failed(false);
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    // As a copy onto a folder fails.
    SetLastError(ERROR_ACCESS_DENIED);
    return Failed(false);
  }
  // Without replacing, the system refuses a name that exists in any case.
  auto move = [&] {
    return MoveFileExW(source.c_str(), target.c_str(),
                       replace ? MOVEFILE_REPLACE_EXISTING : 0) != 0;
  };
  const bool moved = replace ? EvenIfReadOnly(target, move) : move();
  return moved ? true : Failed(false);
}

bool SystemPlatform::RenameFolder(const std::string& from,
                                  const std::string& to) {
  if (state_->ThroughLink(from) || state_->ThroughLink(to)) {
    return Failed(false);
  }
  const std::wstring source = SystemPath(from);
  const DWORD attributes = GetFileAttributesW(source.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return Failed(false);
  }
  // Written through: the rename is on the disk when the call returns.
  return MoveFileExW(source.c_str(), SystemPath(to).c_str(),
                     MOVEFILE_WRITE_THROUGH) != 0
             ? true
             : Failed(false);
}

bool SystemPlatform::SyncFolder(const std::string& folder) {
  // Each file's contents, then the folder's entries. A read-only file is
  // opened for writing with its attribute cleared a moment; one that
  // another process holds against writers (the client, with a skin file of
  // the user's open) is not the installer's to flush, and is passed by.
  WIN32_FIND_DATAW data;
  const HANDLE listing =
      FindFirstFileW(SystemPath(folder + "\\*").c_str(), &data);
  if (listing == INVALID_HANDLE_VALUE) return Failed(false);
  bool ok = true;
  do {
    if ((data.dwFileAttributes &
         (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
      continue;
    }
    const std::wstring path = SystemPath(
        folder + "\\" + Narrow(data.cFileName, std::wcslen(data.cFileName)));
    HANDLE file = INVALID_HANDLE_VALUE;
    EvenIfReadOnly(path, [&] {
      file =
          CreateFileW(path.c_str(), GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      return file != INVALID_HANDLE_VALUE;
    });
    if (file == INVALID_HANDLE_VALUE) continue;
    if (FlushFileBuffers(file) == 0) ok = Failed(false);
    CloseHandle(file);
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
      SetFileAttributesW(path.c_str(), data.dwFileAttributes);
    }
  } while (FindNextFileW(listing, &data) != 0);
  FindClose(listing);
  const HANDLE self =
      CreateFileW(SystemPath(folder).c_str(), GENERIC_WRITE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (self != INVALID_HANDLE_VALUE) {
    FlushFileBuffers(self);
    CloseHandle(self);
  }
  return ok;
}

bool SystemPlatform::QueryFileId(const std::string& path, bool follow_link,
                                 FileId* id) {
  // No access is needed to read a file's identity, and no one is kept from
  // the file meanwhile.
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

bool SystemPlatform::IsListedName(const std::string& path) {
  // The listing names the entry that the path reaches, also through a short
  // 8.3 alias, by its own long name.
  WIN32_FIND_DATAW data;
  const HANDLE handle = FindFirstFileW(SystemPath(path).c_str(), &data);
  if (handle == INVALID_HANDLE_VALUE) return Failed(false);
  FindClose(handle);
  const std::size_t slash = path.find_last_of("\\/");
  const std::string name =
      slash == std::string::npos ? path : path.substr(slash + 1);
  if (Capitals(Widen(name)) == Capitals(data.cFileName)) return true;
  SetLastError(ERROR_FILE_EXISTS);
  return Failed(false);
}

}  // namespace platform
