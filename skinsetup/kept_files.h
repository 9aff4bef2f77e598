// The earlier files of a reinstalled skin, kept aside until the new copy
// has fully succeeded.
//
// Just before a package file replaces a file of the skin folder, the old
// file is renamed into a working folder inside the skin folder: the same
// volume, so the rename is cheap and keeps contents and times. A failed run
// renames them back; a successful one renames the working folder to a
// discard folder, the moment the new installation takes over, and then
// deletes them. A run that was stopped before that moment leaves them in
// the working folder, from where the next run (or the user, by moving them
// back) puts them in place again; one stopped after it leaves a discard
// folder that the next run deletes.

#ifndef SKINSETUP_SKINSETUP_KEPT_FILES_H_
#define SKINSETUP_SKINSETUP_KEPT_FILES_H_

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "skinsetup/skinsetup.h"

namespace skinsetup {

// The names of the working folder inside the skin folder, before and after
// the new installation took over.
inline constexpr char kKeptFolderName[] = ".skinsetup-kept";
inline constexpr char kDiscardFolderName[] = ".skinsetup-discard";

// The working folder's path for the skin folder in run.tmp2.
std::string KeptFolder(const platform::Platform& os, const SkinSetupRun& run);

// Finishes what an interrupted earlier run left: deletes a discard folder,
// and puts back the files of a working folder, which it then removes. A
// file that cannot be put back stays there.
void RecoverInterruptedRun(platform::Platform& os, SkinSetupRun& run);

// Moves the skin folder's file `name` into the working folder. Returns false,
// with the system's error in `*error`, when it cannot be kept.
bool KeepFile(platform::Platform& os, SkinSetupRun& run,
              const std::string& name, std::uint32_t* error);

// Renames every kept file back into the skin folder, replacing what the run
// wrote there. A file that cannot be put back stays in the working folder,
// which then stays too.
void RestoreKeptFiles(platform::Platform& os, SkinSetupRun& run);

// Deletes the kept files and the working folder, once the copy succeeded.
void DiscardKeptFiles(platform::Platform& os, SkinSetupRun& run);

}  // namespace skinsetup

#endif  // SKINSETUP_SKINSETUP_KEPT_FILES_H_
