// The compatibility map and the client's revision. Reads the map and the
// registry, and makes a missing Skins folder, through platform.h.

#ifndef SKINSETUP_SKINSETUP_COMPAT_MAP_H_
#define SKINSETUP_SKINSETUP_COMPAT_MAP_H_

#include <string>

#include "platform/platform.h"
#include "skinsetup/skinsetup.h"

namespace skinsetup {

// Called by the scan when it meets the map at `path`; returns when the
// skin is accepted and the Skins folder exists. Otherwise ends the run:
// "Impossibile installare la skin" with code 10 (the map cannot be opened),
// 5 or 6 (a line without a name or a value) or 7 (no valid range); "La skin
// non \xE8 compatibile con questa versione di client" (non è compatibile)
// with code 2, 1 or 3 (the revision key, its value, the revision outside
// the range); "Impossibile creare la cartella Skins" with code 1.
void ProcessMap(platform::Platform& os, SkinSetupRun& run,
                const std::string& path, platform::Stream* pfCfg);

}  // namespace skinsetup

#endif  // SKINSETUP_SKINSETUP_COMPAT_MAP_H_
