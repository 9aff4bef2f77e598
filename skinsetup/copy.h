// The copy: the space check, the overwrite question and the copy of every
// package file into the skin folder. Writes nowhere but in the Skins folder
// and the log; reaches the system only through platform.h.

#ifndef SKINSETUP_SKINSETUP_COPY_H_
#define SKINSETUP_SKINSETUP_COPY_H_

#include "platform/platform.h"
#include "skinsetup/skinsetup.h"

namespace skinsetup {

// Returns the success box's answer, the process status. Otherwise ends the
// run: "Spazio su disco insufficiente" code 1, the user's No (status 0,
// no box), or the rollback when a copy failed.
int CopyPackage(platform::Platform& os, SkinSetupRun& run);

}  // namespace skinsetup

#endif  // SKINSETUP_SKINSETUP_COPY_H_
