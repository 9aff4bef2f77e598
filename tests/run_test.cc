// Whole runs on the fake system. Most are rows of one table: what the system
// holds, the exit status, every box in order, and what must hold afterwards.
// (The phases' order shows in the trace test.)

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
};

std::string Kept(int slot, const std::string& name = "") {
  return InSkin(KeptFolderName(slot)) + (name.empty() ? "" : "\\" + name);
}
std::string Discard(const std::string& name = "") {
  return InSkin(DiscardFolderName(0)) + (name.empty() ? "" : "\\" + name);
}
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
void Clusters(FakePlatform& os, std::uint32_t count) {  // Of 64 KiB each.
  Version(os, 1, 0);
  os.free_clusters = count;
  os.sectors_per_cluster = 64;
  os.bytes_per_sector = 1024;
}
// The package file the installer runs as: `invoked`, held as `file`.
void Invoked(FakePlatform& os, const char* invoked, const char* file) {
  os.files.erase(InPkg("setup.exe"));
  os.AddFile(InPkg(file), "MZ");
  os.invocation_name = invoked;
}
// A run stopped after its copy left a discard folder, to be emptied first.
void Leftover(FakePlatform& os) {
  os.dirs.insert(Discard());
  os.AddFile(Discard("b.bmp"), "older b", 2);
}
// A package walked from `dir`, with a map and c.bmp.
void WalkedFrom(FakePlatform& os, const std::string& dir) {
  os.current_dir = dir;
  os.dirs.insert(dir);
  os.AddFile(dir + "\\cliver.map", kMap);
  os.AddFile(dir + "\\c.bmp", "c");
}
bool Same(FakePlatform& os, const Tree& before) {
  return os.TreeOf(kSkins) == before;
}
bool KeyClosedLast(FakePlatform& os) {
  return os.events.rbegin()[1] == "CloseKey";
}
Tree Installed() {  // The package, fresh.
  return {{kSkin, "<dir>"},
          {InSkin("a.bmp"), "aaaa@1"},
          {InSkin("b.bmp"), "bb@1"},
          {InSkin("cliver.map"), std::string(kMap) + "@1"}};
}
const std::vector<Box> kRolledBack = {CopyError(), kD, F(kCannotCopy, 1)};
const std::vector<Box> kAskedAndRolledBack = {kQ, CopyError(), kD,
                                              F(kCannotCopy, 1)};
const char kAll[] =
    "SKIN-COMPATIBILITY-MIN=0\nSKIN-COMPATIBILITY-MAX=2147483647\n";

// clang-format off
const Row kRows[] = {
  // Success: the success box's own result is the status.
  {SET(), 1, {kS}, THEN(os.TreeOf(kSkin) == Installed() &&
                        os.open_handles == 0)},
  {SET(os.ok_result = 0), 0, {kS}},  // The box could not be shown.
  // The client, its directory and its revision.
  {SET(os.registry.clear()), 0, {F(kNotInstalled, 2)}},
  {SET(os.registry[FakePlatform::Fold(kClientKey)].clear()), 0,
   {F(kNotInstalled, 1)}, THEN(KeyClosedLast(os))},
  {SET(InstallDir(os, std::string(255, 'x') + '\0' + 'x')), 0,
   {F(kNotInstalled, 1)}, THEN(KeyClosedLast(os))},
  {SET(InstallDir(os, std::string(256, 'x'))), 0, {F(kNotInstalled, 1)}},
  {SET(InstallDir(os, std::string("Apps", 5))), 0, {F(kNotInstalled, 1)}},
  {SET(InstallDir(os, std::string("\\Apps", 6))), 0, {F(kNotInstalled, 1)}},
  {SET(InstallDir(os, std::string("", 1))), 0, {F(kNotInstalled, 1)}},
  {SET(os.registry.erase(FakePlatform::Fold(kRevisionKey))), 0,
   {F(kIncompatible, 2)}},
  {SET(os.registry[FakePlatform::Fold(kRevisionKey)].clear()), 0,
   {F(kIncompatible, 1)}, THEN(KeyClosedLast(os))},
  {SET(Revision(os, {5, 0, 0, 0, 0})), 0, {F(kIncompatible, 1)}},
  {SET(Revision(os, {8, 0, 0, 0})), 0, {F(kIncompatible, 3)}},
  {SET(Revision(os, {5})), 1, {kS}},  // The missing bytes are zero.
  {SET(Revision(os, {5, 1})), 0, {F(kIncompatible, 3)}},
  {SET(Map(os, kAll); Revision(os, {0, 0, 0, 0x80})), 0,  // Unsigned.
   {F(kIncompatible, 3)}},
  {SET(Map(os, kAll); Revision(os, {0xFF, 0xFF, 0xFF, 0x7F})), 1, {kS}},
  {SET(Map(os, "SKIN-COMPATIBILITY-MIN=5\nSKIN-COMPATIBILITY-MAX=5\n")), 1,
   {kS}},
  {SET(Map(os, "SKIN-COMPATIBILITY-MIN=6\nSKIN-COMPATIBILITY-MAX=7\n")), 0,
   {F(kIncompatible, 3)}},
  {SET(Map(os, "SKIN-COMPATIBILITY-MIN=3\nSKIN-COMPATIBILITY-MAX=4\n")), 0,
   {F(kIncompatible, 3)}},
  // The free space: the query the version chooses, compared with the 56
  // bytes needed; all free bytes count, not the caller's quota.
  {SET(os.FailCall("LoadLibrary")), 0, {F(kCannotInstall, 1)}},
  {SET(os.FailCall("FindLibraryEntry")), 0, {F(kCannotInstall, 2)}},
  {SET(os.FailCall("FreeSpaceEx")), 0, {F(kCannotInstall, 3)}},
  {SET(Version(os, 1, 950); os.FailCall("FreeSpace")), 0,
   {F(kCannotInstall, 4)}},
  {SET(os.FailCall("QueryVersion")), 1, {kS},
   THEN(os.Happened("FreeSpace D:\\") && !os.Happened("LoadLibrary"))},
  {SET(Version(os, 2, 0)), 1, {kS}, THEN(os.Happened("FreeSpaceEx D:\\"))},
  {SET(Version(os, 1, 1001)), 1, {kS}, THEN(os.Happened("FreeSpaceEx"))},
  {SET(Version(os, 1, 0x040A03E9)), 1, {kS},  // Low 16 bits: 1001.
   THEN(os.Happened("FreeSpaceEx"))},
  {SET(Version(os, 1, 1000)), 1, {kS}, THEN(os.Happened("FreeSpace D:\\"))},
  {SET(Version(os, 1, 0x000103E8)), 1, {kS},  // Low 16 bits: 1000.
   THEN(os.Happened("FreeSpace D:\\"))},
  {SET(Version(os, 0, 5000)), 1, {kS}, THEN(!os.Happened("FreeSpaceEx"))},
  {SET(Version(os, 3, 5000)), 1, {kS}, THEN(!os.Happened("FreeSpaceEx"))},
  {SET(os.total_free = 56; os.free_to_caller = 0), 1, {kS}},
  {SET(os.total_free = 55), 0, {F(kNoSpace, 1)}},
  {SET(Clusters(os, 65536)), 0, {F(kNoSpace, 1)}},  // 2^32 bytes: 0.
  {SET(Clusters(os, 65535)), 1, {kS}},
  // The scan, in listing order, and the map.
  {SET(os.FailCall("OpenExclusive")), 0, {F(kCannotInstall, 8)}},
  {SET(os.dirs.insert(InPkg("extra"))), 0, {F(kCannotInstall, 8)}},
  {SET(os.FailCall("FileSize")), 0, {F(kCannotInstall, 9)}},
  {SET(os.files[InPkg("a.bmp")].size = 0xFFFFFFFF), 0, {F(kCannotInstall, 9)}},
  {SET(os.files.erase(InPkg("cliver.map"))), 0, {F(kCannotInstall, 10)}},
  {SET(os.FailCall("OpenStream")), 0, {F(kCannotInstall, 10)}},
  {SET(os.FailCall("OpenListing")), 0, {kI, F(kCannotInstall, 10)}},
  // A read error ends the map with what was read: here, nothing.
  {SET(os.FailCall("ReadStream", 1, true)), 0, {F(kCannotInstall, 7)}},
  // A file that cannot be opened ahead of a bad map: no map is read; a bad
  // map ahead of it reports its own failure.
  {SET(Map(os, "SKIN-COMPATIBILITY-MIN=6\n"); os.FailCall("OpenExclusive");
       os.listing_order["C:\\Pkg"] = {".", "..", "a.bmp", "cliver.map"}),
   0, {F(kCannotInstall, 8)}, THEN(!os.Happened("OpenStream"))},
  {SET(Map(os, "SKIN-COMPATIBILITY-MIN=6\n"); os.FailCall("OpenExclusive");
       os.listing_order["C:\\Pkg"] = {".", "..", "cliver.map", "a.bmp"}),
   0, {F(kCannotInstall, 7)}},
  // A map in other letters is no map, found missing once all is counted.
  {SET(os.files.erase(InPkg("cliver.map"));
       os.AddFile(InPkg("CLIVER.MAP"), kMap)),
   0, {F(kCannotInstall, 10)}, THEN(os.Happened("OpenExclusive C:\\Pkg\\b") &&
                                    !os.Happened("OpenStream"))},
  // The current directory is walked as the system gives it, however long;
  // a drive root keeps its separator.
  {SET(WalkedFrom(os, "C:\\" + std::string(300, 'p'))), 1, {kS},
   THEN(os.HasFile(InSkin("c.bmp")))},
  {SET(WalkedFrom(os, "E:\\")), 1, {kS},
   THEN(os.HasFile(InSkin("c.bmp")))},
  // The installer takes a package file for itself only by the name it was
  // started under, with ".exe" added where that name has none.
  {SET(), 1, {kS}, THEN(!os.HasFile(InSkin("setup.exe")))},
  {SET(Invoked(os, ".\\setup", "setup.exe")), 1, {kS},
   THEN(!os.HasFile(InSkin("setup.exe")))},
  {SET(Invoked(os, "C:\\Pkg\\setup.exe", "setup.exe")), 1, {kS},
   THEN(os.HasFile(InSkin("setup.exe")))},
  {SET(Invoked(os, "setup", "setup.exe")), 1, {kS},
   THEN(os.HasFile(InSkin("setup.exe")))},
  {SET(Invoked(os, ".\\SETUP.EXE", "SETUP.EXE")), 1, {kS},
   THEN(os.HasFile(InSkin("SETUP.EXE")))},
  {SET(Invoked(os, ".\\setup.exe", "SETUP.EXE")), 1, {kS},
   THEN(os.HasFile(InSkin("SETUP.EXE")))},
  {SET(Invoked(os, "", "setup.exe")), 1, {kS},
   THEN(os.HasFile(InSkin("setup.exe")))},
  // The Skins folder is made only for an accepted skin, and stays.
  {SET(os.dirs.erase(kSkins); Revision(os, {9})), 0, {F(kIncompatible, 3)},
   THEN(!os.Happened("MakeDir"))},
  {SET(os.dirs.erase(kSkins); os.total_free = 1), 0, {F(kNoSpace, 1)},
   THEN(os.HasDir(kSkins))},
  {SET(os.dirs.erase(kSkins); os.dirs.erase("D:\\Apps\\Client")), 0,
   {F(kCannotCreateSkins, 1)}},
  // Made meanwhile by another installer: missing when the run looks, there
  // when it comes to make it.
  {SET(os.FailCall("Stat"); os.FailCall("MakeDir")), 1, {kS},
   THEN(os.Happened(std::string("MakeDir ") + kSkins))},
  // A file named Skins counts as the folder; its copies fail.
  {SET(os.dirs.erase(kSkins); os.AddFile(kSkins, "not a folder")), 0,
   {CopyError("Errore di sistema 3"), CopyError("Errore di sistema 3"),
    CopyError("Errore di sistema 3"), kD, F(kCannotCopy, 1)},
   THEN(os.files[kSkins].content == "not a folder")},
  // A reinstall asks first, with the Skins folder locked; No changes
  // nothing. Any other answer goes on: package files replaced, the user's
  // kept, the earlier ones kept aside without replacing anything, then
  // discarded through the discard folder once the copy is whole.
  {SET(Earlier(os); Leftover(os); os.answers = {kIdNo}), 0, {kQ}, Same},
  {SET(Earlier(os); Leftover(os)), 1, {kQ, kS},
   THEN(os.TreeOf(kSkin) == [] {
          Tree tree = Installed();
          tree[InSkin("notes.txt")] = "mine@8";
          return tree;
        }() && os.open_handles == 0 &&
        os.Happened("RenameNoReplace " + InSkin("a.bmp") + " -> " +
                    Kept(0, "a.bmp")) &&
        os.Happened("RemoveFile " + Discard("a.bmp")) &&
        !os.Happened("Pause"))},  // Nothing held: no waiting.
  {SET(Earlier(os); Leftover(os); os.answers = {0}), 1, {kQ, kS},
   THEN(!os.HasDir(Discard()) && !os.HasDir(Kept(0)))},
  {SET(Earlier(os); os.FailCall("Lock")), 1, {kQ, kS}},  // No lock: go on.
  // A failed copy, at any position and of any cause: every other file is
  // still copied, one rollback follows, and the Skins folder is exactly as
  // it was, earlier files included.
  {SET(os.FailCall("Copy", 1)), 0, kRolledBack, Same},
  {SET(os.FailCall("Copy", 2)), 0, kRolledBack,
   THEN(Same(os, before) && os.Happened("Copy C:\\Pkg\\cliver.map"))},
  {SET(os.FailCall("Copy", 3)), 0, kRolledBack, Same},
  {SET(Earlier(os); os.FailCall("Copy", 1)), 0, kAskedAndRolledBack, Same},
  {SET(Earlier(os); os.FailCall("Copy", 2)), 0, kAskedAndRolledBack,
   THEN(Same(os, before) && os.Happened("Copy C:\\Pkg\\cliver.map"))},
  {SET(Earlier(os); os.FailCall("Copy", 3)), 0, kAskedAndRolledBack, Same},
  {SET(Earlier(os); os.FailCall("Copy", 1, true)), 0,
   {kQ, CopyError(), CopyError(), CopyError(), kD, F(kCannotCopy, 1)}, Same},
  {SET(Earlier(os); os.dirs.insert(InSkin("b.bmp"))), 0,
   {kQ, CopyError("Accesso negato.\r\n"), kD, F(kCannotCopy, 1)}, Same},
  // A skin folder that is not a real folder (swapped for a link) takes no
  // copy, and nothing in it is touched.
  {SET(Earlier(os); os.FailCall("HoldFolder")), 0,
   {kQ, CopyError(), CopyError(), CopyError(), kD, F(kCannotCopy, 1)},
   THEN(Same(os, before) && !os.Happened("RenameNoReplace"))},
  // New files that cannot be put on the disk count as a failed copy.
  {SET(Earlier(os); os.FailCall("SyncFolder", 1, true)), 0,
   kAskedAndRolledBack, Same},
  // An earlier file that cannot be kept aside is not replaced.
  {SET(Earlier(os); os.FailCall("RenameNoReplace")), 0, kAskedAndRolledBack,
   Same},
  {SET(Earlier(os); os.FailCall("OpenListing", 2)), 0,
   {kQ, kI, kD, F(kCannotCopy, 1)}, Same},
  // The copy error box tells the real reason: the system's text, else the
  // number; where the skin folder or a working folder cannot be made, the
  // making's error, not the copies' missing path.
  {SET(Earlier(os); os.error_texts.clear(); os.FailCall("Copy")), 0,
   {kQ, CopyError("Errore di sistema 1117"), kD, F(kCannotCopy, 1)}, Same},
  {SET(os.FailCall("MakeDir")), 0,
   {CopyError(), CopyError(), CopyError(), kD, F(kCannotCopy, 1)}, Same},
  {SET(Earlier(os); os.FailCall("MakeDir", 2)), 0, kAskedAndRolledBack, Same},
  // A restore that fails keeps the earlier file aside.
  {SET(Earlier(os); os.FailCall("Copy", 2); os.FailCall("Rename")), 0,
   kAskedAndRolledBack, THEN(os.files[Kept(0, "a.bmp")].content == "old a")},
  // Interrupted runs are finished first: earlier files kept aside in two
  // slots go back, the oldest last; a discard folder is emptied.
  {SET(Earlier(os); Leftover(os); os.dirs.insert({Kept(1), Kept(2)});
       os.AddFile(Kept(1, "notes.txt"), "mine before", 3);
       os.AddFile(Kept(2, "notes.txt"), "mine later", 4);
       os.FailCall("Copy", 2)),
   0, kAskedAndRolledBack,
   THEN(os.TreeOf(kSkin) == Tree{{kSkin, "<dir>"}, {InSkin("a.bmp"), "old a@7"},
                                 {InSkin("notes.txt"), "mine before@3"}})},
  // A file is never copied onto itself: a package inside its own skin
  // folder, and a file linked into it.
  {SET(Earlier(os); os.AddFile(InSkin("cliver.map"), kMap);
       os.current_dir = kSkin),
   1, {kQ, kS}, Same},
  {SET(Earlier(os); os.files[InSkin("a.bmp")].id = os.files[InPkg("a.bmp")].id),
   1, {kQ, kS}, THEN(os.files[InSkin("a.bmp")].content == "old a" &&
                     !os.Happened("Copy C:\\Pkg\\a.bmp"))},
  // What real Windows does and Wine does not. A package file that a preview
  // holds is waited for, a moment but not for ever.
  {SET(os.held[InPkg("b.bmp")] = {500, false}), 1, {kS}},
  {SET(os.held[InPkg("b.bmp")] = {kForever, false}), 0,
   {F(kCannotInstall, 8)}},
  // A new file that a scanner holds, deleted, keeps its name: the earlier
  // file comes back over it in one rename.
  {SET(Earlier(os); os.scanner = {kForever}; os.FailCall("Copy", 2)), 0,
   kAskedAndRolledBack, THEN(os.Release(), Same(os, before))},
  // A short 8.3 alias names another file, which is never kept aside.
  {SET(Earlier(os); os.AddFile(InPkg("BACKGR~1.BMP"), "short");
       os.AddFile(InSkin("Background image.bmp"), "long", 9);
       os.short_names[InSkin("BACKGR~1.BMP")] = InSkin("Background image.bmp")),
   0, {kQ, CopyError("Il file esiste.\r\n"), kD, F(kCannotCopy, 1)}, Same},
  // File ids, or volume serials (here of two volumes whose ids meet), of
  // zero tell nothing: the earlier file is replaced.
  {SET(Earlier(os); os.zero_ids = true), 1, {kQ, kS},
   THEN(os.files[InSkin("a.bmp")].content == "aaaa")},
  {SET(Earlier(os); os.zero_volume = true;
       os.files[InSkin("a.bmp")].id = os.files[InPkg("a.bmp")].id),
   1, {kQ, kS}, THEN(os.files[InSkin("a.bmp")].content == "aaaa")},
  // With every working name taken (one past the last, too), the first is
  // tried, its making fails and the run is rolled back.
  {SET(Earlier(os); for (int slot = 0; slot <= kWorkingSlots; ++slot) {
         os.AddFile(InPkg(KeptFolderName(slot)), "pkg");
       }),
   0, {kQ, CopyError("Errore di sistema 183"), kD, F(kCannotCopy, 1)},
   THEN(Same(os, before) && os.Happened("MakeDir " + Kept(0)))},
};
// clang-format on

TEST(RunTest, EveryRowEndsWithItsStatusAndBoxes) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(testing::Message() << "row at line " << row.line);
    FakePlatform os = Installation();
    row.setup(os);
    const Tree before = os.TreeOf(kSkins);
    EXPECT_EQ(RunSetup(os), row.status);
    EXPECT_EQ(os.boxes, row.boxes);
    if (row.then != nullptr) {
      EXPECT_TRUE(row.then(os, before));
    }
    // A fatal failure's box is the last thing the run does, but for
    // closing the key it holds.
    if (os.events.back() != "Exit 0") continue;
    auto box = std::find_if(os.events.rbegin(), os.events.rend(),
                            [](auto& e) { return e.rfind("Box ", 0) == 0; });
    EXPECT_TRUE(std::all_of(os.events.rbegin() + 1, box,
                            [](auto& e) { return e == "CloseKey"; }));
  }
}

// Whatever a scanner holds for a moment, with or without letting others
// delete it, a run installs the package or leaves the Skins folder as it
// was, with nothing left under a working folder's name.
TEST(RunTest, FilesHeldForAMomentCostNothing) {
  for (int hold : {300, 1500}) {
    for (bool shares_delete : {true, false}) {
      for (bool earlier : {false, true}) {
        for (int failing_copy : {0, 1, 2, 3}) {
          SCOPED_TRACE(testing::Message()
                       << hold << shares_delete << earlier << failing_copy);
          FakePlatform os = Installation();
          if (earlier) Earlier(os);
          os.scanner = {hold, shares_delete};
          if (failing_copy != 0) os.FailCall("Copy", failing_copy);
          Tree expected = os.TreeOf(kSkins);
          if (failing_copy == 0) {
            for (const auto& [path, entry] : Installed())
              expected[path] = entry;
          }
          EXPECT_EQ(RunSetup(os), failing_copy == 0 ? 1 : 0);
          os.Release();
          EXPECT_EQ(os.TreeOf(kSkins), expected);
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
  os.Release();
  os.scanner = {0};
  os.answers = {kIdYes};
  os.files.erase(InPkg("a.bmp"));
  os.FailCall("RemoveFile", 1, true);
  EXPECT_EQ(RunSetup(os), 1);
  EXPECT_EQ(os.files[InSkin("a.bmp")].content, "aaaa");
}

// Switches for deployment tools: the status, the boxes still shown, the
// log's last line ("" for no log at all), and what must hold afterwards.
struct SwitchRow {
  int line;
  void (*setup)(FakePlatform&);
  const char* tail;
  int status;
  std::vector<Box> boxes;
  const char* outcome;
  bool (*then)(FakePlatform&, const Tree&) = nullptr;
};
#define LOG "/LOG=\"C:\\log.txt\" "

// clang-format off
const SwitchRow kSwitchRows[] = {
  {SET(), "/S " LOG "Blue", 0, {},
   "esito: Installazione effettuata correttamente (uscita 0)",
   THEN(os.TreeOf(kSkin) == Installed() && os.open_handles == 0)},
  {SET(Earlier(os)), "/s " LOG "Blue", 1602, {},
   "esito: la skin già presente non è stata sovrascritta (uscita 1602)", Same},
  {SET(Earlier(os)), "/S /OVERWRITE " LOG "Blue", 0, {},
   "esito: Installazione effettuata correttamente (uscita 0)",
   THEN(os.files[InSkin("a.bmp")].content == "aaaa")},
  {SET(Earlier(os); os.answers = {kIdNo}), "/OVERWRITE Blue", 1, {kS}, "",
   THEN(os.files[InSkin("a.bmp")].content == "aaaa")},
  {SET(Revision(os, {9})), "/S " LOG "Blue", 1603, {},
   "esito: La skin non è compatibile con questa versione di client "
   "CODICE ERRORE:3 (uscita 1603)"},
  {SET(Earlier(os); os.FailCall("Copy", 2)), "/S /OVERWRITE " LOG "Blue",
   1603, {}, "esito: Impossibile copiare i files su disco CODICE ERRORE:1 "
   "(uscita 1603)", Same},
  {SET(os.FailCall("OpenExclusive")), "/S " LOG "My Skin", 1603, {},
   "esito: Impossibile installare la skin CODICE ERRORE:8 (uscita 1603)"},
  // Another installer holds the Skins folder: an unattended run gives up
  // after a minute, one with a user waits for as long as it takes.
  {SET(os.locked_until = kForever), "/S " LOG "Blue", 1618, {},
   "esito: la cartella Skins è occupata da un'altra installazione "
   "(uscita 1618)", THEN(Same(os, before) && os.now >= 60000 &&
                         os.now < 61000)},
  {SET(os.locked_until = 5000), "/S Blue", 0, {}, "",
   THEN(os.TreeOf(kSkin) == Installed())},
  {SET(os.locked_until = 300000), "Blue", 1, {kS}, ""},
  // Refused like a bad skin name, with nothing written anywhere; /S still
  // keeps every box away.
  {SET(), LOG "/X Blue", 0, {F(kCannotInstall, 0)}, "", Same},
  {SET(), "/S /X " LOG "Blue", 1603, {}, "", Same},
  {SET(), "/LOG=\"C:\\No\\log.txt\" Blue", 0, {F(kCannotInstall, 0)}, "",
   Same},
  {SET(), "/S " LOG "..", 1603, {},
   "esito: Impossibile installare la skin CODICE ERRORE:0 (uscita 1603)",
   Same},
};
// clang-format on

TEST(RunTest, SwitchesAnswerForTheUserAndEndAsDeploymentToolsExpect) {
  for (const SwitchRow& row : kSwitchRows) {
    SCOPED_TRACE(testing::Message() << "row at line " << row.line);
    FakePlatform os = Installation();
    row.setup(os);
    const Tree before = os.TreeOf(kSkins);
    EXPECT_EQ(RunSetup(os, row.tail), row.status);
    EXPECT_EQ(os.boxes, row.boxes);
    const std::string log = os.files["C:\\log.txt"].content;
    const std::string last = log.substr(log.rfind('\n', log.size() - 2) + 1);
    EXPECT_EQ(last, *row.outcome ? std::string("2026-12-07 10:00:00 ") +
                                       row.outcome + "\n"
                                 : "");
    if (row.then != nullptr) {
      EXPECT_TRUE(row.then(os, before));
    }
  }
}

// The log of a run with a user: every step and every box, with its answer.
TEST(RunTest, LogHoldsEveryStepAndBoxInOrder) {
  FakePlatform os = Installation();
  Earlier(os);
  os.FailCall("Copy", 2);
  EXPECT_EQ(RunSetup(os, LOG "Blue"), 0);
  EXPECT_EQ(os.files["C:\\log.txt"].content,
            R"(2026-12-07 10:00:00 avvio: /LOG="C:\log.txt" Blue
2026-12-07 10:00:00 cartella Skins: D:\Apps\Client\Skins
2026-12-07 10:00:00 byte da copiare: 56
2026-12-07 10:00:00 [Quintavo Skins Installer] La skin è già presente. Si vuole procedere ugualmente? -> Sì
2026-12-07 10:00:00 copia in: D:\Apps\Client\Skins\Blue
2026-12-07 10:00:00 copiato: a.bmp
2026-12-07 10:00:00 [Quintavo] Errore di I/O. -> OK
2026-12-07 10:00:00 copiato: cliver.map
2026-12-07 10:00:00 ripristino: D:\Apps\Client\Skins\Blue
2026-12-07 10:00:00 [ delete file dir] D:\Apps\Client\Skins\Blue\* -> OK
2026-12-07 10:00:00 [Quintavo Skins Installer] Impossibile copiare i files su disco CODICE ERRORE:1 -> OK
2026-12-07 10:00:00 esito: Impossibile copiare i files su disco CODICE ERRORE:1 (uscita 0)
)");
  EXPECT_EQ(os.open_handles, 0);
}

TEST(RunTest, SkinNamesThatLeaveTheSkinsFolderAreRefusedFirst) {
  for (const char* name : {"", "..", ".", "a\\b", "..\\x", "a/b", "/", "\\",
                           "C:Blue", ".skinsetup-lock", ".SkinSetup-Kept"}) {
    FakePlatform os = Installation();
    EXPECT_EQ(RunSetup(os, name), 0) << name;
    EXPECT_EQ(os.boxes, std::vector<Box>{F(kCannotInstall, 0)});
    EXPECT_EQ(os.events.size(), 2u);  // The box and the exit.
  }
  for (const char* name : {"My Skin ", "\"Blue\"", "..Blue", "Blue.skin"}) {
    FakePlatform os = Installation();
    EXPECT_EQ(RunSetup(os, name), 1);
    EXPECT_TRUE(os.HasFile(std::string(kSkins) + "\\" + name + "\\a.bmp"));
  }
}

TEST(RunTest, InstallDirectoryGivesTheSkinsFolderAndTheRoot) {
  const std::string longest = "E:\\" + std::string(252, 'x');
  const struct {
    std::string stored, dir, root;
  } cases[] = {
      {longest + '\0', longest, "E:\\"},
      {"E:\\B", "E:\\B", "E:\\"},  // Stored without a terminating zero.
      {std::string("E:\\\0", 4), "E:\\", "E:\\"},  // Gives "E:\\Skins".
  };
  for (const auto& c : cases) {
    FakePlatform os = Installation();
    InstallDir(os, c.stored);
    os.dirs.insert({c.dir, c.dir + "\\Skins"});
    EXPECT_EQ(RunSetup(os), 1) << c.dir;
    EXPECT_TRUE(os.HasFile(c.dir + "\\Skins\\Blue\\a.bmp"));
    EXPECT_TRUE(os.Happened("FreeSpaceEx " + c.root));
  }
}

// The map's lines and what becomes of the run (-1: accepted); nothing is
// read from the registry before the map has given a range.
TEST(RunTest, MapDecidesTheRange) {
  const std::string min3 = "SKIN-COMPATIBILITY-MIN=3\n";
  const std::string max7 = "SKIN-COMPATIBILITY-MAX=7\n";
  // clang-format off
  const std::pair<std::string, int> cases[] = {
      {"SKIN-COMPATIBILITY-MIN = 3\n", 6}, {" =\n", 6}, {"AUTHOR\n", 6},
      {"= A\n", 5}, {"===\n", 5}, {"", 7}, {"\n\n  \n", 7}, {min3, 7},
      {max7, 7}, {"SKIN-COMPATIBILITY-MIN=-3\n" + max7, 7},
      {"  " + min3 + max7, 7}, {"skin-compatibility-min=3\n" + max7, 7},
      {"SKIN-COMPATIBILITY-MIN=6\nSKIN-COMPATIBILITY-MAX=5\n", 7},
      {min3 + max7.substr(0, max7.size() - 1), -1},  // No final line feed.
      {"AUTHOR=me\r\nSKIN-COMPATIBILITY-MAX=7 words\r\n"
       "SKIN-COMPATIBILITY-MIN==3\r\n", -1},
      {"SKIN-COMPATIBILITY-MIN=9\n" + max7 + "SKIN-COMPATIBILITY-MIN=5\n", -1},
      {"SKIN-COMPATIBILITY-MIN=0\nSKIN-COMPATIBILITY-MAX=99999999999\n", -1},
      {min3 + max7 + "\x1A" "AUTHOR\n", -1},
      // A long line is two: 511 characters, then a name without a value.
      {"X=" + std::string(598, 'x') + "\n" + min3 + max7, 6},
      {"X=" + std::string(509, 'x') + "\n" + min3 + max7, -1},
  };
  // clang-format on
  for (const auto& [map, code] : cases) {
    FakePlatform os = Installation();
    Map(os, map);
    EXPECT_EQ(RunSetup(os), code < 0 ? 1 : 0) << map;
    if (code < 0) continue;
    EXPECT_EQ(os.boxes.back(), F(kCannotInstall, code)) << map;
    EXPECT_FALSE(os.Happened(std::string("OpenUserKey ") + kRevisionKey));
  }
}

// The bytes the scan counted, added as floats before each rounding: the run
// passes with exactly `total` free bytes and fails with one fewer.
TEST(RunTest, SizesAreAddedAsFloats) {
  const std::pair<std::vector<std::uint64_t>, float> cases[] = {
      {{1, 16777217}, 16777218.0f},  // Rounding first would lose 1.
      {{16777216, 1}, 16777216.0f},  // At 2^24 one byte is nothing.
      {{1, 16777216}, 16777216.0f},
      {{1, 4294967296ull}, 1.0f},  // 4 GiB adds 0.
      {{3, 5, 7}, 15.0f},
  };
  for (const auto& [sizes, total] : cases) {
    const auto needed = static_cast<std::uint64_t>(total);
    for (std::uint64_t free : {needed, needed - 1}) {
      FakePlatform os = Installation();
      auto& order = os.listing_order["C:\\Pkg"] = {".", ".."};
      os.files.clear();
      for (std::size_t i = 0; i < sizes.size(); ++i) {
        order.push_back(i == 0 ? "cliver.map" : "f" + std::to_string(i));
        os.AddFile(InPkg(order.back()), i == 0 ? kMap : "");
        os.files[InPkg(order.back())].size = sizes[i];
      }
      os.total_free = free;
      EXPECT_EQ(RunSetup(os), free == needed ? 1 : 0) << total << " " << free;
    }
  }
}

TEST(RunTest, SkinsFolderIsLockedFromTheQuestionToTheSuccessBox) {
  FakePlatform os = Installation();
  Earlier(os);
  EXPECT_EQ(RunSetup(os), 1);
  auto at = [&](const std::string& prefix) {
    return std::find_if(os.events.begin(), os.events.end(),
                        [&](auto& e) { return e.rfind(prefix, 0) == 0; }) -
           os.events.begin();
  };
  EXPECT_LT(at(std::string("Lock ") + kSkins), at("Box " + kQ.caption));
  EXPECT_LT(at("Copy"), at("Unlock"));
  // The new files are on the disk before the earlier ones are discarded.
  EXPECT_LT(at("SyncFolder " + std::string(kSkin)), at("RenameFolder"));
  EXPECT_EQ(at("Unlock") + 1, at("Box " + kS.caption + ": " + kS.text));
  // A copy replaces whatever stands at its destination by then.
  EXPECT_EQ(std::count(os.events.begin(), os.events.end(),
                       "Copy C:\\Pkg\\a.bmp -> " + InSkin("a.bmp") +
                           " unless it exists"),
            1);
}

// A package may hold files named as the working folders, and the skin
// folder entries of those names that are no folders of the installer's:
// reinstalls still work, and those entries are left as they are.
TEST(RunTest, WorkingFoldersTakeNamesThatNothingElseHas) {
  FakePlatform os = Installation();
  Earlier(os);
  os.AddFile(InPkg(KeptFolderName(0)), "pkg kept");
  os.AddFile(InPkg(DiscardFolderName(0)), "pkg discard");
  os.AddFile(Kept(1), "user's own");
  for (int run = 0; run < 3; ++run) {
    os.answers = {kIdYes};
    EXPECT_EQ(RunSetup(os), 1);
    EXPECT_EQ(os.files[Kept(0)].content, "pkg kept");
    EXPECT_EQ(os.files[Kept(1)].content, "user's own");
    EXPECT_FALSE(os.HasDir(Kept(2)));
  }
  // Once installed, the package's own such file is kept aside too.
  EXPECT_TRUE(os.Happened("RenameNoReplace " + Kept(0) + " -> " +
                          Kept(2, KeptFolderName(0))));
}

}  // namespace
}  // namespace fake
