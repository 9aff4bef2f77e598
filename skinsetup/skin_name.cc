// Which skin names the installer accepts (skin_name.h), on both builds
// alike. Rules of names: asks the system nothing but its separator.

#include "skinsetup/skin_name.h"

#include <cstring>

#include "skinsetup/name_case.h"

namespace skinsetup {
namespace {

// The names Windows keeps for its devices, in any case: a file or folder
// of such a name, with any extension, is the device itself. A superscript
// one, two or three counts as the digit (in UTF-8, as names arrive). The
// console's own two count too.
bool IsDeviceName(const std::string& name) {
  std::string base = AsciiCapitals(name.substr(0, name.find('.')));
  base.erase(base.find_last_not_of(' ') + 1);
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
    if (base == device) return true;
  }
  if (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0) {
    return false;
  }
  const std::string digit = base.substr(3);
  return (digit.size() == 1 && digit[0] >= '1' && digit[0] <= '9') ||
         digit == "\xC2\xB9" || digit == "\xC2\xB2" || digit == "\xC2\xB3";
}

}  // namespace

bool IsStorableName(const std::string& name) {
  if (name.empty()) return false;
  // Windows drops a trailing dot or blank from the folder it makes ("Blue."
  // is "Blue"), and down to "." or ".." for names of dots alone.
  if (name.back() == '.' || name.back() == ' ') return false;
  // Separators, a drive or stream's colon, wildcards, quotes and control
  // codes: Windows stores no such name, so neither build accepts one.
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 32 || std::strchr("<>:\"/\\|?*", c)) {
      return false;
    }
  }
  return !IsDeviceName(name);
}

bool IsAcceptableSkinName(const std::string& name) {
  if (!IsStorableName(name)) return false;
  // The installer's own names in the Skins folder (its lock, its working
  // folders) start so, in any case.
  return AsciiCapitals(name.substr(0, sizeof kWorkingPrefix - 1)) !=
         AsciiCapitals(kWorkingPrefix);
}

bool IsSameSkinName(const std::string& name, const std::string& skin) {
  return NameWithCaseFolded(name) == NameWithCaseFolded(skin);
}

bool IsSkinFolderPath(const platform::Platform& os,
                      const std::string& skins_folder,
                      const std::string& folder) {
  const std::string prefix = skins_folder + os.Separator();
  return folder.compare(0, prefix.size(), prefix) == 0 &&
         IsAcceptableSkinName(folder.substr(prefix.size()));
}

}  // namespace skinsetup
