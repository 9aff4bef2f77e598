// Checks the space, asks before overwriting an installed skin, and copies
// every package file into the skin folder in a second walk of the package.
// Writes nowhere but in the Skins folder and the log; reaches the system
// only through platform.h.

#include "skinsetup/copy.h"

#include <cstdint>
#include <string>

#include "skinsetup/boxes.h"
#include "skinsetup/file_identity.h"
#include "skinsetup/installed_skin.h"
#include "skinsetup/kept_files.h"
#include "skinsetup/map_parser.h"
#include "skinsetup/messages.h"
#include "skinsetup/retry.h"
#include "skinsetup/rollback.h"
#include "skinsetup/session.h"
#include "skinsetup/skin_name.h"
#include "skinsetup/skins_folder.h"
#include "skinsetup/staging.h"

namespace skinsetup {
namespace {

// The code of "Spazio su disco insufficiente".
constexpr int kNotEnoughSpace = 1;
// The code of "Impossibile installare la skin" for a skin name that would
// lead out of the Skins folder, as at the start of the run.
constexpr int kBadSkinName = 0;
// The code of "Impossibile copiare i files su disco" for a skin folder that
// cannot be looked into: nothing has been copied.
constexpr int kCopyFailed = 1;

// True when the package file `source`, or the file it links to, is the
// entry at `destination` itself; where that is unknown, the copy happens.
bool SameFile(platform::Platform& os, const std::string& source,
              const std::string& destination) {
  platform::FileId first;
  platform::FileId second;
  return os.QueryFileId(source, true, &first) &&
         os.QueryFileId(destination, false, &second) &&
         IsSameKnownFile(first, second);
}

// Copies one package file (run.tmp4), which the listing found to be
// `listed`, to its destination (run.szDestFile). Returns false, with the
// system's error in `*error`, when it failed.
bool CopyOne(platform::Platform& os, SkinSetupRun& run, const std::string& name,
             platform::EntryType listed, std::uint32_t* error) {
  // Into a skin folder that could not be made or held, nothing is copied;
  // the reason is the making's or the holding's.
  if (run.dwSkinDirError != 0) {
    *error = run.dwSkinDirError;
    LogFailure(os, run, kLogNotCopied, run.szDestFile, *error);
    return false;
  }
  // A folder this run created held nothing before: nothing to compare or
  // keep.
  bool replaces = false;
  if (!run.bSkinDirCreated) {
    // A package installed from inside its own skin folder has its files
    // there already, and so has a package file that links to the installed
    // one: copying a file onto itself would destroy it. A plain file of
    // another folder is at most another name of the installed one, which
    // the copy reads all the same once that one is kept aside.
    if (run.bSkinIsPackage || (listed != platform::EntryType::kFile &&
                               SameFile(os, run.tmp4, run.szDestFile))) {
      return true;
    }
    // An earlier entry of the same name (a file, or a link, which is not
    // followed) is kept aside until the whole copy has succeeded. One that
    // cannot be kept (a locked file) is not overwritten either: the copy
    // counts as failed. Neither is an entry that Windows finds under a
    // short 8.3 alias of a longer name, which is another file than this
    // one, nor a folder in the file's place.
    bool absent = false;
    if (!KeepFile(os, run, name, &absent, error)) {
      LogFailure(os, run, kLogNotKept, run.szDestFile, *error);
      return false;
    }
    replaces = !absent;
  }
  // The destination's name is free now, and the copy never writes through
  // whatever may have taken it meanwhile (a link, a short name).
  if (os.CopyFileTo(run.tmp4, run.szDestFile, listed)) {
    // A file this run created where none stood goes if the run fails; one
    // that replaced an earlier file is replaced by it in turn.
    if (!replaces) run.created.insert(name);
    LogStep(os, run, kLogCopied, name);
    return true;
  }
  *error = os.LastError();
  LogFailure(os, run, kLogNotCopied, run.szDestFile, *error);
  return false;
}

}  // namespace

int CopyPackage(platform::Platform& os, SkinSetupRun& run) {
  const char sep = os.Separator();
  ShowTrace(os, run, run.szRoot, kTraceDisk);
  if (run.FreeSpace < run.mem_nec)
    FailAndExit(os, run, kNoSpace, kNotEnoughSpace);

  run.szSkinsDir = run.szValue;
  run.szValue += sep + run.szSkinName;
  ShowTrace(os, run, run.szValue, kTraceSkinDir);
  // The name was checked at the start; nothing is ever written outside the
  // Skins folder, whatever a later change might let through.
  if (!IsSkinFolderPath(os, run.szSkinsDir, run.szValue)) {
    FailAndExit(os, run, kCannotInstall, kBadSkinName);
  }
  RefuseLogInTheWay(os, run);
  TakeSkinsFolder(os, run);
  SkinFolder found = SkinFolder::kNone;
  if (os.Stat(run.szValue) == 0) {
    std::uint32_t error = 0;
    if (!TakeInstalledSkinFolder(os, run, &found, &error)) {
      ShowCopyError(os, run, error);
      FailAndExit(os, run, kCannotCopy, kCopyFailed);
    }
  }
  // The user is asked whenever a skin folder is there. An unattended run
  // that may not overwrite declines only an installed skin: a folder that
  // holds no map (what a removal left of it, with the user's own files) is
  // installed into, and a deployment tool does not retry for ever.
  const bool exists = found != SkinFolder::kNone;
  if (exists && (found == SkinFolder::kInstalled || !run.switches.bSilent ||
                 run.switches.bOverwrite)) {
    const int answer =
        ShowBox(os, run, kAlreadyPresent, kProgramTitle, platform::kBoxYesNo);
    if (answer == platform::kIdNo) ExitDeclined(os, run);
  }
  ReleaseLog(os, run);
  ShowTrace(os, run, run.szValue, kTraceMakeSkinDir);
  // A first installation is made aside and renamed into place once whole.
  // Any failure to make or hold the folder shows in the copies.
  if (!exists) {
    std::uint32_t make_error = 0;
    run.bSkinDirCreated = MakeStagingFolder(os, run, &make_error);
    if (!run.bSkinDirCreated) {
      run.dwSkinDirError = make_error;
    } else if (!os.HoldFolder(run.tmp2)) {
      run.dwSkinDirError = os.LastError();
    }
  }
  ShowTrace(os, run, run.szValue, kTraceValue);
  LogStep(os, run, kLogSkinFolder, run.szValue);
  ShowTrace(os, run, run.tmp2, kTraceTmp2);
  run.tmp4 = run.szCurDir + sep + "*";
  ShowTrace(os, run, run.tmp4, kTraceTmp4);
  std::string name;
  platform::Listing listing = os.OpenListing(run.tmp4, &name);
  run.szCurDir += sep;
  if (listing == nullptr) {
    // Nothing could be copied: the run has failed.
    ShowBox(os, run, kInvalid, kInvalidCaption, platform::kBoxOk);
    run.bCopyOk = false;
  } else {
    // The map goes in last: a skin folder holds it, and so counts as an
    // installed skin, only once every other file is in.
    bool map_listed = false;
    platform::EntryType map_type = platform::EntryType::kNone;
    auto copy = [&](const std::string& entry, platform::EntryType listed) {
      run.tmp4 = run.szCurDir + entry;
      run.szDestFile = run.tmp2 + sep + entry;
      ShowTrace(os, run, run.szDestFile, kTraceDestination);
      ShowTrace(os, run, run.tmp4, kTraceSource);
      std::uint32_t error = 0;
      if (!CopyOne(os, run, entry, listed, &error)) {
        run.bCopyOk = false;
        ShowCopyError(os, run, error);
      }
    };
    do {
      run.szRelName = std::string(".") + sep + name;
      // What the scan counted is copied: not the installer, nor the log.
      if (name == "." || name == ".." || run.programEntries.count(name) != 0 ||
          run.logEntries.count(name) != 0) {
        continue;
      }
      if (name == kMapName) {
        map_listed = true;
        map_type = os.ListedType(listing);
        continue;
      }
      copy(name, os.ListedType(listing));
    } while (os.NextEntry(listing, &name));
    // A walk cut short by a failure has not copied the whole package.
    const std::uint32_t error = os.LastError();
    os.CloseListing(listing);
    if (error != 0) {
      run.bCopyOk = false;
      ShowCopyError(os, run, error);
    }
    if (map_listed) copy(kMapName, map_type);
  }

  // The new files reach the disk before any earlier one is discarded, and
  // before the skin of a first installation takes its name and the success
  // box: a power cut then loses neither. Files that cannot be put there
  // count as a failed copy.
  if (run.bCopyOk &&
      !Retrying(os, run, [&] { return os.SyncFolder(run.tmp2); })) {
    run.bCopyOk = false;
    ShowCopyError(os, run, os.LastError());
  }
  std::uint32_t commit_error = 0;
  if (run.bCopyOk && !exists && !CommitStagingFolder(os, run, &commit_error)) {
    run.bCopyOk = false;
    ShowCopyError(os, run, commit_error);
  }
  if (run.bCopyOk && !DiscardKeptFiles(os, run)) {
    run.bCopyOk = false;
    ShowCopyError(os, run, os.LastError());
  }
  if (!run.bCopyOk) Rollback(os, run);
  return FinishInstalled(os, run);
}

}  // namespace skinsetup
