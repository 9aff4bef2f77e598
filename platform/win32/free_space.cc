// The system's version and the free-space queries.

#include <windows.h>

#include "platform/system_platform.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_names.h"

namespace platform {
namespace {

static_assert(sizeof(OsVersionInfo) == sizeof(OSVERSIONINFOA),
              "the version record has the system's layout");

// Calls `query` on `folder`, or, while that does not exist yet (an install
// directory still to be made), on the nearest folder above it that does.
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

bool SystemPlatform::CallFreeSpaceEx(Proc /*entry*/, const std::string& root,
                                     std::uint64_t* free_to_caller,
                                     std::uint64_t* total_bytes,
                                     std::uint64_t* total_free) {
  // The wide twin of the query that was found, which every system that has
  // the one has, so that a share with any name is reached.
  ULARGE_INTEGER caller;
  ULARGE_INTEGER total;
  ULARGE_INTEGER free;
  if (!OnNearestFolder(root, [&](const wchar_t* folder) {
        return GetDiskFreeSpaceExW(folder, &caller, &total, &free) != 0;
      })) {
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
  // The classic query takes a volume's root only.
  DWORD sectors = 0;
  DWORD bytes = 0;
  DWORD free = 0;
  DWORD total = 0;
  if (GetDiskFreeSpaceW(Widen(Win32RootOf(root)).c_str(), &sectors, &bytes,
                        &free, &total) == 0) {
    return Failed(false);
  }
  *sectors_per_cluster = sectors;
  *bytes_per_sector = bytes;
  *free_clusters = free;
  *total_clusters = total;
  return true;
}

}  // namespace platform
