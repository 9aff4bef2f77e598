// The skin folder as a run finds it (installed_skin.h): held, put in order
// after an interrupted run, and told installed or not. Reaches the system
// only through platform.h.

#include "skinsetup/installed_skin.h"

#include "skinsetup/boxes.h"
#include "skinsetup/file_identity.h"
#include "skinsetup/kept_files.h"
#include "skinsetup/map_parser.h"
#include "skinsetup/messages.h"
#include "skinsetup/session.h"

namespace skinsetup {
namespace {

// The code of "Impossibile installare la skin" for a skin name that reaches
// another skin, and for a log inside the skin folder or in its way.
constexpr int kBadSkinName = 0;

}  // namespace

void RefuseLogInTheWay(platform::Platform& os, SkinSetupRun& run) {
  if (IsLogInTheWay(os, run)) {
    RefuseLog(os, run);
    FailAndExit(os, run, kCannotInstall, kBadSkinName);
  }
}

bool TakeInstalledSkinFolder(platform::Platform& os, SkinSetupRun& run,
                             SkinFolder* found, std::uint32_t* error) {
  // A name that Windows takes for another one (a short 8.3 alias, say)
  // reaches another skin; and a log inside the skin folder would be
  // replaced or put back with the skin's files.
  if (!os.IsListedName(run.szValue)) {
    FailAndExit(os, run, kCannotInstall, kBadSkinName);
  }
  if (IsLogInside(os, run, run.szValue)) {
    RefuseLog(os, run);
    FailAndExit(os, run, kCannotInstall, kBadSkinName);
  }
  ReleaseLog(os, run);
  // From here on, everything below the folder is reached from the folder
  // itself, never through a link that another process swaps in meanwhile;
  // a skin folder that is not a real folder takes nothing and gives
  // nothing. What an interrupted run left is put in order before anything
  // is asked: the earlier files back, or the discarded ones gone.
  run.tmp2 = run.szValue;
  *found = SkinFolder::kFolder;
  if (!os.HoldFolder(run.tmp2)) {
    run.dwSkinDirError = os.LastError();
    return true;
  }
  platform::FileId id;
  run.bSkinIsPackage = run.bCurDirIdKnown &&
                       os.QueryFileId(run.tmp2, false, &id) &&
                       IsSameKnownFile(id, run.curDirId);
  if (!RecoverInterruptedRun(os, run, error)) return false;
  const Look skin = LookAt(os, run.tmp2);
  const Look map = skin == Look::kPresent
                       ? LookAt(os, InFolder(os, run.tmp2, kMapName))
                       : skin;
  if (map == Look::kFailed) {
    *error = os.LastError();
    return false;
  }
  *found = skin == Look::kAbsent  ? SkinFolder::kNone
           : map == Look::kAbsent ? SkinFolder::kFolder
                                  : SkinFolder::kInstalled;
  return true;
}

}  // namespace skinsetup
