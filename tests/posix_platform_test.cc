// The POSIX backend on real folders: a file, a folder, a pipe and links,
// made fresh for each test.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/posix/reg_file.h"
#include "platform/system_platform.h"

namespace platform {
namespace {

class PosixPlatformTest : public ::testing::Test {
 protected:
  PosixPlatformTest() : os_("./setup") {
    char pattern[] = "/tmp/skinsetup-test-XXXXXX";
    dir_ = mkdtemp(pattern);
    Sh("printf 12345 >file; mkdir sub; mkfifo pipe; ln -s /dev/zero zero;"
       "ln -s sub to-sub; ln -s . to-here; ln -s missing dangling");
  }
  ~PosixPlatformTest() override {
    unsetenv("SKINSETUP_REGISTRY");
    Sh("cd /; rm -rf " + dir_);
  }
  void Sh(const std::string& command) {
    ASSERT_EQ(std::system(("cd " + dir_ + " && " + command).c_str()), 0);
  }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  std::string Read(const std::string& name) {
    std::ostringstream content;
    content << std::ifstream(Path(name), std::ios::binary).rdbuf();
    return content.str();
  }
  mode_t Mode(const std::string& name) {
    struct stat status {};
    lstat(Path(name).c_str(), &status);
    return status.st_mode & 07777;
  }

  SystemPlatform os_;
  std::string dir_;
};

TEST_F(PosixPlatformTest, RegistryQueryKeepsTheSizeRule) {
  Sh("printf '%s\\n' REGEDIT4 '[HKEY_CURRENT_USER\\SOFTWARE\\QV CLIENT]'"
     " '\"Install Directory\"=\"/opt/q\"' '\"Long\"=hex:01,02,03,04,05'"
     " >r.reg");
  setenv("SKINSETUP_REGISTRY", Path("r.reg").c_str(), 1);
  RegKey key = nullptr;
  ASSERT_EQ(os_.OpenUserKey("Software\\QV Client", kKeyRead, &key), 0);
  unsigned char data[8];
  std::memset(data, 0x77, sizeof data);
  std::uint32_t size = 7;
  EXPECT_EQ(os_.QueryKeyValue(key, "install directory", data, &size), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), 8),
            std::string("/opt/q\0\x77", 8));
  EXPECT_EQ(size, 7u);
  size = 4;  // Too small: nothing is written.
  EXPECT_NE(os_.QueryKeyValue(key, "Long", data, &size), 0);
  EXPECT_NE(os_.QueryKeyValue(key, "Missing", data, &size), 0);
  EXPECT_EQ(data[0], '/');
  os_.CloseKey(key);
  EXPECT_NE(os_.OpenUserKey("SOFTWARE\\OTHER", kKeyRead, &key), 0);
}

// A registry file that cannot be used has no keys, and the reason is
// reported, but for a missing one.
TEST_F(PosixPlatformTest, RegistryFileThatCannotBeUsedHasNoKeys) {
  Sh("printf 'REGEDIT4\\n[HKCU\\\\K]\\nbad\\n' >bad.reg;"
     "truncate -s 67108865 big.reg");  // 64 MiB and a byte, sparse.
  const std::pair<std::string, std::string> cases[] = {
      {Path("none.reg"), ""},
      {Path("bad.reg"), Path("bad.reg") + ":3: expected"},
      {Path("pipe"), "not a regular file"},  // Would block for ever.
      {"/dev/zero", "not a regular file"},   // Would never end.
      {Path("big.reg"), "larger than 64 MiB"},
  };
  for (const auto& [path, report] : cases) {
    setenv("SKINSETUP_REGISTRY", path.c_str(), 1);
    SystemPlatform os("./setup");
    RegKey key = nullptr;
    testing::internal::CaptureStderr();
    EXPECT_NE(os.OpenUserKey("SOFTWARE\\QV CLIENT", kKeyRead, &key), 0);
    const std::string shown = testing::internal::GetCapturedStderr();
    EXPECT_NE(shown.find(report), std::string::npos) << shown;
    EXPECT_EQ(shown.empty(), report.empty()) << shown;
  }
  // Where the file is looked for.
  setenv("SKINSETUP_REGISTRY", "/r.reg", 1);
  EXPECT_EQ(RegistryFilePath(), "/r.reg");
  unsetenv("SKINSETUP_REGISTRY");
  setenv("XDG_CONFIG_HOME", "/cfg", 1);
  EXPECT_EQ(RegistryFilePath(), "/cfg/quintavo/registry.reg");
  unsetenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  EXPECT_EQ(RegistryFilePath(), std::string(home != nullptr ? home : "") +
                                    "/.config/quintavo/registry.reg");
}

// Only a regular file is opened: a pipe would block for ever, a device
// (here through a link) would never end, and a folder is no file; nor is
// anything else a log. A listing that took one of them for a regular file
// (it was swapped meanwhile) changes nothing but the look first.
TEST_F(PosixPlatformTest, FilesAndStreamsArePlainFilesOnly) {
  for (const char* name : {"pipe", "zero", "sub", "missing"}) {
    for (EntryType listed : {EntryType::kOther, EntryType::kFile}) {
      EXPECT_EQ(os_.OpenExclusive(Path(name), listed), nullptr) << name;
    }
    EXPECT_EQ(os_.OpenStream(Path(name)), nullptr) << name;
    if (*name != 'm') {
      EXPECT_EQ(os_.OpenLog(Path(name)), nullptr) << name;
    }
  }
  Sh("truncate -s 4294967301 file");  // 4 GiB and 5 bytes, sparse.
  File file = os_.OpenExclusive(Path("file"), EntryType::kFile);
  ASSERT_NE(file, nullptr);
  std::uint64_t size = 0;
  EXPECT_TRUE(os_.FileSize(file, &size) && size == 4294967301u);
  os_.CloseFile(file);
}

// A copy keeps the mode, but for the set-id, sticky and umask-masked bits
// (its content and times are an installation's, end to end).
TEST_F(PosixPlatformTest, CopyKeepsTheModeButNoSetIdBit) {
  Sh("chmod 0640 file; echo x >setid; chmod 07777 setid");
  const mode_t mask = umask(022);
  EXPECT_TRUE(os_.CopyFileTo(Path("file"), Path("dst"), EntryType::kFile));
  EXPECT_TRUE(os_.CopyFileTo(Path("setid"), Path("new"), EntryType::kOther));
  umask(mask);
  EXPECT_EQ(Mode("dst"), 0640u);
  EXPECT_EQ(Mode("new"), 0755u);
}

TEST_F(PosixPlatformTest, CopyWritesOnlyANewName) {
  Sh("echo keep me >outside; ln -s outside link; ln file hard");
  for (const char* taken : {"sub", "link", "hard", "file"}) {
    EXPECT_FALSE(os_.CopyFileTo(Path("file"), Path(taken), EntryType::kFile))
        << taken;
  }
  EXPECT_EQ(Read("outside"), "keep me\n");  // The link is not followed.
  EXPECT_EQ(Read("file"), "12345");         // Onto itself: whole.
  EXPECT_FALSE(os_.CopyFileTo(Path("missing"), Path("new"), EntryType::kFile));
  EXPECT_NE(access(Path("new").c_str(), F_OK), 0);
}

TEST_F(PosixPlatformTest, EntriesAreJudgedWithoutFollowingLinks) {
  Sh("ln file hard; ln -s file to-file");
  const std::map<std::string, EntryType> types = {
      {"sub", EntryType::kFolder},   {"file", EntryType::kFile},
      {"to-sub", EntryType::kOther}, {"to-here", EntryType::kOther},
      {"pipe", EntryType::kOther},   {"missing", EntryType::kNone}};
  for (const auto& [name, type] : types) {
    EXPECT_EQ(os_.QueryEntry(Path(name)), type) << name;
  }
  // The listing tells the same.
  std::string name;
  Listing listing = os_.OpenListing(Path("*"), &name);
  ASSERT_NE(listing, nullptr);
  do {
    if (types.count(name)) {
      EXPECT_EQ(os_.ListedType(listing), types.at(name)) << name;
    }
  } while (os_.NextEntry(listing, &name));
  os_.CloseListing(listing);
  // A file's identity, or "" when it cannot be read.
  auto id = [&](const std::string& path) {
    FileId file{};
    return os_.QueryFileId(path, false, &file)
               ? std::to_string(file.volume) +
                     std::string(reinterpret_cast<char*>(file.id),
                                 sizeof file.id)
               : "";
  };
  EXPECT_EQ(id(Path("hard")), id(Path("file")));
  EXPECT_NE(id(Path("to-file")), id(Path("file")));
  EXPECT_EQ(id(Path("missing")), "");
}

TEST_F(PosixPlatformTest, RenamesMoveEntriesButNeverReplace) {
  Sh("echo 2 >b; mkdir a; echo 1 >a/f; mkdir empty");
  // Nothing at the target goes, not even a dangling link.
  EXPECT_FALSE(os_.RenameFile(Path("file"), Path("b")));
  EXPECT_EQ(os_.LastError(), static_cast<std::uint32_t>(EEXIST));
  EXPECT_FALSE(os_.RenameFile(Path("file"), Path("dangling")));
  // Nothing to move says so.
  EXPECT_FALSE(os_.RenameFile(Path("missing"), Path("moved")));
  EXPECT_TRUE(os_.IsNotFound(os_.LastError()));
  // A folder is no file.
  EXPECT_FALSE(os_.RenameFile(Path("sub"), Path("moved2")));
  // Folders move but never merge.
  EXPECT_FALSE(os_.RenameFolder(Path("a"), Path("empty")));
  EXPECT_FALSE(os_.RenameFolder(Path("b"), Path("other")));
  EXPECT_TRUE(os_.RenameFolder(Path("a"), Path("c")));
  EXPECT_EQ(Read("c/f"), "1\n");
}

// Below the held folder, a working folder is opened once. Nothing more goes
// into one that another process has moved away, nor is another folder
// given its name moved for it, and what the run put there comes back from
// where it went; a doubled separator names no folder of its own, and a
// folder inside a working folder still moves.
TEST_F(PosixPlatformTest, NothingGoesIntoAWorkingFolderMovedAway) {
  Sh("mkdir -p held/w/x held/v; echo a >held/a; echo b >held/b; echo 1 >b");
  ASSERT_TRUE(os_.HoldFolder(Path("held")));
  ASSERT_TRUE(os_.RenameFile(Path("held/a"), Path("held/w/a")));
  EXPECT_EQ(os_.QueryEntry(Path("held//b")), EntryType::kFile);
  ASSERT_EQ(os_.RemoveDir(Path("held/v")), 0);
  std::string name;
  Listing listing = os_.OpenListing(Path("*"), &name);  // A descriptor more.
  Sh("mv held/w away && mkdir held/w && echo mine >held/w/photo");
  EXPECT_FALSE(os_.RenameFile(Path("held/b"), Path("held/w/b")));
  EXPECT_FALSE(os_.IsNotFound(os_.LastError()));
  EXPECT_FALSE(os_.CopyFileTo(Path("b"), Path("held/w/c"), EntryType::kFile));
  EXPECT_FALSE(os_.RenameFolder(Path("held/w"), Path("held/d")));
  EXPECT_TRUE(os_.RenameFile(Path("held/w/a"), Path("held/a")));
  os_.CloseListing(listing);
  Sh("test ! -e away/b && test ! -e away/c && test ! -e held/d && "
     "test -e held/a && test -e held/w/photo && rm -r held/w && "
     "mv held/a away/a && mv away held/w");
  EXPECT_TRUE(os_.RenameFolder(Path("held/w/x"), Path("held/w/y")));
  EXPECT_TRUE(os_.RemoveFile(Path("held/b")));
  Sh("test -d held/w/y && test -e b && test ! -e held/b");
  // Nor does a link put where the held folder was take its place.
  Sh("mv held moved && ln -s moved held");
  EXPECT_FALSE(os_.RenameFolder(Path("held"), Path("committed")));
  Sh("test ! -e committed && test -L held");
}

}  // namespace
}  // namespace platform
