// The check of a package for its author: one walk of the package folder,
// each problem reported as it is found, in a box, in the log, and in lines
// that tools read.

#include "skinsetup/package_check.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "skinsetup/boxes.h"
#include "skinsetup/kept_files.h"
#include "skinsetup/map_parser.h"
#include "skinsetup/messages.h"
#include "skinsetup/name_case.h"
#include "skinsetup/scan.h"
#include "skinsetup/session.h"
#include "skinsetup/skin_name.h"
#include "skinsetup/text_reader.h"

namespace skinsetup {
namespace {

// The longest name Windows takes, in UTF-16 units.
constexpr std::size_t kLongestName = 255;
// How many problems the box shows; the log has them all.
constexpr std::size_t kShownProblems = 15;
// The largest file that FAT32 holds, as on a USB stick.
constexpr std::uint64_t kFat32Largest = 0xFFFFFFFFull;
// What the report says where a problem concerns the package, not a file.
constexpr char kPackage[] = ".";

enum class Severity { kError, kWarning };

// The problems found. Each goes to the log as soon as it is found, in both
// of its forms; only the first few stay, for the box, so that memory does
// not grow with the number of a package's faults.
class Report {
 public:
  Report(platform::Platform& os, SkinSetupRun& run) : os_(os), run_(run) {}

  // A problem with `file` (kPackage for the package itself), at the map's
  // `line` (0 for none): `id` names it for tools, once and for all;
  // `where`, what the box and the log show before `text` (the file, the
  // map's line, or nothing).
  void Add(Severity severity, const char* id, const std::string& file, int line,
           const std::string& where, const std::string& text) {
    const bool error = severity == Severity::kError;
    (error ? errors_ : warnings_) += 1;
    const std::string shown = where.empty() ? text : where + ": " + text;
    LogStep(os_, run_, error ? kLogProblem : kCheckWarning, shown);
    LogReportLine(os_, run_,
                  ForTools(file) +
                      (line > 0 ? ':' + std::to_string(line) : "") + ": " +
                      (error ? "error: " : "warning: ") + id + ": " + text);
    if (shown_.size() < kShownProblems) {
      shown_.push_back(error ? shown
                             : where + ": " + Utf8FromCatalogue(kCheckWarning) +
                                   ' ' + text);
    } else {
      ++unshown_;
    }
  }
  // A problem of the package's file `file`, or at the map's `line`.
  void AddFile(Severity severity, const char* id, const std::string& file,
               const std::string& text) {
    Add(severity, id, file, 0, file, text);
  }
  void AddMapLine(const char* id, int line, const char* text) {
    Add(Severity::kError, id, kMapName, line,
        std::string(kMapName) + ", " + Utf8FromCatalogue(kCheckMapLine) + ' ' +
            std::to_string(line),
        Utf8FromCatalogue(text));
  }

  int errors() const { return errors_; }
  // The lines the box shows after its first: the first problems found,
  // then how many more the log holds.
  std::string Shown() const {
    std::string text;
    for (const std::string& line : shown_) text += '\n' + line;
    if (unshown_ > 0) {
      text +=
          '\n' + Utf8FromCatalogue(kCheckMore) + ' ' + std::to_string(unshown_);
    }
    return text;
  }

 private:
  // A file's name on one line of a report: a control character becomes
  // its code, "\xHH", so that no name can forge a line of its own.
  static std::string ForTools(const std::string& name) {
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

  platform::Platform& os_;
  SkinSetupRun& run_;
  int errors_ = 0;
  int warnings_ = 0;
  std::vector<std::string> shown_;
  std::size_t unshown_ = 0;
};

// The package's entries until the end of the check, for the names that
// clash and for the fingerprint: each name and its file's digest, in
// blocks that never move, so that 100,000 files take a few megabytes.
class KeptEntries {
 public:
  struct Entry {
    const char* name;      // Then its file's digest, packed.
    std::uint32_t folded;  // A hash of the name as Windows compares it.
    std::uint32_t index;   // Its place in the listing.
  };

  void Keep(const std::string& name, const std::string& digest) {
    const std::string packed = Pack(digest);
    const std::size_t size = name.size() + 1 + packed.size();
    if (left_ < size) {
      const std::size_t block = std::max(size, kBlockSize);
      blocks_.push_back(std::make_unique<char[]>(block));
      next_ = blocks_.back().get();
      left_ = block;
    }
    std::memcpy(next_, name.c_str(), name.size() + 1);
    std::memcpy(next_ + name.size() + 1, packed.data(), packed.size());
    entries_.push_back(Entry{next_, Hash(NameWithCaseFolded(name)),
                             static_cast<std::uint32_t>(entries_.size())});
    next_ += size;
    left_ -= size;
  }

  std::deque<Entry>& entries() { return entries_; }

  // The digest kept with the entry, as the system gave it.
  static std::string DigestOf(const Entry& entry) {
    const char* packed = entry.name + std::strlen(entry.name) + 1;
    if (*packed != kHexDigest) return packed + 1;
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (int i = 1; i <= kDigestBytes; ++i) {
      const auto byte = static_cast<unsigned char>(packed[i]);
      hex += kDigits[byte >> 4];
      hex += kDigits[byte & 15];
    }
    return hex;
  }

 private:
  static constexpr std::size_t kBlockSize = 64 * 1024;
  static constexpr int kDigestBytes = 32;
  // The first byte of a packed digest: 64 hexadecimal digits kept as the
  // 32 bytes they stand for, or any other text kept as it is.
  static constexpr char kHexDigest = 'x';
  static constexpr char kText = 't';

  static std::string Pack(const std::string& digest) {
    auto value = [](char c) {
      return c >= '0' && c <= '9'   ? c - '0'
             : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                    : -1;
    };
    std::string packed(1, kHexDigest);
    for (std::size_t i = 0;
         digest.size() == 2 * kDigestBytes && i < digest.size(); i += 2) {
      if (value(digest[i]) < 0 || value(digest[i + 1]) < 0) break;
      packed += static_cast<char>(value(digest[i]) << 4 | value(digest[i + 1]));
    }
    if (packed.size() == 1 + kDigestBytes) return packed;
    return kText + digest + '\0';
  }

  static std::uint32_t Hash(const std::u16string& units) {
    std::uint32_t hash = 0x811C9DC5u;  // FNV-1a.
    for (const char16_t unit : units) hash = (hash ^ unit) * 0x01000193u;
    return hash;
  }

  std::vector<std::unique_ptr<char[]>> blocks_;
  char* next_ = nullptr;
  std::size_t left_ = 0;
  std::deque<Entry> entries_;
};

// The UTF-8 text's code points, each given to `action`; a byte that starts
// no sequence counts as one.
template <typename Action>
void ForEachCodePoint(const std::string& text, Action action) {
  for (std::size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const int length = lead >= 0xF0   ? 4
                       : lead >= 0xE0 ? 3
                       : lead >= 0xC0 ? 2
                                      : 1;
    char32_t point = length == 1 ? lead : lead & (0x3F >> (length - 1));
    for (int i = 1; i < length && at + i < text.size(); ++i) {
      point = point << 6 | (static_cast<unsigned char>(text[at + i]) & 0x3F);
    }
    action(point);
    at += length;
  }
}

// The name's length as Windows counts it, in UTF-16 units.
std::size_t Utf16Length(const std::string& name) {
  std::size_t length = 0;
  ForEachCodePoint(name,
                   [&](char32_t point) { length += point >= 0x10000 ? 2 : 1; });
  return length;
}

// --- Short 8.3 aliases, as NTFS makes them (RtlGenerate8dot3Name) ---

bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Whether `c` may stand in an 8.3 name as it is.
bool IsShortNameCharacter(char c) {
  return IsAsciiLetter(c) || (c >= '0' && c <= '9') ||
         (c != '\0' && std::strchr("!#$%&'()-@^_`{}~", c) != nullptr);
}

// Whether `name` is an 8.3 name itself, in any case, which gets no alias:
// up to eight characters, and up to three after one dot.
bool IsShortName(const std::string& name) {
  const std::size_t dot = name.find('.');
  const std::string base = name.substr(0, dot);
  const std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
  auto fits = [](const std::string& part, std::size_t most) {
    return part.size() <= most &&
           std::all_of(part.begin(), part.end(), IsShortNameCharacter);
  };
  return !base.empty() && fits(base, 8) && fits(ext, 3) &&
         (dot == std::string::npos || !ext.empty());
}

// The part of a long name that its alias starts with, in capitals: up to
// `most` of its characters, leading dots skipped, blanks, dots and
// characters beyond ASCII dropped (NTFS puts none in an alias by default),
// and those an 8.3 name cannot hold turned into "_".
std::string AliasPart(const std::string& part, std::size_t most) {
  std::string kept;
  for (const char c : part) {
    if (kept.size() == most) break;
    if (c == ' ' || c == '.' || static_cast<unsigned char>(c) >= 0x80) continue;
    kept += IsShortNameCharacter(c) ? c : '_';
  }
  return AsciiCapitals(kept);
}

// A name of 8.3 shape whose base ends in "~" and a number, as aliases are
// made: what comes before the "~", in capitals, and how many digits follow.
struct TildeName {
  std::string before;  // Up to six characters.
  std::string ext;     // In capitals.
  std::size_t digits;
  std::string name;  // As the package holds it.
};

bool ParseTildeName(const std::string& name, TildeName* tilde) {
  if (!IsShortName(name)) return false;
  const std::size_t dot = name.find('.');
  const std::string base = name.substr(0, dot);
  const std::size_t mark = base.rfind('~');
  if (mark == std::string::npos || mark == 0 || mark + 1 == base.size() ||
      base.find_first_not_of("0123456789", mark + 1) != std::string::npos) {
    return false;
  }
  *tilde = TildeName{
      AliasPart(base.substr(0, mark), 8),
      dot == std::string::npos ? "" : AliasPart(name.substr(dot + 1), 3),
      base.size() - mark - 1, name};
  return true;
}

// Reports each name of 8.3 shape that NTFS could give as the alias of
// another package file with a longer name: the file that takes it first
// makes the copy of the other fail. An alias is the long name's first six
// characters (fewer to leave room for a longer number), "~" and the first
// free number; after the fourth, its first two, four hexadecimal digits of
// a hash, "~" and a number.
void CheckAliases(const std::vector<TildeName>& tildes,
                  const std::deque<KeptEntries::Entry>& entries,
                  Report* report) {
  if (tildes.empty()) return;
  // Each name of 8.3 shape under what a long name's alias would start
  // with and its extension; under a hash's form too, "#" in place of its
  // four digits.
  std::multimap<std::string, std::size_t> by_start;
  for (std::size_t i = 0; i < tildes.size(); ++i) {
    const std::string& before = tildes[i].before;
    by_start.emplace(before + '.' + tildes[i].ext, i);
    if (before.size() >= 5 &&
        before.find_first_not_of("0123456789ABCDEF", before.size() - 4) ==
            std::string::npos) {
      by_start.emplace(
          before.substr(0, before.size() - 4) + "#." + tildes[i].ext, i);
    }
  }
  std::vector<bool> reported(tildes.size());
  for (const KeptEntries::Entry& entry : entries) {
    const std::string name = entry.name;
    const std::size_t start = name.find_first_not_of('.');
    if (IsShortName(name) || start == std::string::npos) continue;
    const std::size_t dot = name.rfind('.');
    const bool has_ext = dot != std::string::npos && dot > start;
    const std::string stem = AliasPart(
        name.substr(start, has_ext ? dot - start : std::string::npos), 6);
    const std::string ext = has_ext ? AliasPart(name.substr(dot + 1), 3) : "";
    if (stem.empty()) continue;
    // `fits` tells whether the alias takes that many digits after "~".
    auto report_under = [&](const std::string& key, auto fits) {
      const auto [first, last] = by_start.equal_range(key);
      for (auto it = first; it != last; ++it) {
        const TildeName& tilde = tildes[it->second];
        if (reported[it->second] || !fits(tilde.digits)) continue;
        reported[it->second] = true;
        report->AddFile(Severity::kError, "name-alias", tilde.name,
                        Utf8FromCatalogue(kCheckAlias) + ' ' + name);
      }
    };
    // The stem is cut to leave room for the number: six characters
    // before "~1", five before "~10".
    for (std::size_t k = 1; k <= stem.size(); ++k) {
      report_under(stem.substr(0, k) + '.' + ext, [&](std::size_t digits) {
        return digits < 7 && k == std::min(stem.size(), 7 - digits);
      });
    }
    report_under(stem.substr(0, 2) + "#." + ext,
                 [](std::size_t digits) { return digits == 1; });
  }
}

// Reports each name that Windows takes for an earlier one, case ignored.
void CheckCasePairs(std::deque<KeptEntries::Entry>& entries, Report* report) {
  using Entry = KeptEntries::Entry;
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    return a.folded != b.folded ? a.folded < b.folded : a.index < b.index;
  });
  // The later name of each pair, and the first it clashes with, in the
  // listing's order. Names that share a hash are told apart by their
  // folded names, the first of each kept while its hash lasts.
  struct Pair {
    std::uint32_t index;  // The later name's place in the listing.
    const char* name;
    const char* first;
  };
  std::vector<Pair> pairs;
  std::map<std::u16string, const char*> firsts;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const bool after = i > 0 && entries[i - 1].folded == entries[i].folded;
    const bool before =
        i + 1 < entries.size() && entries[i + 1].folded == entries[i].folded;
    if (!after) firsts.clear();
    if (!after && !before) continue;
    const auto [first, fresh] =
        firsts.emplace(NameWithCaseFolded(entries[i].name), entries[i].name);
    if (!fresh) {
      pairs.push_back(Pair{entries[i].index, entries[i].name, first->second});
    }
  }
  std::sort(pairs.begin(), pairs.end(),
            [](const Pair& a, const Pair& b) { return a.index < b.index; });
  for (const Pair& pair : pairs) {
    report->AddFile(Severity::kError, "name-case-pair", pair.name,
                    Utf8FromCatalogue(kCheckSameName) + ' ' + pair.first);
  }
}

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

// The file's line of the fingerprint, as sha256sum prints it (a valid
// package's names hold no line feed or backslash, which it would escape).
std::string DigestLine(const char* name, const std::string& hex) {
  return hex + "  " + name;
}

// The package's fingerprint: the SHA-256 of the lines of its files, each
// ended by a line feed, in the order of the names' bytes, which on Windows
// is the order of UTF-8. A deployment tool's script recomputes it over the
// installed skin with its own tools. "" where the system cannot compute a
// digest.
std::string Fingerprint(platform::Platform& os,
                        std::deque<KeptEntries::Entry>& entries) {
  std::sort(entries.begin(), entries.end(),
            [](const KeptEntries::Entry& a, const KeptEntries::Entry& b) {
              return std::strcmp(a.name, b.name) < 0;
            });
  platform::Digest digest = os.OpenDigest();
  if (digest == nullptr) return "";
  bool added = true;
  for (const KeptEntries::Entry& entry : entries) {
    const std::string hex = KeptEntries::DigestOf(entry);
    const std::string line = DigestLine(entry.name, hex) + '\n';
    added = added && !hex.empty() &&
            os.AddToDigest(digest, line.data(), static_cast<long>(line.size()));
  }
  const std::string hex = os.FinishDigest(digest);
  return added ? hex : "";
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
  if (after) report->AddMapLine("map-stop", stop, kCheckStop);
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
      report->Add(Severity::kError, "map-range-negative", kMapName, end->line,
                  std::string(kMapName) + ", " +
                      Utf8FromCatalogue(kCheckMapLine) + ' ' +
                      std::to_string(end->line),
                  Utf8FromCatalogue(kCheckRangeNegative) + ' ' + end->name +
                      '=' + std::to_string(end->value));
    }
  }
  if (!missing && !IsValidRange(min.value, max.value)) {
    const int line = std::max(min.line, max.line);
    report->Add(
        Severity::kError, "map-range-reversed", kMapName, line,
        std::string(kMapName) + ", " + Utf8FromCatalogue(kCheckMapLine) + ' ' +
            std::to_string(line),
        Utf8FromCatalogue(kCheckRangeReversed) + " MIN=" +
            std::to_string(min.value) + " > MAX=" + std::to_string(max.value));
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
      report->AddMapLine("map-line-long", line, kCheckLongLine);
    }
    in_long_line = !ends;
    // As the installation parses it: up to its first line feed or zero.
    char* feed = std::strchr(piece, '\n');
    if (feed != nullptr) *feed = '\0';
    const MapLine parsed = ParseMapLine(piece);
    if (parsed.kind == MapLine::kNoName) {
      report->AddMapLine("map-line-no-name", line, kCheckNoName);
    } else if (parsed.kind == MapLine::kNoValue) {
      report->AddMapLine("map-line-no-value", line, kCheckNoValue);
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
  if (Utf16Length(name) > kLongestName) {
    report->AddFile(Severity::kError, "name-too-long", name,
                    Utf8FromCatalogue(kCheckLongName));
  }
  if (name != kMapName &&
      NameWithCaseFolded(name) == NameWithCaseFolded(kMapName)) {
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
  kept->Keep(name, hex);
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
  CheckCasePairs(kept.entries(), &report);
  CheckAliases(tildes, kept.entries(), &report);
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
