// The parsing of a compatibility map's lines and of their numbers
// (map_parser.h). Pure: touches neither the system nor the run.

#include "skinsetup/map_parser.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace skinsetup {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// White space as the C library's atoi skips it in the "C" locale.
bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

MapLine ParseMapLine(const char* line) {
  MapLine result;
  std::string text(line, std::strlen(line));

  // The first run of characters other than blanks and tabs: without one the
  // line is skipped; a blank or tab after it ends the line.
  const std::size_t word = text.find_first_not_of(" \t");
  if (word == std::string::npos) return result;
  std::size_t word_end = word;
  while (word_end < text.size() && !IsBlank(text[word_end])) ++word_end;
  text.resize(word_end);

  std::size_t at = text.find_first_not_of('=');
  if (at == std::string::npos) {
    result.kind = MapLine::kNoName;
    return result;
  }
  std::size_t end = text.find('=', at);
  result.name = text.substr(at, end == std::string::npos ? end : end - at);
  if (end == std::string::npos) {
    result.kind = MapLine::kNoValue;
    return result;
  }
  at = text.find_first_not_of('=', end);
  if (at == std::string::npos) {
    result.kind = MapLine::kNoValue;
    return result;
  }
  end = text.find('=', at);
  result.value = text.substr(at, end == std::string::npos ? end : end - at);
  result.kind = MapLine::kEntry;
  return result;
}

std::int32_t ParseInteger(const std::string& value) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  // The reading stops at the string's terminating zero, as atoi's does.
  std::size_t at = 0;
  while (IsSpace(value[at])) ++at;
  bool negative = false;
  if (value[at] == '+' || value[at] == '-') {
    negative = value[at] == '-';
    ++at;
  }
  // Accumulate the magnitude, saturating one past the largest value: the
  // smallest value's magnitude.
  std::int64_t magnitude = 0;
  for (; value[at] >= '0' && value[at] <= '9'; ++at) {
    magnitude = std::min(magnitude * 10 + (value[at] - '0'), kMax + 1);
  }
  return static_cast<std::int32_t>(negative ? -magnitude
                                            : std::min(magnitude, kMax));
}

}  // namespace skinsetup
