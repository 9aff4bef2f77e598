// Which skin names the installer accepts. Rules of names: asks the system
// nothing but its separator.

#ifndef SKINSETUP_SKINSETUP_SKIN_NAME_H_
#define SKINSETUP_SKINSETUP_SKIN_NAME_H_

#include <string>

#include "platform/platform.h"

namespace skinsetup {

// The start of every name the installer gives its own files and folders.
inline constexpr char kWorkingPrefix[] = ".skinsetup-";

// True when Windows stores a file or folder of this `name` under that very
// name, on every file system: false for "", a trailing dot or blank, the
// characters < > : " / \ | ? * and codes 1 to 31, and the device names
// (CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM1 to COM9, LPT1 to LPT9) with
// any extension.
bool IsStorableName(const std::string& name);

// True when `name` names exactly one folder directly inside the Skins
// folder, under that very name on every system, and none of the
// installer's own. The name becomes the last element of the skin folder
// path, and the copy and a rollback act on that folder; a name that could
// reach any other folder, or that Windows would store under another name
// or not at all, is refused on every build alike, before anything is read
// or written.
bool IsAcceptableSkinName(const std::string& name);

// True when Windows takes the entry `name` for the skin `skin`'s folder: the
// same name in any case, as NTFS compares file names (name_case.h).
bool IsSameSkinName(const std::string& name, const std::string& skin);

// True when `folder` is `skins_folder`, a separator and an acceptable skin
// name: the only kind of folder the copy and a rollback act on.
bool IsSkinFolderPath(const platform::Platform& os,
                      const std::string& skins_folder,
                      const std::string& folder);

}  // namespace skinsetup

#endif  // SKINSETUP_SKINSETUP_SKIN_NAME_H_
