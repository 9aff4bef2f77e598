// The removal of an installed skin (removal.h): the package names the
// files, which leave the skin folder together. Moves and deletes only
// inside the skin folder, through platform.h.

#include "skinsetup/removal.h"

#include <string>
#include <vector>

#include "skinsetup/boxes.h"
#include "skinsetup/client_location.h"
#include "skinsetup/installed_skin.h"
#include "skinsetup/kept_files.h"
#include "skinsetup/messages.h"
#include "skinsetup/retry.h"
#include "skinsetup/scan.h"
#include "skinsetup/session.h"
#include "skinsetup/skin_name.h"
#include "skinsetup/skins_folder.h"

namespace skinsetup {
namespace {

// The code of "La skin non \xE8 installata" (non è installata), and those of
// "Impossibile rimuovere la skin" and "Impossibile installare la skin".
constexpr int kNoSuchSkin = 0;
constexpr int kNotRemoved = 1;
constexpr int kBadSkinName = 0;

[[noreturn]] void NotInstalled(platform::Platform& os, SkinSetupRun& run) {
  ShowFailure(os, run, kSkinNotInstalled, kNoSuchSkin);
  ExitNotInstalled(os, run);
}

// Puts back what the removal took, shows why it stopped, and ends the run.
[[noreturn]] void FailRemoval(platform::Platform& os, SkinSetupRun& run,
                              std::uint32_t error) {
  ShowCopyError(os, run, error);
  RestoreKeptFiles(os, run);
  FailAndExit(os, run, kCannotRemove, kNotRemoved);
}

// Ends the removal when the folder `path` is not there: "not installed"
// where the system says so, a failed removal for any other error, which
// tells nothing.
void RequireFolder(platform::Platform& os, SkinSetupRun& run,
                   const std::string& path) {
  if (os.Stat(path) == 0) return;
  const std::uint32_t error = os.LastError();
  if (os.IsNotFound(error)) NotInstalled(os, run);
  FailRemoval(os, run, error);
}

// True when the skin folder (run.tmp2) holds a file of one of `names`. A
// name that cannot be looked at ends the removal: only "not found" says
// that a file is not there.
bool HoldsAnyOf(platform::Platform& os, SkinSetupRun& run,
                const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    platform::EntryType type;
    const Look look = LookAt(os, InFolder(os, run.tmp2, name), &type);
    if (look == Look::kFailed) FailRemoval(os, run, os.LastError());
    if (look == Look::kPresent && type != platform::EntryType::kFolder) {
      return true;
    }
  }
  return false;
}

}  // namespace

int RemoveSkin(platform::Platform& os, SkinSetupRun& run) {
  LocateClient(os, run);
  run.szSkinsDir = run.szValue;
  run.szValue = InFolder(os, run.szSkinsDir, run.szSkinName);
  if (!IsSkinFolderPath(os, run.szSkinsDir, run.szValue)) {
    FailAndExit(os, run, kCannotInstall, kBadSkinName);
  }
  RefuseLogInTheWay(os, run);
  // The package names the files to remove: no other file of the skin
  // folder (the user's own, the client's) is ever touched.
  run.szCurDir = os.CurrentDirectory();
  std::vector<std::string> names;
  if (!ListPackage(os, run, &names)) {
    ShowFailure(os, run, kCannotRemove, kNotRemoved);
    ExitFailed(os, run);
  }
  RequireFolder(os, run, run.szSkinsDir);
  TakeSkinsFolder(os, run);
  RequireFolder(os, run, run.szValue);
  SkinFolder found = SkinFolder::kNone;
  std::uint32_t error = 0;
  if (!TakeInstalledSkinFolder(os, run, &found, &error)) {
    FailRemoval(os, run, error);
  }
  // A skin folder that holds none of the package's files (what a removal
  // that kept the user's own files left, or one finished just now) has no
  // skin to remove.
  if (found == SkinFolder::kNone ||
      (run.dwSkinDirError == 0 && !HoldsAnyOf(os, run, names))) {
    NotInstalled(os, run);
  }
  if (ShowBox(os, run, kRemoveQuestion, kProgramTitle, platform::kBoxYesNo) ==
      platform::kIdNo) {
    ExitDeclined(os, run);
  }
  LogStep(os, run, kLogRemoving, run.szValue);
  if (run.dwSkinDirError != 0) FailRemoval(os, run, run.dwSkinDirError);

  // Each file into the working folder; anything the system cannot move
  // stops the removal, and so does a name that cannot be looked at. A
  // folder of a package file's name, and a file that Windows finds under a
  // short alias of its longer name, are another thing than the package's
  // file, and stay.
  for (const std::string& name : names) {
    bool absent = false;
    if (!KeepFile(os, run, name, &absent, &error)) {
      const std::string path = InFolder(os, run.tmp2, name);
      platform::EntryType type;
      if (LookAt(os, path, &type) == Look::kPresent &&
          (type == platform::EntryType::kFolder ||
           (!os.IsListedName(path) && os.IsShortAlias(os.LastError())))) {
        continue;
      }
      LogFailure(os, run, kLogNotKept, path, error);
      FailRemoval(os, run, error);
    }
    if (!absent) LogStep(os, run, kLogRemovedFile, name);
  }
  // All of them, or none, leave the skin from here on: the moves on the
  // disk, then the working folder renamed for discarding.
  if (!run.kept.empty() &&
      !Retrying(os, run, [&] { return os.SyncFolder(run.tmp2); })) {
    FailRemoval(os, run, os.LastError());
  }
  if (!DiscardKeptFiles(os, run)) FailRemoval(os, run, os.LastError());
  if (IsEmptyFolder(os, run.tmp2)) RemoveFolder(os, run, run.tmp2);
  return FinishInstalled(os, run, kRemoved);
}

}  // namespace skinsetup
