// The run driver: takes the skin name and the invocation name, then walks
// the phases in their fixed order. Reaches the system only through
// platform.h, and through the phases it calls.

#include "skinsetup/boxes.h"
#include "skinsetup/client_location.h"
#include "skinsetup/copy.h"
#include "skinsetup/file_identity.h"
#include "skinsetup/free_space.h"
#include "skinsetup/help.h"
#include "skinsetup/messages.h"
#include "skinsetup/package_check.h"
#include "skinsetup/removal.h"
#include "skinsetup/scan.h"
#include "skinsetup/session.h"
#include "skinsetup/skin_name.h"
#include "skinsetup/skinsetup.h"
#include "skinsetup/switches.h"

namespace skinsetup {
namespace {

// The code of "Impossibile installare la skin" for an empty or unacceptable
// skin name.
constexpr int kBadSkinName = 0;

}  // namespace

int WinMain(platform::Platform& os, void* /*hInstance*/,
            void* /*hPrevInstance*/, const char* lpCmdLine, int /*nShowCmd*/) {
  // The map stream lives for the whole process: failure paths leave it open
  // for the process end to close.
  static platform::Stream pfCfg = nullptr;

  SkinSetupRun run;
  const std::string tail = lpCmdLine != nullptr ? lpCmdLine : "";
  // A tail with a switch the installer does not know is refused as a bad
  // skin name is; a valid /LOG among its switches says so, with the whole
  // command line, for whoever reads why a deployment failed. A log that
  // cannot be opened refuses the run too, so that no unattended run goes
  // unrecorded.
  const bool known = SplitCommandTail(tail, &run.switches, &run.szSkinName);
  // Nor may the system's own boxes (a drive without its disk) wait for
  // someone who is not there.
  if (run.switches.bSilent) os.SuppressSystemBoxes();
  const bool logged = !run.switches.bLog || OpenRunLog(os, run);
  LogStep(os, run, kLogStart, tail);
  if (!known) LogStep(os, run, kLogRefused, os.InvocationName() + ' ' + tail);
  if (!known || !logged) FailAndExit(os, run, kCannotInstall, kBadSkinName);
  if (run.switches.bHelp) return ShowHelp(os, run);

  // The name the installer was started under, with the suffix where it
  // was typed without, is what it shows; where the system cannot tell
  // files apart, it is also how it knows its own file in the package.
  run.szExeName = os.InvocationName();
  if (run.szExeName.find(os.ExeSuffix()) == std::string::npos) {
    run.szExeName += os.ExeSuffix();
  }
  // A check needs no skin's name, and reports one it cannot take.
  if (!run.switches.bCheck && !IsAcceptableSkinName(run.szSkinName)) {
    FailAndExit(os, run, kCannotInstall, kBadSkinName);
  }
  // Elsewhere it knows its own file by what it is, however it was started:
  // by a full path, in another case, without ".\" (RoleOf).
  run.bProgramIdKnown = os.ProgramFileId(&run.programId) &&
                        IsSameKnownFile(run.programId, run.programId);
  if (run.switches.bCheck) return CheckPackage(os, run);
  ShowTrace(os, run, run.szExeName, kTraceExeName);
  ShowTrace(os, run, run.szSkinName, kTraceSkinName);
  if (run.switches.bUninstall) return RemoveSkin(os, run);

  LocateClient(os, run);
  ProbeFreeSpace(os, run);
  TestSkinsFolder(os, run);
  ScanPackage(os, run, &pfCfg);
  return CopyPackage(os, run);
}

}  // namespace skinsetup
