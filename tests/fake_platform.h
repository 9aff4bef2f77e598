// An in-memory system for the installer's unit tests, in the manner of a
// virtual file system: plain maps that a test fills, logs of what the
// installer did (every call with its arguments, every box, the exit status)
// and one way to make an operation fail: call N of it, once or from then on.
// Paths look like Windows paths. It knows the system only through
// platform/platform.h.

#ifndef SKINSETUP_TESTS_FAKE_PLATFORM_H_
#define SKINSETUP_TESTS_FAKE_PLATFORM_H_

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace fake {

using Bytes = std::vector<unsigned char>;
using Tree = std::map<std::string, std::string>;
using platform::EntryType;

struct ExitCalled {  // What Exit throws, so that a test sees the end.
  int status;
};

struct File {
  std::string content;
  std::uint64_t size;  // The size reported, normally content.size().
  int mtime;           // Stands in for every time a copy keeps.
};

struct Box {
  std::string text, caption;
  unsigned type;
  bool operator==(const Box& o) const {
    return text == o.text && caption == o.caption && type == o.type;
  }
  friend void PrintTo(const Box& b, std::ostream* out) {
    *out << "{\"" << b.caption << "\", \"" << b.text << "\", " << b.type << "}";
  }
};

// Windows' error codes, as the installer passes them on.
enum : std::uint32_t {
  kFileNotFound = 2,
  kPathNotFound = 3,
  kAccessDenied = 5,
  kAlreadyExists = 183,
  kMoreData = 234
};

class FakePlatform : public platform::Platform {
 public:
  // --- Setup ---
  void AddFile(const std::string& path, const std::string& content,
               int mtime = 1) {
    files[path] = File{content, content.size(), mtime};
  }
  void SetValue(const std::string& key, const std::string& name, Bytes bytes) {
    registry[Fold(key)][Fold(name)] = bytes;
  }
  void SetDword(const std::string& key, const std::string& name,
                std::uint32_t v) {
    SetValue(key, name,
             {Bytes::value_type(v), Bytes::value_type(v >> 8),
              Bytes::value_type(v >> 16), Bytes::value_type(v >> 24)});
  }
  // Makes call `nth` (from 1) of operation `op`, as the events name it,
  // fail with access denied: once, or every time from then on.
  void FailCall(const std::string& op, int nth = 1, bool from_then_on = false) {
    faults_[op].push_back({nth, from_then_on});
  }

  // --- Queries ---
  bool HasFile(const std::string& path) const { return files.count(path); }
  bool HasDir(const std::string& path) const { return dirs.count(path); }
  bool Happened(const std::string& prefix) const {  // An event starting so.
    return std::any_of(events.begin(), events.end(),
                       [&](auto& e) { return e.rfind(prefix, 0) == 0; });
  }
  // Everything below `folder` (and itself), with contents and times.
  Tree TreeOf(const std::string& folder) const {
    Tree tree;
    auto below = [&](auto& p) {
      return (p + '\\').rfind(folder + '\\', 0) == 0;
    };
    for (auto& [path, f] : files)
      if (below(path)) tree[path] = f.content + "@" + std::to_string(f.mtime);
    for (auto& dir : dirs)
      if (below(dir)) tree[dir] = "<dir>";
    return tree;
  }
  static std::string Fold(std::string text) {
    for (char& c : text) c = (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c;
    return text;
  }

  // --- State ---
  std::string invocation_name = ".\\setup.exe";
  std::string current_dir = "C:\\Pkg";
  std::map<std::string, File> files;
  std::set<std::string> dirs = {"C:", "D:"};
  // A folder's listing in this order, instead of ".", ".." and the names.
  std::map<std::string, std::vector<std::string>> listing_order;
  // Keys and value names case folded, as the registry matches them.
  std::map<std::string, std::map<std::string, Bytes>> registry;
  platform::OsVersionInfo version{148, 5, 1, 2600, 2, ""};
  std::uint64_t free_to_caller = 1u << 30, total_free = 1u << 30;
  std::uint32_t sectors_per_cluster = 8, bytes_per_sector = 512,
                free_clusters = 1u << 18;
  std::map<std::uint32_t, std::string> error_texts = {
      {kAccessDenied, "Accesso negato.\r\n"}};
  std::set<std::pair<std::string, std::string>> same_files;  // One file.
  std::deque<int> answers;          // To Yes/No boxes; No when none is left.
  int ok_result = platform::kIdOk;  // What OK boxes return.

  // --- Logs ---
  std::vector<Box> boxes;
  std::vector<std::string> events;
  int open_handles = 0;  // Keys, listings, files and streams not closed.

  // --- The interface ---
  char Separator() const override { return '\\'; }
  const char* ExeSuffix() const override { return ".exe"; }
  std::string RootOf(const std::string& skins) const override {
    return skins.substr(0, 3);
  }
  bool IsPlainEntryName(const std::string& name) const override {
    return name.find(':') == std::string::npos;  // "C:x" names a drive.
  }
  bool IsAbsolutePath(const std::string& p) const override {
    return (p.size() > 1 && p[1] == ':') || p.rfind("\\\\", 0) == 0;
  }
  std::string InvocationName() override { return invocation_name; }
  std::string CurrentDirectory() override { return current_dir; }
  [[noreturn]] void Exit(int status) override {
    events.push_back("Exit " + std::to_string(status));
    throw ExitCalled{status};
  }
  int ShowMessageBox(const std::string& text, const std::string& caption,
                     unsigned type) override {
    Call("Box", caption + ": " + text);
    boxes.push_back(Box{text, caption, type});
    if (type != platform::kBoxYesNo) return ok_result;
    const int answer = answers.empty() ? platform::kIdNo : answers.front();
    if (!answers.empty()) answers.pop_front();
    return answer;
  }

  long OpenUserKey(const char* subkey, std::uint32_t access,
                   platform::RegKey* key) override {
    if (Call("OpenUserKey", subkey) || access != platform::kKeyRead)
      return kAccessDenied;
    if (!registry.count(Fold(subkey))) return kFileNotFound;
    *key = Open<platform::RegKey>({Fold(subkey)});
    return 0;
  }
  long QueryKeyValue(platform::RegKey key, const char* name,
                     unsigned char* data, std::uint32_t* size) override {
    if (Call("QueryKeyValue", name)) return kAccessDenied;
    auto& values = registry[At(key)[0]];
    auto it = values.find(Fold(name));
    if (it == values.end()) return kFileNotFound;
    if (it->second.size() > *size) return kMoreData;
    std::copy(it->second.begin(), it->second.end(), data);
    *size = static_cast<std::uint32_t>(it->second.size());
    return 0;
  }
  void CloseKey(platform::RegKey) override { Close("CloseKey"); }

  bool QueryVersion(platform::OsVersionInfo* info) override {
    if (Call("QueryVersion") || info->dwOSVersionInfoSize != sizeof *info) {
      std::memset(info, 0x5A, sizeof *info);  // A failed query leaves junk.
      return false;
    }
    *info = version;
    return true;
  }
  platform::Library LoadLibraryByName(const char* name) override {
    return Call("LoadLibrary", name) || std::strcmp(name, "KERNEL32.DLL")
               ? nullptr
               : reinterpret_cast<platform::Library>(1);
  }
  platform::Proc FindLibraryEntry(platform::Library,
                                  const char* name) override {
    return Call("FindLibraryEntry", name) ||
                   std::strcmp(name, "GetDiskFreeSpaceExA")
               ? nullptr
               : reinterpret_cast<platform::Proc>(1);
  }
  bool CallFreeSpaceEx(platform::Proc, const std::string& root,
                       std::uint64_t* caller, std::uint64_t* total,
                       std::uint64_t* free) override {
    if (Call("FreeSpaceEx", root)) return false;
    *caller = free_to_caller, *total = 1ull << 40, *free = total_free;
    return true;
  }
  bool QueryFreeSpace(const std::string& root, std::uint32_t* spc,
                      std::uint32_t* bps, std::uint32_t* free,
                      std::uint32_t* total) override {
    if (Call("FreeSpace", root)) return false;
    *spc = sectors_per_cluster, *bps = bytes_per_sector;
    *free = *total = free_clusters;
    return true;
  }

  int Access(const std::string& path, int, int* error) override {
    Call("Access", path);
    if (Exists(path)) return 0;
    *error = platform::kErrNoEnt;
    return -1;
  }
  int Stat(const std::string& path) override {
    return Call("Stat", path) || !Exists(path) ? -1 : 0;
  }
  int MakeDir(const std::string& path) override {
    if (Call("MakeDir", path)) return -1;
    if (!HasDir(Parent(path))) return Fail(kPathNotFound), -1;
    if (Exists(path)) return Fail(kAlreadyExists), -1;
    dirs.insert(path);
    return 0;
  }
  int RemoveDir(const std::string& path) override {
    if (Call("RemoveDir", path) || !HasDir(path) || Children(path).size() > 2)
      return -1;
    dirs.erase(path);
    return 0;
  }
  EntryType QueryEntry(const std::string& path) override {
    Call("QueryEntry", path);
    return HasDir(path)    ? EntryType::kFolder
           : HasFile(path) ? EntryType::kOther
                           : EntryType::kNone;
  }
  platform::Lock LockFolder(const std::string& folder) override {
    return Call("Lock", folder) || !HasDir(folder)
               ? nullptr
               : reinterpret_cast<platform::Lock>(1);
  }
  void UnlockFolder(platform::Lock) override { Call("Unlock"); }

  platform::Listing OpenListing(const std::string& pattern,
                                std::string* name) override {
    const std::size_t end = pattern.size() - 2;
    if (Call("OpenListing", pattern) || pattern.size() < 2 ||
        pattern.substr(end) != "\\*" || !HasDir(pattern.substr(0, end)))
      return Fail(kFileNotFound), nullptr;
    std::vector<std::string> names = Children(pattern.substr(0, end));
    *name = names[0];
    names.erase(names.begin());
    return Open<platform::Listing>(names);
  }
  bool NextEntry(platform::Listing listing, std::string* name) override {
    auto& rest = At(listing);
    if (Call("NextEntry") || rest.empty()) return false;
    *name = rest[0];
    rest.erase(rest.begin());
    return true;
  }
  void CloseListing(platform::Listing) override { Close("CloseListing"); }

  platform::File OpenExclusive(const std::string& path) override {
    return Call("OpenExclusive", path) || !HasFile(path)
               ? nullptr
               : Open<platform::File>({path});
  }
  std::uint32_t FileSize(platform::File file) override {
    return Call("FileSize") ? platform::kInvalidFileSize
                            : std::uint32_t(files[At(file)[0]].size);
  }
  void CloseFile(platform::File) override { Close("CloseFile"); }
  platform::Stream OpenStream(const std::string& path) override {
    return Call("OpenStream", path) || !HasFile(path)
               ? nullptr
               : Open<platform::Stream>({files[path].content});
  }
  long ReadStream(platform::Stream stream, char* buffer, long size) override {
    if (Call("ReadStream")) return -1;
    std::string& rest = At(stream)[0];
    const std::size_t count = std::min(rest.size(), std::size_t(size));
    std::memcpy(buffer, rest.data(), count);
    rest.erase(0, count);
    return static_cast<long>(count);
  }
  void CloseStream(platform::Stream) override { Close("CloseStream"); }

  bool CopyFileTo(const std::string& from, const std::string& to,
                  bool fail_if_exists) override {
    if (Call("Copy",
             from + " -> " + to + (fail_if_exists ? " unless it exists" : "")))
      return false;
    if (!HasDir(Parent(to))) return Fail(kPathNotFound);
    if (!HasFile(from) || HasDir(to) || (fail_if_exists && HasFile(to)))
      return Fail(kAccessDenied);
    files[to] = files[from];
    return true;
  }
  std::uint32_t LastError() override { return last_error_; }
  bool ErrorText(std::uint32_t code, std::string* text) override {
    if (!error_texts.count(code)) return false;
    *text = error_texts[code];
    return true;
  }
  bool RemoveFile(const std::string& path) override {
    if (Call("RemoveFile", path)) return false;
    return files.erase(path) ? true : Fail(kFileNotFound);
  }
  bool RenameFile(const std::string& from, const std::string& to,
                  bool replace) override {
    if (Call(replace ? "Rename" : "RenameNoReplace", from + " -> " + to))
      return false;
    if (!HasDir(Parent(to))) return Fail(kPathNotFound);
    if (!replace && HasFile(to)) return Fail(kAlreadyExists);
    if (!HasFile(from) || HasDir(to)) return Fail(kAccessDenied);
    files[to] = files[from];
    files.erase(from);
    return true;
  }
  // The working folders hold files only.
  bool RenameFolder(const std::string& from, const std::string& to) override {
    if (Call("RenameFolder", from + " -> " + to) || !HasDir(from) ||
        Exists(to) || !HasDir(Parent(to)))
      return false;
    const std::string prefix = from + '\\';
    for (auto it = files.lower_bound(prefix);
         it != files.end() && it->first.rfind(prefix, 0) == 0;) {
      files[to + it->first.substr(from.size())] = it->second;
      it = files.erase(it);
    }
    return dirs.erase(from), dirs.insert(to), true;
  }
  bool SameFile(const std::string& a, const std::string& b) override {
    Call("SameFile", a + " = " + b);
    return HasFile(a) && HasFile(b) &&
           (a == b || same_files.count({a, b}) || same_files.count({b, a}));
  }

 private:
  // Logs the call and counts it; true, with the error set, when it fails.
  bool Call(const std::string& op, const std::string& args = "") {
    events.push_back(args.empty() ? op : op + " " + args);
    const int call = ++calls_[op];
    for (const auto& [nth, from_then_on] : faults_[op]) {
      if (call == nth || (from_then_on && call > nth))
        return !Fail(kAccessDenied);
    }
    return false;
  }
  bool Fail(std::uint32_t error) { return last_error_ = error, false; }
  bool Exists(const std::string& path) const {
    return HasFile(path) || HasDir(path);
  }
  static std::string Parent(const std::string& path) {
    const std::size_t at = path.rfind('\\');
    return at == std::string::npos ? "" : path.substr(0, at);
  }
  std::vector<std::string> Children(const std::string& folder) const {
    auto order = listing_order.find(folder);
    if (order != listing_order.end()) return order->second;
    std::set<std::string> names;
    for (auto& dir : dirs)
      if (Parent(dir) == folder) names.insert(dir.substr(folder.size() + 1));
    for (auto& [path, f] : files)
      if (Parent(path) == folder) names.insert(path.substr(folder.size() + 1));
    std::vector<std::string> listing = {".", ".."};
    return listing.insert(listing.end(), names.begin(), names.end()), listing;
  }
  // A handle is the index of its state: a key's path, a file's path, a
  // stream's unread bytes, a listing's names still to come.
  template <typename Handle>
  Handle Open(std::vector<std::string> state) {
    ++open_handles;
    handles_.push_back(state);
    return reinterpret_cast<Handle>(handles_.size());
  }
  template <typename Handle>
  std::vector<std::string>& At(Handle handle) {
    return handles_[reinterpret_cast<std::uintptr_t>(handle) - 1];
  }
  void Close(const char* op) { Call(op), --open_handles; }

  std::map<std::string, std::vector<std::pair<int, bool>>> faults_;
  std::map<std::string, int> calls_;
  std::uint32_t last_error_ = 0;
  std::vector<std::vector<std::string>> handles_;
};

}  // namespace fake

#endif  // SKINSETUP_TESTS_FAKE_PLATFORM_H_
