// When two file identities name one file: a rule of plain values, which
// asks the system nothing and knows nothing of the run.
//
// The run tells files apart by identity, not by name, since names may
// differ in case, in short aliases or through links: the installer's own
// file and the log in the package, the package folder in the skin folder,
// a package file that links to the installed one.

#ifndef SKINSETUP_SKINSETUP_FILE_IDENTITY_H_
#define SKINSETUP_SKINSETUP_FILE_IDENTITY_H_

#include <cstring>

#include "platform/platform.h"

namespace skinsetup {

// True when two identities are known to name one file. A volume or file id
// of zero is what a redirector reports when it does not know: such files
// are taken to differ.
inline bool IsSameKnownFile(const platform::FileId& first,
                            const platform::FileId& second) {
  static const unsigned char kUnknown[sizeof first.id] = {};
  return first.volume != 0 &&
         std::memcmp(first.id, kUnknown, sizeof first.id) != 0 &&
         first.volume == second.volume &&
         std::memcmp(first.id, second.id, sizeof first.id) == 0;
}

}  // namespace skinsetup

#endif  // SKINSETUP_SKINSETUP_FILE_IDENTITY_H_
