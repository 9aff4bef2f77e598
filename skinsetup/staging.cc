// A first installation's working folder (staging.h): made, renamed into
// place, and deleted where a stopped run left it. Writes only in the Skins
// folder, through platform.h.

#include "skinsetup/staging.h"

#include "skinsetup/kept_files.h"
#include "skinsetup/retry.h"

namespace skinsetup {

void RecoverSkinsFolder(platform::Platform& os, SkinSetupRun& run) {
  // Held, so that nothing there is reached through a link that another
  // process swaps in; a Skins folder that is itself a link is left alone.
  if (!os.HoldFolder(run.szSkinsDir)) return;
  for (int slot = 0; slot < kWorkingSlots; ++slot) {
    DeleteFolder(os, run, InFolder(os, run.szSkinsDir, NewFolderName(slot)));
  }
}

bool MakeStagingFolder(platform::Platform& os, SkinSetupRun& run,
                       std::uint32_t* error) {
  // The first name that nothing has: with none left, the first, whose
  // making then fails.
  int slot = 0;
  while (slot < kWorkingSlots &&
         !IsFreeName(os, InFolder(os, run.szSkinsDir, NewFolderName(slot)))) {
    ++slot;
  }
  if (slot == kWorkingSlots) slot = 0;
  run.tmp2 = InFolder(os, run.szSkinsDir, NewFolderName(slot));
  if (os.MakeDir(run.tmp2) != 0) {
    *error = os.LastError();
    return false;
  }
  return true;
}

bool CommitStagingFolder(platform::Platform& os, SkinSetupRun& run,
                         std::uint32_t* error) {
  // A folder holding files just written is one that scanners and sync
  // clients may still have open, and Windows refuses to rename it
  // meanwhile: the whole installation waits on it, as long as the run may
  // wait. The rename never replaces a skin folder that another process
  // made in the meantime.
  if (!Retrying(
          os, run, [&] { return os.RenameFolder(run.tmp2, run.szValue); },
          RetryOn::kHeld, kRunRetryBudgetMs)) {
    *error = os.LastError();
    return false;
  }
  if (Retrying(os, run, [&] { return os.SyncFolder(run.szSkinsDir); })) {
    return true;
  }
  // Not on the disk: the run fails, and puts the files back where its
  // rollback looks for them.
  *error = os.LastError();
  if (!os.RenameFolder(run.szValue, run.tmp2)) run.tmp2 = run.szValue;
  return false;
}

}  // namespace skinsetup
