// An in-memory system for the installer's unit tests.
//
// The state is plain maps that a test fills through the setup helpers; the
// public logs record what the installer did (every box with its caption,
// text and buttons, every copy, deletion, folder made or removed, and the
// exit status); switches make one operation fail. Paths look like Windows
// paths, with backslashes and drive letters.

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

// What FakePlatform::Exit throws, so that a test sees the process end.
struct ExitCalled {
  int status;
};

struct File {
  std::string content;
  std::uint64_t size = 0;  // The size reported, normally content.size().
  int mtime = 0;           // Stands in for every time a copy keeps.
};

struct Box {
  std::string text;
  std::string caption;
  unsigned type;
  bool operator==(const Box& other) const {
    return text == other.text && caption == other.caption && type == other.type;
  }
  friend void PrintTo(const Box& box, std::ostream* out) {
    *out << "{\"" << box.text << "\", \"" << box.caption << "\", " << box.type
         << "}";
  }
};

class FakePlatform : public platform::Platform {
 public:
  FakePlatform();

  // --- Setup helpers ---
  void AddFile(const std::string& path, const std::string& content,
               int mtime = 1);
  void AddFileOfSize(const std::string& path, std::uint64_t size);
  void AddDir(const std::string& path);
  void AddKey(const std::string& key);
  void SetValue(const std::string& key, const std::string& name,
                const std::vector<unsigned char>& bytes);
  void SetText(const std::string& key, const std::string& name,
               const std::string& text);
  void SetDword(const std::string& key, const std::string& name,
                std::uint32_t value);
  // A client installed in `dir` with revision `revision`.
  void InstallClient(const std::string& dir, std::uint32_t revision);
  // Everything below `folder`, files and folders, with their contents.
  std::map<std::string, std::string> Tree(const std::string& folder) const;
  bool HasFile(const std::string& path) const { return files.count(path) != 0; }
  bool HasDir(const std::string& path) const { return dirs.count(path) != 0; }
  // The boxes' texts, in order.
  std::vector<std::string> BoxTexts() const;

  // --- State ---
  char separator = '\\';
  std::string exe_suffix = ".exe";
  std::string invocation_name = ".\\setup.exe";
  std::string current_dir = "C:\\Pkg";
  std::map<std::string, File> files;
  std::set<std::string> dirs;
  // A folder's listing in this order instead of ".", ".." and the sorted
  // names.
  std::map<std::string, std::vector<std::string>> listing_order;
  // Keys by path (case folded), values by name (case folded).
  std::map<std::string, std::map<std::string, std::vector<unsigned char>>>
      registry;
  platform::OsVersionInfo version{};
  std::uint64_t free_to_caller = 1u << 30;
  std::uint64_t total_bytes = 1ull << 40;
  std::uint64_t total_free = 1u << 30;
  std::uint32_t sectors_per_cluster = 8;
  std::uint32_t bytes_per_sector = 512;
  std::uint32_t free_clusters = 1u << 18;
  std::uint32_t total_clusters = 1u << 20;
  std::map<std::uint32_t, std::string> error_texts;
  // Pairs of paths that name one file (a link, another spelling).
  std::set<std::pair<std::string, std::string>> same_files;
  std::deque<int> yes_no_answers;   // Scripted; No when none is left.
  int ok_result = platform::kIdOk;  // What OK boxes return.

  // --- Injected faults ---
  // Makes the `nth` call (from 1) of operation `op` (the name the events
  // log gives it) fail, once or, with `from_then_on`, every time after.
  void FailCall(const std::string& op, int nth, bool from_then_on = false);

  // --- Switches that make one operation fail ---
  bool fail_version = false;
  bool fail_load_library = false;
  bool fail_find_entry = false;
  bool fail_free_space_ex = false;
  bool fail_free_space = false;
  std::set<std::string> fail_listing;  // Patterns.
  // Patterns whose n-th and later openings fail.
  std::map<std::string, int> fail_listing_from;
  std::set<std::string> locked;          // Paths OpenExclusive refuses.
  std::set<std::string> fail_size;       // Paths whose size query fails.
  std::set<std::string> fail_stream;     // Paths OpenStream refuses.
  std::set<std::string> fail_copy_to;    // Destinations.
  std::set<std::string> fail_rename_to;  // Rename targets.
  std::set<std::string> fail_remove;     // Files RemoveFile refuses.
  std::set<std::string> fail_mkdir;      // Folders MakeDir refuses.
  bool fail_lock = false;                // No lock can be taken.
  long stream_chunk = 1 << 20;           // Most bytes one read returns.
  long stream_error_after = -1;          // A read error past this offset.

  // --- Logs ---
  std::vector<Box> boxes;
  std::vector<std::string> events;  // Every operation, in order.
  std::vector<std::pair<std::string, std::string>> copies;
  std::vector<std::string> deleted;
  std::vector<std::string> made_dirs;
  std::vector<std::string> removed_dirs;
  std::vector<std::string> opened_keys;
  std::vector<std::string> free_space_roots;
  int exit_status = -1;

  // --- The interface ---
  char Separator() const override { return separator; }
  const char* ExeSuffix() const override { return exe_suffix.c_str(); }
  std::string RootOf(const std::string& skins_folder) const override;
  bool IsPlainEntryName(const std::string& name) const override;
  bool IsAbsolutePath(const std::string& path) const override;
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
  std::uint32_t LastError() override { return last_error; }
  bool ErrorText(std::uint32_t code, std::string* text) override;
  bool RemoveFile(const std::string& path) override;
  bool RenameFile(const std::string& from, const std::string& to,
                  bool replace) override;
  bool RenameFolder(const std::string& from, const std::string& to) override;
  bool SameFile(const std::string& a, const std::string& b) override;

  std::uint32_t last_error = 0;
  // Handles still open: a run that ends normally leaves none.
  int open_keys = 0;
  int open_listings = 0;
  int open_files = 0;
  int open_streams = 0;
  int held_locks = 0;

 private:
  std::string Parent(const std::string& path) const;
  std::vector<std::string> Children(const std::string& folder) const;
  void Log(const std::string& event) { events.push_back(event); }
  // Counts a call of `op`; true when an injected fault makes it fail.
  bool Injected(const std::string& op);

  struct Listing {
    std::vector<std::string> names;
    std::size_t next;
  };
  struct Stream {
    std::string content;
    long offset;
  };
  struct Key {
    std::string path;
  };
  std::vector<Listing> listings_;
  std::vector<Stream> streams_;
  std::vector<Key> keys_;
  std::map<std::string, int> listings_opened_;
  std::vector<std::string> open_file_paths_;
  struct Fault {
    int nth;
    bool from_then_on;
  };
  std::map<std::string, std::vector<Fault>> faults_;
  std::map<std::string, int> calls_;
};

// Runs the installer with `tail` and returns the exit status, whether it
// came back from WinMain or through Exit.
int RunSetup(FakePlatform& os, const std::string& tail);

// Folds ASCII case, as the registry matches names.
std::string Fold(const std::string& text);

}  // namespace fake

#endif  // SKINSETUP_TESTS_FAKE_PLATFORM_H_
