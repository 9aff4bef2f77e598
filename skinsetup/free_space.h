// The free-space probe: how many bytes are free on the client's drive.

#ifndef SKINSETUP_SKINSETUP_FREE_SPACE_H_
#define SKINSETUP_SKINSETUP_FREE_SPACE_H_

#include "platform/platform.h"
#include "skinsetup/skinsetup.h"

namespace skinsetup {

// Fills run.FreeSpace for run.szRoot with the extended query or the classic
// one, as the system's version decides, or ends the run: "Impossibile
// installare la skin" with code 1 to 4.
void ProbeFreeSpace(platform::Platform& os, SkinSetupRun& run);

}  // namespace skinsetup

#endif  // SKINSETUP_SKINSETUP_FREE_SPACE_H_
