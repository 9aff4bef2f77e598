// The report of /CHECK (check_report.h): its lines for the box, the log
// and tools. Writes nothing but the log, through session.h.

#include "skinsetup/check_report.h"

#include "skinsetup/map_parser.h"
#include "skinsetup/messages.h"
#include "skinsetup/session.h"

namespace skinsetup {
namespace {

// How many problems the box shows; the log has them all.
constexpr std::size_t kShownProblems = 15;

}  // namespace

void Report::Add(Severity severity, const char* id, const std::string& file,
                 int line, const std::string& where, const std::string& text) {
  const bool error = severity == Severity::kError;
  (error ? errors_ : warnings_) += 1;
  const std::string shown = where.empty() ? text : where + ": " + text;
  LogStep(os_, run_, error ? kLogProblem : kCheckWarning, shown);
  LogReportLine(os_, run_,
                ForTools(file) + (line > 0 ? ':' + std::to_string(line) : "") +
                    ": " + (error ? "error: " : "warning: ") + id + ": " +
                    text);
  if (shown_.size() < kShownProblems) {
    shown_.push_back(error ? shown
                           : where + ": " + Utf8FromCatalogue(kCheckWarning) +
                                 ' ' + text);
  } else {
    ++unshown_;
  }
}

void Report::AddMapLine(const char* id, int line, const std::string& text) {
  Add(Severity::kError, id, kMapName, line,
      std::string(kMapName) + ", " + Utf8FromCatalogue(kCheckMapLine) + ' ' +
          std::to_string(line),
      text);
}

std::string Report::Shown() const {
  std::string text;
  for (const std::string& line : shown_) text += '\n' + line;
  if (unshown_ > 0) {
    text +=
        '\n' + Utf8FromCatalogue(kCheckMore) + ' ' + std::to_string(unshown_);
  }
  return text;
}

std::string Report::ForTools(const std::string& name) {
  std::string text;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      static const char kDigits[] = "0123456789ABCDEF";
      text += std::string("\\x") + kDigits[byte >> 4] + kDigits[byte & 15];
    } else {
      text += c;
    }
  }
  return text;
}

}  // namespace skinsetup
