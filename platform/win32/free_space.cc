// The system's version and the free-space queries.

#include <windows.h>

#include <vector>

#include "platform/system_platform.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_names.h"
#include "platform/win32/win32_state.h"

namespace platform {
namespace {

static_assert(sizeof(OsVersionInfo) == sizeof(OSVERSIONINFOA),
              "the version record has the system's layout");

// Calls `query` on `folder`, or, while that does not exist yet (a Skins
// folder still to be made), on the nearest folder above it that does.
template <typename Query>
bool OnNearestFolder(std::string folder, Query query) {
  for (;;) {
    // A long path takes the extended form; the folder keeps its final
    // separator, which a share's root needs.
    std::wstring wide = SystemPath(folder);
    if (!wide.empty() && wide.back() != L'\\') wide += L'\\';
    if (query(wide.c_str())) return true;
    const DWORD error = GetLastError();
    const std::string parent = Win32ParentFolder(folder);
    if ((error != ERROR_PATH_NOT_FOUND && error != ERROR_FILE_NOT_FOUND) ||
        parent == folder) {
      return false;
    }
    folder = parent;
  }
}

// Sets `*root` to the root of the volume that holds `folder`, past any
// junction or symbolic link on the way. GetVolumePathNameW goes by the
// path's own elements, and would give the volume that holds a junction,
// not its target's: it is asked about the path the system reaches in the
// end. Returns false, with the system's error, on failure.
bool VolumeRootOf(const wchar_t* folder, std::wstring* root) {
  const HANDLE handle =
      CreateFileW(folder, FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  // The first call tells the length, with the terminating zero.
  std::vector<wchar_t> path(
      GetFinalPathNameByHandleW(handle, nullptr, 0, FILE_NAME_NORMALIZED) + 1);
  const DWORD length = GetFinalPathNameByHandleW(
      handle, path.data(), static_cast<DWORD>(path.size()),
      FILE_NAME_NORMALIZED);
  const DWORD error = GetLastError();
  CloseHandle(handle);
  SetLastError(error);
  std::vector<wchar_t> volume(path.size() + 1);
  if (length == 0 || length >= path.size() ||
      GetVolumePathNameW(path.data(), volume.data(),
                         static_cast<DWORD>(volume.size())) == 0) {
    return false;
  }
  *root = volume.data();
  return true;
}

}  // namespace

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

bool SystemPlatform::CallFreeSpaceEx(Proc /*entry*/, const std::string& folder,
                                     std::uint64_t* free_to_caller,
                                     std::uint64_t* total_bytes,
                                     std::uint64_t* total_free) {
  // The wide twin of the query that was found, which every system that has
  // the one has, so that a share with any name is reached. It takes any
  // folder, and follows a link or junction to the volume of its target.
  ULARGE_INTEGER caller;
  ULARGE_INTEGER total;
  ULARGE_INTEGER free;
  if (!OnNearestFolder(folder, [&](const wchar_t* wide) {
        return GetDiskFreeSpaceExW(wide, &caller, &total, &free) != 0;
      })) {
    return Failed(false);
  }
  *free_to_caller = caller.QuadPart;
  *total_bytes = total.QuadPart;
  *total_free = free.QuadPart;
  return true;
}

bool SystemPlatform::QueryFreeSpace(const std::string& folder,
                                    std::uint32_t* sectors_per_cluster,
                                    std::uint32_t* bytes_per_sector,
                                    std::uint32_t* free_clusters,
                                    std::uint32_t* total_clusters) {
  // The classic query takes a volume's root only.
  std::wstring root;
  DWORD sectors = 0;
  DWORD bytes = 0;
  DWORD free = 0;
  DWORD total = 0;
  if (!OnNearestFolder(
          folder,
          [&](const wchar_t* wide) { return VolumeRootOf(wide, &root); }) ||
      GetDiskFreeSpaceW(root.c_str(), &sectors, &bytes, &free, &total) == 0) {
    return Failed(false);
  }
  *sectors_per_cluster = sectors;
  *bytes_per_sector = bytes;
  *free_clusters = free;
  *total_clusters = total;
  return true;
}

}  // namespace platform
