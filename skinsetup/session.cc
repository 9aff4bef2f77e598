#include "skinsetup/session.h"

#include <cstdlib>

#include "skinsetup/copy.h"
#include "skinsetup/messages.h"

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

void Append(platform::Platform& os, SkinSetupRun& run,
            const std::string& text) {
  // The log is a record, not a step of the installation: a log that cannot
  // take a line costs the line, never the skin.
  if (run.log != nullptr)
    os.AppendLog(run.log, os.LocalTime() + ' ' + text + '\n');
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
  if (run.log != nullptr) os.CloseLog(run.log);
  run.log = nullptr;
}

[[noreturn]] void End(platform::Platform& os, SkinSetupRun& run,
                      const char* outcome, int status) {
  WriteOutcome(os, run, Utf8FromCatalogue(outcome), status);
  os.Exit(status);
  // Exit never returns; should a platform's ever do, the run stops here
  // rather than go on past its end.
  std::abort();
}

}  // namespace

bool OpenRunLog(platform::Platform& os, SkinSetupRun& run) {
  run.log = os.OpenLog(run.switches.szLogPath);
  run.bLogIdKnown = run.log != nullptr &&
                    os.QueryFileId(run.switches.szLogPath, true, &run.logId);
  return run.log != nullptr;
}

bool IsRunLog(platform::Platform& os, const SkinSetupRun& run,
              const std::string& path) {
  platform::FileId id;
  return run.bLogIdKnown && os.QueryFileId(path, true, &id) &&
         IsSameKnownFile(id, run.logId);
}

void LogStep(platform::Platform& os, SkinSetupRun& run, const char* step,
             const std::string& detail) {
  Append(os, run, Utf8FromCatalogue(step) + ' ' + OneLine(detail));
}

int Converse(platform::Platform& os, SkinSetupRun& run, const std::string& text,
             const std::string& caption, unsigned type) {
  // The overwrite question is the only one the installer asks.
  int answer;
  const char* by = "";
  if (type == platform::kBoxYesNo && run.switches.bOverwrite) {
    answer = platform::kIdYes;
    by = " (/OVERWRITE)";
  } else if (run.switches.bSilent) {
    answer = type == platform::kBoxYesNo ? platform::kIdNo : platform::kIdOk;
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
  End(os, run, kLogDeclined, run.switches.bSilent ? kExitDeclined : 0);
}

void ExitBusy(platform::Platform& os, SkinSetupRun& run) {
  End(os, run, kLogBusy, kExitBusy);
}

int FinishInstalled(platform::Platform& os, SkinSetupRun& run) {
  const int answer =
      ShowBox(os, run, kSuccess, kProgramTitle, platform::kBoxOk);
  const int status = run.switches.bSilent ? kExitInstalled : answer;
  WriteOutcome(os, run, Utf8FromCatalogue(kSuccess), status);
  return status;
}

}  // namespace skinsetup
