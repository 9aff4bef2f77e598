// The Skins folder's lock, and its take-over by a run: one installer at a
// time changes the Skins folder, for an installation and a removal alike.
// The lock is let go by the run's end (ReleaseSkinsLock, session.h), on
// every way out. Reaches the system only through platform.h.

#ifndef SKINSETUP_SKINSETUP_SKINS_FOLDER_H_
#define SKINSETUP_SKINSETUP_SKINS_FOLDER_H_

#include "platform/platform.h"
#include "skinsetup/skinsetup.h"

namespace skinsetup {

// Takes the installers' lock on the Skins folder (run.szSkinsDir) as
// run.lock, waiting for another installer (an unattended run gives up
// after a while with kExitBusy), then deletes what stopped first
// installations left there. Where no lock can be had, shows the system's
// reason and ends the run: "Impossibile copiare i files su disco" code 1.
void TakeSkinsFolder(platform::Platform& os, SkinSetupRun& run);

}  // namespace skinsetup

#endif  // SKINSETUP_SKINSETUP_SKINS_FOLDER_H_
