// The POSIX backend on real folders.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#include "platform/reg_file.h"
#include "platform/system_platform.h"

namespace platform {
namespace {

class PosixPlatformTest : public ::testing::Test {
 protected:
  PosixPlatformTest() : os_("./setup") {
    char pattern[] = "/tmp/skinsetup-test-XXXXXX";
    dir_ = mkdtemp(pattern);
  }
  ~PosixPlatformTest() override {
    unsetenv("SKINSETUP_REGISTRY");
    std::system(("rm -rf '" + dir_ + "'").c_str());
  }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  void Write(const std::string& name, const std::string& content) {
    std::ofstream(Path(name), std::ios::binary) << content;
  }

  std::string Read(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
  }

  void UseRegistry(const std::string& text) {
    Write("registry.reg", text);
    setenv("SKINSETUP_REGISTRY", Path("registry.reg").c_str(), 1);
  }

  SystemPlatform os_;
  std::string dir_;
};

TEST_F(PosixPlatformTest, RegistryQueryKeepsTheSizeRule) {
  UseRegistry(
      "Windows Registry Editor Version 5.00\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\QV CLIENT]\n"
      "\"Install Directory\"=\"/opt/q\"\n"
      "\"Long\"=hex:01,02,03,04,05\n");
  RegKey key = nullptr;
  ASSERT_EQ(os_.OpenUserKey("Software\\QV Client", kKeyRead, &key), 0);
  unsigned char data[8];
  std::memset(data, 0x77, sizeof data);
  std::uint32_t size = 7;
  EXPECT_EQ(os_.QueryKeyValue(key, "install directory", data, &size), 0);
  EXPECT_EQ(size, 7u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), 7),
            std::string("/opt/q\0", 7));
  EXPECT_EQ(data[7], 0x77);

  std::memset(data, 0x77, sizeof data);
  size = 4;
  EXPECT_NE(os_.QueryKeyValue(key, "Long", data, &size), 0);
  EXPECT_EQ(data[0], 0x77);  // Nothing written on failure.
  size = 4;
  EXPECT_NE(os_.QueryKeyValue(key, "Missing", data, &size), 0);
  os_.CloseKey(key);

  EXPECT_NE(os_.OpenUserKey("SOFTWARE\\OTHER", kKeyRead, &key), 0);
}

// A registry file that cannot be used has no keys, and the reason is
// reported, but for a missing one.
TEST_F(PosixPlatformTest, RegistryFileThatCannotBeUsedHasNoKeys) {
  Write("bad.reg", "REGEDIT4\n[HKEY_CURRENT_USER\\SOFTWARE\\QV CLIENT]\nbad\n");
  mkfifo(Path("pipe.reg").c_str(), 0666);
  const int fd = open(Path("big.reg").c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_EQ(ftruncate(fd, (64 << 20) + 1), 0);  // Sparse.
  close(fd);
  const struct {
    std::string path;
    std::string report;
  } cases[] = {
      {Path("none.reg"), ""},
      {Path("bad.reg"), Path("bad.reg") + ":3: expected"},
      {Path("pipe.reg"), "not a regular file"},  // Would block for ever.
      {"/dev/zero", "not a regular file"},       // Would never end.
      {Path("big.reg"), "larger than 64 MiB"},
  };
  for (const auto& test : cases) {
    setenv("SKINSETUP_REGISTRY", test.path.c_str(), 1);
    SystemPlatform os("./setup");
    RegKey key = nullptr;
    testing::internal::CaptureStderr();
    EXPECT_NE(os.OpenUserKey("SOFTWARE\\QV CLIENT", kKeyRead, &key), 0);
    const std::string report = testing::internal::GetCapturedStderr();
    EXPECT_EQ(report.find(test.report) == std::string::npos, false) << report;
    EXPECT_EQ(report.empty(), test.report.empty()) << report;
  }
}

TEST_F(PosixPlatformTest, RegistryFileIsFoundThroughTheEnvironment) {
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

TEST_F(PosixPlatformTest, ListingHasDotsAndEveryEntry) {
  Write("a", "1");
  mkdir(Path("sub").c_str(), 0777);
  std::string name;
  Listing listing = os_.OpenListing(dir_ + "/*", &name);
  ASSERT_NE(listing, nullptr);
  std::multiset<std::string> names = {name};
  while (os_.NextEntry(listing, &name)) names.insert(name);
  os_.CloseListing(listing);
  EXPECT_EQ(names, (std::multiset<std::string>{".", "..", "a", "sub"}));

  name = "untouched";
  EXPECT_EQ(os_.OpenListing(Path("missing") + "/*", &name), nullptr);
  EXPECT_EQ(os_.OpenListing(dir_, &name), nullptr);
  EXPECT_EQ(name, "untouched");
}

TEST_F(PosixPlatformTest, ExclusiveOpenTakesPlainFilesOnly) {
  Write("a", "12345");
  mkdir(Path("sub").c_str(), 0777);
  mkfifo(Path("pipe").c_str(), 0666);
  File file = os_.OpenExclusive(Path("a"));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(os_.FileSize(file), 5u);
  os_.CloseFile(file);
  EXPECT_EQ(os_.OpenExclusive(Path("sub")), nullptr);
  EXPECT_EQ(os_.OpenExclusive(Path("pipe")), nullptr);  // Without blocking.
  EXPECT_EQ(os_.OpenExclusive(Path("missing")), nullptr);
  // The map's stream too: a pipe would block it for ever, a device (here
  // through a link) would never end, and a folder is no map.
  symlink("/dev/zero", Path("zero").c_str());
  for (const char* name : {"pipe", "zero", "sub", "missing"}) {
    EXPECT_EQ(os_.OpenStream(Path(name)), nullptr) << name;
  }
}

TEST_F(PosixPlatformTest, FileSizeIsTheLow32Bits) {
  const int fd = open(Path("big").c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, (1ll << 32) + 5), 0);  // Sparse.
  close(fd);
  File file = os_.OpenExclusive(Path("big"));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(os_.FileSize(file), 5u);
  os_.CloseFile(file);
}

TEST_F(PosixPlatformTest, CopyKeepsContentModeAndTimesAndReplaces) {
  std::string content(3 * 1024 * 1024 + 17, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) {
    content[i] = static_cast<char>(i * 7 + i / 4096);
  }
  Write("src", content);
  chmod(Path("src").c_str(), 0640);
  // No set-id, sticky or umask-masked bit reaches an installed file.
  Write("setid", "x");
  chmod(Path("setid").c_str(), 07777);
  const mode_t mask = umask(022);
  ASSERT_TRUE(os_.CopyFileTo(Path("setid"), Path("new"), false));
  Write("old", "y");
  ASSERT_TRUE(os_.CopyFileTo(Path("setid"), Path("old"), false));
  umask(mask);
  for (const char* name : {"new", "old"}) {
    struct stat status;
    ASSERT_EQ(stat(Path(name).c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0755u) << name;
  }
  const struct timespec times[2] = {{1000000000, 0}, {1200000000, 123}};
  utimensat(AT_FDCWD, Path("src").c_str(), times, 0);
  Write("dst", "older and longer than nothing");

  ASSERT_TRUE(os_.CopyFileTo(Path("src"), Path("dst"), false));
  EXPECT_EQ(Read(Path("dst")), content);
  struct stat copied;
  ASSERT_EQ(stat(Path("dst").c_str(), &copied), 0);
  EXPECT_EQ(copied.st_mode & 07777, 0640u);
  EXPECT_EQ(copied.st_mtim.tv_sec, 1200000000);
  EXPECT_EQ(copied.st_mtim.tv_nsec, 123);

  EXPECT_FALSE(os_.CopyFileTo(Path("src"), Path("dst"), true));
  Write("empty", "");
  EXPECT_TRUE(os_.CopyFileTo(Path("empty"), Path("dst"), false));
  EXPECT_EQ(Read(Path("dst")), "");
}

TEST_F(PosixPlatformTest, CopyRefusesFoldersLinksAndItsOwnSource) {
  Write("src", "data");
  mkdir(Path("dir").c_str(), 0777);
  EXPECT_FALSE(os_.CopyFileTo(Path("src"), Path("dir"), false));
  EXPECT_EQ(os_.LastError(), static_cast<std::uint32_t>(EISDIR));
  std::string text;
  ASSERT_TRUE(os_.ErrorText(os_.LastError(), &text));
  EXPECT_EQ(text, std::strerror(EISDIR));

  // A link in the destination's place is not followed.
  Write("outside", "keep me");
  symlink(Path("outside").c_str(), Path("link").c_str());
  EXPECT_FALSE(os_.CopyFileTo(Path("src"), Path("link"), false));
  EXPECT_EQ(Read(Path("outside")), "keep me");

  // A file copied onto itself through another name stays whole.
  link(Path("src").c_str(), Path("hard").c_str());
  EXPECT_FALSE(os_.CopyFileTo(Path("src"), Path("hard"), false));
  EXPECT_EQ(Read(Path("src")), "data");
  EXPECT_FALSE(os_.CopyFileTo(Path("missing"), Path("new"), false));
  EXPECT_NE(access(Path("new").c_str(), F_OK), 0);
}

TEST_F(PosixPlatformTest, SameFileComparesIdentityNotText) {
  Write("a", "1");
  Write("b", "1");
  link(Path("a").c_str(), Path("c").c_str());
  EXPECT_TRUE(os_.SameFile(Path("a"), dir_ + "/./a"));
  EXPECT_TRUE(os_.SameFile(Path("a"), Path("c")));
  EXPECT_FALSE(os_.SameFile(Path("a"), Path("b")));
  EXPECT_FALSE(os_.SameFile(Path("a"), Path("missing")));
}

TEST_F(PosixPlatformTest, RenameMovesFilesAndLinksButNotFolders) {
  Write("a", "1");
  Write("b", "2");
  mkdir(Path("dir").c_str(), 0777);
  symlink("missing", Path("dangling").c_str());
  // Without replacing, nothing at the target goes, not even a dangling link.
  EXPECT_FALSE(os_.RenameFile(Path("a"), Path("b"), false));
  EXPECT_EQ(os_.LastError(), static_cast<std::uint32_t>(EEXIST));
  EXPECT_FALSE(os_.RenameFile(Path("a"), Path("dangling"), false));
  EXPECT_EQ(Read(Path("b")), "2");
  EXPECT_TRUE(os_.RenameFile(Path("a"), Path("b"), true));
  EXPECT_EQ(Read(Path("b")), "1");
  // A link is moved itself, not what it points to.
  EXPECT_TRUE(os_.RenameFile(Path("dangling"), Path("moved"), false));
  char target[16] = {};
  EXPECT_EQ(readlink(Path("moved").c_str(), target, sizeof target - 1), 7);
  EXPECT_FALSE(os_.RenameFile(Path("dir"), Path("moved2"), true));
  EXPECT_EQ(os_.LastError(), static_cast<std::uint32_t>(EISDIR));
}

TEST_F(PosixPlatformTest, EntriesAreJudgedWithoutFollowingLinks) {
  Write("file", "1");
  mkdir(Path("dir").c_str(), 0777);
  symlink(Path("dir").c_str(), Path("to-dir").c_str());
  symlink(".", Path("to-here").c_str());
  EXPECT_EQ(os_.QueryEntry(Path("dir")), EntryType::kFolder);
  EXPECT_EQ(os_.QueryEntry(Path("file")), EntryType::kOther);
  EXPECT_EQ(os_.QueryEntry(Path("to-dir")), EntryType::kOther);
  EXPECT_EQ(os_.QueryEntry(Path("to-here")), EntryType::kOther);
  EXPECT_EQ(os_.QueryEntry(Path("missing")), EntryType::kNone);
  // A link is not the file it points to.
  symlink(Path("file").c_str(), Path("to-file").c_str());
  EXPECT_FALSE(os_.SameFile(Path("file"), Path("to-file")));
  EXPECT_TRUE(os_.IsAbsolutePath("/opt"));
  EXPECT_FALSE(os_.IsAbsolutePath("opt/q"));
  EXPECT_FALSE(os_.IsAbsolutePath(""));
}

TEST_F(PosixPlatformTest, RenameFolderMovesFoldersButNeverMergesThem) {
  mkdir(Path("a").c_str(), 0777);
  Write("a/f", "1");
  mkdir(Path("empty").c_str(), 0777);
  Write("file", "2");
  EXPECT_FALSE(os_.RenameFolder(Path("a"), Path("empty")));
  EXPECT_FALSE(os_.RenameFolder(Path("file"), Path("other")));
  EXPECT_TRUE(os_.RenameFolder(Path("a"), Path("b")));
  EXPECT_EQ(Read(Path("b/f")), "1");
}

TEST_F(PosixPlatformTest, FoldersAndExistence) {
  int error = 0;
  EXPECT_EQ(os_.Access(Path("x"), 0, &error), -1);
  EXPECT_EQ(error, kErrNoEnt);
  EXPECT_EQ(os_.Stat(Path("x")), -1);
  EXPECT_EQ(os_.MakeDir(Path("x")), 0);
  EXPECT_EQ(os_.MakeDir(Path("x")), -1);
  EXPECT_EQ(os_.Access(Path("x"), 0, &error), 0);
  EXPECT_EQ(os_.Stat(Path("x")), 0);
  EXPECT_EQ(os_.MakeDir(Path("y/z")), -1);  // One level only.
  Write("x/f", "");
  EXPECT_EQ(os_.RemoveDir(Path("x")), -1);
  EXPECT_TRUE(os_.RemoveFile(Path("x/f")));
  EXPECT_EQ(os_.RemoveDir(Path("x")), 0);
}

TEST_F(PosixPlatformTest, FreeSpaceIsThatOfTheNearestExistingFolder) {
  OsVersionInfo version{};
  version.dwOSVersionInfoSize = sizeof version;
  ASSERT_TRUE(os_.QueryVersion(&version));
  EXPECT_EQ(version.dwPlatformId, 2u);
  Library library = os_.LoadLibraryByName("KERNEL32.DLL");
  ASSERT_NE(library, nullptr);
  Proc entry = os_.FindLibraryEntry(library, "GetDiskFreeSpaceExA");
  ASSERT_NE(entry, nullptr);
  std::uint64_t caller = 0;
  std::uint64_t total = 0;
  std::uint64_t free = 0;
  ASSERT_TRUE(os_.CallFreeSpaceEx(entry, Path("Skins/not/yet"), &caller, &total,
                                  &free));
  struct statvfs volume;
  ASSERT_EQ(statvfs(dir_.c_str(), &volume), 0);
  EXPECT_EQ(total,
            static_cast<std::uint64_t>(volume.f_blocks) * volume.f_frsize);
  EXPECT_GE(free, caller);
  EXPECT_GT(free, 0u);
}

TEST_F(PosixPlatformTest, StreamReadsRawBytes) {
  Write("map", "A\r\nB\x1A");
  Stream stream = os_.OpenStream(Path("map"));
  ASSERT_NE(stream, nullptr);
  char buffer[16];
  EXPECT_EQ(os_.ReadStream(stream, buffer, sizeof buffer), 5);
  EXPECT_EQ(os_.ReadStream(stream, buffer, sizeof buffer), 0);
  os_.CloseStream(stream);
  EXPECT_EQ(os_.OpenStream(Path("missing")), nullptr);
}

}  // namespace
}  // namespace platform
