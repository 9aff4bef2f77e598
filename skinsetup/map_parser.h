// The lines of a compatibility map: NAME=VALUE, one entry a line. Pure:
// touches neither the system nor the run.

#ifndef SKINSETUP_SKINSETUP_MAP_PARSER_H_
#define SKINSETUP_SKINSETUP_MAP_PARSER_H_

#include <cstdint>
#include <string>

namespace skinsetup {

// The map's name, its two entries, and the size of a line as the
// installation reads one (a longer line is read as several).
inline constexpr char kMapName[] = "cliver.map";
inline constexpr char kMinName[] = "SKIN-COMPATIBILITY-MIN";
inline constexpr char kMaxName[] = "SKIN-COMPATIBILITY-MAX";
inline constexpr int kMapLineSize = 512;

// True for a range of revisions the installation accepts: both bounds
// given, neither negative, the lower not above the upper.
inline bool IsValidRange(std::int32_t min, std::int32_t max) {
  return min >= 0 && max >= 0 && min <= max;
}

struct MapLine {
  enum Kind {
    kBlank,    // Only blanks and tabs: skipped.
    kEntry,    // A name and a value.
    kNoName,   // The first word is made of "=" only.
    kNoValue,  // A name and no value; `name` is set.
  };
  Kind kind = kBlank;
  std::string name;
  std::string value;
};

// Parses one line, already cut at its first line feed. The line ends at its
// first zero byte, as a C string does. The first blank or tab after the
// first word ends the line; leading blanks and tabs belong to the name, and
// "=" characters before the name and before the value are skipped.
MapLine ParseMapLine(const char* line);

// The value as atoi reads it: leading white space, an optional sign, then
// digits up to the first non-digit (0 when there are none). Digits beyond
// the signed 32-bit range give the nearest bound, as strtol does.
std::int32_t ParseInteger(const std::string& value);

}  // namespace skinsetup

#endif  // SKINSETUP_SKINSETUP_MAP_PARSER_H_
