// Short 8.3 aliases as NTFS makes them, and the names of a package that
// they could take (short_names.h). Rules of names alone: writes nothing
// but the report it adds to.

#include "skinsetup/short_names.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "skinsetup/messages.h"
#include "skinsetup/name_case.h"

namespace skinsetup {
namespace {

// Whether `c` is a letter of ASCII, in either case.
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

}  // namespace

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

}  // namespace skinsetup
