// Finding the client: its install directory in the current user's
// registry and the Skins folder; later, whether the Skins folder exists
// yet. Reads the registry and looks at the folder through platform.h, and
// writes nothing.

#ifndef SKINSETUP_SKINSETUP_CLIENT_LOCATION_H_
#define SKINSETUP_SKINSETUP_CLIENT_LOCATION_H_

#include "platform/platform.h"
#include "skinsetup/skinsetup.h"

namespace skinsetup {

// Fills run.szValue with the Skins folder path, and run.szRoot, where the
// free space is asked for, with the same; or ends the run: "Quintavo non
// \xE8 installato" (Quintavo non è installato) with code 2 when the client's
// key is missing, 1 when its install directory cannot be read or names no one
// place.
void LocateClient(platform::Platform& os, SkinSetupRun& run);

// Sets run.bCreateSkins when the Skins folder is missing.
void TestSkinsFolder(platform::Platform& os, SkinSetupRun& run);

}  // namespace skinsetup

#endif  // SKINSETUP_SKINSETUP_CLIENT_LOCATION_H_
