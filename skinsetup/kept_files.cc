#include "skinsetup/kept_files.h"

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

}  // namespace

std::string KeptFolderName(int slot) { return SlotName("kept", slot); }

std::string DiscardFolderName(int slot) { return SlotName("discard", slot); }

void RecoverInterruptedRun(platform::Platform& os, SkinSetupRun& run) {
  for (int slot = 0; slot < kWorkingSlots; ++slot) {
    const std::string discard = InFolder(os, run.tmp2, DiscardFolderName(slot));
    ForEachEntry(os, discard, [&](const std::string& name) {
      os.RemoveFile(InFolder(os, discard, name));
    });
    if (os.QueryEntry(discard) == platform::EntryType::kFolder) {
      os.RemoveDir(discard);
    }
  }
  // A later slot was made while an earlier one could not be emptied: the
  // earlier one holds the older files, which go back last.
  for (int slot = kWorkingSlots - 1; slot >= 0; --slot) {
    const std::string kept = InFolder(os, run.tmp2, KeptFolderName(slot));
    ForEachEntry(os, kept, [&](const std::string& name) {
      os.RenameFile(InFolder(os, kept, name), InFolder(os, run.tmp2, name),
                    true);
    });
    if (os.QueryEntry(kept) == platform::EntryType::kFolder) {
      os.RemoveDir(kept);
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
  if (!os.RenameFile(InFolder(os, run.tmp2, name),
                     InFolder(os, run.szKeptDir, name), false)) {
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
  for (const std::string& name : run.kept) {
    os.RenameFile(InFolder(os, run.szKeptDir, name),
                  InFolder(os, run.tmp2, name), true);
  }
  os.RemoveDir(run.szKeptDir);
}

void DiscardKeptFiles(platform::Platform& os, SkinSetupRun& run) {
  if (run.kept.empty()) return;
  // From this rename on, an interrupted run's earlier files are to be
  // deleted, not put back.
  const std::string& folder = os.RenameFolder(run.szKeptDir, run.szDiscardDir)
                                  ? run.szDiscardDir
                                  : run.szKeptDir;
  for (const std::string& name : run.kept) {
    os.RemoveFile(InFolder(os, folder, name));
  }
  os.RemoveDir(folder);
}

}  // namespace skinsetup
