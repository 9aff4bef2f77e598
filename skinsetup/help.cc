// The help of /? (help.h): one box, and its line in the log. Reaches the
// system only through platform.h.

#include "skinsetup/help.h"

#include "skinsetup/boxes.h"
#include "skinsetup/messages.h"
#include "skinsetup/session.h"

namespace skinsetup {

int ShowHelp(platform::Platform& os, SkinSetupRun& run) {
  // The name the user started the installer by, as typed, is how to start
  // it again.
  ShowSystemText(os, run,
                 Utf8FromCatalogue(kHelpUsage) + ' ' + os.InvocationName() +
                     ' ' + Utf8FromCatalogue(kHelpText),
                 kProgramTitle, platform::kBoxOk);
  return Finish(os, run, Utf8FromCatalogue(kLogHelp), 0);
}

}  // namespace skinsetup
