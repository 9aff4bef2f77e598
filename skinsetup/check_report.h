// The report of /CHECK: each problem goes to the log as soon as it is
// found, as a line for its reader and a line for tools, and the first few
// stay for the box. Writes nothing but the log, through session.h.

#ifndef SKINSETUP_SKINSETUP_CHECK_REPORT_H_
#define SKINSETUP_SKINSETUP_CHECK_REPORT_H_

#include <cstddef>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "skinsetup/skinsetup.h"

namespace skinsetup {

enum class Severity { kError, kWarning };

// The problems found. Each goes to the log as soon as it is found, in both
// of its forms; only the first few stay, for the box, so that memory does
// not grow with the number of a package's faults.
class Report {
 public:
  Report(platform::Platform& os, SkinSetupRun& run) : os_(os), run_(run) {}

  // A problem with `file` ("." for the package itself), at the map's
  // `line` (0 for none): `id` names it for tools, once and for all;
  // `where`, what the box and the log show before `text` (the file, the
  // map's line, or nothing).
  void Add(Severity severity, const char* id, const std::string& file, int line,
           const std::string& where, const std::string& text);
  // A problem of the package's file `file`.
  void AddFile(Severity severity, const char* id, const std::string& file,
               const std::string& text) {
    Add(severity, id, file, 0, file, text);
  }
  // An error at the map's `line`, `text` in UTF-8.
  void AddMapLine(const char* id, int line, const std::string& text);

  int errors() const { return errors_; }
  // The lines the box shows after its first: the first problems found,
  // then how many more the log holds.
  std::string Shown() const;

 private:
  // A file's name on one line of a report: a control character becomes
  // its code, "\xHH", so that no name can forge a line of its own.
  static std::string ForTools(const std::string& name);

  platform::Platform& os_;
  SkinSetupRun& run_;
  int errors_ = 0;
  int warnings_ = 0;
  std::vector<std::string> shown_;
  std::size_t unshown_ = 0;
};

}  // namespace skinsetup

#endif  // SKINSETUP_SKINSETUP_CHECK_REPORT_H_
