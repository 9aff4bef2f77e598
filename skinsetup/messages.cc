#include "skinsetup/messages.h"

#include <cstdio>
#include <cstdlib>

namespace skinsetup {
namespace {

// One format a code, so that the message reads text + code in decimal.
constexpr const char* kFailureFormats[] = {
    "%s CODICE ERRORE:0", "%s CODICE ERRORE:1", "%s CODICE ERRORE:2",
    "%s CODICE ERRORE:3", "%s CODICE ERRORE:4", "%s CODICE ERRORE:5",
    "%s CODICE ERRORE:6", "%s CODICE ERRORE:7", "%s CODICE ERRORE:8",
    "%s CODICE ERRORE:9", "%s CODICE ERRORE:10"};
constexpr int kCodeCount = sizeof(kFailureFormats) / sizeof(*kFailureFormats);

// The message buffer of the fatal errors and the formatted traces. Every
// text that goes through it is far shorter.
constexpr std::size_t kMessageSize = 256;

}  // namespace

std::string FormatFailure(const char* text, int code) {
  char buffer[kMessageSize];
  if (code < 0 || code >= kCodeCount) {
    std::snprintf(buffer, sizeof buffer, "%s CODICE ERRORE:%d", text, code);
  } else {
    std::snprintf(buffer, sizeof buffer, kFailureFormats[code], text);
  }
  return buffer;
}

void ShowFailure(platform::Platform& os, const char* text, int code) {
  os.ShowMessageBox(FormatFailure(text, code), kProgramTitle, platform::kBoxOk);
}

void FailAndExit(platform::Platform& os, const char* text, int code) {
  ShowFailure(os, text, code);
  os.Exit(0);
  // Exit never returns; should a platform's ever do, the run stops here
  // rather than go on past a fatal error.
  std::abort();
}

void ShowTrace(platform::Platform& os, const std::string& text,
               const char* caption) {
  if (bTrace) os.ShowMessageBox(text, caption, platform::kBoxOk);
}

std::string FormatFloat(float value) {
  char buffer[kMessageSize];
  std::snprintf(buffer, sizeof buffer, "%f", static_cast<double>(value));
  return buffer;
}

std::string FormatSigned(std::uint32_t value) {
  char buffer[kMessageSize];
  std::snprintf(buffer, sizeof buffer, "%d", static_cast<int>(value));
  return buffer;
}

}  // namespace skinsetup
