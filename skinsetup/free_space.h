// The free-space probe: how many bytes are free on the volume that holds
// the client's Skins folder. Asks the system through platform.h, and
// writes nothing.

#ifndef SKINSETUP_SKINSETUP_FREE_SPACE_H_
#define SKINSETUP_SKINSETUP_FREE_SPACE_H_

#include "platform/platform.h"
#include "skinsetup/skinsetup.h"

namespace skinsetup {

// Fills run.FreeSpace with the free bytes of the volume that holds the
// Skins folder, run.szValue, which the copy writes into: not always the
// install directory's, since the Skins folder may be a mounted volume or a
// link to another drive. The extended query or the classic one, as the
// system's version decides; either failing ends the run: "Impossibile
// installare la skin" with code 1 to 4.
void ProbeFreeSpace(platform::Platform& os, SkinSetupRun& run);

}  // namespace skinsetup

#endif  // SKINSETUP_SKINSETUP_FREE_SPACE_H_
