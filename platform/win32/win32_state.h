// What the Windows backend's files share: the folder the run holds and its
// working folders, the noting of a failure, and the helpers that judge
// entries (folders.cc) and identities (files.cc).
// Internal to platform/win32/.

#ifndef SKINSETUP_PLATFORM_WIN32_WIN32_STATE_H_
#define SKINSETUP_PLATFORM_WIN32_WIN32_STATE_H_

#include <windows.h>

#include <string>

#include "platform/system_platform.h"
#include "platform/win32/win32_names.h"
#include "platform/win32/working_folders.h"

namespace platform {

// Every file of the backend notes its failures alike, so the rule is
// defined here, for each to instantiate as it needs.
template <typename T>
T SystemPlatform::Failed(T result) {
  last_error_ = GetLastError();
  return result;
}

// The error of a way that passes through a link or junction.
constexpr DWORD kThroughLink = ERROR_CANT_RESOLVE_FILENAME;

// What an entry is, judged without following a link: its attributes, and
// whether it is a link (a reparse point whose tag is a name surrogate: a
// symbolic link, a junction, a mount point). A synced folder's placeholder
// or a deduplicated file carries a reparse point too, but is no link. A
// tag that cannot be read (or reads as zero, which is no tag) counts as a
// link: never followed.
// Returns false, with the system's error set, when there is no entry.
bool ReadEntry(const std::wstring& path, DWORD* attributes, bool* link);

// True when a reparse point's tag, as a listing gives it, makes the entry a
// link, by ReadEntry's rule.
inline bool IsLinkTag(DWORD tag) { return tag == 0 || IsNameSurrogateTag(tag); }

// True when the listed entry `data` is a link, by ReadEntry's rule.
inline bool IsListedLink(const WIN32_FIND_DATAW& data) {
  return (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
         IsLinkTag(data.dwReserved0);
}

// Reads the entry that `path` reaches as its folder's listing gives it:
// its attributes, whether it is a link (as for ReadEntry), and whether the
// last element of `path` is its listed name rather than a short 8.3 alias
// of a longer one. Returns false, with the system's error set, when there
// is no entry.
bool FindEntry(const std::string& path, DWORD* attributes, bool* link,
               bool* listed);

// The volume and file id of an open file or folder.
bool FileIdentity(HANDLE handle, FileId* identity);

// `text` in capitals by the invariant rules, for names that the file
// system tells apart only by case.
std::wstring InvariantCapitals(std::wstring text);

// Deletes the file, or the link itself, at `path`, a read-only one too:
// its other hard links, which share its attributes, stay read-only. Returns
// false with the system's error set.
bool DeleteEntry(const std::wstring& path);

// True, with the error set, when the way to `path` below the folder `held`
// passes through a link or a junction, which another process may have put
// there in place of a working folder. Windows has no way to reach an entry
// from a folder's handle that the wide calls take, so this is looked at
// right before each use.
bool ThroughLink(const std::string& held, const std::string& path);

// Renames the file (or link) `from`, or with `folder` the real folder, to
// `to`, which must not exist. Returns false with the system's error set.
bool MoveEntry(const std::string& from, const std::string& to, bool folder);

struct SystemPlatform::State {
  std::string held;        // The folder the run holds.
  WorkingFolders working;  // Those right below it that the run reached.

  // True when `path` may be used now: nothing on the way below the held
  // folder is a link or junction, and the working folder on the way is
  // held, from the first use of a path inside it on, so that whatever the
  // run puts there stays there. False, with the error set, otherwise.
  bool Reach(const std::string& path) {
    if (platform::ThroughLink(held, path)) return false;
    const std::string folder = WorkingFolderOn(held, path);
    return folder.empty() || (folder == path && !working.Knows(path)) ||
           working.Hold(folder);
  }
};

}  // namespace platform

#endif  // SKINSETUP_PLATFORM_WIN32_WIN32_STATE_H_
