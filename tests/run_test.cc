// Whole runs on the fake system. Most are rows of one table: what the system
// holds, the exit status, every box in order, and what must hold afterwards.
// (The phases' order shows in the trace test.)

#include <set>
#include <sstream>

#include "skinsetup/kept_files.h"
#include "tests/test_support.h"

namespace fake {
namespace {

// A row's setup, and its check of the system after the run against the
// Skins folder as it was before.
// clang-format off
#define SET(...) __LINE__, [](FakePlatform& os) { (void)os; __VA_ARGS__; }
#define THEN(...) [](FakePlatform& os, const Tree& before) { \
    return (void)before, static_cast<bool>(__VA_ARGS__); }
// clang-format on

struct Row {
  int line;
  void (*setup)(FakePlatform&);
  int status;
  std::vector<Box> boxes;
  bool (*then)(FakePlatform&, const Tree&) = nullptr;
  const char* tail = "Blue";
  const char* outcome = "";  // The log's last line, "" for no log at all.
};
#define LOG "/LOG=\"C:\\log.txt\" "

std::string Kept(int slot, const std::string& name = "") {
  return InSkin(KeptFolderName(slot)) + (name.empty() ? "" : "\\" + name);
}
std::string Discard(const std::string& name = "") {
  return InSkin(DiscardFolderName(0)) + (name.empty() ? "" : "\\" + name);
}
const std::string kLongest = "E:\\" + std::string(252, 'x');
// A client in `dir`, stored as `stored`.
void InDir(FakePlatform& os, const std::string& stored,
           const std::string& dir) {
  InstallDir(os, stored);
  os.dirs.insert({dir, dir + "\\Skins"});
}
// `count` letters of U+10000, each two UTF-16 units on Windows.
std::string Astral(int count) {
  std::string name;
  while (count-- > 0) name += "\xF0\x90\x80\x80";
  return name;
}
std::string InSkins(const std::string& name) {
  return std::string(kSkins) + "\\" + name;
}
const std::string kMax7 = "SKIN-COMPATIBILITY-MAX=7\n";
void Map(FakePlatform& os, const std::string& text) {
  os.AddFile(InPkg("cliver.map"), text);
}
void Revision(FakePlatform& os, Bytes bytes) {
  os.SetValue(kRevisionKey, "SKIN-COMPATIBILITY", bytes);
}
void Version(FakePlatform& os, std::uint32_t platform_id, std::uint32_t build) {
  os.version.dwPlatformId = platform_id;
  os.version.dwBuildNumber = build;
}
// A run stopped after its copy left a discard folder, to be emptied first.
void Leftover(FakePlatform& os) {
  os.dirs.insert(Discard());
  os.AddFile(Discard("b.bmp"), "older b", 2);
}
// Where the first event that starts with `prefix` stands in the run.
std::ptrdiff_t at(const FakePlatform& run, const std::string& prefix) {
  return std::find_if(run.events.begin(), run.events.end(),
                      [&](auto& e) { return e.rfind(prefix, 0) == 0; }) -
         run.events.begin();
}
bool Same(FakePlatform& os, const Tree& before) {
  return os.TreeOf(kSkins) == before;
}
// The skin is as it was, the earlier a.bmp still kept aside, and the log
// says so with the system's reason.
bool NotPutBack(FakePlatform& os, const Tree& before) {
  return Same(os, before) &&
         os.files["C:\\log.txt"].content.find(
             Expand("{kLogNotPutBack} ") + Kept(0, "a.bmp") +
             ": Errore di I/O.") != std::string::npos;
}
constexpr char kCopyFailed[] =
    "{kLogOutcome} {kCannotCopy}{kCodeLabel}1 ({kLogStatus} 0)";
Tree Installed() {  // The package, fresh.
  return {{kSkin, "<dir>"},
          {InSkin("a.bmp"), "aaaa@1"},
          {InSkin("b.bmp"), "bb@1"},
          {InSkin("cliver.map"), std::string(kMap) + "@1"}};
}
const std::vector<Box> kRolledBack = {CopyError(), kD, F("kCannotCopy", 1)};
const std::vector<Box> kAskedAndRolledBack = {kQ, CopyError(), kD,
                                              F("kCannotCopy", 1)};

// clang-format off
const Row kRows[] = {
  // Success: the success box's own result is the status.
  {SET(), 1, {kS}, THEN(os.TreeOf(kSkin) == Installed())},
  // The client, its directory and its revision.
  {SET(os.registry.clear()), 0, {F("kNotInstalled", 2)}},
  {SET(os.registry[FakePlatform::Fold(kClientKey)].clear()), 0,
   {F("kNotInstalled", 1)}, THEN(os.events.rbegin()[1] == "CloseKey")},
  {SET(InstallDir(os, "D:\\" + std::string(253, 'x'))), 0,  // No zero.
   {F("kNotInstalled", 1)}},
  {SET(InstallDir(os, std::string("", 1))), 0, {F("kNotInstalled", 1)}},
  // The longest directory that fits, one stored without a terminating
  // zero, and one that ends in a separator, which keeps it.
  {SET(InDir(os, kLongest + '\0', kLongest)), 1, {kS},
   THEN(os.HasFile(kLongest + "\\Skins\\Blue\\a.bmp"))},
  {SET(InDir(os, "E:\\B", "E:\\B")), 1, {kS},
   THEN(os.HasFile("E:\\B\\Skins\\Blue\\a.bmp"))},
  {SET(InDir(os, std::string("E:\\\0", 4), "E:\\")), 1, {kS},
   THEN(os.HasFile("E:\\\\Skins\\Blue\\a.bmp"))},
  {SET(os.registry.erase(FakePlatform::Fold(kRevisionKey))), 0,
   {F("kIncompatible", 2)}},
  {SET(os.registry[FakePlatform::Fold(kRevisionKey)].clear()), 0,
   {F("kIncompatible", 1)}, THEN(os.events.rbegin()[1] == "CloseKey")},
  {SET(Map(os, "SKIN-COMPATIBILITY-MIN=261\nSKIN-COMPATIBILITY-MAX=261\n");
       Revision(os, {5, 1})), 1, {kS}},  // Little-endian: 256 + 5.
  {SET(Map(os, "SKIN-COMPATIBILITY-MIN=5\nSKIN-COMPATIBILITY-MAX=5\n")), 1,
   {kS}},
  {SET(Map(os, "SKIN-COMPATIBILITY-MIN=0\nSKIN-COMPATIBILITY-MAX=0\n");
       Revision(os, {0})), 1, {kS}},
  // The map's lines: a name without a value, a line without a name, no
  // range (or half of one, or an empty one); nothing is read from the
  // registry before the map has given one. A missing last line feed
  // changes nothing, a later value replaces an earlier one, and a long
  // line is two: 511 characters, then a name without a value.
  {SET(Map(os, "AUTHOR\n")), 0, {F("kCannotInstall", 6)},
   THEN(!os.Happened(std::string("OpenUserKey ") + kRevisionKey))},
  {SET(Map(os, "= A\n")), 0, {F("kCannotInstall", 5)}},
  {SET(Map(os, "")), 0, {F("kCannotInstall", 7)}},
  {SET(Map(os, kMax7)), 0, {F("kCannotInstall", 7)}},
  {SET(Map(os, "SKIN-COMPATIBILITY-MIN=-3\n" + kMax7)), 0,
   {F("kCannotInstall", 7)}},
  {SET(Map(os, "SKIN-COMPATIBILITY-MIN=6\nSKIN-COMPATIBILITY-MAX=5\n")), 0,
   {F("kCannotInstall", 7)}},
  {SET(Map(os, std::string(kMap, sizeof kMap - 2))), 1, {kS}},
  {SET(Map(os, "SKIN-COMPATIBILITY-MIN=9\n" + kMax7 +
               "SKIN-COMPATIBILITY-MIN=5\n")), 1, {kS}},
  {SET(Map(os, "X=" + std::string(598, 'x') + "\n" + kMap)), 0,
   {F("kCannotInstall", 6)}},
  {SET(Map(os, "X=" + std::string(509, 'x') + "\n" + kMap)), 1, {kS}},
  {SET(Map(os, "SKIN-COMPATIBILITY-MIN=6\nSKIN-COMPATIBILITY-MAX=7\n")), 0,
   {F("kIncompatible", 3)}},
  {SET(Map(os, "SKIN-COMPATIBILITY-MIN=3\nSKIN-COMPATIBILITY-MAX=4\n")), 0,
   {F("kIncompatible", 3)}},
  // The Skins folder's free space, by the query the version chooses, for
  // the 56 bytes needed: all free bytes, not the caller's quota; whole sizes.
  {SET(os.FailCall("FreeSpaceEx")), 0, {F("kCannotInstall", 3)}},
  {SET(Version(os, 1, 950); os.FailCall("FreeSpace")), 0,
   {F("kCannotInstall", 4)}},
  {SET(Version(os, 2, 0)), 1, {kS},
   THEN(os.Happened("FreeSpaceEx " + std::string(kSkins)))},
  {SET(Version(os, 1, 1001)), 1, {kS}, THEN(os.Happened("FreeSpaceEx"))},
  {SET(Version(os, 1, 1000)), 1, {kS},
   THEN(os.Happened("FreeSpace " + std::string(kSkins)))},
  {SET(os.total_free = 56; os.free_to_caller = 0), 1, {kS}},
  {SET(os.files[InPkg("a.bmp")].size += 1ull << 32), 0, {F("kNoSpace", 1)}},
  // The scan, in listing order, and the map.
  {SET(os.files.erase(InPkg("cliver.map"))), 0, {F("kCannotInstall", 10)}},
  {SET(os.FailCall("OpenListing")), 0, {kI, F("kCannotInstall", 10)}},
  // A read error ends the map with what was read: here, nothing, though
  // the next read would succeed.
  {SET(os.FailCall("ReadStream")), 0, {F("kCannotInstall", 7)}},
  // A file that cannot be opened ahead of a bad map: no map is read.
  {SET(Map(os, "SKIN-COMPATIBILITY-MIN=6\n"); os.FailCall("OpenExclusive");
       os.listing_order["C:\\Pkg"] = {".", "..", "a.bmp", "cliver.map"}),
   0, {F("kCannotInstall", 8)}, THEN(!os.Happened("OpenStream"))},
  // The installer knows its own file by identity, however it was started;
  // a file of its name that is not the running program is a package file.
  // Where the system tells no identities (file ids of zero), the name it
  // was started under decides, with ".exe" added where it has none, and an
  // earlier file is replaced.
  {SET(os.invocation_name = "C:\\PKG\\SETUP.EXE"), 1, {kS},
   THEN(!os.HasFile(InSkin("setup.exe")))},
  {SET(os.AddFile(os.program_file = "C:\\setup.exe", "MZ")), 1, {kS},
   THEN(os.HasFile(InSkin("setup.exe")))},
  {SET(Earlier(os); os.zero_ids = true; os.invocation_name = ".\\setup"), 1,
   {kQ, kS},
   THEN(!os.HasFile(InSkin("setup.exe")) &&
        os.files[InSkin("a.bmp")].content == "aaaa")},
  // The Skins folder: made only for an accepted skin; made meanwhile by
  // another installer (missing when the run looks, there when it comes to
  // make it).
  {SET(os.dirs.erase(kSkins); os.dirs.erase("D:\\Apps\\Client")), 0,
   {F("kCannotCreateSkins", 1)}},
  {SET(os.FailCall("Stat"); os.FailCall("MakeDir")), 1, {kS},
   THEN(os.Happened(std::string("MakeDir ") + kSkins))},
  // A reinstall asks first, with the Skins folder locked, once what an
  // interrupted run left is in order (here, discarded); No changes nothing
  // more. Any other answer goes on: package files replaced, the user's
  // kept, the earlier ones kept aside without replacing anything, then
  // discarded through the discard folder once the copy is whole.
  {SET(Earlier(os); Leftover(os); os.answers = {kIdNo}), 0, {kQ},
   THEN(os.TreeOf(kSkin) == Tree({{kSkin, "<dir>"},
                                  {InSkin("a.bmp"), "old a@7"},
                                  {InSkin("notes.txt"), "mine@8"}}))},
  {SET(Earlier(os); Leftover(os)), 1, {kQ, kS},
   THEN(os.TreeOf(kSkin) == [] {
          Tree tree = Installed();
          tree[InSkin("notes.txt")] = "mine@8";
          return tree;
        }() && os.Happened("Rename " + InSkin("a.bmp") + " -> " +
                    Kept(0, "a.bmp")) &&
        os.Happened("RemoveFile " + Discard("a.bmp")) &&
        !os.Happened("Pause"))},  // Nothing held: no waiting.
  // The map is copied last, whatever the listing's order: a skin folder
  // holds it only once every other file is in.
  {SET(os.listing_order["C:\\Pkg"] = {".", "..", "cliver.map", "a.bmp",
                                       "b.bmp", "setup.exe"}),
   1, {kS}, THEN(at(os, "Copy C:\\Pkg\\cliver.map") >
                 at(os, "Copy C:\\Pkg\\b.bmp"))},
  // A failed copy: every other file is still copied, one rollback follows,
  // and the Skins folder is exactly as it was, earlier files included.
  {SET(os.FailCall("Copy", 2)), 0, kRolledBack,
   THEN(Same(os, before) && os.Happened("Copy C:\\Pkg\\cliver.map"))},
  {SET(Earlier(os); os.FailCall("Copy", 2)), 0, kAskedAndRolledBack,
   THEN(Same(os, before) && os.Happened("Copy C:\\Pkg\\cliver.map"))},
  // New files that cannot be put on the disk count as a failed copy.
  {SET(Earlier(os); os.FailCall("SyncFolder", 1, true)), 0,
   kAskedAndRolledBack, Same},
  {SET(os.FailCall("SyncFolder", 2)), 0, kRolledBack, Same},
  {SET(Earlier(os); os.FailCall("OpenListing", 2)), 0,
   {kQ, kI, kD, F("kCannotCopy", 1)}, Same},
  // The copy error box tells the real reason: the system's text, else the
  // number; where the skin folder or a working folder cannot be made, the
  // making's error, not the copies' missing path.
  {SET(Earlier(os); os.error_texts.clear(); os.FailCall("Copy")), 0,
   {kQ, CopyError(1117), kD, F("kCannotCopy", 1)}, Same},
  {SET(os.FailCall("MakeDir")), 0,
   {CopyError(), CopyError(), CopyError(), kD, F("kCannotCopy", 1)}, Same},
  // A restore that fails keeps the earlier file aside, and the new one in
  // its place.
  {SET(Earlier(os); os.FailCall("Copy", 2); os.FailCall("Rename", 4)), 0,
   kAskedAndRolledBack, THEN(os.files[Kept(0, "a.bmp")].content == "old a" &&
                             os.files[InSkin("a.bmp")].content == "aaaa")},
  // A working folder that cannot be looked at is never taken for gone: the
  // discard folder beside it stays for the next run; an earlier file that
  // cannot go back stops the run, and the skin stays as it was.
  {SET(Earlier(os); Leftover(os); os.dirs.insert(Kept(0));
       os.AddFile(Kept(0, "a.bmp"), "older a");
       os.FailEvent("QueryEntry " + Kept(0))),
   1, {kQ, kS},
   THEN([&] {
     FakePlatform next = Installation();
     next.files = os.files, next.dirs = os.dirs, next.answers = {kIdYes};
     return RunSetup(next) == 1 &&
            next.files[InSkin("a.bmp")].content == "aaaa" &&
            !next.HasDir(Kept(0));
   }())},
  // An earlier file that cannot be put back, its move refused or its
  // place unseen, stays for the next run; the log names it and why.
  {SET(Earlier(os); os.dirs.insert(Kept(0));
       os.AddFile(Kept(0, "a.bmp"), "older a");
       os.FailEvent("Rename " + Kept(0, "a.bmp") + " -> " + InSkin("a.bmp"))),
   0, {CopyError(), F("kCannotCopy", 1)}, NotPutBack, LOG "Blue", kCopyFailed},
  {SET(Earlier(os); os.dirs.insert(Kept(0));
       os.AddFile(Kept(0, "a.bmp"), "older a");
       os.FailEvent("QueryEntry " + InSkin("a.bmp"))),
   0, {CopyError(), F("kCannotCopy", 1)}, NotPutBack, LOG "Blue", kCopyFailed},
  {SET(Earlier(os); Leftover(os); os.FailEvent("QueryEntry " + Discard())),
   0, {CopyError(), F("kCannotCopy", 1)}, Same},
  {SET(Earlier(os); Leftover(os); os.FailEvent("QueryEntry " + Discard())),
   1603, {}, Same, "/S /UNINSTALL Blue"},
  {SET(Earlier(os); os.dirs.insert(Kept(1)); os.FailEvent("QueryEntry " + Kept(1))),
   0, {CopyError(), F("kCannotCopy", 1)}, Same},
  // Interrupted runs are finished first: earlier files kept aside in two
  // slots go back, the oldest last; a discard folder is emptied.
  {SET(Earlier(os); Leftover(os); os.dirs.insert({Kept(1), Kept(2)});
       os.AddFile(Kept(1, "notes.txt"), "mine before", 3);
       os.AddFile(Kept(2, "notes.txt"), "mine later", 4);
       os.FailCall("Copy", 2)),
   0, kAskedAndRolledBack,
   THEN(os.TreeOf(kSkin) == Tree{{kSkin, "<dir>"}, {InSkin("a.bmp"), "old a@7"},
                                 {InSkin("notes.txt"), "mine before@3"}})},
  // What real Windows does and Wine does not. A package file that a preview
  // holds is waited for, a moment but not for ever.
  {SET(os.held[InPkg("b.bmp")] = {500, false}), 1, {kS}},
  {SET(os.held[InPkg("b.bmp")] = {kForever, false}), 0,
   {F("kCannotInstall", 8)}},
  // A new file that a scanner holds cannot be replaced, and deleted keeps
  // its name: it is set aside for the earlier file to come back, and its
  // folder, empty once the scanner lets go, is the next run's to remove.
  {SET(Earlier(os); os.scanner = {kForever}; os.FailCall("Copy", 2)), 0,
   kAskedAndRolledBack, THEN(os.Release(), os.dirs.erase(InSkin(
                                               NewFolderName(0))),
                             Same(os, before))},
  // A short 8.3 alias names another file, which is never kept aside.
  {SET(Earlier(os); os.AddFile(InPkg("BACKGR~1.BMP"), "short");
       os.AddFile(InSkin("Background image.bmp"), "long", 9);
       os.short_names[InSkin("BACKGR~1.BMP")] = InSkin("Background image.bmp")),
   0, {kQ, CopyError("Il file esiste.\r\n"), kD, F("kCannotCopy", 1)}, Same},
  // One name in any case; a long name's short alias, which another package
  // file cannot take; another process's current folder, which stays.
  {SET(os.dirs.insert(kSkin); os.AddFile(InSkin("A.BMP"), "old a");
       os.answers = {kIdYes}), 1, {kQ, kS},
   THEN(os.TreeOf(kSkin) == Installed())},
  {SET(os.AddFile(InPkg("Background image.bmp"), "long");
       os.AddFile(InPkg("BACKGR~1.BMP"), "short");
       os.listing_order["C:\\Pkg"] = {".", "..", "Background image.bmp",
                                       "BACKGR~1.BMP", "cliver.map"}),
   0, {CopyError("Il file esiste.\r\n"), kD, F("kCannotCopy", 1)}, Same},
  {SET(os.dirs.insert(kSkin); os.AddFile(InSkin("a.bmp"), "a");
       os.current_dirs.insert(kSkin)), 0, {},
   THEN(os.TreeOf(kSkin) == Tree{{kSkin, "<dir>"}}), "/S /UNINSTALL Blue"},
  // Volume serials (here of two volumes whose ids meet) of zero tell
  // nothing, as file ids of zero do: the earlier file is replaced.
  {SET(Earlier(os); os.zero_volume = true;
       os.files[InSkin("a.bmp")].id = os.files[InPkg("a.bmp")].id),
   1, {kQ, kS}, THEN(os.files[InSkin("a.bmp")].content == "aaaa")},
  // A synced folder's placeholder is a folder: reinstalled as any other. A
  // junction where an interrupted run's working folder was is never
  // entered, and takes no slot of the run's.
  {SET(Earlier(os); os.reparse_tags[kSkin] = 0x9000701A;
       os.dirs.insert(Kept(0)); os.AddFile(Kept(0, "b.bmp"), "elsewhere");
       os.reparse_tags[Kept(0)] = 0xA0000003),
   1, {kQ, kS},
   THEN(os.files[InSkin("a.bmp")].content == "aaaa" &&
        os.files[Kept(0, "b.bmp")].content == "elsewhere" &&
        os.Happened("Rename " + InSkin("a.bmp") + " -> " + Kept(1, "a.bmp")))},
  // A skin folder that is a junction takes no copy, and nothing through it
  // is recovered (here, the files of a folder elsewhere).
  {SET(Earlier(os); os.reparse_tags[kSkin] = 0xA0000003;
       os.dirs.insert(Discard()); os.AddFile(Discard("a.bmp"), "elsewhere")),
   0, {kQ, CopyError(2), CopyError(2), CopyError(2), kD, F("kCannotCopy", 1)},
   Same},
  // A package folder named as a working folder, inside the skin folder, is
  // what the run copies from, never what it recovers.
  {SET(Earlier(os); os.dirs.insert(Kept(0)); os.current_dir = Kept(0);
       for (const char* name : {"a.bmp", "b.bmp", "cliver.map", "setup.exe"}) {
         os.files[Kept(0, name)] = os.files[InPkg(name)];
       }),
   1, {kQ, kS},
   THEN(os.files[InSkin("b.bmp")].content == "bb" &&
        os.TreeOf(Kept(0)).size() == 5)},
  // What a first installation that was stopped left in its working folder
  // goes.
  {SET(os.dirs.insert(InSkins(NewFolderName(0)));
       os.AddFile(InSkins(NewFolderName(0)) + "\\a.bmp", "partial")),
   1, {kS},
   THEN(os.TreeOf(kSkin) == Installed() &&
        !os.HasDir(InSkins(NewFolderName(0))))},
  // The earlier files go only once the moment the new installation took
  // over is on the disk; until then, the next run's to delete.
  {SET(Earlier(os); os.FailCall("SyncFolder", 2)), 1, {kQ, kS},
   THEN(os.files[Discard("a.bmp")].content == "old a")},
  // A first installation waits, as long as the run may, for what holds its
  // new files before it takes the skin's name.
  {SET(os.scanner = {3000, false}), 1, {kS},
   THEN(os.TreeOf(kSkin) == Installed() && os.now >= 3000)},
  // Access denied for good (a protected folder) is not waited for; a file
  // held against every other process is waited for, but the run as a whole
  // waits at most ten seconds.
  {SET(Earlier(os); os.protected_dirs = {kSkin}), 0,
   {kQ, CopyError("Accesso negato.\r\n"), CopyError("Accesso negato.\r\n"),
    CopyError("Accesso negato.\r\n"), kD, F("kCannotCopy", 1)},
   THEN(Same(os, before) && os.now == 0)},
  {SET(Earlier(os); os.scanner = {kForever, false};
       for (int i = 0; i < 20; ++i) {
         os.AddFile(InPkg("f" + std::to_string(i)), "new");
         os.AddFile(InSkin("f" + std::to_string(i)), "old");
       }),
   1, {kQ, kS}, THEN(os.now <= 10000)},
  // The package's own entries take a slot's names, not its folder's
  // neighbours'; with every working name taken (one past the last, too),
  // the first is tried, its making fails and the run is rolled back.
  {SET(Earlier(os); os.AddFile(InSkin("b.bmp"), "old b");
       os.dirs.insert("C:\\Pkg" + KeptFolderName(0))),
   1, {kRQ, kR}, THEN(os.Happened("Rename " + InSkin("a.bmp") + " -> " +
                                  Kept(0, "a.bmp"))), "/UNINSTALL Blue"},
  {SET(Earlier(os); for (int slot = 0; slot <= kWorkingSlots; ++slot) {
         os.AddFile(InPkg(KeptFolderName(slot)), "pkg");
       }),
   0, {kQ, CopyError(183), kD, F("kCannotCopy", 1)},
   THEN(Same(os, before) && os.Happened("MakeDir " + Kept(0)))},
  // With every name of a first installation's working folder taken (one
  // past the last, too), the first is tried and its making fails.
  {SET(for (int s = 0; s <= kWorkingSlots; ++s) {
         os.AddFile(InSkins(NewFolderName(s)), "x");
       }),
   0, {CopyError(183), CopyError(183), CopyError(183), kD, F("kCannotCopy", 1)},
   Same},
  // Switches for deployment tools: the status, the boxes still shown, the
  // log's last line. Inno Setup's /VERYSILENT is /S.
  {SET(), 0, {},
   THEN(os.TreeOf(kSkin) == Installed() && os.open_handles == 0 &&
        os.events[0] == "SuppressSystemBoxes"),
   "/VERYSILENT " LOG "Blue", "{kLogOutcome} {kSuccess} ({kLogStatus} 0)"},
  // A log kept in the package folder (where a relative path puts it) is no
  // part of the package.
  {SET(), 0, {},
   THEN(os.TreeOf(kSkin) == Installed() && os.HasFile(InPkg("install.log"))),
   "/S /LOG=install.log Blue"},
  {SET(Earlier(os)), 0, {}, THEN(os.files[InSkin("a.bmp")].content == "aaaa"),
   "/S /OVERWRITE " LOG "Blue", "{kLogOutcome} {kSuccess} ({kLogStatus} 0)"},
  {SET(Earlier(os); os.answers = {kIdNo}), 1, {kS},
   THEN(os.files[InSkin("a.bmp")].content == "aaaa"), "/OVERWRITE Blue"},
  // The log names what failed and why.
  {SET(os.FailCall("OpenExclusive")), 1603, {},
   THEN(os.files["C:\\log.txt"].content.find(Expand(
            "{kLogNotOpened} C:\\Pkg\\a.bmp: Errore di I/O.")) !=
        std::string::npos),
   "/S " LOG "My Skin",
   "{kLogOutcome} {kCannotInstall}{kCodeLabel}8 ({kLogStatus} 1603)"},
  // Another installer holds the Skins folder: an unattended run gives up
  // after a minute, one with a user waits for as long as it takes.
  {SET(os.locked_until = kForever), 1618, {},
   THEN(Same(os, before) && os.now > 59000 && os.now <= 60000),
   "/S " LOG "Blue", "{kLogOutcome} {kLogBusy} ({kLogStatus} 1618)"},
  {SET(os.locked_until = 5000), 0, {}, THEN(os.TreeOf(kSkin) == Installed()),
   "/S Blue"},
  {SET(os.locked_until = 300000), 1, {kS}},
  // A lock that cannot be taken at all is a copy that failed: nothing was
  // copied, so nothing is rolled back (here, a file where the Skins folder
  // should be).
  {SET(os.dirs.erase(kSkins); os.AddFile(kSkins, "x")), 0,
   {CopyError(3), F("kCannotCopy", 1)},
   THEN(Same(os, before) &&
        os.files["C:\\log.txt"].content.find(
            Expand("{kLogNotLocked} D:\\Apps\\Client\\Skins: {kSystemError} 3")) !=
            std::string::npos),
   LOG "Blue", "{kLogOutcome} {kCannotCopy}{kCodeLabel}1 ({kLogStatus} 0)"},
  // Refused like a bad skin name, with nothing written but the log, which
  // says why; /S still keeps every box away.
  {SET(), 0, {F("kCannotInstall", 0)},
   THEN(Same(os, before) &&
        os.files["C:\\log.txt"].content.find(Expand(
            "{kLogRefused} .\\setup.exe " LOG "/X Blue\n")) != std::string::npos),
   LOG "/X Blue", "{kLogOutcome} {kCannotInstall}{kCodeLabel}0 ({kLogStatus} 0)"},
  {SET(), 1603, {}, Same, "/S /X " LOG "Blue",
   "{kLogOutcome} {kCannotInstall}{kCodeLabel}0 ({kLogStatus} 1603)"},
  {SET(), 0, {F("kCannotInstall", 0)}, Same, "/LOG=\"C:\\No\\log.txt\" Blue"},
  {SET(), 1603, {}, Same, "/S " LOG "..",
   "{kLogOutcome} {kCannotInstall}{kCodeLabel}0 ({kLogStatus} 1603)"},
  // A short alias of another skin's name reaches that skin: refused before
  // the question, and the other skin stays as it was.
  {SET(Earlier(os); os.short_names[InSkins("BLUESK~1")] = kSkin), 1603, {},
   Same, "/S /OVERWRITE " LOG "BLUESK~1",
   "{kLogOutcome} {kCannotInstall}{kCodeLabel}0 ({kLogStatus} 1603)"},
  // A log inside the skin folder, a file of the skin or a new one, is
  // refused before the question: nothing is written to it, and one the
  // run made goes.
  {SET(Earlier(os)), 1603, {},
   THEN(Same(os, before) && os.open_handles == 0),
   "/S /OVERWRITE /LOG=D:\\Apps\\Client\\Skins\\Blue\\a.bmp Blue"},
  {SET(Earlier(os)), 0, {F("kCannotInstall", 0)}, Same,
   "/OVERWRITE /LOG=D:\\Apps\\Client\\Skins\\Blue\\x.log Blue"},
  // The help, and nothing else: no registry, nothing written.
  {SET(), 0,
   {{Text("kHelpUsage") + " .\\setup.exe " + Text("kHelpText"),
     Text("kProgramTitle"), kBoxOk}},
   THEN(Same(os, before) && !os.Happened("OpenUserKey")), "/?"},
  // A removal takes the package's files (one of the installer's name that
  // is not the running program too) and leaves the user's, with the
  // folder; declined, or with nothing installed, it changes nothing; one
  // that fails puts back what it took.
  {SET(Earlier(os); os.AddFile(InSkin("b.bmp"), "old b");
       os.AddFile(InSkin("setup.exe"), "MZ");
       os.AddFile(os.program_file = "C:\\setup.exe", "MZ")), 1, {kRQ, kR},
   THEN(os.TreeOf(kSkin) ==
        Tree({{kSkin, "<dir>"}, {InSkin("notes.txt"), "mine@8"}})),
   "/UNINSTALL Blue"},
  {SET(Earlier(os); os.answers = {kIdNo}), 0, {kRQ}, Same, "/UNINSTALL Blue"},
  {SET(), 0, {F("kSkinNotInstalled", 0)}, Same, "/UNINSTALL Blue"},
  {SET(Earlier(os); os.FailCall("OpenListing")), 0, {F("kCannotRemove", 1)},
   Same, "/UNINSTALL Blue"},
  {SET(Earlier(os); os.FailEvent("Stat " + std::string(kSkin))), 1603, {},
   Same, "/S /UNINSTALL Blue"},
  {SET(Earlier(os); os.AddFile(InSkin("b.bmp"), "old b");
       os.FailCall("Rename", 2)),
   0, {kRQ, CopyError(), F("kCannotRemove", 1)},
   THEN(Same(os, before) &&
        os.files["C:\\log.txt"].content.find(Expand(
            "{kLogNotKept} " + InSkin("b.bmp") + ": Errore di I/O.")) !=
            std::string::npos),
   LOG "/UNINSTALL Blue",
   "{kLogOutcome} {kCannotRemove}{kCodeLabel}1 ({kLogStatus} 0)"},
  {SET(Earlier(os); os.FailCall("SyncFolder")), 0,
   {kRQ, CopyError(), F("kCannotRemove", 1)}, Same, "/UNINSTALL Blue"},
  // Unattended: removed, or not installed (as deployment tools read it).
  {SET(Earlier(os); os.files.erase(InSkin("notes.txt"))), 0, {},
   THEN(!os.HasDir(kSkin) && os.open_handles == 0 &&
        os.files["C:\\log.txt"].content.find(Expand("{kLogRemoving} ") +
                                             kSkin) != std::string::npos),
   "/S " LOG "/UNINSTALL Blue", "{kLogOutcome} {kRemoved} ({kLogStatus} 0)"},
  {SET(), 1605, {}, nullptr, "/S " LOG "/UNINSTALL Blue",
   "{kLogOutcome} {kSkinNotInstalled}{kCodeLabel}0 ({kLogStatus} 1605)"},
  // A check: valid (a map may end with the end-of-file mark), with the
  // bytes to copy and the fingerprint, the digest of each file's digest
  // and name in the names' byte order, but for the installer and the log,
  // which lists those lines; or not (its problems are named in the
  // end-to-end tests). No registry, nothing written but the log.
  {SET(Map(os, std::string(kMap) + "\x1A"); os.AddFile(InPkg("Z.bmp"), "z");
       os.listing_order["C:\\Pkg"] = {".", "..", "setup.exe", "check.log",
           "cliver.map", "b.bmp", "a.bmp", "Z.bmp"}), 1,
   {{Expand("{kCheckValid}\n{kLogPackage} 58\n{kCheckFingerprint} H(H(z)  "
            "Z.bmp\nH(aaaa)  a.bmp\nH(bb)  b.bmp\nH(") + kMap +
         "\x1A)  cliver.map\n)", Text("kProgramTitle"), kBoxOk}},
   THEN(Same(os, before) && !os.Happened("OpenUserKey") &&
        os.files[InPkg("check.log")].content.find(Expand(
            "{kLogFingerprintFile} H(z)  Z.bmp\n2026-12-07 10:00:00 "
            "{kLogFingerprintFile} H(aaaa)  a.bmp\n")) != std::string::npos),
   "/LOG=check.log /CHECK"},
  // A digest the system cannot compute leaves the check without one.
  {SET(os.FailCall("AddToDigest", 3)), 0,
   {{Expand("{kCheckProblems}\n{kCheckFingerprint} {kCheckNoFingerprint}"),
     Text("kProgramTitle"), kBoxOk}}, nullptr, "/CHECK"},
  {SET(os.files.erase(InPkg("cliver.map"))), 1603, {}, nullptr,
   "/S " LOG "/CHECK", "{kLogOutcome} {kCheckProblems} ({kLogStatus} 1603)"},
  // Names as Windows counts them: 255 letters are not too long, 128 that
  // take two UTF-16 units each are.
  {SET(for (const std::string& name : {std::string(255, 'x'), Astral(128)}) {
         os.AddFile(InPkg(name), "z");
       }),
   0,
   {{Expand("{kCheckProblems}\n") + Astral(128) + ": " +
         Text("kCheckLongName"),
     Text("kProgramTitle"), kBoxOk}},
   nullptr, "/CHECK"},
  {SET(os.FailCall("OpenListing")), 0,
   {{Expand("{kCheckProblems}\nC:\\Pkg: {kCheckUnreadable}\n{kCheckNoMap}"),
     Text("kProgramTitle"), kBoxOk}},
   nullptr, "/CHECK"},
  // A deployment tool leaves %TEMP% to the installer to expand; what names
  // no variable stays as typed, and its closing sign may open the next
  // name; %% is no escape.
  {SET(os.environment["TEMP"] = "C:"), 0, {}, nullptr,
   "/S /LOG=%TEMP%\\log.txt Blue",
   "{kLogOutcome} {kSuccess} ({kLogStatus} 0)"},
  {SET(os.environment["T"] = "X"; os.dirs.insert("C:\\%X%NONEX")), 0, {},
   THEN(os.HasFile("C:\\%X%NONEX\\log.txt")),
   "/S /LOG=C:\\%%T%%NONE%T%\\log.txt Blue"},
  // A skin folder is installed when it holds the map: an unattended run
  // that may not overwrite installs into one without it, keeping the
  // user's files, and a removal finds nothing of the package there. A
  // removal stopped after its commit is finished first, by either command,
  // and so is the folder it emptied.
  {SET(Earlier(os)), 0, {},
   THEN(os.files[InSkin("a.bmp")].content == "aaaa" &&
        os.HasFile(InSkin("notes.txt"))), "/S Blue"},
  {SET(os.dirs.insert(kSkin); os.AddFile(InSkin("notes.txt"), "mine")), 1605,
   {}, Same, "/S /UNINSTALL Blue"},
  {SET(os.dirs.insert({kSkin, Discard()}); os.AddFile(Discard("a.bmp"), "a")),
   1, {kS}, THEN(os.TreeOf(kSkin) == Installed())},
  {SET(os.dirs.insert({kSkin, Discard()}); os.AddFile(Discard("a.bmp"), "a")),
   1605, {}, THEN(!os.HasDir(kSkin)), "/S /UNINSTALL Blue"},
  // A current folder that cannot be read is no package: nothing is listed.
  {SET(os.FailCall("CurrentDirectory")), 0, {kI, F("kCannotInstall", 10)}},
  {SET(Earlier(os); os.FailCall("CurrentDirectory")), 1603, {}, Same,
   "/S /UNINSTALL Blue"},
  // A size that cannot be read is logged with its file and reason.
  {SET(os.FailCall("FileSize")), 0, {F("kCannotInstall", 9)},
   THEN(os.files["C:\\log.txt"].content.find(Expand(
            "{kLogNotSized} C:\\Pkg\\a.bmp: Errore di I/O.")) !=
        std::string::npos),
   LOG "Blue", "{kLogOutcome} {kCannotInstall}{kCodeLabel}9 ({kLogStatus} 0)"},
  // A folder named past the last working slot is the user's.
  {SET(Earlier(os); os.dirs.insert(InSkin(DiscardFolderName(10)));
       os.AddFile(InSkin(DiscardFolderName(10)) + "\\mine", "mine")), 0, {},
   THEN(os.HasFile(InSkin(DiscardFolderName(10)) + "\\mine")),
   "/S /OVERWRITE Blue"},
  // A log on a standard output that the process lacks refuses the run.
  {SET(os.FailCall("OpenStandardOutput")), 1603, {}, Same, "/S /LOG=- Blue"},
  // A log where the run would make the skin, its lock or its working
  // folders is refused, and goes.
  {SET(), 1603, {}, Same, "/S /LOG=D:\\Apps\\Client\\Skins\\Blue Blue"},
  {SET(), 1603, {}, Same,
   "/S /LOG=D:\\Apps\\Client\\Skins\\.SkinSetup-Lock Blue"},
  {SET(), 1603, {}, Same,
   "/S /LOG=D:\\Apps\\Client\\Skins\\\xC3\xA9lan \xC3\x89LAN"},
  {SET(os.dirs.insert(InSkins(NewFolderName(0)))), 1603, {}, Same,
   "/S /UNINSTALL /LOG=D:\\Apps\\Client\\Skins\\.skinsetup-new\\l Blue"},
};
// clang-format on

TEST(RunTest, EveryRowEndsWithItsStatusAndBoxes) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(testing::Message() << "row at line " << row.line);
    FakePlatform os = Installation();
    row.setup(os);
    const Tree before = os.TreeOf(kSkins);
    EXPECT_EQ(RunSetup(os, row.tail), row.status);
    EXPECT_EQ(os.boxes, row.boxes);
    const std::string log = os.files["C:\\log.txt"].content;
    EXPECT_EQ(log.substr(log.rfind('\n', log.size() - 2) + 1),
              *row.outcome ? "2026-12-07 10:00:00 " + Expand(row.outcome) + "\n"
                           : "");
    if (row.then != nullptr) {
      EXPECT_TRUE(row.then(os, before));
    }
    // Whatever ended well closed what it opened.
    if (row.status == 1) {
      EXPECT_EQ(os.open_handles, 0);
    }
    // A fatal failure's box (or the question declined) is the last thing
    // the run does, but for closing the key or letting go of the lock it
    // holds.
    if (os.events.back() != "Exit 0") continue;
    auto box = std::find_if(os.events.rbegin(), os.events.rend(),
                            [](auto& e) { return e.rfind("Box ", 0) == 0; });
    EXPECT_TRUE(std::all_of(os.events.rbegin() + 1, box, [](auto& e) {
      return e == "CloseKey" || e == "Unlock" || e == "AppendLog" ||
             e == "CloseLog";
    }));
  }
}

// The check's lines for tools, for packages of the default files and
// `names`: the names that NTFS takes for one, case ignored through its
// upper-case table of the whole Basic Multilingual Plane and no further,
// and those it may give another file as its short 8.3 alias.
TEST(CheckTest, ReportsTheNamesThatWindowsTakesForAnother) {
  const std::string same = ": error: name-case-pair: " + Text("kCheckSameName");
  const std::string alias = ": error: name-alias: " + Text("kCheckAlias");
  // clang-format off
  const struct {
    std::vector<std::string> names;
    std::vector<std::string> lines;
  } kTable[] = {
      // Ż ż, Ő ő, Ș ș, Ґ ґ, Ά ά, fullwidth Ａ ａ, Ա ա, and Ꭰ ꭰ and Ᵹ ᵹ,
      // more than 32,767 units apart. Not ß and SS (no simple capital),
      // the Kelvin sign and k (its capital is K), ı and I (whose capital
      // lowers to i, which Windows leaves out), Deseret's 𐐀 and 𐐨 beyond
      // the plane, nor bytes that are no UTF-8 (é and É in Latin-1, an
      // overlong A, U+10000 as two surrogates) and any valid name.
      {{"\xC5\xBB\xC3\xB3\xC5\x82w.bmp", "\xC5\xBC\xC3\xB3\xC5\x82w.bmp",
        "\xC5\x90", "\xC5\x91", "\xC8\x98", "\xC8\x99", "\xD2\x90",
        "\xD2\x91", "\xCE\x86", "\xCE\xAC", "\xEF\xBC\xA1", "\xEF\xBD\x81",
        "\xD4\xB1", "\xD5\xA1", "\xE1\x8E\xA0", "\xEA\xAD\xB0",
        "\xEA\x9D\xBD", "\xE1\xB5\xB9", "\xC3\x9F", "SS", "\xE2\x84\xAA",
        "k", "\xC4\xB1", "I", "\xF0\x90\x90\x80", "\xF0\x90\x90\xA8",
        "\xE9", "\xC9", "\xEF\xBF\xBD", "\xC1\x81", "A",
        "\xED\xA0\x80\xED\xB0\x80", "\xF0\x90\x80\x80"},
       {"\xC5\xBC\xC3\xB3\xC5\x82w.bmp" + same +
            " \xC5\xBB\xC3\xB3\xC5\x82w.bmp",
        "\xC5\x91" + same + " \xC5\x90", "\xC8\x99" + same + " \xC8\x98",
        "\xD2\x91" + same + " \xD2\x90", "\xCE\xAC" + same + " \xCE\x86",
        "\xEF\xBD\x81" + same + " \xEF\xBC\xA1",
        "\xD5\xA1" + same + " \xD4\xB1", "\xEA\xAD\xB0" + same + " \xE1\x8E\xA0",
        "\xEA\x9D\xBD" + same + " \xE1\xB5\xB9"}},
      // The first six of the long name's letters and the number, five and
      // a number of two digits, or two and a hash after the fourth; never
      // another extension, nor a "~" without a number after it, nor the
      // alias of an 8.3 name, which has none.
      {{"Background image.bmp", "BACKGR~1.BMP", "backgr~7.bmp", "BACKG~12.BMP",
        "BA1F2E~1.BMP", "BACKGR~1.TXT", "BACKGR~A.BMP", "~1.BMP",
        "readme.txt", "README~1.TXT"},
       {"BACKGR~1.BMP" + alias + " Background image.bmp",
        "BA1F2E~1.BMP" + alias + " Background image.bmp",
        "BACKG~12.BMP" + alias + " Background image.bmp",
        "backgr~7.bmp" + alias + " Background image.bmp"}},
      // Blanks, dots and letters beyond ASCII dropped, "+" made "_".
      {{"a b.png", "AB~1.PNG", "\xC3\xA9t\xC3\xA9 one.jpg", "TONE~1.JPG",
        "c+d long.gif", "C_DLON~1.GIF"},
       {"AB~1.PNG" + alias + " a b.png", "TONE~1.JPG" + alias +
            " \xC3\xA9t\xC3\xA9 one.jpg",
        "C_DLON~1.GIF" + alias + " c+d long.gif"}},
  };
  // clang-format on
  for (const auto& row : kTable) {
    SCOPED_TRACE(row.names.front());
    FakePlatform os = Installation();
    for (const std::string& name : row.names) os.AddFile(InPkg(name), "z");
    RunSetup(os, "/S /LOG=C:\\log.txt /CHECK");
    std::set<std::string> lines;
    std::istringstream log(os.files["C:\\log.txt"].content);
    for (std::string line; std::getline(log, line);) {
      if (line.rfind("2026-", 0) != 0) lines.insert(line);
    }
    EXPECT_EQ(lines, std::set<std::string>(row.lines.begin(), row.lines.end()));
  }
}

// A file that FAT32 cannot hold, or an empty one, is the author's to
// know; neither fails the check. The size is the one the open reports.
TEST(CheckTest, WarnsOfFilesTooLargeForFat32AndEmptyOnes) {
  for (const std::uint64_t size : {0xFFFFFFFFull, 0x100000000ull, 0ull}) {
    FakePlatform os = Installation();
    os.AddFile(InPkg("big.dat"), size > 0 ? "b" : "");
    os.files[InPkg("big.dat")].size = size;
    EXPECT_EQ(RunSetup(os, "/S /LOG=C:\\log.txt /CHECK"), 0);
    const std::string warning =
        size == 0 ? "big.dat: warning: file-empty: " + Text("kCheckEmpty")
                  : "big.dat: warning: file-large: " + Text("kCheckLarge");
    const std::string& log = os.files["C:\\log.txt"].content;
    EXPECT_EQ(log.find("\n" + warning + "\n") != std::string::npos,
              size != 0xFFFFFFFFull);
    EXPECT_EQ(log.find(" " + Text("kCheckWarning") + " big.dat: ") !=
                  std::string::npos,
              size != 0xFFFFFFFFull);
  }
}

// Every call of every operation that can fail, in a check of a valid
// package with a log, failing once or from then on: the check shows the
// clean run's box and fingerprint, or a box of problems; never a valid
// package with another fingerprint, and it changes nothing but its log.
TEST(CheckTest, AnyFailingCallGivesTheSameVerdictOrAProblem) {
  const std::string tail = "/LOG=C:\\log.txt /CHECK";
  FakePlatform clean = Installation();
  const Tree before = clean.TreeOf("C:\\Pkg"), skins = clean.TreeOf("D:");
  ASSERT_EQ(RunSetup(clean, tail), 1);
  for (const auto& [op, count] : clean.calls) {
    if (!FakePlatform::CanFail(op)) continue;
    for (int nth = 1; nth <= count; ++nth) {
      for (bool from_then_on : {false, true}) {
        SCOPED_TRACE(testing::Message() << op << " " << nth << from_then_on);
        FakePlatform os = Installation();
        os.FailCall(op, nth, from_then_on);
        RunSetup(os, tail);
        ASSERT_EQ(os.boxes.size(), 1u);
        // A log that cannot be opened refuses the run.
        const std::string verdict =
            op == "OpenLog" ? "kCannotInstall" : "kCheckProblems";
        if (os.boxes != clean.boxes) {
          EXPECT_EQ(os.boxes[0].text.rfind(Text(verdict), 0), 0u);
        }
        EXPECT_EQ(os.TreeOf("C:\\Pkg"), before);
        EXPECT_EQ(os.TreeOf("D:"), skins);
      }
    }
  }
}

// Every call of every operation that can fail (all but those that tell the
// caller nothing), of a first installation, a reinstall and a removal,
// failing once or from then on, the package listed in name order and
// reversed, with a scanner that holds each new file for a moment (and lets
// others delete it, or not): the run installs the package, or shows a
// fatal box last and leaves the Skins folder as it was. A successful run
// may leave only a discard folder, which the next run empties, and never
// puts anything back.
TEST(RunTest, AnyFailingCallInstallsOrChangesNothing) {
  // A first installation, a reinstall, and a removal of the package's
  // files (the user's stay); every other one with a log.
  for (int mode = 0; mode < 3; ++mode) {
    const bool earlier = mode > 0;
    const bool removal = mode == 2;
    const Box done = removal ? kR : kS;
    for (int variant = 0; variant < 4; ++variant) {
      const bool reversed = variant % 2 == 1;
      const std::string tail =
          (reversed ? "/LOG=%TEMP%\\run.log " : "") +
          std::string(removal ? "/UNINSTALL Blue" : "Blue");
      auto setup = [&] {
        FakePlatform os = Installation();
        os.dirs.insert("C:\\Temp");
        os.environment["TEMP"] = "C:\\Temp";
        if (earlier) Earlier(os);
        if (removal) {
          for (const char* name : {"b.bmp", "cliver.map"}) {
            os.AddFile(InSkin(name), "older", 4);
          }
        }
        if (variant >= 2)
          os.scanner = {variant == 2 ? 300 : 1500, variant == 2};
        if (reversed) {
          os.listing_order["C:\\Pkg"] = {"..",         ".",     "setup.exe",
                                         "cliver.map", "b.bmp", "a.bmp"};
        }
        return os;
      };
      // The next run, without the fault, from what a run left.
      auto next_run = [&](const FakePlatform& left, int answer) {
        FakePlatform next = setup();
        next.files = left.files;
        next.dirs = left.dirs;
        next.answers = {answer};
        const int status = RunSetup(next, tail);
        return std::make_pair(status, next.TreeOf(kSkins));
      };
      // The skin as a run left it, but for the discard folder that it may
      // leave for the next run to empty.
      auto settled = [](const FakePlatform& left) {
        Tree tree = left.TreeOf(kSkins);
        for (auto it = tree.begin(); it != tree.end();) {
          const bool discard =
              it->first.find("\\" + DiscardFolderName(0)) != std::string::npos;
          it = discard ? tree.erase(it) : std::next(it);
        }
        return tree;
      };
      FakePlatform clean = setup();
      const Tree before = clean.TreeOf(kSkins);
      ASSERT_EQ(RunSetup(clean, tail), 1);
      clean.Release();
      const auto after_clean = next_run(clean, kIdYes);
      for (const auto& [op, count] : clean.calls) {
        if (!FakePlatform::CanFail(op)) continue;
        for (int nth = 1; nth <= count; ++nth) {
          for (bool from_then_on : {false, true}) {
            SCOPED_TRACE(testing::Message() << mode << variant << " " << op
                                            << " " << nth << from_then_on);
            FakePlatform os = setup();
            os.FailCall(op, nth, from_then_on);
            RunSetup(os, tail);
            os.Release();
            ASSERT_FALSE(os.boxes.empty());
            const Box& last = os.boxes.back();
            if (last.caption == Text("kProgramTitle") &&
                last.text.find(Text("kCodeLabel")) != std::string::npos) {
              // What a failed run could not put back (a removal's files, or
              // any run's once no rename succeeds) stays in its working
              // folder, and the next run puts it back before it asks.
              const bool stuck = removal || (op == "Rename" && from_then_on);
              EXPECT_EQ(stuck ? next_run(os, kIdNo).second : os.TreeOf(kSkins),
                        before);
              continue;
            }
            // A run that ends well shows what a clean one shows, no error.
            EXPECT_EQ(os.boxes, clean.boxes);
            EXPECT_EQ(os.open_handles, 0);
            EXPECT_FALSE(os.HasDir(Kept(0)) || os.HasDir(Kept(1)));
            EXPECT_EQ(settled(os), settled(clean));
            EXPECT_EQ(next_run(os, kIdYes), after_clean);
          }
        }
      }
    }
  }
}

// An earlier file still held when the new installation takes over is
// discarded, never put back by the next run, even one that cannot delete it
// and installs a package without that file.
TEST(RunTest, EarlierFileHeldAtTheTakeOverIsNeverPutBack) {
  FakePlatform os = Installation();
  Earlier(os);
  os.scanner = {kForever, false};
  EXPECT_EQ(RunSetup(os), 1);
  // The discard folder made instead of the rename is on the disk before
  // anything is deleted.
  const auto made =
      std::find(os.events.begin(), os.events.end(), "MakeDir " + Discard());
  ASSERT_NE(made, os.events.end());
  EXPECT_EQ(made[1], "SyncFolder " + std::string(kSkin));
  os.Release();
  os.scanner = {0};
  os.answers = {kIdYes};
  os.files.erase(InPkg("a.bmp"));
  os.FailCall("RemoveFile", 1, true);
  EXPECT_EQ(RunSetup(os), 1);
  EXPECT_EQ(os.files[InSkin("a.bmp")].content, "aaaa");
}

// The log of a run with a user: every step and every box, with its answer,
// each on one line.
TEST(RunTest, LogHoldsEveryStepAndBoxInOrder) {
  FakePlatform os = Installation();
  Earlier(os);
  os.FailCall("Copy", 2);
  EXPECT_EQ(RunSetup(os, LOG "Blue"), 0);
  std::string expected;
  for (
      const char* line :
      {R"({kLogStart} /LOG="C:\log.txt" Blue)",
       R"({kLogClient} D:\Apps\Client\Skins)", "{kLogPackage} 56",
       "[{kProgramTitle}] {kAlreadyPresent} -> {kLogAnswerYes}",
       R"({kLogSkinFolder} D:\Apps\Client\Skins\Blue)", "{kLogCopied} a.bmp",
       R"({kLogNotCopied} D:\Apps\Client\Skins\Blue\b.bmp: Errore di I/O.)",
       "[{kCopyErrorCaption}] Errore di I/O. -> {kLogAnswerOk}",
       "{kLogCopied} cliver.map", R"({kLogRollback} D:\Apps\Client\Skins\Blue)",
       R"([{kDeleteDirCaption}] D:\Apps\Client\Skins\Blue\* -> {kLogAnswerOk})",
       "[{kProgramTitle}] {kCannotCopy}{kCodeLabel}1 -> {kLogAnswerOk}",
       "{kLogOutcome} {kCannotCopy}{kCodeLabel}1 ({kLogStatus} 0)"}) {
    std::string text = Expand(line);
    std::replace(text.begin(), text.end(), '\n', ' ');
    expected += "2026-12-07 10:00:00 " + text + "\n";
  }
  EXPECT_EQ(os.files["C:\\log.txt"].content, expected);
  EXPECT_EQ(os.open_handles, 0);
}

// Names that would reach another folder, or that Windows stores under
// another name or not at all, are refused on every build, before anything
// is read or written.
TEST(RunTest, SkinNamesWindowsWouldNotStoreAsTypedAreRefusedFirst) {
  // clang-format off
  for (const char* name :
       {"", "..", ".", "a\\b", "..\\x", "a/b", "/", "C:Blue", "Blue.",
        "My Skin ", "\"My Skin\"", "a<b", "a>b", "a|b", "a?b", "a*b", "a\tb",
        "\x1f", "CON", "con.txt", "Nul", "AUX .bmp", "lpt9.x", "com1",
        "conin$", "CONOUT$.txt", "COM\xC2\xB9", ".skinsetup-lock",
        ".SkinSetup-Kept"}) {
    // clang-format on
    FakePlatform os = Installation();
    EXPECT_EQ(RunSetup(os, name), 0) << name;
    EXPECT_EQ(os.boxes, std::vector<Box>{F("kCannotInstall", 0)});
    EXPECT_EQ(os.events.size(), 2u);  // The box and the exit.
  }
  for (const char* name : {"My Skin", "..Blue", "Blue.skin", "CONSOLE", "COM0",
                           "COM10", "Niebieski \xD0\xA1\xD0\xB8\xD0\xBD"}) {
    FakePlatform os = Installation();
    EXPECT_EQ(RunSetup(os, name), 1) << name;
    EXPECT_TRUE(os.HasFile(std::string(kSkins) + "\\" + name + "\\a.bmp"));
  }
}

TEST(RunTest, SkinsFolderIsLockedFromTheQuestionToTheSuccessBox) {
  FakePlatform os = Installation();
  Earlier(os);
  EXPECT_EQ(RunSetup(os, LOG "Blue"), 1);
  FakePlatform first = Installation();
  EXPECT_EQ(RunSetup(first, LOG "Blue"), 1);
  const std::string question = "Box " + kQ.caption;
  EXPECT_LT(at(os, std::string("Lock ") + kSkins), at(os, question));
  EXPECT_LT(at(os, "Copy"), at(os, "Unlock"));
  // The new files are on the disk before the earlier ones are discarded.
  EXPECT_LT(at(os, "SyncFolder " + std::string(kSkin)), at(os, "RenameFolder"));
  EXPECT_EQ(at(os, "Unlock") + 1, at(os, "Box " + kS.caption + ": " + kS.text));
  // The log has the run's lines before the question waits for an answer,
  // and before a first installation copies.
  EXPECT_LT(at(os, "AppendLog"), at(os, question));
  EXPECT_LT(at(first, "AppendLog"), at(first, "Copy"));
}

}  // namespace
}  // namespace fake
