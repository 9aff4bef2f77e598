// The skin installer: one run, from the command tail to the installed skin.
// The run record and the entry; the logic reaches the system only through
// platform.h.
//
// WinMain walks the phases in a fixed order: client_location.h,
// free_space.h, scan.h (which calls compat_map.h), copy.h (which ends in
// rollback.h when a copy failed). Every phase either completes or ends the
// process itself through FailAndExit (boxes.h); no failure is returned up
// the call chain.

#ifndef SKINSETUP_SKINSETUP_SKINSETUP_H_
#define SKINSETUP_SKINSETUP_SKINSETUP_H_

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "skinsetup/switches.h"

namespace skinsetup {

// Everything one run knows. Paths are held in full, whatever their length,
// so no composed path can overrun its field; the system refuses a path it
// cannot handle when the path is used.
struct SkinSetupRun {
  Switches switches;                 // Those before the skin's name.
  platform::Log log = nullptr;       // Where /LOG writes,
  platform::FileId logId{};          // and what file that is,
  bool bLogIdKnown = false;          // where the system can tell,
  std::set<std::string> logEntries;  // and its names in the package.
  bool bLogCreated = false;          // Whether the run made it,
  bool bLogHeldBack = false;         // and whether its lines wait, in
  std::string szLogHeldBack;     // here, until it is known to be no skin file.
  std::string szOutcome;         // The failure shown last, for the log.
  std::string szSkinName;        // The command tail after the switches.
  std::string szExeName;         // The invocation name, with the suffix rule.
  platform::FileId programId{};  // The running program's own file,
  bool bProgramIdKnown = false;  // where the system can tell,
  std::set<std::string> programEntries;  // and its names in the package.
  std::string szValue;   // Install directory, then Skins, then skin folder.
  std::string szRoot;    // Whose volume's free space counts: the Skins folder.
  std::string szCurDir;  // The package folder.
  std::string szFindPattern;  // Listing pattern of the scan.
  std::string lpFileName;     // Full path of the entry being scanned.
  std::string szRelName;      // ".\" + entry name, compared with szExeName.
  float FreeSpace = 0.0f;     // Free bytes where the Skins folder is.
  float mem_nec = 0.0f;       // Bytes the package needs.
  std::int32_t nCompatMin = -1;
  std::int32_t nCompatMax = -1;
  std::uint32_t dwClientRevision = 0;
  bool bMapFound = false;
  bool bCreateSkins = false;
  bool bCopyOk = true;
  std::string tmp2;        // The skin folder, base of every destination.
  std::string tmp4;        // Copy pattern, then each source path.
  std::string szDestFile;  // Destination of the file being copied.

  // What the copy did to the skin folder, so that a failed run can leave it
  // as it was: whether the run created the folder (a first installation
  // is made in a working folder in Skins, tmp2, and renamed into place
  // once whole), the files it created where nothing stood, and the names
  // whose earlier entry it kept aside.
  std::string szSkinsDir;
  bool bSkinDirCreated = false;
  std::uint32_t dwSkinDirError = 0;  // Why no copy can go into it.
  std::set<std::string> created;
  std::vector<std::string> kept;
  std::string szKeptDir;          // This run's working folder for kept files,
  std::string szDiscardDir;       // the name it takes once they are discarded,
  std::string szAsideDir;         // and where a rollback sets new files aside.
  platform::Lock lock = nullptr;  // The Skins folder's, while the run holds it.
  platform::FileId curDirId{};    // The package folder, which no recovery
  bool bCurDirIdKnown = false;    // of working folders ever touches.
  bool bSkinIsPackage = false;    // The skin folder is the package folder.
  unsigned dwRetryWaitedMs = 0;   // What the run has waited for held files.
};

// The installer's entry. Only the command tail is used; the invocation name
// comes from the platform's argument vector. Returns the process status.
// An empty or unacceptable skin name ends the run at once: "Impossibile
// installare la skin" with code 0.
int WinMain(platform::Platform& os, void* hInstance, void* hPrevInstance,
            const char* lpCmdLine, int nShowCmd);

}  // namespace skinsetup

#endif  // SKINSETUP_SKINSETUP_SKINSETUP_H_
