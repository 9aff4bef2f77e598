// An in-memory system for the installer's unit tests, in the manner of a
// virtual file system: plain maps that a test fills, logs of what the
// installer did (every operation with its arguments, every box, the exit
// status), and one way to make an operation fail: call N of it, once or
// from then on. Paths look like Windows paths. It knows the system only
// through platform/platform.h.

#ifndef SKINSETUP_TESTS_FAKE_PLATFORM_H_
#define SKINSETUP_TESTS_FAKE_PLATFORM_H_

#include <cstdint>
#include <deque>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace fake {

// What Exit throws, so that a test sees the process end.
struct ExitCalled {
  int status;
};

struct File {
  std::string content;
  std::uint64_t size;  // The size reported, normally content.size().
  int mtime;           // Stands in for every time a copy keeps.
};

struct Box {
  std::string text;
  std::string caption;
  unsigned type;
  bool operator==(const Box& o) const {
    return text == o.text && caption == o.caption && type == o.type;
  }
  friend void PrintTo(const Box& box, std::ostream* out) {
    *out << "{\"" << box.text << "\", \"" << box.caption << "\", " << box.type
         << "}";
  }
};

class FakePlatform : public platform::Platform {
 public:
  FakePlatform();

  // --- Setup ---
  void AddFile(const std::string& path, const std::string& content,
               int mtime = 1) {
    files[path] = File{content, content.size(), mtime};
  }
  void SetValue(const std::string& key, const std::string& name,
                const std::vector<unsigned char>& bytes) {
    registry[Fold(key)][Fold(name)] = bytes;
  }
  void SetDword(const std::string& key, const std::string& name,
                std::uint32_t value);
  // Makes call `nth` (from 1) of operation `op`, as the events name it,
  // fail with access denied: once, or every time from then on.
  void FailCall(const std::string& op, int nth = 1, bool from_then_on = false) {
    faults_[op].push_back({nth, from_then_on});
  }

  // --- Queries ---
  bool HasFile(const std::string& path) const { return files.count(path) != 0; }
  bool HasDir(const std::string& path) const { return dirs.count(path) != 0; }
  // Whether an event starting with `prefix` happened.
  bool Happened(const std::string& prefix) const;
  // Everything below `folder` (and itself), with contents and times.
  std::map<std::string, std::string> Tree(const std::string& folder) const;
  static std::string Fold(std::string text);

  // --- State ---
  std::string invocation_name = ".\\setup.exe";
  std::string current_dir = "C:\\Pkg";
  std::map<std::string, File> files;
  std::set<std::string> dirs = {"C:", "D:"};
  // A folder's listing in this order, instead of ".", ".." and the names.
  std::map<std::string, std::vector<std::string>> listing_order;
  // Keys and value names case folded, as the registry matches them.
  std::map<std::string, std::map<std::string, std::vector<unsigned char>>>
      registry;
  platform::OsVersionInfo version{148, 5, 1, 2600, 2, ""};
  std::uint64_t free_to_caller = 1u << 30;
  std::uint64_t total_free = 1u << 30;
  std::uint32_t sectors_per_cluster = 8;
  std::uint32_t bytes_per_sector = 512;
  std::uint32_t free_clusters = 1u << 18;
  std::map<std::uint32_t, std::string> error_texts = {
      {5, "Accesso negato.\r\n"}};
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
  bool IsAbsolutePath(const std::string& path) const override {
    return (path.size() > 1 && path[1] == ':') || path.rfind("\\\\", 0) == 0;
  }
  std::string InvocationName() override { return invocation_name; }
  std::string CurrentDirectory() override { return current_dir; }
  [[noreturn]] void Exit(int status) override;
  int ShowMessageBox(const std::string& text, const std::string& caption,
                     unsigned type) override;
  long OpenUserKey(const char* subkey, std::uint32_t access,
                   platform::RegKey* key) override;
  long QueryKeyValue(platform::RegKey key, const char* name,
                     unsigned char* data, std::uint32_t* size) override;
  void CloseKey(platform::RegKey key) override;
  bool QueryVersion(platform::OsVersionInfo* info) override;
  platform::Library LoadLibraryByName(const char* name) override;
  platform::Proc FindLibraryEntry(platform::Library library,
                                  const char* name) override;
  bool CallFreeSpaceEx(platform::Proc entry, const std::string& root,
                       std::uint64_t* caller, std::uint64_t* total,
                       std::uint64_t* free) override;
  bool QueryFreeSpace(const std::string& root, std::uint32_t* spc,
                      std::uint32_t* bps, std::uint32_t* free_clusters,
                      std::uint32_t* total_clusters) override;
  int Access(const std::string& path, int mode, int* error) override;
  int Stat(const std::string& path) override;
  int MakeDir(const std::string& path) override;
  int RemoveDir(const std::string& path) override;
  platform::EntryType QueryEntry(const std::string& path) override;
  platform::Lock LockFolder(const std::string& folder) override;
  void UnlockFolder(platform::Lock lock) override;
  platform::Listing OpenListing(const std::string& pattern,
                                std::string* name) override;
  bool NextEntry(platform::Listing listing, std::string* name) override;
  void CloseListing(platform::Listing listing) override;
  platform::File OpenExclusive(const std::string& path) override;
  std::uint32_t FileSize(platform::File file) override;
  void CloseFile(platform::File file) override;
  platform::Stream OpenStream(const std::string& path) override;
  long ReadStream(platform::Stream stream, char* buffer, long size) override;
  void CloseStream(platform::Stream stream) override;
  bool CopyFileTo(const std::string& source, const std::string& destination,
                  bool fail_if_exists) override;
  std::uint32_t LastError() override { return last_error_; }
  bool ErrorText(std::uint32_t code, std::string* text) override;
  bool RemoveFile(const std::string& path) override;
  bool RenameFile(const std::string& from, const std::string& to,
                  bool replace) override;
  bool RenameFolder(const std::string& from, const std::string& to) override;
  bool SameFile(const std::string& a, const std::string& b) override;

 private:
  // Logs the call and counts it; true (with the error set) when it fails.
  bool Call(const std::string& op, const std::string& args = "");
  // Sets the error of a failed call; returns false, the call's result.
  bool Fail(std::uint32_t error);
  std::string Parent(const std::string& path) const;
  std::vector<std::string> Children(const std::string& folder) const;

  struct Fault {
    int nth;
    bool from_then_on;
  };
  std::map<std::string, std::vector<Fault>> faults_;
  std::map<std::string, int> calls_;
  std::uint32_t last_error_ = 0;
  // Open handles: a key's path, a listing's names, a file's path, a
  // stream's unread bytes.
  std::vector<std::string> keys_;
  std::vector<std::pair<std::vector<std::string>, std::size_t>> listings_;
  std::vector<std::string> open_files_;
  std::vector<std::string> streams_;
};

}  // namespace fake

#endif  // SKINSETUP_TESTS_FAKE_PLATFORM_H_
