// Takes back a failed copy: what the run wrote into the skin folder goes,
// the files it replaced come back, and a skin folder it created is removed
// once empty. Touches nothing outside the skin folder; reaches the system
// only through platform.h.

#include "skinsetup/rollback.h"

#include "skinsetup/boxes.h"
#include "skinsetup/kept_files.h"
#include "skinsetup/messages.h"
#include "skinsetup/retry.h"
#include "skinsetup/session.h"
#include "skinsetup/skin_name.h"

namespace skinsetup {
namespace {

// The code of "Impossibile copiare i files su disco".
constexpr int kCopyFailed = 1;

}  // namespace

int DeleteFiles(platform::Platform& os, SkinSetupRun& run,
                const std::string& folder) {
  const char sep = os.Separator();
  std::string name;
  platform::Listing listing = os.OpenListing(folder + sep + "*", &name);
  // The box names the skin folder, also while a first installation is
  // still in its working folder.
  ShowSystemText(os, run, run.szValue + sep + "*", kDeleteDirCaption,
                 platform::kBoxOk);
  if (listing == nullptr) return 1;
  os.CloseListing(listing);
  // Only ever the folder this run copied into, inside the Skins folder, and
  // only the files this run created there, each by its name, so that no
  // listing cut short leaves one: the earlier files it kept aside come back
  // in place of those it replaced, and the rest stay as they are.
  if (folder == run.tmp2 && IsSkinFolderPath(os, run.szSkinsDir, run.szValue)) {
    for (const std::string& created : run.created) {
      DiscardFile(os, run, folder + sep + created);
    }
  }
  return 0;
}

void Rollback(platform::Platform& os, SkinSetupRun& run) {
  LogStep(os, run, kLogRollback, run.szValue);
  DeleteFiles(os, run, run.tmp2);
  if (IsSkinFolderPath(os, run.szSkinsDir, run.szValue)) {
    RestoreKeptFiles(os, run);
    // A folder this run created goes once it is empty. A folder that held
    // anything before the run stays.
    if (run.bSkinDirCreated) RemoveFolder(os, run, run.tmp2);
  }
  FailAndExit(os, run, kCannotCopy, kCopyFailed);
}

}  // namespace skinsetup
