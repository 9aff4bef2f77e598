// Short 8.3 aliases, as NTFS makes them (RtlGenerate8dot3Name), and the
// check of package names that one file's alias could take from another.
// Rules of names alone: writes nothing but the report it adds to.

#ifndef SKINSETUP_SKINSETUP_SHORT_NAMES_H_
#define SKINSETUP_SKINSETUP_SHORT_NAMES_H_

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include "skinsetup/check_entries.h"
#include "skinsetup/check_report.h"

namespace skinsetup {

// A name of 8.3 shape whose base ends in "~" and a number, as aliases are
// made: what comes before the "~", in capitals, and how many digits follow.
struct TildeName {
  std::string before;  // Up to six characters.
  std::string ext;     // In capitals.
  std::size_t digits;
  std::string name;  // As the package holds it.
};

// True, filling `*tilde`, when `name` is an 8.3 name whose base ends in
// "~" and a number: one that NTFS could give another file as its alias.
bool ParseTildeName(const std::string& name, TildeName* tilde);

// Reports each name of 8.3 shape that NTFS could give as the alias of
// another package file with a longer name: the file that takes it first
// makes the copy of the other fail. An alias is the long name's first six
// characters (fewer to leave room for a longer number), "~" and the first
// free number; after the fourth, its first two, four hexadecimal digits of
// a hash, "~" and a number.
void CheckAliases(const std::vector<TildeName>& tildes,
                  const std::deque<KeptEntries::Entry>& entries,
                  Report* report);

}  // namespace skinsetup

#endif  // SKINSETUP_SKINSETUP_SHORT_NAMES_H_
