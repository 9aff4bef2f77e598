#include "skinsetup/kept_files.h"

#include "skinsetup/retry.h"
#include "skinsetup/skin_name.h"

namespace skinsetup {
namespace {

std::string InFolder(const platform::Platform& os, const std::string& folder,
                     const std::string& name) {
  return folder + os.Separator() + name;
}

std::string SlotName(const char* base, int slot) {
  return std::string(kWorkingPrefix) + base +
         (slot == 0 ? "" : "-" + std::to_string(slot));
}

// Calls `action` with the name of every entry of `folder` but "." and "..",
// for a real folder only: never through a link.
template <typename Action>
void ForEachEntry(platform::Platform& os, const std::string& folder,
                  Action action) {
  if (os.QueryEntry(folder) != platform::EntryType::kFolder) return;
  std::string name;
  platform::Listing listing = os.OpenListing(InFolder(os, folder, "*"), &name);
  if (listing == nullptr) return;
  do {
    if (name != "." && name != "..") action(name);
  } while (os.NextEntry(listing, &name));
  os.CloseListing(listing);
}

// True when neither the skin folder nor the package has an entry named as
// one of slot `slot`'s working folders.
bool SlotIsFree(platform::Platform& os, const SkinSetupRun& run, int slot) {
  for (const std::string& name :
       {KeptFolderName(slot), DiscardFolderName(slot)}) {
    if (os.QueryEntry(InFolder(os, run.tmp2, name)) !=
            platform::EntryType::kNone ||
        os.QueryEntry(run.szCurDir + name) != platform::EntryType::kNone) {
      return false;
    }
  }
  return true;
}

// Deletes the files of `folder`, if it is a real folder, then the folder.
// Returns true when it is gone.
bool DeleteFolder(platform::Platform& os, const std::string& folder) {
  ForEachEntry(os, folder, [&](const std::string& name) {
    Retrying(os, [&] { return os.RemoveFile(InFolder(os, folder, name)); });
  });
  return os.QueryEntry(folder) != platform::EntryType::kFolder ||
         RemoveFolder(os, folder);
}

}  // namespace

std::string KeptFolderName(int slot) { return SlotName("kept", slot); }

std::string DiscardFolderName(int slot) { return SlotName("discard", slot); }

void RecoverInterruptedRun(platform::Platform& os, SkinSetupRun& run) {
  // A discard folder says that its run's new installation was complete:
  // the files of that slot's working folder are earlier ones too, no longer
  // needed. It goes last, so that it says so until they are gone.
  bool discarded[kWorkingSlots] = {};
  for (int slot = 0; slot < kWorkingSlots; ++slot) {
    const std::string discard = InFolder(os, run.tmp2, DiscardFolderName(slot));
    if (os.QueryEntry(discard) != platform::EntryType::kFolder) continue;
    discarded[slot] = true;
    if (DeleteFolder(os, InFolder(os, run.tmp2, KeptFolderName(slot)))) {
      DeleteFolder(os, discard);
    }
  }
  // A later slot was made while an earlier one could not be emptied: the
  // earlier one holds the older files, which go back last.
  for (int slot = kWorkingSlots - 1; slot >= 0; --slot) {
    if (discarded[slot]) continue;
    const std::string kept = InFolder(os, run.tmp2, KeptFolderName(slot));
    ForEachEntry(os, kept, [&](const std::string& name) {
      Retrying(os, [&] {
        return os.RenameFile(InFolder(os, kept, name),
                             InFolder(os, run.tmp2, name), true);
      });
    });
    if (os.QueryEntry(kept) == platform::EntryType::kFolder) {
      RemoveFolder(os, kept);
    }
  }
}

bool KeepFile(platform::Platform& os, SkinSetupRun& run,
              const std::string& name, std::uint32_t* error) {
  if (run.kept.empty()) {
    // The first free slot: nothing of its names is there, so the folder the
    // run makes is its own. With none free (a package that holds them all),
    // the first slot is tried, and its making or the copy of the package
    // file of that name fails: the run is then rolled back.
    int slot = 0;
    while (slot < kWorkingSlots && !SlotIsFree(os, run, slot)) ++slot;
    if (slot == kWorkingSlots) slot = 0;
    run.szKeptDir = InFolder(os, run.tmp2, KeptFolderName(slot));
    run.szDiscardDir = InFolder(os, run.tmp2, DiscardFolderName(slot));
    if (os.MakeDir(run.szKeptDir) != 0) {
      *error = os.LastError();
      return false;
    }
  }
  if (!Retrying(os, [&] {
        return os.RenameFile(InFolder(os, run.tmp2, name),
                             InFolder(os, run.szKeptDir, name), false);
      })) {
    *error = os.LastError();
    // The working folder is not left behind for nothing.
    if (run.kept.empty()) os.RemoveDir(run.szKeptDir);
    return false;
  }
  run.kept.push_back(name);
  return true;
}

void RestoreKeptFiles(platform::Platform& os, SkinSetupRun& run) {
  if (run.kept.empty()) return;
  // One replacing rename puts each earlier file back over the new one: a
  // new file deleted first might keep its name for as long as another
  // process holds it, and the earlier file could not take its place.
  for (const std::string& name : run.kept) {
    Retrying(os, [&] {
      return os.RenameFile(InFolder(os, run.szKeptDir, name),
                           InFolder(os, run.tmp2, name), true);
    });
  }
  RemoveFolder(os, run.szKeptDir);
}

void DiscardKeptFiles(platform::Platform& os, SkinSetupRun& run) {
  if (run.kept.empty()) return;
  // From this moment on, an interrupted run's earlier files are to be
  // deleted, not put back. The working folder renamed to the discard folder
  // says so; while another process holds a file in it, Windows refuses to
  // rename it, and the discard folder made beside it says so instead.
  std::string folder = run.szDiscardDir;
  if (!Retrying(os, [&] {
        return os.RenameFolder(run.szKeptDir, run.szDiscardDir);
      })) {
    // On the disk before anything is deleted, as the rename would be.
    if (os.MakeDir(run.szDiscardDir) == 0) os.SyncFolder(run.tmp2);
    folder = run.szKeptDir;
  }
  for (const std::string& name : run.kept) {
    Retrying(os, [&] { return os.RemoveFile(InFolder(os, folder, name)); });
  }
  // The discard folder goes only once nothing is left to discard.
  if (RemoveFolder(os, folder)) RemoveFolder(os, run.szDiscardDir);
}

}  // namespace skinsetup
