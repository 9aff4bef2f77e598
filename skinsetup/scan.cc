// Walks the package folder: counts the bytes the copy will need, checks that
// every file can be opened, and has the compatibility map processed when the
// listing reaches it. Reads through platform.h, and writes nothing itself.

#include "skinsetup/scan.h"

#include <cstdio>

#include "skinsetup/boxes.h"
#include "skinsetup/compat_map.h"
#include "skinsetup/file_identity.h"
#include "skinsetup/map_parser.h"
#include "skinsetup/messages.h"
#include "skinsetup/retry.h"
#include "skinsetup/session.h"

namespace skinsetup {
namespace {

// The codes of "Impossibile installare la skin".
constexpr int kFileNotOpened = 8;
constexpr int kSizeNotRead = 9;
constexpr int kNoMap = 10;

// True when `id`, the identity of a package entry, is known to be the
// running program's own file.
bool IsProgram(const SkinSetupRun& run, const platform::FileId& id) {
  return run.bProgramIdKnown && IsSameKnownFile(id, run.programId);
}

// Opens, measures and counts one package file, which the listing found to
// be `listed`, or ends the run. Returns false, counting nothing, for the
// running program's own file: the open tells what file it is, at no cost
// of its own, and Windows refuses the program's file an exclusive open,
// which a look at it then explains.
bool CountFile(platform::Platform& os, SkinSetupRun& run,
               platform::EntryType listed) {
  platform::File file = os.OpenExclusive(run.lpFileName, listed);
  platform::FileId id;
  if (file == nullptr) {
    std::uint32_t error = os.LastError();
    if (run.bProgramIdKnown && os.QueryFileId(run.lpFileName, true, &id) &&
        IsProgram(run, id)) {
      return false;
    }
    // A file that a preview or a sync client holds is waited for a moment.
    if (!os.IsSharingError(error) || !Retrying(os, run, [&] {
          return (file = os.OpenExclusive(run.lpFileName, listed)) != nullptr;
        })) {
      if (os.IsSharingError(error)) error = os.LastError();
      LogFailure(os, run, kLogNotOpened, run.lpFileName, error);
      ShowFailure(os, run, kCannotInstall, kFileNotOpened);
      ShowTrace(os, run, run.szRelName, kTraceBadFile);
      ExitFailed(os, run);
    }
  }
  if (os.OpenedFileId(file, &id) && IsProgram(run, id)) {
    os.CloseFile(file);
    return false;
  }
  std::uint64_t size = 0;
  if (!os.FileSize(file, &size)) {
    LogFailure(os, run, kLogNotSized, run.lpFileName, os.LastError());
    ShowFailure(os, run, kCannotInstall, kSizeNotRead);
    ShowTrace(os, run, kTraceSizeFailedText, kTraceSizeFailed);
    ExitFailed(os, run);
  }
  // The whole size counts: a file of 4 GiB or more, taken by its low 32
  // bits, would pass the check and then fill the volume midway through the
  // copy. The size joins the total unrounded, and only the sum is rounded to
  // single precision: the total is exact up to 2^24 bytes.
  run.mem_nec = static_cast<float>(static_cast<double>(run.mem_nec) +
                                   static_cast<double>(size));
  ShowTrace(os, run, FormatFloat(run.mem_nec), kTraceMemNec);
  os.CloseFile(file);
  return true;
}

}  // namespace

EntryRole RoleOf(platform::Platform& os, const SkinSetupRun& run,
                 const std::string& path, const std::string& name) {
  if (name == "." || name == "..") return EntryRole::kDots;
  platform::FileId id;
  const bool known = (run.bProgramIdKnown || run.bLogIdKnown) &&
                     os.QueryFileId(path, true, &id) && IsSameKnownFile(id, id);
  if (known && run.bLogIdKnown && IsSameKnownFile(id, run.logId)) {
    return EntryRole::kLog;
  }
  if (known && run.bProgramIdKnown) {
    return IsSameKnownFile(id, run.programId) ? EntryRole::kInstaller
                                              : EntryRole::kPackage;
  }
  return std::string(".") + os.Separator() + name == run.szExeName
             ? EntryRole::kInstaller
             : EntryRole::kPackage;
}

platform::Listing OpenPackageListing(platform::Platform& os,
                                     const std::string& pattern,
                                     std::string* name) {
  // A current folder that could not be read (deleted meanwhile, say) is no
  // folder at all: its pattern would list the root.
  if (pattern.size() <= 2) return nullptr;
  return os.OpenListing(pattern, name);
}

bool ForEachPackageFile(platform::Platform& os, SkinSetupRun& run,
                        const std::function<void(const std::string&)>& visit) {
  const char sep = os.Separator();
  std::string name;
  platform::Listing listing =
      OpenPackageListing(os, run.szCurDir + sep + "*", &name);
  if (listing == nullptr) return false;
  do {
    if (RoleOf(os, run, run.szCurDir + sep + name, name) ==
        EntryRole::kPackage) {
      visit(name);
    }
  } while (os.NextEntry(listing, &name));
  // A walk cut short by a failure is no whole package.
  const bool whole = os.LastError() == 0;
  os.CloseListing(listing);
  return whole;
}

bool ListPackage(platform::Platform& os, SkinSetupRun& run,
                 std::vector<std::string>* names) {
  return ForEachPackageFile(
      os, run, [names](const std::string& name) { names->push_back(name); });
}

void ScanPackage(platform::Platform& os, SkinSetupRun& run,
                 platform::Stream* pfCfg) {
  const char sep = os.Separator();
  run.szCurDir = os.CurrentDirectory();
  ShowTrace(os, run, run.szCurDir, kTraceCurDir);

  run.szFindPattern = run.szCurDir + sep + "*";
  std::string name;
  platform::Listing listing = OpenPackageListing(os, run.szFindPattern, &name);
  if (listing == nullptr) {
    // Nothing was listed, so the package counts as empty and has no map.
    ShowBox(os, run, kInvalid, kInvalidCaption, platform::kBoxOk);
  } else {
    do {
      run.lpFileName = run.szCurDir + sep + name;
      ShowTrace(os, run, run.lpFileName, kTraceFileName);
      run.szRelName = std::string(".") + sep + name;
      // The log and the installer may be there under more than one name: a
      // link, a hard link. The copy leaves out every one of them. The log
      // is looked at before it is opened, which Windows would refuse; the
      // installer's own file is known once opened, or by the name it was
      // started under where the system tells no identities.
      EntryRole role = EntryRole::kPackage;
      if (name == "." || name == "..") {
        role = EntryRole::kDots;
      } else if (run.bLogIdKnown || !run.bProgramIdKnown) {
        role = RoleOf(os, run, run.lpFileName, name);
      }
      if (role == EntryRole::kLog) {
        run.logEntries.insert(name);
        continue;
      }
      if (name == kMapName) {
        run.bMapFound = true;
        ProcessMap(os, run, run.lpFileName, pfCfg);
      }
      if (role == EntryRole::kPackage &&
          !CountFile(os, run, os.ListedType(listing))) {
        role = EntryRole::kInstaller;
      }
      if (role == EntryRole::kInstaller) run.programEntries.insert(name);
    } while (os.NextEntry(listing, &name));
    // A walk cut short by a failure has not read the whole package: it ends
    // as a listing that cannot be opened, whatever it met.
    const bool whole = os.LastError() == 0;
    os.CloseListing(listing);
    if (!whole) {
      ShowBox(os, run, kInvalid, kInvalidCaption, platform::kBoxOk);
      FailAndExit(os, run, kCannotInstall, kNoMap);
    }
  }
  if (!run.bMapFound) FailAndExit(os, run, kCannotInstall, kNoMap);
  char bytes[64];
  std::snprintf(bytes, sizeof bytes, "%.0f", static_cast<double>(run.mem_nec));
  LogStep(os, run, kLogPackage, bytes);
}

}  // namespace skinsetup
