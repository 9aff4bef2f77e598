#include "tests/fake_platform.h"

#include <cstring>

#include "platform/reg_file.h"
#include "platform/win32_names.h"
#include "skinsetup/skinsetup.h"

namespace fake {
namespace {

constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorPathNotFound = 3;
constexpr std::uint32_t kErrorAlreadyExists = 183;
constexpr long kErrorMoreData = 234;

template <typename Handle>
Handle ToHandle(std::size_t index) {
  return reinterpret_cast<Handle>(static_cast<std::uintptr_t>(index + 1));
}

template <typename Handle>
std::size_t FromHandle(Handle handle) {
  return static_cast<std::size_t>(reinterpret_cast<std::uintptr_t>(handle)) - 1;
}

}  // namespace

std::string Fold(const std::string& text) { return platform::FoldCase(text); }

int RunSetup(FakePlatform& os, const std::string& tail) {
  try {
    const int status =
        skinsetup::WinMain(os, nullptr, nullptr, tail.c_str(), 1);
    os.exit_status = status;
    return status;
  } catch (const ExitCalled& exit) {
    return exit.status;
  }
}

FakePlatform::FakePlatform() {
  version.dwPlatformId = 2;
  version.dwBuildNumber = 2600;
  error_texts[kErrorAccessDenied] = "Accesso negato.\r\n";
  AddDir("C:");
  AddDir("C:\\Pkg");
}

void FakePlatform::FailCall(const std::string& op, int nth, bool from_then_on) {
  faults_[op].push_back(Fault{nth, from_then_on});
}

bool FakePlatform::Injected(const std::string& op) {
  const int call = ++calls_[op];
  for (const Fault& fault : faults_[op]) {
    if (call == fault.nth || (fault.from_then_on && call > fault.nth)) {
      last_error = kErrorAccessDenied;
      return true;
    }
  }
  return false;
}

void FakePlatform::AddFile(const std::string& path, const std::string& content,
                           int mtime) {
  files[path] = File{content, content.size(), mtime};
}

void FakePlatform::AddFileOfSize(const std::string& path, std::uint64_t size) {
  files[path] = File{"", size, 1};
}

void FakePlatform::AddDir(const std::string& path) { dirs.insert(path); }

void FakePlatform::AddKey(const std::string& key) { registry[Fold(key)]; }

void FakePlatform::SetValue(const std::string& key, const std::string& name,
                            const std::vector<unsigned char>& bytes) {
  registry[Fold(key)][Fold(name)] = bytes;
}

void FakePlatform::SetText(const std::string& key, const std::string& name,
                           const std::string& text) {
  std::vector<unsigned char> bytes(text.begin(), text.end());
  bytes.push_back(0);
  SetValue(key, name, bytes);
}

void FakePlatform::SetDword(const std::string& key, const std::string& name,
                            std::uint32_t value) {
  SetValue(key, name,
           {static_cast<unsigned char>(value),
            static_cast<unsigned char>(value >> 8),
            static_cast<unsigned char>(value >> 16),
            static_cast<unsigned char>(value >> 24)});
}

void FakePlatform::InstallClient(const std::string& dir,
                                 std::uint32_t revision) {
  AddDir(dir);
  SetText("SOFTWARE\\QV CLIENT", "Install Directory", dir);
  SetDword("SOFTWARE\\QV CLIENT\\NEWREVISION", "SKIN-COMPATIBILITY", revision);
}

std::map<std::string, std::string> FakePlatform::Tree(
    const std::string& folder) const {
  std::map<std::string, std::string> tree;
  const std::string prefix = folder + separator;
  for (const auto& [path, file] : files) {
    if (path.compare(0, prefix.size(), prefix) == 0) {
      tree[path] = file.content + "@" + std::to_string(file.mtime);
    }
  }
  for (const std::string& dir : dirs) {
    if (dir == folder || dir.compare(0, prefix.size(), prefix) == 0) {
      tree[dir] = "<dir>";
    }
  }
  return tree;
}

std::vector<std::string> FakePlatform::BoxTexts() const {
  std::vector<std::string> texts;
  for (const Box& box : boxes) texts.push_back(box.text);
  return texts;
}

std::string FakePlatform::Parent(const std::string& path) const {
  const std::size_t at = path.rfind(separator);
  return at == std::string::npos ? "" : path.substr(0, at);
}

std::vector<std::string> FakePlatform::Children(
    const std::string& folder) const {
  auto order = listing_order.find(folder);
  if (order != listing_order.end()) return order->second;
  std::set<std::string> names;
  const std::string prefix = folder + separator;
  auto add = [&](const std::string& path) {
    if (path.size() > prefix.size() &&
        path.compare(0, prefix.size(), prefix) == 0 &&
        path.find(separator, prefix.size()) == std::string::npos) {
      names.insert(path.substr(prefix.size()));
    }
  };
  for (const auto& entry : files) add(entry.first);
  for (const std::string& dir : dirs) add(dir);
  std::vector<std::string> listing = {".", ".."};
  listing.insert(listing.end(), names.begin(), names.end());
  return listing;
}

std::string FakePlatform::RootOf(const std::string& skins_folder) const {
  return skins_folder.substr(0, 3);
}

bool FakePlatform::IsPlainEntryName(const std::string& name) const {
  return platform::IsPlainWin32EntryName(name);
}

bool FakePlatform::IsAbsolutePath(const std::string& path) const {
  return platform::IsAbsoluteWin32Path(path);
}

void FakePlatform::Exit(int status) {
  Log("Exit " + std::to_string(status));
  exit_status = status;
  throw ExitCalled{status};
}

int FakePlatform::ShowMessageBox(const std::string& text,
                                 const std::string& caption, unsigned type) {
  boxes.push_back(Box{text, caption, type});
  Log("Box " + caption + ": " + text);
  if (type != platform::kBoxYesNo) return ok_result;
  if (yes_no_answers.empty()) return platform::kIdNo;
  const int answer = yes_no_answers.front();
  yes_no_answers.pop_front();
  return answer;
}

long FakePlatform::OpenUserKey(const char* subkey, std::uint32_t access,
                               platform::RegKey* key) {
  Log("OpenUserKey " + std::string(subkey));
  opened_keys.push_back(subkey);
  if (access != platform::kKeyRead) return kErrorAccessDenied;
  if (registry.count(Fold(subkey)) == 0) return kErrorFileNotFound;
  keys_.push_back(Key{Fold(subkey)});
  ++open_keys;
  *key = ToHandle<platform::RegKey>(keys_.size() - 1);
  return 0;
}

long FakePlatform::QueryKeyValue(platform::RegKey key, const char* name,
                                 unsigned char* data, std::uint32_t* size) {
  Log("QueryKeyValue " + std::string(name));
  const auto& values = registry[keys_[FromHandle(key)].path];
  auto it = values.find(Fold(name));
  if (it == values.end()) return kErrorFileNotFound;
  if (it->second.size() > *size) {
    *size = static_cast<std::uint32_t>(it->second.size());
    return kErrorMoreData;
  }
  if (!it->second.empty()) {
    std::memcpy(data, it->second.data(), it->second.size());
  }
  *size = static_cast<std::uint32_t>(it->second.size());
  return 0;
}

void FakePlatform::CloseKey(platform::RegKey /*key*/) {
  Log("CloseKey");
  --open_keys;
}

bool FakePlatform::QueryVersion(platform::OsVersionInfo* info) {
  Log("QueryVersion");
  if (info->dwOSVersionInfoSize != sizeof *info) return false;
  if (fail_version) {
    // A failed query may leave anything in the record.
    std::memset(info, 0x5A, sizeof *info);
    return false;
  }
  const std::uint32_t size = info->dwOSVersionInfoSize;
  *info = version;
  info->dwOSVersionInfoSize = size;
  return true;
}

platform::Library FakePlatform::LoadLibraryByName(const char* name) {
  Log("LoadLibrary " + std::string(name));
  if (fail_load_library || std::string(name) != "KERNEL32.DLL") return nullptr;
  return ToHandle<platform::Library>(0);
}

platform::Proc FakePlatform::FindLibraryEntry(platform::Library /*library*/,
                                              const char* name) {
  Log("FindLibraryEntry " + std::string(name));
  if (fail_find_entry || std::string(name) != "GetDiskFreeSpaceExA") {
    return nullptr;
  }
  return ToHandle<platform::Proc>(0);
}

bool FakePlatform::CallFreeSpaceEx(platform::Proc /*entry*/,
                                   const std::string& root,
                                   std::uint64_t* caller, std::uint64_t* total,
                                   std::uint64_t* free) {
  Log("FreeSpaceEx " + root);
  free_space_roots.push_back(root);
  if (fail_free_space_ex) return false;
  *caller = free_to_caller;
  *total = total_bytes;
  *free = total_free;
  return true;
}

bool FakePlatform::QueryFreeSpace(const std::string& root, std::uint32_t* spc,
                                  std::uint32_t* bps, std::uint32_t* free_count,
                                  std::uint32_t* total_count) {
  Log("FreeSpace " + root);
  free_space_roots.push_back(root);
  if (fail_free_space) return false;
  *spc = sectors_per_cluster;
  *bps = bytes_per_sector;
  *free_count = free_clusters;
  *total_count = total_clusters;
  return true;
}

int FakePlatform::Access(const std::string& path, int /*mode*/, int* error) {
  Log("Access " + path);
  if (HasFile(path) || HasDir(path)) return 0;
  *error = platform::kErrNoEnt;
  return -1;
}

int FakePlatform::Stat(const std::string& path) {
  Log("Stat " + path);
  if (Injected("Stat")) return -1;
  return HasFile(path) || HasDir(path) ? 0 : -1;
}

int FakePlatform::MakeDir(const std::string& path) {
  Log("MakeDir " + path);
  if (Injected("MakeDir") || fail_mkdir.count(path) != 0) {
    last_error = kErrorAccessDenied;
    return -1;
  }
  if (HasFile(path) || HasDir(path) || !HasDir(Parent(path))) {
    last_error =
        HasDir(Parent(path)) ? kErrorAlreadyExists : kErrorPathNotFound;
    return -1;
  }
  dirs.insert(path);
  made_dirs.push_back(path);
  return 0;
}

int FakePlatform::RemoveDir(const std::string& path) {
  Log("RemoveDir " + path);
  if (!HasDir(path) || Children(path).size() > 2) return -1;
  dirs.erase(path);
  removed_dirs.push_back(path);
  return 0;
}

platform::EntryType FakePlatform::QueryEntry(const std::string& path) {
  Log("QueryEntry " + path);
  if (HasDir(path)) return platform::EntryType::kFolder;
  return HasFile(path) ? platform::EntryType::kOther
                       : platform::EntryType::kNone;
}

platform::Lock FakePlatform::LockFolder(const std::string& folder) {
  Log("Lock " + folder);
  if (fail_lock || !HasDir(folder)) return nullptr;
  ++held_locks;
  return ToHandle<platform::Lock>(0);
}

void FakePlatform::UnlockFolder(platform::Lock /*lock*/) {
  Log("Unlock");
  --held_locks;
}

platform::Listing FakePlatform::OpenListing(const std::string& pattern,
                                            std::string* name) {
  Log("OpenListing " + pattern);
  const std::string suffix = std::string(1, separator) + "*";
  const int opening = ++listings_opened_[pattern];
  auto from = fail_listing_from.find(pattern);
  if (fail_listing.count(pattern) != 0 ||
      (from != fail_listing_from.end() && opening >= from->second) ||
      pattern.size() < 2 ||
      pattern.compare(pattern.size() - 2, 2, suffix) != 0) {
    last_error = kErrorFileNotFound;
    return nullptr;
  }
  const std::string folder = pattern.substr(0, pattern.size() - 2);
  if (!HasDir(folder)) {
    last_error = kErrorFileNotFound;
    return nullptr;
  }
  std::vector<std::string> names = Children(folder);
  if (names.empty()) return nullptr;
  *name = names[0];
  listings_.push_back(Listing{names, 1});
  ++open_listings;
  return ToHandle<platform::Listing>(listings_.size() - 1);
}

bool FakePlatform::NextEntry(platform::Listing listing, std::string* name) {
  Listing& state = listings_[FromHandle(listing)];
  if (state.next >= state.names.size()) return false;
  *name = state.names[state.next++];
  return true;
}

void FakePlatform::CloseListing(platform::Listing /*listing*/) {
  Log("CloseListing");
  --open_listings;
}

platform::File FakePlatform::OpenExclusive(const std::string& path) {
  Log("OpenExclusive " + path);
  if (!HasFile(path) || locked.count(path) != 0) return nullptr;
  open_file_paths_.push_back(path);
  ++open_files;
  return ToHandle<platform::File>(open_file_paths_.size() - 1);
}

std::uint32_t FakePlatform::FileSize(platform::File file) {
  const std::string& path = open_file_paths_[FromHandle(file)];
  if (fail_size.count(path) != 0) return platform::kInvalidFileSize;
  return static_cast<std::uint32_t>(files[path].size);
}

void FakePlatform::CloseFile(platform::File /*file*/) {
  Log("CloseFile");
  --open_files;
}

platform::Stream FakePlatform::OpenStream(const std::string& path) {
  Log("OpenStream " + path);
  if (!HasFile(path) || fail_stream.count(path) != 0) return nullptr;
  streams_.push_back(Stream{files[path].content, 0});
  ++open_streams;
  return ToHandle<platform::Stream>(streams_.size() - 1);
}

long FakePlatform::ReadStream(platform::Stream stream, char* buffer,
                              long size) {
  Stream& state = streams_[FromHandle(stream)];
  if (stream_error_after >= 0 && state.offset >= stream_error_after) return -1;
  long count = static_cast<long>(state.content.size()) - state.offset;
  if (count > size) count = size;
  if (count > stream_chunk) count = stream_chunk;
  if (stream_error_after >= 0 && state.offset + count > stream_error_after) {
    count = stream_error_after - state.offset;
  }
  std::memcpy(buffer, state.content.data() + state.offset,
              static_cast<std::size_t>(count));
  state.offset += count;
  return count;
}

void FakePlatform::CloseStream(platform::Stream /*stream*/) {
  Log("CloseStream");
  --open_streams;
}

bool FakePlatform::CopyFileTo(const std::string& source,
                              const std::string& destination,
                              bool fail_if_exists) {
  Log("Copy " + source + " -> " + destination);
  if (!HasDir(Parent(destination))) {
    last_error = kErrorPathNotFound;
    return false;
  }
  if (!HasFile(source) || fail_copy_to.count(destination) != 0 ||
      HasDir(destination) || (fail_if_exists && HasFile(destination))) {
    last_error = kErrorAccessDenied;
    return false;
  }
  files[destination] = files[source];
  copies.emplace_back(source, destination);
  return true;
}

bool FakePlatform::ErrorText(std::uint32_t code, std::string* text) {
  auto it = error_texts.find(code);
  if (it == error_texts.end()) return false;
  *text = it->second;
  return true;
}

bool FakePlatform::RemoveFile(const std::string& path) {
  Log("RemoveFile " + path);
  if (!HasFile(path) || fail_remove.count(path) != 0) {
    last_error = kErrorAccessDenied;
    return false;
  }
  files.erase(path);
  deleted.push_back(path);
  return true;
}

bool FakePlatform::RenameFile(const std::string& from, const std::string& to,
                              bool replace) {
  Log(std::string(replace ? "Rename " : "RenameNoReplace ") + from + " -> " +
      to);
  if (!HasDir(Parent(to))) {
    last_error = kErrorPathNotFound;
    return false;
  }
  if (!replace && HasFile(to)) {
    last_error = kErrorAlreadyExists;
    return false;
  }
  if (!HasFile(from) || HasDir(to) || fail_rename_to.count(to) != 0) {
    last_error = kErrorAccessDenied;
    return false;
  }
  files[to] = files[from];
  files.erase(from);
  return true;
}

bool FakePlatform::RenameFolder(const std::string& from,
                                const std::string& to) {
  Log("RenameFolder " + from + " -> " + to);
  if (!HasDir(from) || HasDir(to) || HasFile(to) || !HasDir(Parent(to))) {
    return false;
  }
  const std::string prefix = from + separator;
  std::map<std::string, File> moved;
  for (auto it = files.begin(); it != files.end();) {
    if (it->first.compare(0, prefix.size(), prefix) == 0) {
      moved[to + it->first.substr(from.size())] = it->second;
      it = files.erase(it);
    } else {
      ++it;
    }
  }
  files.insert(moved.begin(), moved.end());
  std::set<std::string> moved_dirs;
  for (auto it = dirs.begin(); it != dirs.end();) {
    if (*it == from || it->compare(0, prefix.size(), prefix) == 0) {
      moved_dirs.insert(to + it->substr(from.size()));
      it = dirs.erase(it);
    } else {
      ++it;
    }
  }
  dirs.insert(moved_dirs.begin(), moved_dirs.end());
  return true;
}

bool FakePlatform::SameFile(const std::string& a, const std::string& b) {
  if (!HasFile(a) || !HasFile(b)) return false;
  return a == b || same_files.count({a, b}) != 0 ||
         same_files.count({b, a}) != 0;
}

}  // namespace fake
