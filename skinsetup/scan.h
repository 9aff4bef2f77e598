// The package scan: one walk of the package folder.

#ifndef SKINSETUP_SKINSETUP_SCAN_H_
#define SKINSETUP_SKINSETUP_SCAN_H_

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

// The names of the package folder's (run.szCurDir's) entries that an
// installation counts: neither "." nor "..", the installer itself or the
// run's log. Returns false when the folder cannot be listed.
bool ListPackage(platform::Platform& os, SkinSetupRun& run,
                 std::vector<std::string>* names);

// True for the entries that are never counted nor copied: the installer's
// own file (`rel_name`, "." and the separator and the entry's `name`,
// equals `exe_name`, the name it was started under) and "." and "..".
bool IsInstallerOrDots(const std::string& rel_name, const std::string& exe_name,
                       const std::string& name);

}  // namespace skinsetup

#endif  // SKINSETUP_SKINSETUP_SCAN_H_
