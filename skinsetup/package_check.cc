// The check of a package for its author: the walk of the package folder,
// each file's name, kind and bytes, and the map's lines as the
// installation reads them; each problem goes to the report as it is found.
// Reads the package and writes nothing but the log, through platform.h.

#include "skinsetup/package_check.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "skinsetup/boxes.h"
#include "skinsetup/check_entries.h"
#include "skinsetup/check_report.h"
#include "skinsetup/kept_files.h"
#include "skinsetup/map_parser.h"
#include "skinsetup/messages.h"
#include "skinsetup/name_case.h"
#include "skinsetup/scan.h"
#include "skinsetup/session.h"
#include "skinsetup/short_names.h"
#include "skinsetup/skin_name.h"
#include "skinsetup/text_reader.h"

namespace skinsetup {
namespace {

// The longest name Windows takes, in UTF-16 units.
constexpr std::size_t kLongestName = 255;
// The largest file that FAT32 holds, as on a USB stick.
constexpr std::uint64_t kFat32Largest = 0xFFFFFFFFull;
// What the report says where a problem concerns the package, not a file.
constexpr char kPackage[] = ".";

// Reads `stream` no further than `*left` bytes.
long ReadWithin(platform::Platform& os, platform::Stream stream, char* buffer,
                long size, std::uint64_t* left) {
  if (*left == 0) return 0;
  const long count =
      os.ReadStream(stream, buffer,
                    static_cast<long>(std::min<std::uint64_t>(
                        static_cast<std::uint64_t>(size), *left)));
  if (count > 0) *left -= static_cast<std::uint64_t>(count);
  return count;
}

// Reads the file's `size` bytes, no further: `*hex` is their SHA-256, left
// empty where the system cannot compute it. False when the file cannot be
// read.
bool ReadAll(platform::Platform& os, platform::Stream stream,
             std::uint64_t size, std::string* hex) {
  platform::Digest digest = os.OpenDigest();
  bool digested = digest != nullptr;
  char buffer[4096];
  long count;
  while ((count = ReadWithin(os, stream, buffer, sizeof buffer, &size)) > 0) {
    digested = digested && os.AddToDigest(digest, buffer, count);
  }
  // A file that shrank meanwhile ends early, and is read all the same.
  const bool read = count == 0;
  if (digest != nullptr) *hex = os.FinishDigest(digest);
  if (!digested) hex->clear();
  return read;
}

// A NUL or a Ctrl-Z ends what the installation reads of the map: a
// problem where anything follows it.
void CheckMapEnd(platform::Platform& os, const std::string& path,
                 std::uint64_t size, Report* report) {
  platform::Stream stream = os.OpenStream(path);
  if (stream == nullptr) return;
  char buffer[4096];
  int line = 1;
  int stop = 0;
  bool after = false;
  for (long count; !after && (count = ReadWithin(os, stream, buffer,
                                                 sizeof buffer, &size)) > 0;) {
    for (long i = 0; i < count && !after; ++i) {
      after = stop != 0;
      if (buffer[i] == '\0' || buffer[i] == '\x1A') {
        if (stop == 0) stop = line;
      } else if (buffer[i] == '\n') {
        ++line;
      }
    }
  }
  os.CloseStream(stream);
  if (after)
    report->AddMapLine("map-stop", stop, Utf8FromCatalogue(kCheckStop));
}

// One of the map's two values, as the installation takes the last of its
// lines: its line (0 while none was read) and its value.
struct RangeEnd {
  const char* name;
  int line = 0;
  std::int32_t value = -1;
};

// The map's range: both values there, neither negative, the least first.
void CheckRange(const RangeEnd& min, const RangeEnd& max, Report* report) {
  bool missing = false;
  for (const RangeEnd* end : {&min, &max}) {
    if (end->line == 0) {
      missing = true;
      report->AddFile(Severity::kError, "map-range-missing", kMapName,
                      Utf8FromCatalogue(kCheckRangeMissing) + ' ' + end->name);
    } else if (end->value < 0) {
      missing = true;
      report->AddMapLine("map-range-negative", end->line,
                         Utf8FromCatalogue(kCheckRangeNegative) + ' ' +
                             end->name + '=' + std::to_string(end->value));
    }
  }
  if (!missing && !IsValidRange(min.value, max.value)) {
    report->AddMapLine("map-range-reversed", std::max(min.line, max.line),
                       Utf8FromCatalogue(kCheckRangeReversed) +
                           " MIN=" + std::to_string(min.value) +
                           " > MAX=" + std::to_string(max.value));
  }
}

// The map's lines as the installation reads them: each problem with its
// line, and the range.
void CheckMapLines(platform::Platform& os, const std::string& path,
                   std::uint64_t size, Report* report) {
  platform::Stream stream = os.OpenStream(path);
  if (stream == nullptr) return;
  TextReader reader([&os, stream, &size](char* buffer, long count) {
    return ReadWithin(os, stream, buffer, count, &size);
  });
  RangeEnd min{"SKIN-COMPATIBILITY-MIN"};
  RangeEnd max{"SKIN-COMPATIBILITY-MAX"};
  int line = 1;
  bool in_long_line = false;
  // The reading stops at the end, or where the stream fails.
  for (;;) {
    // A filler that no terminating zero is: the piece read ends at the
    // last byte before it. A piece read holds at least one byte, so the
    // zero is never the first.
    char piece[kMapLineSize];
    std::memset(piece, '\xFF', sizeof piece);
    if (!reader.GetLine(piece, sizeof piece)) break;
    int length = kMapLineSize - 1;
    while (piece[length] == '\xFF') --length;
    const bool ends = piece[length - 1] == '\n';
    if (!ends && !reader.AtEnd() && !in_long_line) {
      report->AddMapLine("map-line-long", line,
                         Utf8FromCatalogue(kCheckLongLine));
    }
    in_long_line = !ends;
    // As the installation parses it: up to its first line feed or zero.
    char* feed = std::strchr(piece, '\n');
    if (feed != nullptr) *feed = '\0';
    const MapLine parsed = ParseMapLine(piece);
    if (parsed.kind == MapLine::kNoName) {
      report->AddMapLine("map-line-no-name", line,
                         Utf8FromCatalogue(kCheckNoName));
    } else if (parsed.kind == MapLine::kNoValue) {
      report->AddMapLine("map-line-no-value", line,
                         Utf8FromCatalogue(kCheckNoValue));
    } else if (parsed.name == kMinName || parsed.name == kMaxName) {
      RangeEnd& end = parsed.name == kMinName ? min : max;
      end.line = line;
      end.value = ParseInteger(parsed.value);
    }
    if (ends) ++line;
  }
  os.CloseStream(stream);
  CheckRange(min, max, report);
}

// Checks the package file `name`: its name, what it is, and its bytes,
// which it reads no further than the size its open reports.
void CheckFile(platform::Platform& os, SkinSetupRun& run,
               const std::string& name, Report* report, KeptEntries* kept,
               std::vector<TildeName>* tildes, std::uint64_t* total,
               bool* map_found) {
  if (!IsStorableName(name)) {
    report->AddFile(Severity::kError, "name-invalid", name,
                    Utf8FromCatalogue(kCheckBadName));
  }
  // Windows' names are UTF-16, compared with their case folded unit by
  // unit: the folded name is as long as the name.
  const std::u16string folded = NameWithCaseFolded(name);
  if (folded.size() > kLongestName) {
    report->AddFile(Severity::kError, "name-too-long", name,
                    Utf8FromCatalogue(kCheckLongName));
  }
  static const std::u16string kMapFolded = NameWithCaseFolded(kMapName);
  if (name != kMapName && folded == kMapFolded) {
    report->AddFile(Severity::kError, "map-name-case", name,
                    Utf8FromCatalogue(kCheckMapCase));
  }
  TildeName tilde;
  if (ParseTildeName(name, &tilde)) tildes->push_back(tilde);

  const std::string path = InFolder(os, run.szCurDir, name);
  const platform::EntryType type = os.QueryEntry(path);
  std::string hex;
  platform::Stream stream = nullptr;
  std::uint64_t size = 0;
  if (type == platform::EntryType::kFolder) {
    report->AddFile(Severity::kError, "entry-folder", name,
                    Utf8FromCatalogue(kCheckFolder));
  } else if (type == platform::EntryType::kNone) {
    // Listed, and yet no look can tell what it is.
    report->AddFile(Severity::kError, "file-unreadable", name,
                    Utf8FromCatalogue(kCheckUnreadable));
  } else if ((stream = os.OpenStream(path)) == nullptr) {
    report->AddFile(Severity::kError, "entry-not-file", name,
                    Utf8FromCatalogue(kCheckNotFile));
  } else if (!os.StreamSize(stream, &size) ||
             !ReadAll(os, stream, size, &hex)) {
    report->AddFile(Severity::kError, "file-unreadable", name,
                    Utf8FromCatalogue(kCheckUnreadable));
    hex.clear();
  } else {
    // A link is followed: the installation copies the file it leads to.
    if (type == platform::EntryType::kOther) {
      report->AddFile(Severity::kWarning, "entry-link", name,
                      Utf8FromCatalogue(kCheckLink));
    }
    if (size == 0) {
      report->AddFile(Severity::kWarning, "file-empty", name,
                      Utf8FromCatalogue(kCheckEmpty));
    } else if (size > kFat32Largest) {
      report->AddFile(Severity::kWarning, "file-large", name,
                      Utf8FromCatalogue(kCheckLarge));
    }
    *total += size;
    if (name == kMapName) {
      *map_found = true;
      CheckMapEnd(os, path, size, report);
      CheckMapLines(os, path, size, report);
    }
  }
  if (stream != nullptr) os.CloseStream(stream);
  kept->Keep(name, folded, hex);
}

}  // namespace

int CheckPackage(platform::Platform& os, SkinSetupRun& run) {
  // A check writes nothing but its log, which cannot be in its way: the
  // log's lines need not wait, and a long report never piles up.
  ReleaseLog(os, run);
  Report report(os, run);
  if (!run.szSkinName.empty() && !IsAcceptableSkinName(run.szSkinName)) {
    report.Add(Severity::kError, "skin-name-invalid", kPackage, 0, "",
               Utf8FromCatalogue(kCheckSkinName) + ' ' + run.szSkinName + ": " +
                   Utf8FromCatalogue(kCheckBadName));
  }
  run.szCurDir = os.CurrentDirectory();
  KeptEntries kept;
  std::vector<TildeName> tildes;
  std::uint64_t total = 0;
  bool map_found = false;
  if (!ForEachPackageFile(os, run, [&](const std::string& name) {
        CheckFile(os, run, name, &report, &kept, &tildes, &total, &map_found);
      })) {
    report.AddFile(Severity::kError, "package-unreadable",
                   run.szCurDir.empty() ? kPackage : run.szCurDir,
                   Utf8FromCatalogue(kCheckUnreadable));
  }
  // The aliases first, while the entries are in the listing's order.
  CheckAliases(tildes, kept.entries(), &report);
  CheckCasePairs(kept.entries(), &report);
  if (!map_found) {
    report.Add(Severity::kError, "map-missing", kMapName, 0, "",
               Utf8FromCatalogue(kCheckNoMap));
  }
  std::string fingerprint;
  if (report.errors() == 0) {
    fingerprint = Fingerprint(os, kept.entries());
    if (fingerprint.empty()) {
      report.Add(Severity::kError, "fingerprint-unavailable", kPackage, 0, "",
                 Utf8FromCatalogue(kCheckFingerprint) + ' ' +
                     Utf8FromCatalogue(kCheckNoFingerprint));
    }
  }
  // The log lists the files the fingerprint covers, for the author to copy
  // into a deployment tool's script, in the fingerprint's order.
  if (report.errors() == 0) {
    for (const KeptEntries::Entry& entry : kept.entries()) {
      LogStep(os, run, kLogFingerprintFile,
              DigestLine(entry.name, KeptEntries::DigestOf(entry)));
    }
  }
  const std::string text =
      report.errors() > 0
          ? Utf8FromCatalogue(kCheckProblems) + report.Shown()
          : Utf8FromCatalogue(kCheckValid) + report.Shown() + '\n' +
                Utf8FromCatalogue(kLogPackage) + ' ' + std::to_string(total) +
                '\n' + Utf8FromCatalogue(kCheckFingerprint) + ' ' + fingerprint;
  const int answer =
      ShowSystemText(os, run, text, kProgramTitle, platform::kBoxOk);
  const bool silent = run.switches.bSilent;
  return Finish(os, run, text.substr(0, text.find('\n')),
                report.errors() == 0 ? (silent ? kExitInstalled : answer)
                                     : (silent ? kExitFailed : 0));
}

}  // namespace skinsetup
