// The walks of the package folder: the scan of an installation, and the
// one rule of what each entry is, for the copy, the removal and the check.
// Reads through platform.h, and writes nothing itself.

#ifndef SKINSETUP_SKINSETUP_SCAN_H_
#define SKINSETUP_SKINSETUP_SCAN_H_

#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "skinsetup/skinsetup.h"

namespace skinsetup {

// Counts the bytes of every package file into run.mem_nec, has the
// compatibility map processed when the walk meets it (into *pfCfg), or ends
// the run: "Impossibile installare la skin" with code 8 (a file that cannot
// be opened), 9 (its size cannot be read) or 10 (no map).
void ScanPackage(platform::Platform& os, SkinSetupRun& run,
                 platform::Stream* pfCfg);

// Opens a listing of the package folder with `pattern` (its path, the
// separator and "*"), as the platform's OpenListing does. Returns nullptr
// also when the path is empty, a current folder that could not be read.
platform::Listing OpenPackageListing(platform::Platform& os,
                                     const std::string& pattern,
                                     std::string* name);

// What an entry of the package folder is to a run: one rule for the scan,
// the copy, the removal and the check.
enum class EntryRole {
  kDots,       // "." or "..".
  kInstaller,  // The running program's own file, however it was started.
  kLog,        // The run's log, under any of its names.
  kPackage,    // A package file: counted, copied, removed, checked.
};

// The role of the package folder's entry `name`, at `path`. The installer
// knows its own file, and the log, by identity, a link to either too: one
// look at the entry tells both. Where the system cannot tell identities (a
// redirector that reports none), the installer's file is the one that
// "." and the separator and `name` name as run.szExeName does, the name
// it was started under.
EntryRole RoleOf(platform::Platform& os, const SkinSetupRun& run,
                 const std::string& path, const std::string& name);

// Calls `visit` with the name of each entry of the package folder
// (run.szCurDir) that an installation counts, a package file, in the
// listing's order. Returns false when the folder cannot be listed, or its
// listing fails before its end.
bool ForEachPackageFile(platform::Platform& os, SkinSetupRun& run,
                        const std::function<void(const std::string&)>& visit);

// Puts the names of the package files into `*names`, in the order that
// ForEachPackageFile visits them. Returns false where that does.
bool ListPackage(platform::Platform& os, SkinSetupRun& run,
                 std::vector<std::string>* names);

}  // namespace skinsetup

#endif  // SKINSETUP_SKINSETUP_SCAN_H_
