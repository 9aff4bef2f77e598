// Takes the Skins folder for a run (skins_folder.h): its lock, then what
// stopped first installations left in it. Reaches the system only through
// platform.h.

#include "skinsetup/skins_folder.h"

#include "skinsetup/boxes.h"
#include "skinsetup/messages.h"
#include "skinsetup/retry.h"
#include "skinsetup/session.h"
#include "skinsetup/staging.h"

namespace skinsetup {
namespace {

// The code of "Impossibile copiare i files su disco" for a Skins folder that
// cannot be locked: nothing has been copied.
constexpr int kNotLocked = 1;
// How often a waiting installer tries the lock again, and how long an
// unattended run waits for another installer to finish with the Skins
// folder before it gives up with kExitBusy.
constexpr unsigned kLockPauseMs = 250;
constexpr unsigned kUnattendedLockWaitMs = 60000;

}  // namespace

// One installer at a time changes the Skins folder: a second one started
// meanwhile waits here, then finds the skin installed and asks as usual.
// With a user at the screen it waits as long as the other installer's user
// takes; an unattended run gives up after a while, so that the deployment
// tool tries again later. Where no lock can be had at all, the run changes
// nothing: two installers at once could mix their files.
void TakeSkinsFolder(platform::Platform& os, SkinSetupRun& run) {
  for (unsigned waited = 0; run.lock == nullptr; waited += kLockPauseMs) {
    bool busy = false;
    platform::Lock lock = nullptr;
    // Windows denies the lock file for a moment while the last installer's
    // is being deleted.
    Retrying(
        os, run,
        [&] {
          lock = os.LockFolder(run.szSkinsDir, &busy);
          return lock != nullptr || busy;
        },
        RetryOn::kHeld);
    run.lock = lock;
    if (lock != nullptr) break;
    if (!busy) {
      const std::uint32_t error = os.LastError();
      LogFailure(os, run, kLogNotLocked, run.szSkinsDir, error);
      ShowCopyError(os, run, error);
      FailAndExit(os, run, kCannotCopy, kNotLocked);
    }
    if (run.switches.bSilent && waited >= kUnattendedLockWaitMs) {
      ExitBusy(os, run);
    }
    os.Pause(kLockPauseMs);
  }
  // The package folder is never taken for a working folder, wherever it is.
  run.bCurDirIdKnown = os.QueryFileId(run.szCurDir, true, &run.curDirId);
  RecoverSkinsFolder(os, run);
}

}  // namespace skinsetup
