#include "tests/fake_platform.h"

#include <algorithm>
#include <cstring>

namespace fake {
namespace {

// Windows' error codes, as the installer passes them on.
constexpr std::uint32_t kFileNotFound = 2;
constexpr std::uint32_t kPathNotFound = 3;
constexpr std::uint32_t kAccessDenied = 5;
constexpr std::uint32_t kAlreadyExists = 183;
constexpr long kMoreData = 234;

template <typename Handle>
Handle ToHandle(std::size_t index) {
  return reinterpret_cast<Handle>(static_cast<std::uintptr_t>(index + 1));
}

template <typename Handle>
std::size_t FromHandle(Handle handle) {
  return static_cast<std::size_t>(reinterpret_cast<std::uintptr_t>(handle)) - 1;
}

}  // namespace

FakePlatform::FakePlatform() = default;

std::string FakePlatform::Fold(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

void FakePlatform::SetDword(const std::string& key, const std::string& name,
                            std::uint32_t value) {
  SetValue(key, name,
           {static_cast<unsigned char>(value),
            static_cast<unsigned char>(value >> 8),
            static_cast<unsigned char>(value >> 16),
            static_cast<unsigned char>(value >> 24)});
}

bool FakePlatform::Happened(const std::string& prefix) const {
  return std::any_of(events.begin(), events.end(), [&](const std::string& e) {
    return e.compare(0, prefix.size(), prefix) == 0;
  });
}

std::map<std::string, std::string> FakePlatform::Tree(
    const std::string& folder) const {
  std::map<std::string, std::string> tree;
  auto below = [&](const std::string& path) {
    return path == folder || path.rfind(folder + '\\', 0) == 0;
  };
  for (const auto& [path, file] : files) {
    if (below(path))
      tree[path] = file.content + "@" + std::to_string(file.mtime);
  }
  for (const std::string& dir : dirs) {
    if (below(dir)) tree[dir] = "<dir>";
  }
  return tree;
}

bool FakePlatform::Call(const std::string& op, const std::string& args) {
  events.push_back(args.empty() ? op : op + " " + args);
  const int call = ++calls_[op];
  for (const Fault& fault : faults_[op]) {
    if (call == fault.nth || (fault.from_then_on && call > fault.nth)) {
      Fail(kAccessDenied);
      return true;
    }
  }
  return false;
}

bool FakePlatform::Fail(std::uint32_t error) {
  last_error_ = error;
  return false;
}

std::string FakePlatform::Parent(const std::string& path) const {
  const std::size_t at = path.rfind('\\');
  return at == std::string::npos ? "" : path.substr(0, at);
}

std::vector<std::string> FakePlatform::Children(
    const std::string& folder) const {
  auto order = listing_order.find(folder);
  if (order != listing_order.end()) return order->second;
  std::set<std::string> names;
  for (const std::string& path : dirs) {
    if (Parent(path) == folder) names.insert(path.substr(folder.size() + 1));
  }
  for (const auto& entry : files) {
    if (Parent(entry.first) == folder) {
      names.insert(entry.first.substr(folder.size() + 1));
    }
  }
  std::vector<std::string> listing = {".", ".."};
  listing.insert(listing.end(), names.begin(), names.end());
  return listing;
}

void FakePlatform::Exit(int status) {
  events.push_back("Exit " + std::to_string(status));
  throw ExitCalled{status};
}

int FakePlatform::ShowMessageBox(const std::string& text,
                                 const std::string& caption, unsigned type) {
  Call("Box", caption + ": " + text);
  boxes.push_back(Box{text, caption, type});
  if (type != platform::kBoxYesNo) return ok_result;
  if (answers.empty()) return platform::kIdNo;
  const int answer = answers.front();
  answers.pop_front();
  return answer;
}

long FakePlatform::OpenUserKey(const char* subkey, std::uint32_t access,
                               platform::RegKey* key) {
  if (Call("OpenUserKey", subkey) || access != platform::kKeyRead) {
    return kAccessDenied;
  }
  if (registry.count(Fold(subkey)) == 0) return kFileNotFound;
  keys_.push_back(Fold(subkey));
  ++open_handles;
  *key = ToHandle<platform::RegKey>(keys_.size() - 1);
  return 0;
}

long FakePlatform::QueryKeyValue(platform::RegKey key, const char* name,
                                 unsigned char* data, std::uint32_t* size) {
  if (Call("QueryKeyValue", name)) return kAccessDenied;
  const auto& values = registry[keys_[FromHandle(key)]];
  auto it = values.find(Fold(name));
  if (it == values.end()) return kFileNotFound;
  const std::vector<unsigned char>& bytes = it->second;
  if (bytes.size() > *size) return kMoreData;
  if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
  *size = static_cast<std::uint32_t>(bytes.size());
  return 0;
}

void FakePlatform::CloseKey(platform::RegKey /*key*/) {
  Call("CloseKey");
  --open_handles;
}

bool FakePlatform::QueryVersion(platform::OsVersionInfo* info) {
  if (Call("QueryVersion") || info->dwOSVersionInfoSize != sizeof *info) {
    std::memset(info, 0x5A, sizeof *info);  // A failed query leaves junk.
    return false;
  }
  *info = version;
  return true;
}

platform::Library FakePlatform::LoadLibraryByName(const char* name) {
  if (Call("LoadLibrary", name) || std::strcmp(name, "KERNEL32.DLL") != 0) {
    return nullptr;
  }
  return ToHandle<platform::Library>(0);
}

platform::Proc FakePlatform::FindLibraryEntry(platform::Library /*library*/,
                                              const char* name) {
  if (Call("FindLibraryEntry", name) ||
      std::strcmp(name, "GetDiskFreeSpaceExA") != 0) {
    return nullptr;
  }
  return ToHandle<platform::Proc>(0);
}

bool FakePlatform::CallFreeSpaceEx(platform::Proc /*entry*/,
                                   const std::string& root,
                                   std::uint64_t* caller, std::uint64_t* total,
                                   std::uint64_t* free) {
  if (Call("FreeSpaceEx", root)) return false;
  *caller = free_to_caller;
  *total = 1ull << 40;
  *free = total_free;
  return true;
}

bool FakePlatform::QueryFreeSpace(const std::string& root, std::uint32_t* spc,
                                  std::uint32_t* bps, std::uint32_t* free_count,
                                  std::uint32_t* total_count) {
  if (Call("FreeSpace", root)) return false;
  *spc = sectors_per_cluster;
  *bps = bytes_per_sector;
  *free_count = free_clusters;
  *total_count = free_clusters;
  return true;
}

int FakePlatform::Access(const std::string& path, int /*mode*/, int* error) {
  Call("Access", path);
  if (HasFile(path) || HasDir(path)) return 0;
  *error = platform::kErrNoEnt;
  return -1;
}

int FakePlatform::Stat(const std::string& path) {
  if (Call("Stat", path)) return -1;
  return HasFile(path) || HasDir(path) ? 0 : -1;
}

int FakePlatform::MakeDir(const std::string& path) {
  if (Call("MakeDir", path)) return -1;
  if (HasFile(path) || HasDir(path) || !HasDir(Parent(path))) {
    Fail(HasDir(Parent(path)) ? kAlreadyExists : kPathNotFound);
    return -1;
  }
  dirs.insert(path);
  return 0;
}

int FakePlatform::RemoveDir(const std::string& path) {
  if (Call("RemoveDir", path) || !HasDir(path) || Children(path).size() > 2) {
    return -1;
  }
  dirs.erase(path);
  return 0;
}

platform::EntryType FakePlatform::QueryEntry(const std::string& path) {
  Call("QueryEntry", path);
  if (HasDir(path)) return platform::EntryType::kFolder;
  return HasFile(path) ? platform::EntryType::kOther
                       : platform::EntryType::kNone;
}

platform::Lock FakePlatform::LockFolder(const std::string& folder) {
  if (Call("Lock", folder) || !HasDir(folder)) return nullptr;
  return ToHandle<platform::Lock>(0);
}

void FakePlatform::UnlockFolder(platform::Lock /*lock*/) { Call("Unlock"); }

platform::Listing FakePlatform::OpenListing(const std::string& pattern,
                                            std::string* name) {
  const std::string folder = pattern.substr(0, pattern.size() - 2);
  if (Call("OpenListing", pattern) || pattern.size() < 2 ||
      pattern.compare(pattern.size() - 2, 2, "\\*") != 0 || !HasDir(folder)) {
    Fail(kFileNotFound);
    return nullptr;
  }
  listings_.emplace_back(Children(folder), 1);
  *name = listings_.back().first[0];
  ++open_handles;
  return ToHandle<platform::Listing>(listings_.size() - 1);
}

bool FakePlatform::NextEntry(platform::Listing listing, std::string* name) {
  auto& [names, next] = listings_[FromHandle(listing)];
  if (Call("NextEntry") || next >= names.size()) return false;
  *name = names[next++];
  return true;
}

void FakePlatform::CloseListing(platform::Listing /*listing*/) {
  Call("CloseListing");
  --open_handles;
}

platform::File FakePlatform::OpenExclusive(const std::string& path) {
  if (Call("OpenExclusive", path) || !HasFile(path)) return nullptr;
  open_files_.push_back(path);
  ++open_handles;
  return ToHandle<platform::File>(open_files_.size() - 1);
}

std::uint32_t FakePlatform::FileSize(platform::File file) {
  if (Call("FileSize")) return platform::kInvalidFileSize;
  return static_cast<std::uint32_t>(files[open_files_[FromHandle(file)]].size);
}

void FakePlatform::CloseFile(platform::File /*file*/) {
  Call("CloseFile");
  --open_handles;
}

platform::Stream FakePlatform::OpenStream(const std::string& path) {
  if (Call("OpenStream", path) || !HasFile(path)) return nullptr;
  streams_.push_back(files[path].content);
  ++open_handles;
  return ToHandle<platform::Stream>(streams_.size() - 1);
}

long FakePlatform::ReadStream(platform::Stream stream, char* buffer,
                              long size) {
  if (Call("ReadStream")) return -1;
  std::string& rest = streams_[FromHandle(stream)];
  const std::size_t count =
      std::min(rest.size(), static_cast<std::size_t>(size));
  std::memcpy(buffer, rest.data(), count);
  rest.erase(0, count);
  return static_cast<long>(count);
}

void FakePlatform::CloseStream(platform::Stream /*stream*/) {
  Call("CloseStream");
  --open_handles;
}

bool FakePlatform::CopyFileTo(const std::string& source,
                              const std::string& destination,
                              bool fail_if_exists) {
  if (Call("Copy", source + " -> " + destination +
                       (fail_if_exists ? " unless it exists" : ""))) {
    return false;
  }
  if (!HasDir(Parent(destination))) return Fail(kPathNotFound);
  if (!HasFile(source) || HasDir(destination) ||
      (fail_if_exists && HasFile(destination))) {
    return Fail(kAccessDenied);
  }
  files[destination] = files[source];
  return true;
}

bool FakePlatform::ErrorText(std::uint32_t code, std::string* text) {
  auto it = error_texts.find(code);
  if (it == error_texts.end()) return false;
  *text = it->second;
  return true;
}

bool FakePlatform::RemoveFile(const std::string& path) {
  if (Call("RemoveFile", path)) return false;
  if (files.erase(path) == 0) return Fail(kFileNotFound);
  return true;
}

bool FakePlatform::RenameFile(const std::string& from, const std::string& to,
                              bool replace) {
  if (Call(replace ? "Rename" : "RenameNoReplace", from + " -> " + to)) {
    return false;
  }
  if (!HasDir(Parent(to))) return Fail(kPathNotFound);
  if (!replace && HasFile(to)) return Fail(kAlreadyExists);
  if (!HasFile(from) || HasDir(to)) return Fail(kAccessDenied);
  files[to] = files[from];
  files.erase(from);
  return true;
}

bool FakePlatform::RenameFolder(const std::string& from,
                                const std::string& to) {
  if (Call("RenameFolder", from + " -> " + to) || !HasDir(from) || HasDir(to) ||
      HasFile(to) || !HasDir(Parent(to))) {
    return false;
  }
  // The working folders hold files only.
  std::map<std::string, File> moved;
  for (auto it = files.begin(); it != files.end();) {
    if (Parent(it->first) == from) {
      moved[to + it->first.substr(from.size())] = it->second;
      it = files.erase(it);
    } else {
      ++it;
    }
  }
  files.insert(moved.begin(), moved.end());
  dirs.erase(from);
  dirs.insert(to);
  return true;
}

bool FakePlatform::SameFile(const std::string& a, const std::string& b) {
  Call("SameFile", a + " = " + b);
  return HasFile(a) && HasFile(b) &&
         (a == b || same_files.count({a, b}) != 0 ||
          same_files.count({b, a}) != 0);
}

}  // namespace fake
