// A first installation of a skin, made whole before it appears. Makes,
// renames and deletes only its working folders in the Skins folder,
// through platform.h.
//
// The files are copied into a working folder of the Skins folder,
// ".skinsetup-new" (or "-1" to "-9" after it, where an entry of that name
// is there), which takes the skin's name only once every file is in it and
// on the disk. Until then, nothing of the skin's name exists, so whoever
// looks for the skin (a deployment tool's detection rule, the next run)
// finds it whole or not at all, whenever the run is stopped; the next run
// deletes what a stopped one left.

#ifndef SKINSETUP_SKINSETUP_STAGING_H_
#define SKINSETUP_SKINSETUP_STAGING_H_

#include <cstdint>

#include "platform/platform.h"
#include "skinsetup/skinsetup.h"

namespace skinsetup {

// Deletes the working folders of first installations that were stopped,
// in the Skins folder (run.szSkinsDir), which the run holds locked, and
// holds the Skins folder until the run holds another.
void RecoverSkinsFolder(platform::Platform& os, SkinSetupRun& run);

// Makes a working folder for the first installation, as run.tmp2. Returns
// false, with the system's error in `*error`, when none can be made.
bool MakeStagingFolder(platform::Platform& os, SkinSetupRun& run,
                       std::uint32_t* error);

// Renames the working folder, whole and on the disk, to the skin folder
// (run.szValue), and puts the rename on the disk. Returns false, with the
// system's error in `*error`, when the skin is not in place then; the files
// are in run.tmp2 still.
bool CommitStagingFolder(platform::Platform& os, SkinSetupRun& run,
                         std::uint32_t* error);

}  // namespace skinsetup

#endif  // SKINSETUP_SKINSETUP_STAGING_H_
