// The boxes a run shows, and its ends that show one: a text of the
// catalogue or of the system under a caption, the trace boxes, the copy
// error's box, the fatal failure and the success. Each box goes through
// session.h, which shows it or answers it as the switches say, and logs it;
// the system is reached only through platform.h.

#ifndef SKINSETUP_SKINSETUP_BOXES_H_
#define SKINSETUP_SKINSETUP_BOXES_H_

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "skinsetup/messages.h"
#include "skinsetup/skinsetup.h"

namespace skinsetup {

// Shows the catalogue's `text` under its `caption`, a box of `type`, and
// returns the button chosen (see Converse in session.h).
int ShowBox(platform::Platform& os, SkinSetupRun& run, const std::string& text,
            const char* caption, unsigned type);

// Shows a text the system gave (a path, its own error text) under the
// catalogue's `caption`, and returns the button chosen.
int ShowSystemText(platform::Platform& os, SkinSetupRun& run,
                   const std::string& text, const char* caption, unsigned type);

// Shows the system's text for `error`, the reason of a failed copy, move
// or delete, in the copy error's box.
void ShowCopyError(platform::Platform& os, SkinSetupRun& run,
                   std::uint32_t error);

// Shows `text` under `caption` when the trace switch is on.
void ShowTrace(platform::Platform& os, SkinSetupRun& run,
               const std::string& text, const char* caption);

// Shows the fatal error box for `text` and `code`, the run's outcome, and
// returns; for the paths that close a key or show a trace before
// ExitFailed ends the process.
void ShowFailure(platform::Platform& os, SkinSetupRun& run, const char* text,
                 int code);

// Shows the fatal error box and ends the process: status 0, or 1603 in an
// unattended run.
[[noreturn]] void FailAndExit(platform::Platform& os, SkinSetupRun& run,
                              const char* text, int code);

// Lets go of the lock, shows the success box, `text`, and returns the
// process status: the box's answer, or kExitInstalled in an unattended run.
int FinishInstalled(platform::Platform& os, SkinSetupRun& run,
                    const char* text = kSuccess);

}  // namespace skinsetup

#endif  // SKINSETUP_SKINSETUP_BOXES_H_
