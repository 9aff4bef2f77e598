// The working folders right below the held folder, held open on Windows so
// that no other process moves them away while the run keeps files in them.
// Internal to platform/win32/.

#ifndef SKINSETUP_PLATFORM_WIN32_WORKING_FOLDERS_H_
#define SKINSETUP_PLATFORM_WIN32_WORKING_FOLDERS_H_

#include <windows.h>

#include <map>
#include <string>

#include "platform/platform.h"

namespace platform {

// The error of a working folder that is no longer the one the run held
// there: another process moved it away, and put another in its place.
constexpr DWORD kNotTheFolder = ERROR_FILE_INVALID;

// The folder right below `held` on the way to `path`: `path` itself when it
// is right below; "" when `path` is not below `held`.
std::string WorkingFolderOn(const std::string& held, const std::string& path);

// The working folders the run has reached, by path. Each is held open
// without sharing delete, and Windows then refuses every other process to
// rename or delete it, or so to put another folder or a link in its place:
// whatever the run put into it, it finds there again (CreateFileW: without
// FILE_SHARE_DELETE, no process may open it to delete it, as a rename and a
// delete do). The handle reads (lists), since a handle with no read, write
// or delete access restricts no one. The run's own rename or removal lets
// go of it for that moment, and holds it again where it stays.
class WorkingFolders {
 public:
  WorkingFolders() = default;
  WorkingFolders(const WorkingFolders&) = delete;
  WorkingFolders& operator=(const WorkingFolders&) = delete;
  ~WorkingFolders();

  // True when the run has held `folder`, and not forgotten it since.
  bool Knows(const std::string& folder) const {
    return folders_.count(folder) != 0;
  }
  // Holds the real folder `folder`, unless it holds it already. Returns
  // false, with the error set, for anything but a real folder (kThroughLink
  // for a link), for nothing there (ERROR_PATH_NOT_FOUND), and for another
  // folder than the one it held there before, or none (kNotTheFolder),
  // which is never the error of a missing file.
  bool Hold(const std::string& folder);
  // Lets go of `folder` for a moment. Returns true when it was held.
  bool LetGo(const std::string& folder);
  // Forgets `folder`, removed or made anew.
  void Forget(const std::string& folder);
  // Notes that `from`, let go of, is now named `to`.
  void Renamed(const std::string& from, const std::string& to);

 private:
  struct Held {
    HANDLE handle;  // Null while let go of.
    FileId id;      // What it was when first held.
  };
  std::map<std::string, Held> folders_;
};

}  // namespace platform

#endif  // SKINSETUP_PLATFORM_WIN32_WORKING_FOLDERS_H_
