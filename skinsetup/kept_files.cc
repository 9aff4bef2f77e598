#include "skinsetup/kept_files.h"

namespace skinsetup {
namespace {

std::string InFolder(const platform::Platform& os, const std::string& folder,
                     const std::string& name) {
  return folder + os.Separator() + name;
}

// Calls `action` with the name of every entry of `folder` but "." and "..".
template <typename Action>
void ForEachFile(platform::Platform& os, const std::string& folder,
                 Action action) {
  std::string name;
  platform::Listing listing = os.OpenListing(InFolder(os, folder, "*"), &name);
  if (listing == nullptr) return;
  do {
    if (name != "." && name != "..") action(name);
  } while (os.NextEntry(listing, &name));
  os.CloseListing(listing);
}

}  // namespace

std::string KeptFolder(const platform::Platform& os, const SkinSetupRun& run) {
  return InFolder(os, run.tmp2, kKeptFolderName);
}

void RecoverInterruptedRun(platform::Platform& os, SkinSetupRun& run) {
  const std::string discard = InFolder(os, run.tmp2, kDiscardFolderName);
  if (os.Stat(discard) == 0) {
    ForEachFile(os, discard, [&](const std::string& name) {
      os.RemoveFile(InFolder(os, discard, name));
    });
    os.RemoveDir(discard);
  }
  const std::string folder = KeptFolder(os, run);
  if (os.Stat(folder) != 0) return;
  ForEachFile(os, folder, [&](const std::string& name) {
    os.RenameFile(InFolder(os, folder, name), InFolder(os, run.tmp2, name));
  });
  os.RemoveDir(folder);
}

bool KeepFile(platform::Platform& os, SkinSetupRun& run,
              const std::string& name, std::uint32_t* error) {
  const std::string folder = KeptFolder(os, run);
  if (run.kept.empty()) os.MakeDir(folder);
  if (!os.RenameFile(InFolder(os, run.tmp2, name),
                     InFolder(os, folder, name))) {
    *error = os.LastError();
    // The working folder is not left behind for nothing.
    if (run.kept.empty()) os.RemoveDir(folder);
    return false;
  }
  run.kept.push_back(name);
  return true;
}

void RestoreKeptFiles(platform::Platform& os, SkinSetupRun& run) {
  if (run.kept.empty()) return;
  const std::string folder = KeptFolder(os, run);
  for (const std::string& name : run.kept) {
    os.RenameFile(InFolder(os, folder, name), InFolder(os, run.tmp2, name));
  }
  os.RemoveDir(folder);
}

void DiscardKeptFiles(platform::Platform& os, SkinSetupRun& run) {
  if (run.kept.empty()) return;
  const std::string kept = KeptFolder(os, run);
  const std::string discard = InFolder(os, run.tmp2, kDiscardFolderName);
  // From this rename on, an interrupted run's earlier files are to be
  // deleted, not put back.
  const std::string& folder = os.RenameFolder(kept, discard) ? discard : kept;
  for (const std::string& name : run.kept) {
    os.RemoveFile(InFolder(os, folder, name));
  }
  os.RemoveDir(folder);
}

}  // namespace skinsetup
