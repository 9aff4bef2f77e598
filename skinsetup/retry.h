// Waiting for files that another process holds for a moment: how long an
// operation is tried again, and the removal of a folder that waits so.
// Reaches the system only through platform.h.
//
// Virus scanners, the indexer, previews and sync clients open freshly
// written or moved files briefly; meanwhile Windows refuses to rename or
// delete them, or to open them without sharing, and keeps the name of a
// deleted one until they let go. The installer's renames, deletes and
// exclusive opens therefore try again for a while before the run goes on
// as if they had failed.
//
// Access denied is tried again only where it is plausibly such a moment:
// a name that this run, or the last installer, has just deleted, or a
// folder that holds files just written. Elsewhere it is for good (a
// folder that Controlled Folder Access protects answers every write so),
// and waiting would only make the user wait. However often the run meets
// such moments, it waits kRunRetryBudgetMs in all.

#ifndef SKINSETUP_SKINSETUP_RETRY_H_
#define SKINSETUP_SKINSETUP_RETRY_H_

#include "platform/platform.h"
#include "skinsetup/skinsetup.h"

namespace skinsetup {

// How long one operation is tried again, the pause between tries, and how
// long the whole run may wait so.
inline constexpr unsigned kRetryBudgetMs = 2000;
inline constexpr unsigned kRetryPauseMs = 100;
inline constexpr unsigned kRunRetryBudgetMs = 10000;

// Which failures are worth another try.
enum class RetryOn {
  kSharing,   // Only a sharing violation: another process has the file open.
  kHeld,      // Also access denied: a name just deleted, a file just written.
  kAnyError,  // Any: a folder keeps a deleted file's name while it is held,
              // and is not empty until then.
};

// Calls `attempt` until it returns true, again after each pause while the
// failure is one that `on` names, for at most `budget_ms`, and no longer
// than the run's budget has left. Returns the last result; the system's
// last error stays that of the last attempt.
template <typename Attempt>
bool Retrying(platform::Platform& os, SkinSetupRun& run, Attempt attempt,
              RetryOn on = RetryOn::kSharing,
              unsigned budget_ms = kRetryBudgetMs) {
  for (unsigned waited = 0;; waited += kRetryPauseMs) {
    if (attempt()) return true;
    const std::uint32_t error = os.LastError();
    const bool again = on == RetryOn::kAnyError || os.IsSharingError(error) ||
                       (on == RetryOn::kHeld && os.IsAccessDenied(error));
    if (!again || waited >= budget_ms ||
        run.dwRetryWaitedMs >= kRunRetryBudgetMs) {
      return false;
    }
    os.Pause(kRetryPauseMs);
    run.dwRetryWaitedMs += kRetryPauseMs;
  }
}

// Removes the empty folder `path`, waiting for what others still hold in
// it. Returns true when nothing is left there.
inline bool RemoveFolder(platform::Platform& os, SkinSetupRun& run,
                         const std::string& path) {
  return Retrying(
      os, run,
      [&] {
        return os.RemoveDir(path) == 0 ||
               (os.QueryEntry(path) == platform::EntryType::kNone &&
                os.IsNotFound(os.LastError()));
      },
      RetryOn::kAnyError);
}

}  // namespace skinsetup

#endif  // SKINSETUP_SKINSETUP_RETRY_H_
