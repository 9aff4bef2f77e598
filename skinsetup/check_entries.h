// The package's entries as /CHECK keeps them until its end, each name with
// its file's digest, and what the check finds over all of them together:
// names that Windows takes for one another, and the package's fingerprint.
// Reaches the system only through platform.h, for the fingerprint's digest.

#ifndef SKINSETUP_SKINSETUP_CHECK_ENTRIES_H_
#define SKINSETUP_SKINSETUP_CHECK_ENTRIES_H_

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "skinsetup/check_report.h"

namespace skinsetup {

// The package's entries until the end of the check, for the names that
// clash and for the fingerprint: each name and its file's digest, in
// blocks that never move, so that 100,000 files take a few megabytes.
class KeptEntries {
 public:
  struct Entry {
    const char* name;      // Then its file's digest, packed.
    std::uint32_t folded;  // A hash of the name as Windows compares it.
    std::uint32_t index;   // Its place in the listing.
  };

  // Keeps the entry `name`, whose case `folded` is as NameWithCaseFolded
  // gives it, with `digest`, its file's digest as the system gave it (""
  // where there is none).
  void Keep(const std::string& name, const std::u16string& folded,
            const std::string& digest);

  std::deque<Entry>& entries() { return entries_; }

  // The digest kept with the entry, as the system gave it.
  static std::string DigestOf(const Entry& entry);

 private:
  static constexpr std::size_t kBlockSize = std::size_t{64} * 1024;
  static constexpr int kDigestBytes = 32;
  // The first byte of a packed digest: 64 hexadecimal digits kept as the
  // 32 bytes they stand for, or any other text kept as it is.
  static constexpr char kHexDigest = 'x';
  static constexpr char kText = 't';

  static std::string Pack(const std::string& digest);
  static std::uint32_t Hash(const std::u16string& units);

  std::vector<std::unique_ptr<char[]>> blocks_;
  char* next_ = nullptr;
  std::size_t left_ = 0;
  std::deque<Entry> entries_;
};

// Reports each name that Windows takes for an earlier one, case ignored,
// in the listing's order. Leaves the entries sorted by their names' hashes.
void CheckCasePairs(std::deque<KeptEntries::Entry>& entries, Report* report);

// The file's line of the fingerprint, as sha256sum prints it (a valid
// package's names hold no line feed or backslash, which it would escape).
std::string DigestLine(const char* name, const std::string& hex);

// The package's fingerprint: the SHA-256 of the lines of its files, each
// ended by a line feed, in the order of the names' bytes, which on Windows
// is the order of UTF-8. A deployment tool's script recomputes it over the
// installed skin with its own tools. "" where the system cannot compute a
// digest.
std::string Fingerprint(platform::Platform& os,
                        std::deque<KeptEntries::Entry>& entries);

}  // namespace skinsetup

#endif  // SKINSETUP_SKINSETUP_CHECK_ENTRIES_H_
