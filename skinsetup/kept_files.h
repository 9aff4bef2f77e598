// The earlier files of a reinstalled skin, kept aside until the new copy
// has fully succeeded. Moves and deletes only inside the skin folder,
// through platform.h.
//
// Just before a package file replaces an entry of the skin folder, the old
// entry is renamed into a working folder inside the skin folder: the same
// volume, so the rename is cheap and keeps contents, times and attributes,
// and it never replaces anything. A failed run puts them back, each after
// setting the new file of its name aside, which Windows allows while others
// hold it; a successful one renames the working folder to a discard
// folder, the moment the new installation takes over, and once that is on
// the disk deletes them; where another process holds a file in the working
// folder, which Windows then refuses to rename, it makes the discard folder
// beside it instead. A run that was stopped before that moment leaves them
// in the working folder, from where the next run (or the user, by moving
// them back) puts them in place again; one stopped after it leaves a
// discard folder, and perhaps the working folder of the same name beside
// it, whose files the next run deletes. New files set aside are only ever
// deleted.
//
// The working folders are ".skinsetup-kept", ".skinsetup-discard" and
// ".skinsetup-new", or, when a package file or an entry of the skin folder
// already has one of those names, the same names followed by "-1" to "-9".
// A run's own are always real folders: anything else of those names (a
// file, a link, the package folder itself) is the user's or the package's,
// and is never listed, entered or emptied.

#ifndef SKINSETUP_SKINSETUP_KEPT_FILES_H_
#define SKINSETUP_SKINSETUP_KEPT_FILES_H_

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "skinsetup/skinsetup.h"

namespace skinsetup {

// The working folders' names in slot `slot` (0 to kWorkingSlots - 1).
inline constexpr int kWorkingSlots = 10;
std::string KeptFolderName(int slot);
std::string DiscardFolderName(int slot);
std::string NewFolderName(int slot);

// `folder`, the separator and `name`.
std::string InFolder(const platform::Platform& os, const std::string& folder,
                     const std::string& name);

// What a look at a name found. Only the system's "not found" means that
// nothing is there: any other failure to look (an I/O error, access
// denied, a name too long) tells nothing, and stops whatever asked.
enum class Look { kAbsent, kPresent, kFailed };

// Looks at `path`, a final link not followed, and puts what is there in
// `*type` when it finds something. On kFailed, LastError() tells why.
Look LookAt(platform::Platform& os, const std::string& path,
            platform::EntryType* type = nullptr);

// True when nothing has the name `path`: not even a folder deleted while
// another process holds it, whose name Windows keeps, answering access
// denied, until it lets go.
bool IsFreeName(platform::Platform& os, const std::string& path);

// Deletes the file at `path`, one the run set aside to discard or made
// itself, waiting for what others hold; one that stays is logged.
void DiscardFile(platform::Platform& os, SkinSetupRun& run,
                 const std::string& path);

// True when `folder` is a real folder that the run may empty as a working
// folder: never the package folder the run copies from. Sets `*failed`,
// where given, when no look could tell what is there.
bool IsWorkingFolder(platform::Platform& os, const SkinSetupRun& run,
                     const std::string& folder, bool* failed = nullptr);

// True when nothing but "." and ".." is left in `folder`; false also when
// it cannot be listed.
bool IsEmptyFolder(platform::Platform& os, const std::string& folder);

// Deletes the files of the working folder `folder`, then the folder.
// Returns true when it is gone, or was never there; false also when no
// look can tell.
bool DeleteFolder(platform::Platform& os, SkinSetupRun& run,
                  const std::string& folder);

// Finishes what interrupted earlier runs left in the skin folder (run.tmp2):
// deletes the files of their discard folders and of the working folders
// beside them, puts back those of the other working folders, each of which
// it then removes, and deletes the new files set aside. A removal finished
// so takes the skin folder too when nothing is left in it. Returns false,
// with the system's error in `*error`, when a look at the folder's entries
// failed, or an earlier file could not be put back (it stays in its working
// folder): the skin is then unknown or in part, and the run goes no
// further.
bool RecoverInterruptedRun(platform::Platform& os, SkinSetupRun& run,
                           std::uint32_t* error);

// Moves the skin folder's entry `name` into this run's working folder,
// which the first entry kept makes. Sets `*absent` when the system says
// that nothing has that name, and returns false, with the system's error in
// `*error`, when the entry cannot be kept (a folder, a short alias of a
// longer name, a file someone holds, a working folder another process took
// away) or no look can tell whether it is there.
bool KeepFile(platform::Platform& os, SkinSetupRun& run,
              const std::string& name, bool* absent, std::uint32_t* error);

// Puts every kept file back into the skin folder in place of what the run
// wrote there. A file that cannot be put back stays in the working folder,
// which then stays too, and the new file stays in its place.
void RestoreKeptFiles(platform::Platform& os, SkinSetupRun& run);

// Marks the moment the new files take over (the working folder renamed to
// the discard folder, or one made beside it), and once that is on the disk
// deletes the kept files and the working folders. Returns false, with the
// system's error, changing nothing, when no mark can be made: the kept
// files are then still the skin's, to be put back.
bool DiscardKeptFiles(platform::Platform& os, SkinSetupRun& run);

}  // namespace skinsetup

#endif  // SKINSETUP_SKINSETUP_KEPT_FILES_H_
