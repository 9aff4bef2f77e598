// The boxes a run shows and the ends that show one (boxes.h): each box
// reaches the user through session.h, the system through platform.h.

#include "skinsetup/boxes.h"

#include "skinsetup/messages.h"
#include "skinsetup/session.h"

namespace skinsetup {
namespace {

// The trace boxes are a build-time switch (the SKINSETUP_TRACE option);
// the delivered build has them off.
#ifndef SKINSETUP_TRACE
#define SKINSETUP_TRACE 0
#endif
constexpr bool bTrace = SKINSETUP_TRACE != 0;

}  // namespace

int ShowBox(platform::Platform& os, SkinSetupRun& run, const std::string& text,
            const char* caption, unsigned type) {
  return ShowSystemText(os, run, Utf8FromCatalogue(text), caption, type);
}

int ShowSystemText(platform::Platform& os, SkinSetupRun& run,
                   const std::string& text, const char* caption,
                   unsigned type) {
  return Converse(os, run, text, Utf8FromCatalogue(caption), type);
}

void ShowCopyError(platform::Platform& os, SkinSetupRun& run,
                   std::uint32_t error) {
  ShowSystemText(os, run, SystemReason(os, error), kCopyErrorCaption,
                 platform::kBoxOkInformation);
}

void ShowTrace(platform::Platform& os, SkinSetupRun& run,
               const std::string& text, const char* caption) {
  if (bTrace) ShowSystemText(os, run, text, caption, platform::kBoxOk);
}

void ShowFailure(platform::Platform& os, SkinSetupRun& run, const char* text,
                 int code) {
  run.szOutcome = FormatFailure(text, code);
  // The run changes nothing more: other installers need not wait for the
  // user to read why.
  ReleaseSkinsLock(os, run);
  ShowBox(os, run, run.szOutcome, kProgramTitle, platform::kBoxOk);
}

void FailAndExit(platform::Platform& os, SkinSetupRun& run, const char* text,
                 int code) {
  ShowFailure(os, run, text, code);
  ExitFailed(os, run);
}

int FinishInstalled(platform::Platform& os, SkinSetupRun& run,
                    const char* text) {
  // The skin is in place: other installers need not wait for the user.
  ReleaseSkinsLock(os, run);
  const int answer = ShowBox(os, run, text, kProgramTitle, platform::kBoxOk);
  return Finish(os, run, Utf8FromCatalogue(text),
                run.switches.bSilent ? kExitInstalled : answer);
}

}  // namespace skinsetup
