// An in-memory system for the installer's unit tests, in the manner of a
// virtual file system: plain maps that a test fills, logs of what the
// installer did (every call with its arguments, every box, the exit status)
// and one way to make an operation fail: call N of it, once or from then on.
// Paths look like Windows paths. It knows the system only through
// platform/platform.h.
//
// It can also act out what real Windows does and Wine does not: names that
// differ only in case are one name (NTFS's default); a new entry whose name
// is no 8.3 name receives a short alias, as NTFS makes them on a system
// volume (and a test may add its own); file ids of zero, reparse points that
// are not links (a synced folder's placeholder), folders that Controlled Folder
// Access protects (every write into them is denied, for good), and other
// processes that hold files open (a scanner that opens every file written or
// moved into place, for a moment), whose files cannot be renamed or opened
// exclusively, nor replaced, whose folders cannot be renamed, and whose
// deleted files keep their names until they let go; and other processes
// whose current folder cannot be renamed or removed. Time passes only in
// Pause.

#ifndef SKINSETUP_TESTS_FAKE_PLATFORM_H_
#define SKINSETUP_TESTS_FAKE_PLATFORM_H_

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace fake {

using namespace platform;  // NOLINT: the interface's types, everywhere.
using Bytes = std::vector<unsigned char>;
using Tree = std::map<std::string, std::string>;
using S = const std::string&;
using u32 = std::uint32_t;
using u64 = std::uint64_t;

struct ExitCalled {  // What Exit throws, so that a test sees the end.
  int status;
};

struct File {
  std::string content;
  u64 size;   // The size reported, normally content.size().
  int mtime;  // Stands in for every time a copy keeps.
  u64 id;     // The file's id on its volume; hard links share it.
};

// Another process's handle on a file: until a time of the fake's clock, and
// whether it lets others delete (and rename) the file meanwhile.
struct Hold {
  int until;
  bool shares_delete = true;
};
constexpr int kForever = -1;  // Until Release().

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

// Windows' error codes, as the installer passes them on. FailCall's is an
// I/O error, which no retry mends.
enum : u32 {
  kNotFound = 2,
  kNoPath = 3,
  kDenied = 5,
  kSharing = 32,
  kFileExists = 80,
  kNotEmpty = 145,
  kExists = 183,
  kFault = 1117
};

class FakePlatform : public Platform {
 public:
  // --- Setup ---
  void AddFile(S path, S content, int mtime = 1) {
    files[path] = File{content, content.size(), mtime, ++next_id_};
  }
  void SetValue(S key, S name, Bytes bytes) {
    registry[Fold(key)][Fold(name)] = bytes;
  }
  // Makes call `nth` (from 1) of operation `op`, as the events name it,
  // fail with an I/O error: once, or every time from then on.
  void FailCall(S op, int nth = 1, bool from_then_on = false) {
    faults_[op].push_back({nth, from_then_on});
  }
  // Makes every call that the events name `event` fail with an I/O error.
  void FailEvent(S event) { failing_events_.insert(event); }

  // --- Queries ---
  bool HasFile(S path) const { return files.count(path); }
  bool HasDir(S path) const { return dirs.count(path); }
  bool Happened(S prefix) const {  // Whether an event starts so.
    return std::any_of(events.begin(), events.end(),
                       [&](S e) { return e.rfind(prefix, 0) == 0; });
  }
  // Everything below `folder` (and itself), with contents and times.
  Tree TreeOf(S folder) const {
    Tree tree;
    auto below = [&](S p) { return (p + '\\').rfind(folder + '\\', 0) == 0; };
    for (auto& [path, f] : files)
      if (below(path)) tree[path] = f.content + "@" + std::to_string(f.mtime);
    for (auto& dir : dirs)
      if (below(dir)) tree[dir] = "<dir>";
    return tree;
  }
  // Whether FailCall can fail the operation: all but those that tell the
  // caller nothing (see the interface).
  static bool CanFail(S op) {
    static const std::set<std::string> never = {
        "SuppressSystemBoxes", "Pause",     "Unlock",      "CloseKey",
        "CloseListing",        "CloseFile", "CloseStream", "CloseLog"};
    return never.count(op) == 0;
  }
  // Another process lets go of every file it holds.
  void Release() { Advance(0, true); }
  static std::string Fold(std::string text) {
    for (char& c : text) c = (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c;
    return text;
  }

  // --- State ---
  std::string invocation_name = ".\\setup.exe", current_dir = "C:\\Pkg";
  std::string program_file = "C:\\Pkg\\setup.exe";  // The running one.
  std::map<std::string, File> files;
  std::set<std::string> dirs = {"C:", "D:"};
  // A folder's listing in this order, instead of ".", ".." and the names.
  std::map<std::string, std::vector<std::string>> listing_order;
  // Keys and value names case folded, as the registry matches them.
  std::map<std::string, std::map<std::string, Bytes>> registry;
  OsVersionInfo version{148, 5, 1, 2600, 2, ""};
  u64 free_to_caller = 1u << 30, total_free = 1u << 30;
  std::map<u32, std::string> error_texts = {
      {kFault, "Errore di I/O.\r\n"},
      {kDenied, "Accesso negato.\r\n"},
      {kFileExists, "Il file esiste.\r\n"}};
  std::deque<int> answers;      // To Yes/No boxes; No when none is left.
  std::string standard_output;  // What a log there ("/LOG=-") wrote.

  // --- Logs ---
  std::vector<Box> boxes;
  std::vector<std::string> events;
  std::map<std::string, int> calls;  // Of each operation, as events name it.
  int open_handles = 0;  // Keys, listings, files, streams, digests open.

  // --- Strict Windows ---
  std::map<std::string, std::string> short_names;  // Alias: long path.
  bool make_short_names = true;  // For each new entry with a long name.
  // Other processes' current folders, which Windows locks against being
  // deleted, moved or renamed while they run (SetCurrentDirectory).
  std::set<std::string> current_dirs;
  bool zero_volume = false, zero_ids = false;  // Identities unknown.
  std::map<std::string, Hold> held;            // Files others hold, by path.
  // A folder's reparse tag; only a name-surrogate one (a symbolic link, a
  // junction, a mount point: bit 29) makes it a link.
  std::map<std::string, u32> reparse_tags;
  std::set<std::string> protected_dirs;  // Writing below them is denied.
  std::map<std::string, std::string> environment;
  std::set<std::string> pending;  // Deleted while held: names that stay.
  // With `scanner.until` set, each file written or moved into place is held
  // that long from then on (or for ever).
  Hold scanner{0};
  int now = 0;  // The clock, in milliseconds.
  // Another installer holds the Skins folder's lock until then.
  int locked_until = 0;

  // --- The interface ---
  char Separator() const override { return '\\'; }
  const char* ExeSuffix() const override { return ".exe"; }
  bool IsAbsolutePath(S p) const override {
    return (p.size() > 1 && p[1] == ':') || p.rfind("\\\\", 0) == 0;
  }
  // The argument vector, the time, the pause, the closes and the lock's
  // release cannot fail: nothing tells the caller. Every other operation
  // fails at the call FailCall names.
  std::string InvocationName() override { return invocation_name; }
  std::string CurrentDirectory() override {
    return Call("CurrentDirectory") ? "" : current_dir;
  }
  [[noreturn]] void Exit(int status) override {
    events.push_back("Exit " + std::to_string(status));
    throw ExitCalled{status};
  }
  std::string LocalTime() override { return "2026-12-07 10:00:00"; }
  void SuppressSystemBoxes() override { Call("SuppressSystemBoxes"); }
  void Pause(unsigned ms) override {
    Call("Pause", std::to_string(ms));
    Advance(static_cast<int>(ms), false);
  }
  bool IsSharingError(u32 code) const override { return code == kSharing; }
  bool IsNotFound(u32 code) const override {
    return code == kNotFound || code == kNoPath;
  }
  bool IsShortAlias(u32 code) const override { return code == kFileExists; }
  bool IsAccessDenied(u32 code) const override { return code == kDenied; }
  bool EnvironmentValue(S name, std::string* value) override {
    if (Call("EnvironmentValue", name)) return false;
    auto it = environment.find(name);
    return it != environment.end() && (*value = it->second, true);
  }
  int ShowMessageBox(S text, S caption, unsigned type) override {
    // Logged as asked for, even one that cannot be shown.
    const bool fails = Call("Box", caption + ": " + text);
    boxes.push_back(Box{text, caption, type});
    if (fails) return 0;
    if (type != kBoxYesNo) return kIdOk;
    const int answer = answers.empty() ? kIdNo : answers.front();
    if (!answers.empty()) answers.pop_front();
    return answer;
  }

  // A log is a file of `files`, appended to.
  Log OpenLog(S path_asked) override {
    const std::string path = Long(path_asked);
    if (Call("OpenLog", path_asked) || !HasDir(Parent(path)) || HasDir(path))
      return Fail(kNoPath), nullptr;
    if (!HasFile(path)) AddFile(path, ""), MakeShortName(path);
    return Open<Log>({path});
  }
  Log OpenStandardOutput() override {
    return Call("OpenStandardOutput") ? nullptr : Open<Log>({""});
  }
  bool LogFileId(Log log, FileId* id) override {
    return !Call("LogFileId") && IdOf(At(log)[0], id);
  }
  bool AppendLog(Log log, S text) override {
    if (Call("AppendLog")) return false;
    (At(log)[0].empty() ? standard_output : files[At(log)[0]].content) += text;
    return true;
  }
  void CloseLog(Log) override { Close("CloseLog"); }

  long OpenUserKey(const char* subkey, u32 access, RegKey* key) override {
    if (Call("OpenUserKey", subkey) || access != kKeyRead) return kDenied;
    if (!registry.count(Fold(subkey))) return kNotFound;
    return *key = Open<RegKey>({Fold(subkey)}), 0;
  }
  long QueryKeyValue(RegKey key, const char* name, unsigned char* data,
                     u32* size) override {
    if (Call("QueryKeyValue", name)) return kDenied;
    auto& values = registry[At(key)[0]];
    auto it = values.find(Fold(name));
    if (it == values.end()) return kNotFound;
    if (it->second.size() > *size) return 234;  // More data.
    std::copy(it->second.begin(), it->second.end(), data);
    return *size = static_cast<u32>(it->second.size()), 0;
  }
  void CloseKey(RegKey) override { Close("CloseKey"); }

  bool QueryVersion(OsVersionInfo* info) override {
    if (Call("QueryVersion") || info->dwOSVersionInfoSize != sizeof *info)
      return std::memset(info, 0x5A, sizeof *info), false;  // Junk.
    return *info = version, true;
  }
  Library LoadLibraryByName(const char* name) override {
    return Call("LoadLibrary", name) || std::strcmp(name, "KERNEL32.DLL")
               ? nullptr
               : reinterpret_cast<Library>(1);
  }
  Proc FindLibraryEntry(Library, const char* name) override {
    return Call("FindLibraryEntry", name) ||
                   std::strcmp(name, "GetDiskFreeSpaceExA")
               ? nullptr
               : reinterpret_cast<Proc>(1);
  }
  bool CallFreeSpaceEx(Proc, S folder, u64* caller, u64* total,
                       u64* free) override {
    if (Call("FreeSpaceEx", folder)) return false;
    *caller = free_to_caller, *total = 1ull << 40, *free = total_free;
    return true;
  }
  bool QueryFreeSpace(S folder, u32* spc, u32* bps, u32* free,
                      u32* total) override {
    if (Call("FreeSpace", folder)) return false;
    *spc = 8, *bps = 512;  // And 2^18 clusters: 1 GiB.
    return *free = *total = 1 << 18, true;
  }

  int Access(S path, int, int* error) override {
    if (Call("Access", path)) return *error = 5, -1;  // EIO.
    return Exists(Long(path)) ? 0 : (*error = kErrNoEnt, -1);
  }
  int Stat(S path) override {
    if (Call("Stat", path)) return -1;
    return Exists(Long(path)) ? 0 : (Fail(kNotFound), -1);
  }
  int MakeDir(S path_asked) override {
    if (Call("MakeDir", path_asked)) return -1;
    const std::string path = Long(path_asked);
    if (!HasDir(Parent(path))) return Fail(kNoPath), -1;
    if (Protected(path)) return Fail(kDenied), -1;
    if (Exists(path)) return Fail(kExists), -1;
    return dirs.insert(path), MakeShortName(path), 0;
  }
  int RemoveDir(S path_asked) override {
    if (Call("RemoveDir", path_asked)) return -1;
    const std::string path = Long(path_asked);
    if (!HasDir(path)) return Fail(kNotFound), -1;
    if (Protected(path)) return Fail(kDenied), -1;
    if (current_dirs.count(path)) return Fail(kSharing), -1;
    if (Children(path).size() > 2) return Fail(kNotEmpty), -1;
    return dirs.erase(path), ForgetShortNames(path), 0;
  }
  EntryType QueryEntry(S path) override {
    if (Call("QueryEntry", path)) return EntryType::kNone;
    const std::string p = Long(path);  // A deleted file's name opens no more.
    if (pending.count(p)) return Fail(kDenied), EntryType::kNone;
    const EntryType type = TypeOf(p);
    if (type == EntryType::kNone) Fail(kNotFound);
    return type;
  }
  bool HoldFolder(S folder) override {
    return !Call("HoldFolder", folder) &&
           (HasDir(Long(folder)) || Fail(kNotFound)) &&
           (!IsLink(Long(folder)) || Fail(kNotFound));
  }
  Lock LockFolder(S folder_asked, bool* busy) override {
    *busy = false;
    if (Call("Lock", folder_asked)) return nullptr;
    const std::string folder = Long(folder_asked);
    if (!HasDir(folder)) return Fail(kNoPath), nullptr;
    if (Protected(folder + "\\.skinsetup-lock")) return Fail(kDenied), nullptr;
    *busy = locked_until == kForever || now < locked_until;
    return *busy ? nullptr : reinterpret_cast<Lock>(1);
  }
  void UnlockFolder(Lock) override { Call("Unlock"); }

  Listing OpenListing(S pattern, std::string* name) override {
    // "\*" lists the root of the current folder's drive, as on Windows.
    const std::string named = pattern.substr(0, pattern.size() - 2);
    const std::string folder =
        Long(named.empty() ? current_dir.substr(0, 2) : named);
    if (Call("OpenListing", pattern) || named + "\\*" != pattern ||
        !HasDir(folder))
      return Fail(kNotFound), nullptr;
    std::vector<std::string> names = Children(folder);
    *name = names[0];
    names.insert(names.begin(), folder);  // Then the entry named last.
    return Open<Listing>(names);
  }
  bool NextEntry(Listing listing, std::string* name) override {
    auto& state = At(listing);
    if (Call("NextEntry")) return false;
    if (state.size() < 3) return Fail(0);
    *name = state[2];
    return state.erase(state.begin() + 1), true;
  }
  EntryType ListedType(Listing listing) override {
    if (Call("ListedType")) return EntryType::kNone;
    return TypeOf(At(listing)[0] + '\\' + At(listing)[1]);
  }
  void CloseListing(Listing) override { Close("CloseListing"); }

  platform::File OpenExclusive(S path_asked, EntryType) override {
    const std::string path = Long(path_asked);
    if (Call("OpenExclusive", path_asked) || !HasFile(path)) return nullptr;
    // The running program's own file is mapped, and shares no exclusive open.
    if (Held(path) || path == Long(program_file))
      return Fail(kSharing), nullptr;
    return Open<platform::File>({path});
  }
  bool OpenedFileId(platform::File file, FileId* id) override {
    return !Call("OpenedFileId") && IdOf(At(file)[0], id);
  }
  bool FileSize(platform::File file, u64* size) override {
    return !Call("FileSize") && (*size = files[At(file)[0]].size, true);
  }
  void CloseFile(platform::File) override { Close("CloseFile"); }
  Stream OpenStream(S path) override {
    return Call("OpenStream", path) || !HasFile(Long(path))
               ? nullptr
               : Open<Stream>({files[Long(path)].content,
                               std::to_string(files[Long(path)].size)});
  }
  bool StreamSize(Stream stream, u64* size) override {
    return !Call("StreamSize") && (*size = std::stoull(At(stream)[1]), true);
  }
  long ReadStream(Stream stream, char* buffer, long size) override {
    if (Call("ReadStream")) return -1;
    std::string& rest = At(stream)[0];
    const std::size_t count = std::min(rest.size(), std::size_t(size));
    std::memcpy(buffer, rest.data(), count);
    return rest.erase(0, count), static_cast<long>(count);
  }
  void CloseStream(Stream) override { Close("CloseStream"); }
  // A digest that a test can read: "H(" and the bytes added, then ")".
  Digest OpenDigest() override {
    return Call("OpenDigest") ? nullptr : Open<Digest>({""});
  }
  bool AddToDigest(Digest digest, const char* bytes, long size) override {
    return !Call("AddToDigest") && (At(digest)[0].append(bytes, size), true);
  }
  std::string FinishDigest(Digest digest) override {
    const bool fails = Call("FinishDigest");
    --open_handles;
    return fails ? "" : "H(" + At(digest)[0] + ")";
  }

  bool CopyFileTo(S from_asked, S to, EntryType) override {
    if (Call("Copy", from_asked + " -> " + to)) return false;
    const std::string from = Long(from_asked), dest = Long(to);
    if (!HasDir(Parent(dest))) return Fail(kNoPath);
    if (Protected(dest)) return Fail(kDenied);
    if (!HasFile(from) || HasDir(dest) || pending.count(dest))
      return Fail(kDenied);
    if (HasFile(dest)) return Fail(kFileExists);
    if (Held(dest) && !held[dest].shares_delete) return Fail(kSharing);
    files[dest] = files[from];
    files[dest].id = ++next_id_;
    return MakeShortName(dest), Watch(dest), true;
  }
  u32 LastError() override { return last_error_; }
  bool ErrorText(u32 code, std::string* text) override {
    return !Call("ErrorText") && error_texts.count(code) &&
           (*text = error_texts[code], true);
  }
  bool RemoveFile(S path) override {
    if (Call("RemoveFile", path)) return false;
    const std::string p = Long(path);
    if (!HasFile(p)) return Fail(kNotFound);
    if (pending.count(p) || Protected(p)) return Fail(kDenied);
    if (!Held(p)) return files.erase(p), ForgetShortNames(p), true;
    if (!held[p].shares_delete) return Fail(kSharing);
    return pending.insert(p), true;
  }
  // Never replaces: the installer never asks to, and Windows refuses to
  // replace a file that anyone holds, whatever it shares.
  bool RenameFile(S from_path, S to_path) override {
    if (Call("Rename", from_path + " -> " + to_path)) return false;
    const std::string from = Long(from_path), to = Long(to_path);
    // The source is looked at first: its name as listed, then what it is.
    if (!Exists(from)) return Fail(kNotFound);
    if (IsShortName(from_path)) return Fail(kFileExists);
    if (!HasFile(from)) return Fail(kDenied);
    if (!HasDir(Parent(to))) return Fail(kNoPath);
    if (Exists(to)) return Fail(kExists);
    if (pending.count(from) || pending.count(to) || Protected(from) ||
        Protected(to))
      return Fail(kDenied);
    if (Held(from) && !held[from].shares_delete) return Fail(kSharing);
    files[to] = files[from];
    files.erase(from);
    ForgetShortNames(from);
    MakeShortName(to);
    if (held.count(from)) held[to] = held[from], held.erase(from);
    return Watch(to), true;
  }
  // The working folders hold files only.
  bool RenameFolder(S from_asked, S to_asked) override {
    if (Call("RenameFolder", from_asked + " -> " + to_asked)) return false;
    const std::string from = Long(from_asked), to = Long(to_asked);
    if (!HasDir(from) || !HasDir(Parent(to))) return Fail(kNotFound);
    if (Exists(to)) return Fail(kExists);
    if (Protected(from) || Protected(to)) return Fail(kDenied);
    for (S dir : current_dirs)
      if ((dir + '\\').rfind(from + '\\', 0) == 0) return Fail(kSharing);
    for (auto& [path, hold] : held)
      if (path.rfind(from + '\\', 0) == 0) return Fail(kDenied);
    for (auto it = files.lower_bound(from + '\\');
         it != files.end() && it->first.rfind(from + '\\', 0) == 0;) {
      ForgetShortNames(it->first);
      files[to + it->first.substr(from.size())] = it->second;
      MakeShortName(to + it->first.substr(from.size()));
      it = files.erase(it);
    }
    ForgetShortNames(from);
    dirs.erase(from), dirs.insert(to);
    return MakeShortName(to), true;
  }
  bool SyncFolder(S folder) override {
    return !Call("SyncFolder", folder) && HasDir(Long(folder));
  }
  bool QueryFileId(S path, bool, FileId* id) override {
    return !Call("QueryFileId", path) && IdOf(Long(path), id);
  }
  bool ProgramFileId(FileId* id) override {
    return !Call("ProgramFileId") && IdOf(Long(program_file), id);
  }
  bool IdOf(S p, FileId* id) {
    if (!Exists(p)) return Fail(kNotFound);
    // A folder's id is its name's, here where folders never move but
    // whole: a renamed one is another (which no test asks about).
    const u64 number = HasDir(p)
                           ? std::hash<std::string>()(Fold(p)) | 1ull << 63
                           : files[p].id;
    *id = FileId{zero_volume ? 0u : 0x1234u, {}};  // One volume.
    if (!zero_ids) std::memcpy(id->id, &number, sizeof(u64));
    return true;
  }
  bool IsListedName(S path) override {
    if (Call("IsListedName", path)) return false;
    if (IsShortName(path)) return Fail(kFileExists);
    return Exists(Long(path)) || Fail(kNotFound);
  }

 private:
  // Logs the call and counts it; true, with the error set, when it fails.
  bool Call(S op, S args = "") {
    events.push_back(args.empty() ? op : op + " " + args);
    const int call = ++calls[op];
    if (!CanFail(op)) return false;
    if (failing_events_.count(events.back())) return !Fail(kFault);
    for (const auto& [nth, from_then_on] : faults_[op]) {
      if (call == nth || (from_then_on && call > nth)) return !Fail(kFault);
    }
    return false;
  }
  bool Fail(u32 error) { return last_error_ = error, false; }
  // The entry that `path` names, as stored: through a short alias, and in
  // any case; for a name that nothing has, its folder as stored and the
  // name as asked.
  std::string Long(S path) const {
    if (Exists(path)) return path;
    const std::string folded = Fold(path);
    for (auto& [alias, long_path] : short_names)
      if (Fold(alias) == folded) return long_path;
    for (auto& [stored, file] : files)
      if (Fold(stored) == folded) return stored;
    for (S stored : dirs)
      if (Fold(stored) == folded) return stored;
    const std::size_t at = path.rfind('\\');
    return at == std::string::npos ? path
                                   : Long(path.substr(0, at)) + path.substr(at);
  }
  bool IsShortName(S path) const {
    for (auto& [alias, long_path] : short_names)
      if (Fold(alias) == Fold(path)) return true;
    return false;
  }
  // NTFS gives an entry whose name is no 8.3 name (longer, with blanks,
  // leading or several dots, or other signs than 8.3 allows) an alias:
  // up to six of its letters in capitals, leading dots, blanks and dots
  // skipped and "+,;=[]" made "_" (RtlGenerate8dot3Name), "~" and the
  // first free number, and up to three of its extension's: so NTFS names
  // the first four of a kind, and a hash of the name replaces the number
  // after that, which no test needs.
  void MakeShortName(S path) {
    if (!make_short_names) return;
    const std::string name = path.substr(path.rfind('\\') + 1);
    const std::size_t dot = name.rfind('.');
    const std::string base = name.substr(0, dot);
    const std::string ext =
        dot == std::string::npos ? "" : name.substr(dot + 1);
    auto fits = [](S part, std::size_t most) {
      return !part.empty() && part.size() <= most &&
             part.find_first_of(" .+,;=[]") == std::string::npos;
    };
    if (fits(base, 8) && (dot == std::string::npos || fits(ext, 3))) return;
    auto capitals = [](S part, std::size_t most) {
      std::string kept;
      for (char c : part) {
        if (kept.size() == most) break;
        if (std::strchr("+,;=[]", c) != nullptr)
          kept += '_';
        else if (c != ' ' && c != '.')
          kept += (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
      }
      return kept;
    };
    const std::string stem = capitals(base, 6),
                      suffix = ext.empty() ? "" : "." + capitals(ext, 3);
    for (int n = 1;; ++n) {
      const std::string alias =
          Parent(path) + '\\' + stem + '~' + std::to_string(n) + suffix;
      if (!Exists(alias) && !IsShortName(alias))
        return void(short_names[alias] = path);
    }
  }
  void ForgetShortNames(S path) {
    for (auto it = short_names.begin(); it != short_names.end();)
      it = it->second == path ? short_names.erase(it) : std::next(it);
  }
  bool Held(S path) const { return held.count(path); }
  bool IsLink(S path) const {
    auto tag = reparse_tags.find(path);
    return tag != reparse_tags.end() && (tag->second & 0x20000000u) != 0;
  }
  EntryType TypeOf(S path) const {
    return IsLink(path)    ? EntryType::kOther
           : HasDir(path)  ? EntryType::kFolder
           : HasFile(path) ? EntryType::kFile
                           : EntryType::kNone;
  }
  bool Protected(S path) const {
    for (S dir : protected_dirs)
      if (path.rfind(dir + '\\', 0) == 0) return true;
    return false;
  }
  void Watch(S path) {
    if (scanner.until != 0)
      held[path] = {scanner.until == kForever ? kForever : now + scanner.until,
                    scanner.shares_delete};
  }
  // Moves the clock on; handles whose time is up close, and the files
  // deleted meanwhile go with them.
  void Advance(int ms, bool all) {
    now += ms;
    for (auto it = held.begin(); it != held.end();) {
      if (!all && (it->second.until == kForever || it->second.until > now)) {
        ++it;
        continue;
      }
      if (pending.erase(it->first)) files.erase(it->first);
      it = held.erase(it);
    }
  }
  bool Exists(S path) const { return HasFile(path) || HasDir(path); }
  static std::string Parent(S path) {
    const std::size_t at = path.rfind('\\');
    return at == std::string::npos ? "" : path.substr(0, at);
  }
  std::vector<std::string> Children(S folder) const {
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
  // stream's unread bytes, a listing's names still to come, a digest's bytes.
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
  std::set<std::string> failing_events_;
  u32 last_error_ = 0;
  u64 next_id_ = 0;
  std::vector<std::vector<std::string>> handles_;
};

}  // namespace fake

#endif  // SKINSETUP_TESTS_FAKE_PLATFORM_H_
