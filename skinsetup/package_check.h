// The check of a package for its author (/CHECK): every problem that an
// installation on a user's Windows would meet, not only the first. Reads
// the package and writes nothing but the log, through platform.h.

#ifndef SKINSETUP_SKINSETUP_PACKAGE_CHECK_H_
#define SKINSETUP_SKINSETUP_PACKAGE_CHECK_H_

#include "platform/platform.h"
#include "skinsetup/skinsetup.h"

namespace skinsetup {

// Walks the package folder as an installation would, reading every file
// and the map, and reports in one OK box (the log holds every line): "Il
// pacchetto è valido", the bytes to copy and the package's fingerprint
// (whose lines, a file each, the log lists), or "Il pacchetto ha dei
// problemi:" and one line a problem. Reads no registry and writes nothing
// but the log. Returns the status: the box's answer for a valid package
// (0 under /S), 0 for one with problems (1603 under /S).
int CheckPackage(platform::Platform& os, SkinSetupRun& run);

}  // namespace skinsetup

#endif  // SKINSETUP_SKINSETUP_PACKAGE_CHECK_H_
