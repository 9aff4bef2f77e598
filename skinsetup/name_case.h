// The case rules of names, each in one place: capitals of ASCII, for what
// Windows compares in ASCII alone (switches, device names, short 8.3
// aliases), and Windows' own table, for which file names it takes for one
// when it ignores case. Pure: touches neither the system nor the run.

#ifndef SKINSETUP_SKINSETUP_NAME_CASE_H_
#define SKINSETUP_SKINSETUP_NAME_CASE_H_

#include <string>

namespace skinsetup {

// `text` with the letters a to z in capitals and every other byte as it
// is, whatever the locale: the rule of the switches' names, of the device
// names and of short 8.3 aliases.
std::string AsciiCapitals(const std::string& text);

// The UTF-16 unit as NTFS upper-cases it when it compares names: through
// Unicode's simple upper-case mapping, one unit for one unit, over the
// Basic Multilingual Plane, where the lower case of that upper case is the
// unit again. A letter whose upper case lowers to another one (dotless i,
// long s, final sigma, the micro sign) stays as it is, as it does in
// Windows' own table. Surrogates, and so every character beyond that
// plane, stay as they are.
char16_t UpperCaseUnit(char16_t unit);

// The UTF-8 name as Windows compares file names with case ignored: its
// UTF-16 units, each upper-cased. Two names are the same file's on Windows
// exactly when these are equal. A byte that belongs to no valid UTF-8
// sequence (POSIX names may hold any bytes) becomes the lone low surrogate
// U+DC00 plus its value, which no valid name gives: two names that differ
// in such bytes never compare equal.
std::u16string NameWithCaseFolded(const std::string& utf8_name);

}  // namespace skinsetup

#endif  // SKINSETUP_SKINSETUP_NAME_CASE_H_
