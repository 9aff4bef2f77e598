// The help of /?: how to start the installer, and its switches. Shows one
// box and writes nothing but the log.

#ifndef SKINSETUP_SKINSETUP_HELP_H_
#define SKINSETUP_SKINSETUP_HELP_H_

#include "platform/platform.h"
#include "skinsetup/skinsetup.h"

namespace skinsetup {

// Shows the help in one OK box (or logs it, under /S), and nothing else:
// no registry is read and nothing is written but the log. Returns 0.
int ShowHelp(platform::Platform& os, SkinSetupRun& run);

}  // namespace skinsetup

#endif  // SKINSETUP_SKINSETUP_HELP_H_
