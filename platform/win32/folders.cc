// Folders on Windows: what an entry is, the held skin folder, the
// installers' lock, listings, and putting a folder's entries on the disk.

#include <windows.h>

#include <cerrno>
#include <cwchar>

#include "platform/system_platform.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_state.h"

namespace platform {
namespace {

struct Win32Listing {
  HANDLE handle;
  EntryType type;  // Of the entry named last.
};

// What a listed entry is, from what the listing gave.
EntryType TypeOf(const WIN32_FIND_DATAW& data) {
  return IsListedLink(data) ? EntryType::kOther
         : (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0
             ? EntryType::kFolder
             : EntryType::kFile;
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

}  // namespace

bool ReadEntry(const std::wstring& path, DWORD* attributes, bool* link) {
  *attributes = GetFileAttributesW(path.c_str());
  if (*attributes == INVALID_FILE_ATTRIBUTES) return false;
  *link = false;
  if ((*attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return true;
  // The listing gives the tag without opening the entry.
  WIN32_FIND_DATAW data;
  const HANDLE listing = FindFirstFileW(path.c_str(), &data);
  *link = listing == INVALID_HANDLE_VALUE || IsLinkTag(data.dwReserved0);
  if (listing != INVALID_HANDLE_VALUE) FindClose(listing);
  return true;
}

bool ThroughLink(const std::string& held, const std::string& path) {
  const std::string prefix = held + '\\';
  if (held.empty() || path.compare(0, prefix.size(), prefix) != 0) {
    return false;
  }
  for (std::size_t at = path.find('\\', prefix.size()); at != std::string::npos;
       at = path.find('\\', at + 1)) {
    DWORD attributes;
    bool link;
    if (ReadEntry(SystemPath(path.substr(0, at)), &attributes, &link) && link) {
      SetLastError(kThroughLink);
      return true;
    }
  }
  return false;
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
  if (!state_->Reach(path) ||
      CreateDirectoryW(SystemPath(path).c_str(), nullptr) == 0) {
    return Failed(-1);
  }
  // A working folder is held from its making on.
  if (WorkingFolderOn(state_->held, path) != path) return 0;
  state_->working.Forget(path);
  return state_->working.Hold(path) ? 0 : Failed(-1);
}

int SystemPlatform::RemoveDir(const std::string& path) {
  // Windows refuses to remove a folder that anyone holds without sharing
  // delete, the run too: it lets go of its own for that moment.
  if (!state_->Reach(path)) return Failed(-1);
  const bool held = state_->working.LetGo(path);
  if (RemoveDirectoryW(SystemPath(path).c_str()) != 0) {
    state_->working.Forget(path);
    return 0;
  }
  const DWORD error = GetLastError();
  if (held) state_->working.Hold(path);
  SetLastError(error);
  return Failed(-1);
}

bool SystemPlatform::HoldFolder(const std::string& folder) {
  DWORD attributes;
  bool link;
  if (!ReadEntry(SystemPath(folder), &attributes, &link)) return Failed(false);
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || link) {
    SetLastError(kThroughLink);
    return Failed(false);
  }
  state_->held = folder;
  return true;
}

EntryType SystemPlatform::QueryEntry(const std::string& path) {
  DWORD attributes;
  bool link;
  if (!ReadEntry(SystemPath(path), &attributes, &link)) {
    return Failed(EntryType::kNone);
  }
  // A junction or a symbolic link to a folder is a folder with a reparse
  // point: not a real folder. One that OneDrive keeps in the cloud is, as
  // a file it keeps there is a file.
  return link                                           ? EntryType::kOther
         : (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryType::kFolder
                                                        : EntryType::kFile;
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
  if (!state_->Reach(pattern)) return Failed<Listing>(nullptr);
  WIN32_FIND_DATAW data;
  const HANDLE handle = FindFirstFileW(SystemPath(pattern).c_str(), &data);
  if (handle == INVALID_HANDLE_VALUE) return Failed<Listing>(nullptr);
  *name = Narrow(data.cFileName, std::wcslen(data.cFileName));
  return reinterpret_cast<Listing>(new Win32Listing{handle, TypeOf(data)});
}

bool SystemPlatform::NextEntry(Listing listing, std::string* name) {
  Win32Listing* win32 = reinterpret_cast<Win32Listing*>(listing);
  WIN32_FIND_DATAW data;
  if (FindNextFileW(win32->handle, &data) == 0) {
    // The end of the listing is no failure.
    if (GetLastError() == ERROR_NO_MORE_FILES) SetLastError(ERROR_SUCCESS);
    return Failed(false);
  }
  *name = Narrow(data.cFileName, std::wcslen(data.cFileName));
  win32->type = TypeOf(data);
  return true;
}

EntryType SystemPlatform::ListedType(Listing listing) {
  return reinterpret_cast<Win32Listing*>(listing)->type;
}

void SystemPlatform::CloseListing(Listing listing) {
  Win32Listing* win32 = reinterpret_cast<Win32Listing*>(listing);
  FindClose(win32->handle);
  delete win32;
}

bool SystemPlatform::RenameFolder(const std::string& from,
                                  const std::string& to) {
  // As for RemoveDir, the run lets go of its own working folder for the
  // rename, and holds it again under the name it has then.
  if (!state_->Reach(from) || !state_->Reach(to)) return Failed(false);
  const bool held = state_->working.LetGo(from);
  if (!MoveEntry(from, to, true)) {
    const DWORD error = GetLastError();
    if (held) state_->working.Hold(from);
    SetLastError(error);
    return Failed(false);
  }
  if (held) {
    state_->working.Renamed(from, to);
    state_->working.Hold(to);
  }
  return true;
}

bool SystemPlatform::SyncFolder(const std::string& folder) {
  // The files' contents went to the disk as each copy ended (file_copy.cc);
  // here the folder's entries follow, through the folder's own handle. A
  // file system that cannot flush a folder (FAT and exFAT, which keep no
  // journal, may refuse) leaves nothing more to do.
  if (!state_->Reach(folder)) return Failed(false);
  const HANDLE self =
      CreateFileW(SystemPath(folder).c_str(), GENERIC_WRITE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (self == INVALID_HANDLE_VALUE) return Failed(false);
  const bool flushed = FlushFileBuffers(self) != 0;
  const DWORD error = GetLastError();
  CloseHandle(self);
  if (flushed || error == ERROR_INVALID_FUNCTION ||
      error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_PARAMETER) {
    return true;
  }
  SetLastError(error);
  return Failed(false);
}

}  // namespace platform
