#include "skinsetup/skin_name.h"

namespace skinsetup {

bool IsAcceptableSkinName(const platform::Platform& os,
                          const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  // Both separators are refused on every system, so that a package cannot
  // behave differently on the two builds.
  if (name.find_first_of("\\/") != std::string::npos) return false;
  return os.IsPlainEntryName(name);
}

}  // namespace skinsetup
