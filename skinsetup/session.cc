// How the run talks and ends (session.h): the boxes shown or answered, the
// log of /LOG, the exit statuses. Reaches the system only through
// platform.h, and writes only the log.

#include "skinsetup/session.h"

#include <cstdlib>

#include "skinsetup/file_identity.h"
#include "skinsetup/messages.h"
#include "skinsetup/skin_name.h"

namespace skinsetup {
namespace {

// A text on one line: the line breaks that end it (a system's text) go,
// and each run of line breaks within it becomes one blank.
std::string OneLine(std::string text) {
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) {
    text.pop_back();
  }
  std::string line;
  bool in_break = false;
  for (const char c : text) {
    const bool is_break = c == '\r' || c == '\n';
    if (!is_break) {
      line += c;
    } else if (!in_break) {
      line += ' ';
    }
    in_break = is_break;
  }
  return line;
}

// The separators of the system's paths: Windows takes either.
const char* Separators(const platform::Platform& os) {
  return os.Separator() == '\\' ? "\\/" : "/";
}

void Write(platform::Platform& os, SkinSetupRun& run, const std::string& line) {
  // The log is a record, not a step of the installation: a log that cannot
  // take a line costs the line, never the skin. Until the run knows that
  // the log is no file of the skin, its lines wait here.
  if (run.log == nullptr) return;
  if (run.bLogHeldBack) {
    run.szLogHeldBack += line;
  } else {
    os.AppendLog(run.log, line);
  }
}

void Append(platform::Platform& os, SkinSetupRun& run,
            const std::string& text) {
  if (run.log != nullptr) Write(os, run, os.LocalTime() + ' ' + text + '\n');
}

std::string AnswerText(int answer) {
  switch (answer) {
    case platform::kIdOk:
      return Utf8FromCatalogue(kLogAnswerOk);
    case platform::kIdYes:
      return Utf8FromCatalogue(kLogAnswerYes);
    case platform::kIdNo:
      return Utf8FromCatalogue(kLogAnswerNo);
    default:
      return Utf8FromCatalogue(kLogAnswerNone);
  }
}

// Writes the outcome, the last line of the log, and closes the log.
void WriteOutcome(platform::Platform& os, SkinSetupRun& run,
                  const std::string& outcome, int status) {
  Append(os, run,
         Utf8FromCatalogue(kLogOutcome) + ' ' + OneLine(outcome) + " (" +
             Utf8FromCatalogue(kLogStatus) + ' ' + std::to_string(status) +
             ')');
  ReleaseLog(os, run);
  if (run.log != nullptr) os.CloseLog(run.log);
  run.log = nullptr;
}

[[noreturn]] void End(platform::Platform& os, SkinSetupRun& run,
                      const char* outcome, int status) {
  ReleaseSkinsLock(os, run);
  WriteOutcome(os, run, Utf8FromCatalogue(outcome), status);
  os.Exit(status);
  // Exit never returns; should a platform's ever do, the run stops here
  // rather than go on past its end.
  std::abort();
}

// True when `visit(folder, entry)` is, for one folder on the log's way up to
// its root, known by its identity `folder`, and the name `entry` in it that
// leads to the log. Identities, since names may differ in case, in short
// aliases or through links.
template <typename Visit>
bool OnLogsWay(platform::Platform& os, const SkinSetupRun& run, Visit visit) {
  std::string path = run.switches.szLogPath;
  for (std::size_t at;
       (at = path.find_last_of(Separators(os))) != std::string::npos &&
       at > 0;) {
    const std::string entry = path.substr(at + 1);
    path.resize(at);
    platform::FileId id;
    if (os.QueryFileId(path, true, &id) && visit(id, entry)) return true;
  }
  return false;
}

}  // namespace

std::string ExpandVariables(platform::Platform& os, const std::string& text) {
  std::string expanded;
  std::size_t at = 0;
  for (std::size_t open; (open = text.find('%', at)) != std::string::npos;) {
    const std::size_t close = text.find('%', open + 1);
    if (close == std::string::npos) break;
    std::string value;
    if (close > open + 1 &&
        os.EnvironmentValue(text.substr(open + 1, close - open - 1), &value)) {
      expanded += text.substr(at, open - at) + value;
      at = close + 1;
    } else {
      // As the command prompt leaves it; the closing sign may open the
      // next name.
      expanded += text.substr(at, close - at);
      at = close;
    }
  }
  return expanded + text.substr(at);
}

namespace {

// The log file that /LOG names, opened; nullptr where it cannot be. Notes
// whether the run made it.
platform::Log OpenLogFile(platform::Platform& os, SkinSetupRun& run) {
  // A deployment tool that starts the installer without a shell leaves
  // %TEMP% as it is. A path relative to the package folder is held whole,
  // so that the log's folders can be told later (one from a drive's root,
  // or a drive's current folder, stays as the system reads it).
  std::string& path = run.switches.szLogPath;
  path = ExpandVariables(os, path);
  if (!os.IsAbsolutePath(path) && path.find_first_of(Separators(os)) != 0 &&
      path.find(':') == std::string::npos) {
    // A current folder that cannot be read leaves no folder to be relative
    // to: never the root.
    const std::string folder = os.CurrentDirectory();
    if (folder.empty()) return nullptr;
    path = folder + os.Separator() + path;
  }
  run.bLogCreated = os.QueryEntry(path) == platform::EntryType::kNone;
  return os.OpenLog(path);
}

}  // namespace

bool OpenRunLog(platform::Platform& os, SkinSetupRun& run) {
  run.log = run.switches.szLogPath == "-" ? os.OpenStandardOutput()
                                          : OpenLogFile(os, run);
  run.bLogHeldBack = true;
  run.bLogIdKnown = run.log != nullptr && os.LogFileId(run.log, &run.logId);
  return run.log != nullptr;
}

bool IsLogInside(platform::Platform& os, const SkinSetupRun& run,
                 const std::string& folder) {
  platform::FileId inside;
  return run.log != nullptr && os.QueryFileId(folder, true, &inside) &&
         OnLogsWay(os, run,
                   [&](const platform::FileId& id, const std::string&) {
                     return IsSameKnownFile(id, inside);
                   });
}

bool IsLogInTheWay(platform::Platform& os, const SkinSetupRun& run) {
  platform::FileId skins;
  if (run.log == nullptr || !os.QueryFileId(run.szSkinsDir, true, &skins)) {
    return false;
  }
  // The log made where the Skins folder should be, or in it under a name
  // that the run makes, locks, holds or deletes as its own.
  return (run.bLogIdKnown && IsSameKnownFile(skins, run.logId)) ||
         OnLogsWay(os, run,
                   [&](const platform::FileId& id, const std::string& entry) {
                     return IsSameKnownFile(id, skins) &&
                            (IsSameSkinName(entry, run.szSkinName) ||
                             !IsAcceptableSkinName(entry));
                   });
}

void ReleaseLog(platform::Platform& os, SkinSetupRun& run) {
  if (run.log != nullptr && run.bLogHeldBack) {
    os.AppendLog(run.log, run.szLogHeldBack);
  }
  run.bLogHeldBack = false;
}

void RefuseLog(platform::Platform& os, SkinSetupRun& run) {
  os.CloseLog(run.log);
  run.log = nullptr;
  // As if it had never been opened: one the run made goes.
  if (run.bLogCreated) os.RemoveFile(run.switches.szLogPath);
}

void ReleaseSkinsLock(platform::Platform& os, SkinSetupRun& run) {
  if (run.lock != nullptr) os.UnlockFolder(run.lock);
  run.lock = nullptr;
}

void LogStep(platform::Platform& os, SkinSetupRun& run, const char* step,
             const std::string& detail) {
  Append(os, run, Utf8FromCatalogue(step) + ' ' + OneLine(detail));
}

void LogReportLine(platform::Platform& os, SkinSetupRun& run,
                   const std::string& line) {
  Write(os, run, OneLine(line) + '\n');
}

std::string SystemReason(platform::Platform& os, std::uint32_t error) {
  std::string text;
  if (!os.ErrorText(error, &text)) {
    text = Utf8FromCatalogue(kSystemError) + ' ' + std::to_string(error);
  }
  return text;
}

void LogFailure(platform::Platform& os, SkinSetupRun& run, const char* step,
                const std::string& path, std::uint32_t error) {
  // Without a log, the system is not asked for a text no one reads.
  if (run.log == nullptr) return;
  LogStep(os, run, step, path + ": " + SystemReason(os, error));
}

int Converse(platform::Platform& os, SkinSetupRun& run, const std::string& text,
             const std::string& caption, unsigned type) {
  // A removal's question is answered Yes by /S, which asked for it.
  int answer;
  const char* by = "";
  const bool removal = run.switches.bUninstall;
  if (type == platform::kBoxYesNo && run.switches.bOverwrite && !removal) {
    answer = platform::kIdYes;
    by = " (/OVERWRITE)";
  } else if (run.switches.bSilent) {
    answer = type != platform::kBoxYesNo ? platform::kIdOk
             : removal                   ? platform::kIdYes
                                         : platform::kIdNo;
    by = " (/S)";
  } else {
    answer = os.ShowMessageBox(text, caption, type);
  }
  Append(
      os, run,
      '[' + caption + "] " + OneLine(text) + " -> " + AnswerText(answer) + by);
  return answer;
}

void ExitFailed(platform::Platform& os, SkinSetupRun& run) {
  End(os, run, run.szOutcome.c_str(), run.switches.bSilent ? kExitFailed : 0);
}

void ExitDeclined(platform::Platform& os, SkinSetupRun& run) {
  // A removal declined has no status of its own: /S never declines one.
  if (run.switches.bUninstall) End(os, run, kLogNotRemoved, 0);
  End(os, run, kLogDeclined, run.switches.bSilent ? kExitDeclined : 0);
}

void ExitNotInstalled(platform::Platform& os, SkinSetupRun& run) {
  End(os, run, run.szOutcome.c_str(),
      run.switches.bSilent ? kExitNotInstalled : 0);
}

void ExitBusy(platform::Platform& os, SkinSetupRun& run) {
  End(os, run, kLogBusy, kExitBusy);
}

int Finish(platform::Platform& os, SkinSetupRun& run,
           const std::string& outcome, int status) {
  WriteOutcome(os, run, outcome, status);
  return status;
}

}  // namespace skinsetup
