// The working folders of the skin folder (kept_files.h): the earlier files
// kept aside, put back or discarded, and what interrupted runs left. Moves
// and deletes only inside the skin folder, through platform.h.

#include "skinsetup/kept_files.h"

#include "skinsetup/file_identity.h"
#include "skinsetup/messages.h"
#include "skinsetup/retry.h"
#include "skinsetup/session.h"
#include "skinsetup/skin_name.h"

namespace skinsetup {
namespace {

std::string SlotName(const char* base, int slot) {
  return std::string(kWorkingPrefix) + base +
         (slot == 0 ? "" : "-" + std::to_string(slot));
}

// Calls `action` with the name of every entry of `folder`, a working folder
// the caller has found to be one, but "." and "..". Returns false, with
// LastError() telling why, when the folder could not be listed to its end.
template <typename Action>
bool ForEachEntry(platform::Platform& os, const std::string& folder,
                  Action action) {
  std::string name;
  platform::Listing listing = os.OpenListing(InFolder(os, folder, "*"), &name);
  if (listing == nullptr) return false;
  do {
    if (name != "." && name != "..") action(name);
  } while (os.NextEntry(listing, &name));
  const bool whole = os.LastError() == 0;
  os.CloseListing(listing);
  return whole;
}

// The package folder's entry `name`: its path ends in a separator once the
// copy has begun, and not before (nor in a removal).
std::string InPackage(const platform::Platform& os, const SkinSetupRun& run,
                      const std::string& name) {
  const std::string& folder = run.szCurDir;
  return !folder.empty() && folder.back() == os.Separator()
             ? folder + name
             : InFolder(os, folder, name);
}

// True when neither the skin folder nor the package has an entry named as
// one of slot `slot`'s working folders.
bool SlotIsFree(platform::Platform& os, const SkinSetupRun& run, int slot) {
  for (const std::string& name :
       {KeptFolderName(slot), DiscardFolderName(slot), NewFolderName(slot)}) {
    if (!IsFreeName(os, InFolder(os, run.tmp2, name)) ||
        !IsFreeName(os, InPackage(os, run, name))) {
      return false;
    }
  }
  return true;
}

// Puts the kept file `name` of the working folder `kept` back into the skin
// folder. What stands at its name there, a new file of the run that kept
// it, is set aside into `aside` first (made when needed) and deleted once
// the earlier file is back: Windows refuses to replace a file that someone
// holds, but lets it be renamed. An earlier file that cannot be put back
// stays where it is, for the next run. Returns 0, or the system's error
// when the earlier file stays.
std::uint32_t PutBack(platform::Platform& os, SkinSetupRun& run,
                      const std::string& kept, const std::string& aside,
                      const std::string& name) {
  const std::string target = InFolder(os, run.tmp2, name);
  const std::string set_aside = InFolder(os, aside, name);
  // A name that cannot be looked at may hold anything: the earlier file
  // waits where it is.
  const Look at_target = LookAt(os, target);
  const bool taken = at_target == Look::kPresent;
  const std::string earlier = InFolder(os, kept, name);
  if (at_target == Look::kFailed ||
      (taken &&
       ((LookAt(os, aside) == Look::kAbsent && os.MakeDir(aside) != 0) ||
        !Retrying(os, run,
                  [&] { return os.RenameFile(target, set_aside); })))) {
    const std::uint32_t error = os.LastError();
    LogFailure(os, run, kLogNotPutBack, earlier, error);
    return error;
  }
  const bool back =
      Retrying(os, run, [&] { return os.RenameFile(earlier, target); });
  const std::uint32_t error = back ? 0 : os.LastError();
  if (!back) LogFailure(os, run, kLogNotPutBack, earlier, error);
  // The new file goes once the earlier one is back; otherwise it takes its
  // place again.
  if (taken && !Retrying(os, run, [&] {
        return back ? os.RemoveFile(set_aside)
                    : os.RenameFile(set_aside, target);
      })) {
    LogFailure(os, run, back ? kLogNotDeleted : kLogNotPutBack, set_aside,
               os.LastError());
  }
  return error;
}

}  // namespace

std::string KeptFolderName(int slot) { return SlotName("kept", slot); }

std::string DiscardFolderName(int slot) { return SlotName("discard", slot); }

std::string NewFolderName(int slot) { return SlotName("new", slot); }

std::string InFolder(const platform::Platform& os, const std::string& folder,
                     const std::string& name) {
  return folder + os.Separator() + name;
}

Look LookAt(platform::Platform& os, const std::string& path,
            platform::EntryType* type) {
  const platform::EntryType found = os.QueryEntry(path);
  if (type != nullptr) *type = found;
  if (found != platform::EntryType::kNone) return Look::kPresent;
  return os.IsNotFound(os.LastError()) ? Look::kAbsent : Look::kFailed;
}

bool IsFreeName(platform::Platform& os, const std::string& path) {
  // Windows answers access denied, not "not found", for a name whose file
  // is deleted while another process holds it.
  return LookAt(os, path) == Look::kAbsent;
}

void DiscardFile(platform::Platform& os, SkinSetupRun& run,
                 const std::string& path) {
  if (!Retrying(os, run, [&] { return os.RemoveFile(path); })) {
    LogFailure(os, run, kLogNotDeleted, path, os.LastError());
  }
}

bool IsWorkingFolder(platform::Platform& os, const SkinSetupRun& run,
                     const std::string& folder, bool* failed) {
  platform::EntryType type;
  if (LookAt(os, folder, &type) == Look::kFailed && failed != nullptr) {
    *failed = true;
  }
  if (type != platform::EntryType::kFolder) return false;
  // A package folder that someone named like a working folder, inside the
  // folder being recovered, is what the run copies from.
  platform::FileId id;
  return !(run.bCurDirIdKnown && os.QueryFileId(folder, false, &id) &&
           IsSameKnownFile(id, run.curDirId));
}

bool IsEmptyFolder(platform::Platform& os, const std::string& folder) {
  std::string name;
  platform::Listing listing = os.OpenListing(InFolder(os, folder, "*"), &name);
  if (listing == nullptr) return false;
  bool empty = true;
  do {
    empty = empty && (name == "." || name == "..");
  } while (empty && os.NextEntry(listing, &name));
  // Not known to be empty: a listing cut short.
  empty = empty && os.LastError() == 0;
  os.CloseListing(listing);
  return empty;
}

bool DeleteFolder(platform::Platform& os, SkinSetupRun& run,
                  const std::string& folder) {
  // A name that cannot be looked at may still hold a working folder.
  bool failed = false;
  if (!IsWorkingFolder(os, run, folder, &failed)) return !failed;
  return ForEachEntry(os, folder,
                      [&](const std::string& name) {
                        DiscardFile(os, run, InFolder(os, folder, name));
                      }) &&
         RemoveFolder(os, run, folder);
}

bool RecoverInterruptedRun(platform::Platform& os, SkinSetupRun& run,
                           std::uint32_t* error) {
  // A discard folder says that its run's new installation (or removal) was
  // complete: the files of that slot's working folder are earlier ones too,
  // no longer needed. It goes last, so that it says so until they are
  // gone. A name that cannot be looked at may be a run's working folder,
  // and nothing is decided without it.
  bool discarded[kWorkingSlots] = {};
  bool any_discarded = false;
  bool failed = false;
  for (int slot = 0; slot < kWorkingSlots; ++slot) {
    const std::string discard = InFolder(os, run.tmp2, DiscardFolderName(slot));
    if (!IsWorkingFolder(os, run, discard, &failed)) {
      if (failed) return *error = os.LastError(), false;
      continue;
    }
    discarded[slot] = any_discarded = true;
    if (DeleteFolder(os, run, InFolder(os, run.tmp2, KeptFolderName(slot)))) {
      DeleteFolder(os, run, discard);
    }
  }
  // A later slot was made while an earlier one could not be emptied: the
  // earlier one holds the older files, which go back last. New files set
  // aside by a rollback that was cut off go in any case.
  for (int slot = kWorkingSlots - 1; slot >= 0; --slot) {
    const std::string kept = InFolder(os, run.tmp2, KeptFolderName(slot));
    const std::string aside = InFolder(os, run.tmp2, NewFolderName(slot));
    std::uint32_t stuck = 0;
    if (!discarded[slot] && IsWorkingFolder(os, run, kept, &failed)) {
      // Files that no walk found cannot be put back, and an earlier file
      // that could not go back leaves the skin in part: the run goes no
      // further, and the next one tries again.
      if (!ForEachEntry(os, kept,
                        [&](const std::string& name) {
                          const std::uint32_t put =
                              PutBack(os, run, kept, aside, name);
                          if (stuck == 0) stuck = put;
                        }) ||
          !RemoveFolder(os, run, kept)) {
        if (stuck == 0) stuck = os.LastError();
      }
    }
    if (failed) return *error = os.LastError(), false;
    DeleteFolder(os, run, aside);
    if (stuck != 0) return *error = stuck, false;
  }
  // A removal stopped after its moment of no return leaves the skin folder
  // it emptied: it is finished here. A reinstall's leaves the new files.
  if (any_discarded && IsEmptyFolder(os, run.tmp2)) {
    RemoveFolder(os, run, run.tmp2);
  }
  return true;
}

bool KeepFile(platform::Platform& os, SkinSetupRun& run,
              const std::string& name, bool* absent, std::uint32_t* error) {
  const std::string path = InFolder(os, run.tmp2, name);
  *absent = false;
  if (run.kept.empty()) {
    // Until there is a working folder, a look tells whether anything is
    // there to keep: a skin folder that holds none of the package's names
    // gets none. Then the first free slot: nothing of its names is there,
    // so the folder the run makes is its own. With none free (a package
    // that holds them all), the first slot is tried, and its making or the
    // copy of the package file of that name fails: the run is then rolled
    // back.
    const Look look = LookAt(os, path);
    if (look != Look::kPresent) {
      *absent = look == Look::kAbsent;
      *error = os.LastError();
      return *absent;
    }
    int slot = 0;
    while (slot < kWorkingSlots && !SlotIsFree(os, run, slot)) ++slot;
    if (slot == kWorkingSlots) slot = 0;
    run.szKeptDir = InFolder(os, run.tmp2, KeptFolderName(slot));
    run.szDiscardDir = InFolder(os, run.tmp2, DiscardFolderName(slot));
    run.szAsideDir = InFolder(os, run.tmp2, NewFolderName(slot));
    if (os.MakeDir(run.szKeptDir) != 0) {
      *error = os.LastError();
      return false;
    }
  }
  // Once the working folder is there, the move itself tells whether there
  // was anything to keep.
  if (!Retrying(os, run, [&] {
        return os.RenameFile(path, InFolder(os, run.szKeptDir, name));
      })) {
    *error = os.LastError();
    *absent = os.IsNotFound(*error);
    // The working folder is not left behind for nothing.
    if (run.kept.empty()) os.RemoveDir(run.szKeptDir);
    return *absent;
  }
  run.kept.push_back(name);
  return true;
}

void RestoreKeptFiles(platform::Platform& os, SkinSetupRun& run) {
  if (run.kept.empty()) return;
  for (const std::string& name : run.kept) {
    PutBack(os, run, run.szKeptDir, run.szAsideDir, name);
  }
  RemoveFolder(os, run, run.szKeptDir);
  if (os.QueryEntry(run.szAsideDir) == platform::EntryType::kFolder) {
    RemoveFolder(os, run, run.szAsideDir);
  }
}

bool DiscardKeptFiles(platform::Platform& os, SkinSetupRun& run) {
  if (run.kept.empty()) return true;
  // From this moment on, an interrupted run's earlier files are to be
  // deleted, not put back. The working folder renamed to the discard folder
  // says so; while another process holds a file in it, Windows refuses to
  // rename it, and the discard folder made beside it says so instead.
  // Nothing is deleted before that is on the disk: until then, a power cut
  // would leave the earlier files to be put back over the new ones.
  std::string folder = run.szDiscardDir;
  if (!Retrying(
          os, run,
          [&] { return os.RenameFolder(run.szKeptDir, run.szDiscardDir); },
          RetryOn::kHeld)) {
    // Only a folder that others hold is marked from beside: a working
    // folder that is no longer the one of its name (another process moved
    // it away) marks nothing, and the earlier files go back.
    const std::uint32_t error = os.LastError();
    if (!os.IsSharingError(error) && !os.IsAccessDenied(error)) return false;
    folder = run.szKeptDir;
    // Nothing says so: the earlier files are still the ones to put back.
    if (os.MakeDir(run.szDiscardDir) != 0) return false;
  }
  if (!Retrying(os, run, [&] { return os.SyncFolder(run.tmp2); })) return true;
  for (const std::string& name : run.kept) {
    DiscardFile(os, run, InFolder(os, folder, name));
  }
  // The discard folder goes only once nothing is left to discard.
  if (RemoveFolder(os, run, folder)) RemoveFolder(os, run, run.szDiscardDir);
  return true;
}

}  // namespace skinsetup
