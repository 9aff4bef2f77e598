// Takes back a failed copy: what the run wrote into the skin folder goes,
// the files it replaced come back, and a skin folder it created is removed
// once empty.

#include "skinsetup/rollback.h"

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
  const std::string pattern = folder + sep + "*";
  std::string name;
  platform::Listing listing = os.OpenListing(pattern, &name);
  ShowSystemText(os, run, pattern, kDeleteDirCaption, platform::kBoxOk);
  if (listing == nullptr) return 1;
  if (IsSkinFolderPath(os, run.szSkinsDir, folder)) {
    do {
      // Files this run did not create stay as they are (so do "." and
      // "..", which it never creates); the earlier files it kept aside come
      // back over those it replaced.
      if (run.created.count(name) == 0) continue;
      Retrying(os, [&] { return os.RemoveFile(folder + sep + name); });
    } while (os.NextEntry(listing, &name));
  }
  os.CloseListing(listing);
  return 0;
}

void Rollback(platform::Platform& os, SkinSetupRun& run) {
  LogStep(os, run, kLogRollback, run.szValue);
  DeleteFiles(os, run, run.szValue);
  if (IsSkinFolderPath(os, run.szSkinsDir, run.szValue)) {
    RestoreKeptFiles(os, run);
    // A folder this run created goes once it is empty, even when it could
    // not be listed under the name it was asked for (Windows drops the
    // trailing blanks of a folder it creates, but not of the folders in a
    // path). A folder that held anything before the run stays.
    if (run.bSkinDirCreated) RemoveFolder(os, run.szValue);
  }
  FailAndExit(os, run, kCannotCopy, kCopyFailed);
}

}  // namespace skinsetup
