// The package's entries as /CHECK keeps them (check_entries.h), the names
// among them that Windows takes for one, and their fingerprint. Reaches the
// system only through platform.h.

#include "skinsetup/check_entries.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "skinsetup/messages.h"
#include "skinsetup/name_case.h"

namespace skinsetup {

void KeptEntries::Keep(const std::string& name, const std::u16string& folded,
                       const std::string& digest) {
  const std::string packed = Pack(digest);
  const std::size_t size = name.size() + 1 + packed.size();
  if (left_ < size) {
    const std::size_t block = std::max(size, kBlockSize);
    blocks_.push_back(std::make_unique<char[]>(block));
    next_ = blocks_.back().get();
    left_ = block;
  }
  std::memcpy(next_, name.c_str(), name.size() + 1);
  std::memcpy(next_ + name.size() + 1, packed.data(), packed.size());
  entries_.push_back(
      Entry{next_, Hash(folded), static_cast<std::uint32_t>(entries_.size())});
  next_ += size;
  left_ -= size;
}

std::string KeptEntries::DigestOf(const Entry& entry) {
  const char* packed = entry.name + std::strlen(entry.name) + 1;
  if (*packed != kHexDigest) return packed + 1;
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (int i = 1; i <= kDigestBytes; ++i) {
    const auto byte = static_cast<unsigned char>(packed[i]);
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}

std::string KeptEntries::Pack(const std::string& digest) {
  auto value = [](char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                  : -1;
  };
  std::string packed(1, kHexDigest);
  const std::size_t digits = std::size_t{2} * kDigestBytes;
  for (std::size_t i = 0; digest.size() == digits && i < digits; i += 2) {
    const int high = value(digest[i]);
    const int low = value(digest[i + 1]);
    if (high < 0 || low < 0) break;
    packed += static_cast<char>(high << 4 | low);
  }
  if (packed.size() == 1 + kDigestBytes) return packed;
  return kText + digest + '\0';
}

std::uint32_t KeptEntries::Hash(const std::u16string& units) {
  std::uint32_t hash = 0x811C9DC5u;  // FNV-1a.
  for (const char16_t unit : units) hash = (hash ^ unit) * 0x01000193u;
  return hash;
}

void CheckCasePairs(std::deque<KeptEntries::Entry>& entries, Report* report) {
  using Entry = KeptEntries::Entry;
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    return a.folded != b.folded ? a.folded < b.folded : a.index < b.index;
  });
  // The later name of each pair, and the first it clashes with, in the
  // listing's order. Names that share a hash are told apart by their
  // folded names, the first of each kept while its hash lasts.
  struct Pair {
    std::uint32_t index;  // The later name's place in the listing.
    const char* name;
    const char* first;
  };
  std::vector<Pair> pairs;
  std::map<std::u16string, const char*> firsts;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const bool after = i > 0 && entries[i - 1].folded == entries[i].folded;
    const bool before =
        i + 1 < entries.size() && entries[i + 1].folded == entries[i].folded;
    if (!after) firsts.clear();
    if (!after && !before) continue;
    const auto [first, fresh] =
        firsts.emplace(NameWithCaseFolded(entries[i].name), entries[i].name);
    if (!fresh) {
      pairs.push_back(Pair{entries[i].index, entries[i].name, first->second});
    }
  }
  std::sort(pairs.begin(), pairs.end(),
            [](const Pair& a, const Pair& b) { return a.index < b.index; });
  for (const Pair& pair : pairs) {
    report->AddFile(Severity::kError, "name-case-pair", pair.name,
                    Utf8FromCatalogue(kCheckSameName) + ' ' + pair.first);
  }
}

std::string DigestLine(const char* name, const std::string& hex) {
  return hex + "  " + name;
}

std::string Fingerprint(platform::Platform& os,
                        std::deque<KeptEntries::Entry>& entries) {
  std::sort(entries.begin(), entries.end(),
            [](const KeptEntries::Entry& a, const KeptEntries::Entry& b) {
              return std::strcmp(a.name, b.name) < 0;
            });
  platform::Digest digest = os.OpenDigest();
  if (digest == nullptr) return "";
  bool added = true;
  for (const KeptEntries::Entry& entry : entries) {
    const std::string hex = KeptEntries::DigestOf(entry);
    const std::string line = DigestLine(entry.name, hex) + '\n';
    added = added && !hex.empty() &&
            os.AddToDigest(digest, line.data(), static_cast<long>(line.size()));
  }
  const std::string hex = os.FinishDigest(digest);
  return added ? hex : "";
}

}  // namespace skinsetup
