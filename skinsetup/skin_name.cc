#include "skinsetup/skin_name.h"

#include <cctype>

namespace skinsetup {

bool IsAcceptableSkinName(const platform::Platform& os,
                          const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  // Both separators are refused on every system, so that a package cannot
  // behave differently on the two builds.
  if (name.find_first_of("\\/") != std::string::npos) return false;
  // The installer's own names in the Skins folder (its lock on Windows)
  // start so, in any case.
  std::string start = name.substr(0, sizeof kWorkingPrefix - 1);
  for (char& c : start) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (start == kWorkingPrefix) return false;
  return os.IsPlainEntryName(name);
}

bool IsSkinFolderPath(const platform::Platform& os,
                      const std::string& skins_folder,
                      const std::string& folder) {
  const std::string prefix = skins_folder + os.Separator();
  return folder.size() > prefix.size() &&
         folder.compare(0, prefix.size(), prefix) == 0 &&
         IsAcceptableSkinName(os, folder.substr(prefix.size()));
}

}  // namespace skinsetup
