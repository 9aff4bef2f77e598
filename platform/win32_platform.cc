#include <direct.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/system_platform.h"
#include "platform/win32_names.h"

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

// The extended free-space query, looked up at run time. WINAPI is its
// calling convention: stdcall on 32-bit Windows, the one convention of
// 64-bit Windows.
using FreeSpaceExFn = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER,
                                    PULARGE_INTEGER);

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
// has one, else the 64-bit index, widened.
bool FileIdentity(HANDLE handle, std::uint64_t* volume, BYTE id[16]) {
  static const FileInfoExFn query =
      reinterpret_cast<FileInfoExFn>(reinterpret_cast<void*>(GetProcAddress(
          GetModuleHandleA("KERNEL32.DLL"), "GetFileInformationByHandleEx")));
  FILE_ID_INFO info;
  if (query != nullptr && query(handle, FileIdInfo, &info, sizeof info) != 0) {
    *volume = info.VolumeSerialNumber;
    std::memcpy(id, info.FileId.Identifier, 16);
    return true;
  }
  BY_HANDLE_FILE_INFORMATION classic;
  if (GetFileInformationByHandle(handle, &classic) == 0) return false;
  *volume = classic.dwVolumeSerialNumber;
  std::memset(id, 0, 16);
  std::memcpy(id, &classic.nFileIndexLow, 4);
  std::memcpy(id + 4, &classic.nFileIndexHigh, 4);
  return true;
}

// Runs `action` on `path`; when it is refused because the file is
// read-only, clears that attribute and runs it again, then puts the
// attribute back if it still fails. For files the installer owns alone.
template <typename Action>
bool EvenIfReadOnly(const std::string& path, Action action) {
  if (action()) return true;
  const DWORD error = GetLastError();
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (error != ERROR_ACCESS_DENIED || attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & FILE_ATTRIBUTE_READONLY) == 0 ||
      SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY) ==
          0) {
    SetLastError(error);
    return false;
  }
  if (action()) return true;
  const DWORD again = GetLastError();
  SetFileAttributesA(path.c_str(), attributes);
  SetLastError(again);
  return false;
}

}  // namespace

// The system keeps everything itself.
struct SystemPlatform::State {};

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
  // The drive root: letter, colon, backslash.
  return skins_folder.substr(0, 3);
}

bool SystemPlatform::IsPlainEntryName(const std::string& name) const {
  return IsPlainWin32EntryName(name);
}

bool SystemPlatform::IsAbsolutePath(const std::string& path) const {
  return IsAbsoluteWin32Path(path);
}

std::string SystemPlatform::CurrentDirectory() {
  const DWORD needed = GetCurrentDirectoryA(0, nullptr);
  if (needed == 0) return Failed(std::string());
  std::vector<char> buffer(needed + 1);
  const DWORD length =
      GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
  if (length == 0 || length >= buffer.size()) return Failed(std::string());
  return std::string(buffer.data(), length);
}

void SystemPlatform::Exit(int status) { std::exit(status); }

int SystemPlatform::ShowMessageBox(const std::string& text,
                                   const std::string& caption, unsigned type) {
  return MessageBoxA(nullptr, text.c_str(), caption.c_str(), type);
}

long SystemPlatform::OpenUserKey(const char* subkey, std::uint32_t access,
                                 RegKey* key) {
  HKEY handle = nullptr;
  const LONG result =
      RegOpenKeyExA(HKEY_CURRENT_USER, subkey, 0, access, &handle);
  if (result == ERROR_SUCCESS) *key = reinterpret_cast<RegKey>(handle);
  return result;
}

long SystemPlatform::QueryKeyValue(RegKey key, const char* name,
                                   unsigned char* data, std::uint32_t* size) {
  DWORD length = *size;
  const LONG result = RegQueryValueExA(reinterpret_cast<HKEY>(key), name,
                                       nullptr, nullptr, data, &length);
  *size = length;
  return result;
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

bool SystemPlatform::CallFreeSpaceEx(Proc entry, const std::string& root,
                                     std::uint64_t* free_to_caller,
                                     std::uint64_t* total_bytes,
                                     std::uint64_t* total_free) {
  ULARGE_INTEGER caller;
  ULARGE_INTEGER total;
  ULARGE_INTEGER free;
  const FreeSpaceExFn query = reinterpret_cast<FreeSpaceExFn>(entry);
  if (query(root.c_str(), &caller, &total, &free) == 0) return Failed(false);
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
  if (GetDiskFreeSpaceA(root.c_str(), &sectors, &bytes, &free, &total) == 0) {
    return Failed(false);
  }
  *sectors_per_cluster = sectors;
  *bytes_per_sector = bytes;
  *free_clusters = free;
  *total_clusters = total;
  return true;
}

int SystemPlatform::Access(const std::string& path, int mode, int* error) {
  if (_access(path.c_str(), mode) == 0) return 0;
  *error = errno;
  return -1;
}

int SystemPlatform::Stat(const std::string& path) {
  struct _stat status;
  return _stat(path.c_str(), &status) == 0 ? 0 : -1;
}

int SystemPlatform::MakeDir(const std::string& path) {
  return _mkdir(path.c_str()) == 0 ? 0 : Failed(-1);
}

int SystemPlatform::RemoveDir(const std::string& path) {
  return _rmdir(path.c_str()) == 0 ? 0 : -1;
}

EntryType SystemPlatform::QueryEntry(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Failed(EntryType::kNone);
  // A junction or a symbolic link to a folder is a folder with a reparse
  // point: not a real folder.
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                 (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0
             ? EntryType::kFolder
             : EntryType::kOther;
}

Lock SystemPlatform::LockFolder(const std::string& folder) {
  // A hidden file that no one else may open while it exists, and that the
  // system deletes when the process ends, however it ends.
  const std::string path = folder + "\\.skinsetup-lock";
  // Access is denied for a while to a file that is being deleted (the lock
  // of an installer that just ended), and for good in a folder where no
  // file may be made: after a while, the run goes on without the lock.
  int denied = 0;
  while (true) {
    const HANDLE handle = CreateFileA(
        path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
        FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle != INVALID_HANDLE_VALUE) return reinterpret_cast<Lock>(handle);
    const DWORD error = GetLastError();
    const bool held = error == ERROR_SHARING_VIOLATION;
    if (!held && (error != ERROR_ACCESS_DENIED || ++denied > 25)) {
      return Failed<Lock>(nullptr);
    }
    Sleep(200);
  }
}

void SystemPlatform::UnlockFolder(Lock lock) {
  CloseHandle(reinterpret_cast<HANDLE>(lock));
}

Listing SystemPlatform::OpenListing(const std::string& pattern,
                                    std::string* name) {
  WIN32_FIND_DATAA data;
  const HANDLE handle = FindFirstFileA(pattern.c_str(), &data);
  if (handle == INVALID_HANDLE_VALUE) return Failed<Listing>(nullptr);
  *name = data.cFileName;
  return reinterpret_cast<Listing>(new Win32Listing{handle});
}

bool SystemPlatform::NextEntry(Listing listing, std::string* name) {
  WIN32_FIND_DATAA data;
  if (FindNextFileA(reinterpret_cast<Win32Listing*>(listing)->handle, &data) ==
      0) {
    return false;
  }
  *name = data.cFileName;
  return true;
}

void SystemPlatform::CloseListing(Listing listing) {
  Win32Listing* win32 = reinterpret_cast<Win32Listing*>(listing);
  FindClose(win32->handle);
  delete win32;
}

Stream SystemPlatform::OpenStream(const std::string& path) {
  // A folder, or anything else that is not a file, is not opened.
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return Failed<Stream>(nullptr);
  }
  return reinterpret_cast<Stream>(std::fopen(path.c_str(), "rb"));
}

File SystemPlatform::OpenExclusive(const std::string& path) {
  // Share mode 0: the open fails while the file is open elsewhere. A folder
  // cannot be opened this way at all.
  const HANDLE handle =
      CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return Failed<File>(nullptr);
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
  if (CopyFileA(source.c_str(), destination.c_str(),
                fail_if_exists ? TRUE : FALSE) == 0) {
    return Failed(false);
  }
  return true;
}

bool SystemPlatform::ErrorText(std::uint32_t code, std::string* text) {
  char* buffer = nullptr;
  const DWORD length =
      FormatMessageA(kErrorTextFlags, nullptr, code, kErrorTextLanguage,
                     reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
  // Only a buffer the call allocated is released.
  if (length == 0 || buffer == nullptr) return false;
  *text = std::string(buffer, length);
  LocalFree(buffer);
  return true;
}

bool SystemPlatform::RemoveFile(const std::string& path) {
  // A read-only package file is installed read-only (the copy keeps the
  // attribute); this run's copies and the earlier files it discards go
  // all the same.
  return EvenIfReadOnly(path, [&] { return DeleteFileA(path.c_str()) != 0; })
             ? true
             : Failed(false);
}

bool SystemPlatform::RenameFile(const std::string& from, const std::string& to,
                                bool replace) {
  const DWORD attributes = GetFileAttributesA(from.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Failed(false);
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    // As a copy onto a folder fails.
    SetLastError(ERROR_ACCESS_DENIED);
    return Failed(false);
  }
  // Without replacing, the system refuses a name that exists in any case.
  auto move = [&] {
    return MoveFileExA(from.c_str(), to.c_str(),
                       replace ? MOVEFILE_REPLACE_EXISTING : 0) != 0;
  };
  const bool moved = replace ? EvenIfReadOnly(to, move) : move();
  return moved ? true : Failed(false);
}

bool SystemPlatform::RenameFolder(const std::string& from,
                                  const std::string& to) {
  const DWORD attributes = GetFileAttributesA(from.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return Failed(false);
  }
  return MoveFileExA(from.c_str(), to.c_str(), 0) != 0 ? true : Failed(false);
}

bool SystemPlatform::SameFile(const std::string& a, const std::string& b) {
  std::uint64_t volume[2];
  BYTE id[2][16];
  const std::string* paths[2] = {&a, &b};
  for (int i = 0; i < 2; ++i) {
    // No access is needed to read a file's identity, and no one is kept
    // from the file meanwhile; a final link is not followed.
    const HANDLE handle = CreateFileA(
        paths[i]->c_str(), 0,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const bool ok = FileIdentity(handle, &volume[i], id[i]);
    CloseHandle(handle);
    if (!ok) return false;
  }
  return volume[0] == volume[1] && std::memcmp(id[0], id[1], 16) == 0;
}

}  // namespace platform
