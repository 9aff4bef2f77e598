// Reads the registry editor's export format, which stands in for the
// current user's registry on systems that have none.

#ifndef SKINSETUP_PLATFORM_REG_FILE_H_
#define SKINSETUP_PLATFORM_REG_FILE_H_

#include <map>
#include <string>
#include <vector>

namespace platform {

// Keys and value names are stored in ASCII lower case, so that they match
// case-insensitively as on Windows. Key paths start with the hive's full
// name ("hkey_current_user\software\qv client"); every ancestor of a key
// in the file exists too.
struct RegistryData {
  using Values = std::map<std::string, std::vector<unsigned char>>;
  std::map<std::string, Values> keys;

  // The values of `path`, or nullptr when there is no such key.
  const Values* Find(const std::string& path) const;
};

// Parses the text of a .reg file. Returns false with a message and the
// 1-based line number of the fault when the text is malformed.
bool ParseRegFile(const std::string& text, RegistryData* data,
                  std::string* message, int* line);

// The file that holds the registry: $SKINSETUP_REGISTRY, otherwise
// ${XDG_CONFIG_HOME:-$HOME/.config}/quintavo/registry.reg.
std::string RegistryFilePath();

// ASCII lower case, the case folding of key paths and value names.
std::string FoldCase(const std::string& text);

}  // namespace platform

#endif  // SKINSETUP_PLATFORM_REG_FILE_H_
