#include "skinsetup/session.h"

#include <cstdlib>

#include "skinsetup/messages.h"

namespace skinsetup {
namespace {

// A box's text on one line: each run of line breaks becomes one blank, and
// the breaks that end a system's text go.
std::string OneLine(const std::string& text) {
  std::string line;
  for (const char c : text) {
    const bool brk = c == '\r' || c == '\n';
    if (!brk) {
      line += c;
    } else if (!line.empty() && line.back() != ' ') {
      line += ' ';
    }
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
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
  return run.log != nullptr;
}

void LogStep(platform::Platform& os, SkinSetupRun& run, const char* step,
             const std::string& detail) {
  Append(os, run, Utf8FromCatalogue(step) + ' ' + detail);
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
