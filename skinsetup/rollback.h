// Taking back a failed copy. Deletes only what the run wrote into the skin
// folder, and puts back what it kept aside, through platform.h.

#ifndef SKINSETUP_SKINSETUP_ROLLBACK_H_
#define SKINSETUP_SKINSETUP_ROLLBACK_H_

#include <string>

#include "platform/platform.h"
#include "skinsetup/skinsetup.h"

namespace skinsetup {

// Takes back what the run wrote into the skin folder, puts back the files
// it replaced, then reports "Impossibile copiare i files su disco" with
// code 1. Never returns.
[[noreturn]] void Rollback(platform::Platform& os, SkinSetupRun& run);

// Deletes the files that this run wrote directly in `folder`, after showing
// the folder's listing pattern. Returns 0 when the folder was listed, 1 when
// it could not be.
int DeleteFiles(platform::Platform& os, SkinSetupRun& run,
                const std::string& folder);

}  // namespace skinsetup

#endif  // SKINSETUP_SKINSETUP_ROLLBACK_H_
