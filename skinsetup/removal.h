// The removal of an installed skin (/UNINSTALL), run from its package
// folder as the installation is. Moves and deletes only inside the skin
// folder, through platform.h.

#ifndef SKINSETUP_SKINSETUP_REMOVAL_H_
#define SKINSETUP_SKINSETUP_REMOVAL_H_

#include "platform/platform.h"
#include "skinsetup/skinsetup.h"

namespace skinsetup {

// Removes from the skin folder every file named as a file of the package,
// then the folder if that leaves it empty, once the user (or /S) says Yes
// to "Si vuole rimuovere la skin?". The files leave together: each is
// moved into a working folder, and only once all are there and that is on
// the disk are they discarded, so that a run stopped at any moment leaves
// the skin whole or removed, which the next run finishes. Returns the
// status: the answer of "Skin rimossa correttamente", or 0 under /S.
// Otherwise ends the run: the user's No (status 0); "La skin non è
// installata" code 0 (status 0, 1605 under /S); "Impossibile rimuovere la
// skin" code 1 once every file taken is back (status 0, 1603 under /S);
// and the installation's failures of the client's location, the skin's
// name and the lock.
int RemoveSkin(platform::Platform& os, SkinSetupRun& run);

}  // namespace skinsetup

#endif  // SKINSETUP_SKINSETUP_REMOVAL_H_
