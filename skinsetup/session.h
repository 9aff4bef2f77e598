// How the run talks to whoever started it, and how it ends: each box is
// shown, or answered by the switches, and written to the log of /LOG; the
// exit status is today's for a run with a user, and the one deployment
// tools read for an unattended run (/S). Reaches the system only through
// platform.h, and writes only the log.

#ifndef SKINSETUP_SKINSETUP_SESSION_H_
#define SKINSETUP_SKINSETUP_SESSION_H_

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "skinsetup/skinsetup.h"

namespace skinsetup {

// The exit statuses of an unattended run, as Windows Installer gives them.
inline constexpr int kExitInstalled = 0;
inline constexpr int kExitDeclined =
    1602;                                 // The skin was there: not /OVERWRITE.
inline constexpr int kExitFailed = 1603;  // Any failure; the log says which.
inline constexpr int kExitBusy = 1618;    // Another installer: try later.
inline constexpr int kExitNotInstalled = 1605;  // No such skin to remove.

// `text` with each %NAME% of a variable of the environment replaced by its
// value, as the command prompt expands a command line; any other % stays.
std::string ExpandVariables(platform::Platform& os, const std::string& text);

// Opens the log that /LOG names, its variables expanded and its path made
// whole, or the standard output for "-", and notes its identity. Returns false
// when it cannot be opened.
bool OpenRunLog(platform::Platform& os, SkinSetupRun& run);

// True when the run's log lies inside `folder`, at any depth.
bool IsLogInside(platform::Platform& os, const SkinSetupRun& run,
                 const std::string& folder);

// True when the run's log is the Skins folder (run.szSkinsDir), or lies in
// it, at any depth, under the skin's name or one of the names the
// installer keeps for itself (its lock, its working folders): the run would
// take it for the skin, lock it, or delete it.
bool IsLogInTheWay(platform::Platform& os, const SkinSetupRun& run);

// The log's lines wait from its opening until the run knows that it is no
// file of the skin folder. Writes the lines that waited, and from then on
// the log is written as each step comes.
void ReleaseLog(platform::Platform& os, SkinSetupRun& run);

// Refuses the log whose lines still wait: closes it unwritten, and deletes
// it if the run made it.
void RefuseLog(platform::Platform& os, SkinSetupRun& run);

// Appends a step's line to the log, if there is one: `step`, a catalogue
// text, then `detail`, a text the system gave (a path, a name).
void LogStep(platform::Platform& os, SkinSetupRun& run, const char* step,
             const std::string& detail);

// Appends `line` to the log as it is, without the time: a line of the
// check's report, in the form that tools read.
void LogReportLine(platform::Platform& os, SkinSetupRun& run,
                   const std::string& line);

// The system's own text for `error`, else its number after "Errore di
// sistema".
std::string SystemReason(platform::Platform& os, std::uint32_t error);

// Appends a failure's line to the log, if there is one: `step`, a catalogue
// text that says what failed, the file or folder at `path`, and the
// system's reason for `error`.
void LogFailure(platform::Platform& os, SkinSetupRun& run, const char* step,
                const std::string& path, std::uint32_t error);

// Lets go of the Skins folder's lock, if the run holds it, on any way out:
// the lock leaves nothing behind there.
void ReleaseSkinsLock(platform::Platform& os, SkinSetupRun& run);

// Shows the box, or answers it as the switches say, and logs it with its
// answer. Text and caption are in UTF-8. Returns the answer.
int Converse(platform::Platform& os, SkinSetupRun& run, const std::string& text,
             const std::string& caption, unsigned type);

// Ends the run after the failure box that ShowFailure (boxes.h) showed:
// status 0, or kExitFailed in an unattended run.
[[noreturn]] void ExitFailed(platform::Platform& os, SkinSetupRun& run);

// Ends the run after the user's (or /S's) No to the question: status 0, or
// kExitDeclined for an installation in an unattended run.
[[noreturn]] void ExitDeclined(platform::Platform& os, SkinSetupRun& run);

// Ends the run when another installer held the Skins folder for too long
// (only an unattended run gives up so): kExitBusy.
[[noreturn]] void ExitBusy(platform::Platform& os, SkinSetupRun& run);

// Ends a removal after ShowFailure said that the skin is not installed:
// status 0, or kExitNotInstalled in an unattended run, as deployment tools
// read it.
[[noreturn]] void ExitNotInstalled(platform::Platform& os, SkinSetupRun& run);

// Ends a run that returns, which holds no lock by then: writes the outcome
// (a text in UTF-8) and the status to the log, and returns `status`.
int Finish(platform::Platform& os, SkinSetupRun& run,
           const std::string& outcome, int status);

}  // namespace skinsetup

#endif  // SKINSETUP_SKINSETUP_SESSION_H_
