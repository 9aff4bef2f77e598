// The skin folder as a run finds it, and what an installed skin is: one
// rule for the installation, the removal and the README's detection
// script alike. Puts what an interrupted run left there in order, and
// reaches the system only through platform.h.
//
// A skin is installed when its folder holds the compatibility map, the
// file that the detection script looks for; a skin folder without it (what
// a removal that kept the user's own files leaves, or an empty one) is a
// folder, not a skin.

#ifndef SKINSETUP_SKINSETUP_INSTALLED_SKIN_H_
#define SKINSETUP_SKINSETUP_INSTALLED_SKIN_H_

#include <cstdint>

#include "platform/platform.h"
#include "skinsetup/skinsetup.h"

namespace skinsetup {

// What stands at the skin's name once an interrupted run's leftovers are in
// order.
enum class SkinFolder {
  kNone,       // Nothing: a removal that was stopped is finished now.
  kFolder,     // A folder that holds no map (or that could not be held).
  kInstalled,  // A folder that holds the map.
};

// Refuses, as a bad skin name ("Impossibile installare la skin" code 0,
// nothing written to it), a log that is the Skins folder (run.szSkinsDir)
// or lies in it under the skin's name or one of the installer's own: the
// run would take it for the skin, lock it or delete it.
void RefuseLogInTheWay(platform::Platform& os, SkinSetupRun& run);

// For a skin folder (run.szValue) that exists: refuses a name that Windows
// takes for another (a short alias) and a log inside it, as a bad skin
// name, "Impossibile installare la skin" code 0; then holds the folder as
// run.tmp2, finishes what an interrupted run left there and tells what the
// folder is now. Sets run.dwSkinDirError when it cannot be held. Returns
// false, with the system's error in `*error`, when a look failed: what the
// folder holds is then unknown, and the caller ends the run.
bool TakeInstalledSkinFolder(platform::Platform& os, SkinSetupRun& run,
                             SkinFolder* found, std::uint32_t* error);

}  // namespace skinsetup

#endif  // SKINSETUP_SKINSETUP_INSTALLED_SKIN_H_
