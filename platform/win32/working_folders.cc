// The working folders right below the held folder, held open on Windows so
// that no other process moves them away while the run keeps files in them.

#include "platform/win32/working_folders.h"

#include <cstring>

#include "platform/win32/wide_text.h"
#include "platform/win32/win32_state.h"

namespace platform {

std::string WorkingFolderOn(const std::string& held, const std::string& path) {
  const std::string prefix = held + '\\';
  if (held.empty() || path.size() <= prefix.size() ||
      path.compare(0, prefix.size(), prefix) != 0) {
    return "";
  }
  return path.substr(0, path.find('\\', prefix.size()));
}

WorkingFolders::~WorkingFolders() {
  for (const auto& folder : folders_) {
    if (folder.second.handle != nullptr) CloseHandle(folder.second.handle);
  }
}

bool WorkingFolders::Hold(const std::string& folder) {
  const auto known = folders_.find(folder);
  if (known != folders_.end() && known->second.handle != nullptr) return true;
  const std::wstring path = SystemPath(folder);
  const HANDLE handle = CreateFileW(
      path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    // Nothing there: the way to a file is missing, not the file; and a
    // folder the run held, gone from its name, is not the folder.
    if (GetLastError() == ERROR_FILE_NOT_FOUND) {
      SetLastError(known != folders_.end() ? kNotTheFolder
                                           : ERROR_PATH_NOT_FOUND);
    }
    return false;
  }
  // Held, the name names what was opened until it is let go of, so what
  // it is may be read by its name. An id of zero, which says "unknown",
  // cannot tell one folder from another, and is taken for the same.
  DWORD attributes;
  bool link;
  FileId id;
  DWORD error = 0;
  if (!ReadEntry(path, &attributes, &link) || !FileIdentity(handle, &id)) {
    error = GetLastError();
  } else if (link) {
    error = kThroughLink;
  } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    // As the system answers for a way through a file.
    error = known != folders_.end() ? kNotTheFolder : ERROR_PATH_NOT_FOUND;
  } else if (known != folders_.end() &&
             std::memcmp(&id, &known->second.id, sizeof id) != 0) {
    error = kNotTheFolder;
  }
  if (error != 0) {
    CloseHandle(handle);
    SetLastError(error);
    return false;
  }
  folders_[folder] = Held{handle, id};
  return true;
}

bool WorkingFolders::LetGo(const std::string& folder) {
  const auto held = folders_.find(folder);
  if (held == folders_.end() || held->second.handle == nullptr) return false;
  CloseHandle(held->second.handle);
  held->second.handle = nullptr;
  return true;
}

void WorkingFolders::Forget(const std::string& folder) {
  LetGo(folder);
  folders_.erase(folder);
}

void WorkingFolders::Renamed(const std::string& from, const std::string& to) {
  Forget(to);
  auto record = folders_.extract(from);
  if (record.empty()) return;
  record.key() = to;
  folders_.insert(std::move(record));
}

}  // namespace platform
