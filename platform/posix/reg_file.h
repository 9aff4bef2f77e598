// Reads the registry editor's export format, which stands in for the
// current user's registry on systems that have none; and finds and loads
// that file (RegistryFilePath, LoadRegistry, in registry.cc).

#ifndef SKINSETUP_PLATFORM_POSIX_REG_FILE_H_
#define SKINSETUP_PLATFORM_POSIX_REG_FILE_H_

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// Keys and value names are stored in ASCII lower case, so that they match
// case-insensitively as on Windows. Key paths start with the hive's full
// name ("hkey_current_user\software\qv client"). `keys` holds the keys the
// file names; every ancestor of one exists too, without values, and Find
// sees it.
struct RegistryData {
  using Values = std::map<std::string, std::vector<unsigned char>>;
  using Keys = std::map<std::string, Values>;
  Keys keys;

  // The values of `path`, or nullptr when there is no such key.
  const Values* Find(const std::string& path) const;
};

// Parses the text of a .reg file, in UTF-8 (or ASCII, or code page 1252),
// with or without a byte order mark, or in UTF-16LE after its byte order
// mark. With `only`, a key path, keeps that key alone (when it exists),
// as the whole file would give it, and with `only_value` too, of its
// values that one alone (a folded name): the memory taken is then that of
// the text, whatever the file's shape. Time grows linearly with the text.
// Returns false with a message and the 1-based line number of the fault
// when the text is malformed.
bool ParseRegFile(std::string text, RegistryData* data, std::string* message,
                  int* line, const std::string& only = "",
                  const std::string* only_value = nullptr);

// The file that holds the registry: $SKINSETUP_REGISTRY, otherwise
// ${XDG_CONFIG_HOME:-$HOME/.config}/quintavo/registry.reg.
std::string RegistryFilePath();

// Reads the key `only` of the registry file (registry.cc), with only
// its value `only_value` (a folded name), or none when that is nullptr:
// read anew each time, as the registry is. A missing file has no keys; one
// that cannot be used (not a regular file, larger than 64 MiB, unreadable,
// malformed) is reported on standard error and has none either.
std::unique_ptr<RegistryData> LoadRegistry(const std::string& only,
                                           const std::string* only_value);

// ASCII lower case, the case folding of key paths and value names.
std::string FoldCase(const std::string& text);

}  // namespace platform

#endif  // SKINSETUP_PLATFORM_POSIX_REG_FILE_H_
