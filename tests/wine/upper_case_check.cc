// Test-only: the installer's upper case of every UTF-16 unit
// (skinsetup/name_case.h) against Windows' own: ntdll's RtlUpcaseUnicodeChar,
// the kernel's table that file systems compare names with, and
// CompareStringOrdinal ignoring case. Prints each unit they disagree on and
// how many agree; ends with status 1 when any disagrees.

#include <windows.h>

#include <cstdio>

#include "skinsetup/name_case.h"

extern "C" NTSYSAPI WCHAR NTAPI RtlUpcaseUnicodeChar(WCHAR unit);

int main() {
  int agree = 0;
  for (unsigned value = 0; value <= 0xFFFF; ++value) {
    const wchar_t unit = static_cast<wchar_t>(value);
    const wchar_t ours = static_cast<wchar_t>(
        skinsetup::UpperCaseUnit(static_cast<char16_t>(value)));
    const wchar_t system = RtlUpcaseUnicodeChar(unit);
    // Ignoring case, the system must take the unit for its upper case.
    const bool equal =
        CompareStringOrdinal(&unit, 1, &ours, 1, TRUE) == CSTR_EQUAL;
    if (system == ours && equal) {
      ++agree;
      continue;
    }
    std::printf(
        "U+%04X: ours U+%04X, RtlUpcaseUnicodeChar U+%04X, "
        "CompareStringOrdinal %s\n",
        value, ours, system, equal ? "equal" : "unequal");
  }
  std::printf("%d of 65536 units agree\n", agree);
  return agree == 0x10000 ? 0 : 1;
}
