// Files that another process holds for a moment. Virus scanners, the
// indexer, previews and sync clients open freshly written or moved files
// briefly; meanwhile Windows refuses to rename or delete them, or to open
// them without sharing, and keeps the name of a deleted one until they let
// go. The installer's renames, deletes and exclusive opens therefore try
// again for a while before the run goes on as if they had failed.

#ifndef SKINSETUP_SKINSETUP_RETRY_H_
#define SKINSETUP_SKINSETUP_RETRY_H_

#include "platform/platform.h"

namespace skinsetup {

// How long an operation is tried again in all, and the pause between tries.
inline constexpr unsigned kRetryBudgetMs = 2000;
inline constexpr unsigned kRetryPauseMs = 100;

// Calls `attempt` until it returns true, again after each pause while the
// system reports a sharing error (with `any_error`, after any failure: a
// folder keeps a deleted file's name while it is held, and is not empty
// until then), for at most kRetryBudgetMs. Returns the last result; the
// system's last error stays that of the last attempt.
template <typename Attempt>
bool Retrying(platform::Platform& os, Attempt attempt, bool any_error = false) {
  for (unsigned waited = 0;; waited += kRetryPauseMs) {
    if (attempt()) return true;
    if (waited >= kRetryBudgetMs ||
        !(any_error || os.IsSharingError(os.LastError()))) {
      return false;
    }
    os.Pause(kRetryPauseMs);
  }
}

// Removes the empty folder `path`, waiting for what others still hold in
// it. Returns true when nothing is left there.
inline bool RemoveFolder(platform::Platform& os, const std::string& path) {
  return Retrying(
      os,
      [&] {
        return os.RemoveDir(path) == 0 ||
               os.QueryEntry(path) == platform::EntryType::kNone;
      },
      true);
}

}  // namespace skinsetup

#endif  // SKINSETUP_SKINSETUP_RETRY_H_
