// The system the installer runs on. One backend a system implements it, a
// folder of files with one job each, and the build picks the folder for its
// target:
// - win32/ calls the wide Win32 functions;
// - posix/ stands a .reg file in for the registry and the terminal for
//   message boxes; files and folders are the real ones.
// Both backends put each method in the file of the same name, so that one
// found on one system is found on the other: the process, the conventions,
// the boxes and the system's errors in win32_platform.cc and
// posix_platform.cc; the others in folders.cc, files.cc, file_copy.cc,
// free_space.cc, registry.cc, run_log.cc (with the local time) and
// digest.cc; the map's stream is read through the C library by both, in
// platform/stdio_streams.cc. What a backend's files share, the State it
// keeps between calls and the noting of a failure (Failed), is in
// win32_state.h or posix_state.h; on POSIX that State, the folder the run
// holds and its working folders, comes from working_folders.h.

#ifndef SKINSETUP_PLATFORM_SYSTEM_PLATFORM_H_
#define SKINSETUP_PLATFORM_SYSTEM_PLATFORM_H_

#include <memory>
#include <string>

#include "platform/platform.h"

namespace platform {

class SystemPlatform : public Platform {
 public:
  explicit SystemPlatform(std::string invocation_name);
  ~SystemPlatform() override;

  char Separator() const override;
  const char* ExeSuffix() const override;
  bool IsAbsolutePath(const std::string& path) const override;

  std::string InvocationName() override { return invocation_name_; }
  std::string CurrentDirectory() override;
  [[noreturn]] void Exit(int status) override;
  std::string LocalTime() override;
  void SuppressSystemBoxes() override;
  void Pause(unsigned milliseconds) override;
  bool IsSharingError(std::uint32_t code) const override;
  bool IsNotFound(std::uint32_t code) const override;
  bool IsShortAlias(std::uint32_t code) const override;
  bool IsAccessDenied(std::uint32_t code) const override;
  bool EnvironmentValue(const std::string& name, std::string* value) override;

  int ShowMessageBox(const std::string& text, const std::string& caption,
                     unsigned type) override;

  Log OpenLog(const std::string& path) override;
  bool AppendLog(Log log, const std::string& text) override;
  Log OpenStandardOutput() override;
  bool LogFileId(Log log, FileId* id) override;
  void CloseLog(Log log) override;

  long OpenUserKey(const char* subkey, std::uint32_t access,
                   RegKey* key) override;
  long QueryKeyValue(RegKey key, const char* name, unsigned char* data,
                     std::uint32_t* size) override;
  void CloseKey(RegKey key) override;

  bool QueryVersion(OsVersionInfo* info) override;
  Library LoadLibraryByName(const char* name) override;
  Proc FindLibraryEntry(Library library, const char* name) override;
  bool CallFreeSpaceEx(Proc entry, const std::string& folder,
                       std::uint64_t* free_to_caller,
                       std::uint64_t* total_bytes,
                       std::uint64_t* total_free) override;
  bool QueryFreeSpace(const std::string& folder,
                      std::uint32_t* sectors_per_cluster,
                      std::uint32_t* bytes_per_sector,
                      std::uint32_t* free_clusters,
                      std::uint32_t* total_clusters) override;

  int Access(const std::string& path, int mode, int* error) override;
  int Stat(const std::string& path) override;
  int MakeDir(const std::string& path) override;
  int RemoveDir(const std::string& path) override;
  EntryType QueryEntry(const std::string& path) override;
  bool HoldFolder(const std::string& folder) override;
  Lock LockFolder(const std::string& folder, bool* busy) override;
  void UnlockFolder(Lock lock) override;

  Listing OpenListing(const std::string& pattern, std::string* name) override;
  bool NextEntry(Listing listing, std::string* name) override;
  EntryType ListedType(Listing listing) override;
  void CloseListing(Listing listing) override;

  File OpenExclusive(const std::string& path, EntryType listed) override;
  bool FileSize(File file, std::uint64_t* size) override;
  bool OpenedFileId(File file, FileId* id) override;
  void CloseFile(File file) override;

  Stream OpenStream(const std::string& path) override;
  bool StreamSize(Stream stream, std::uint64_t* size) override;
  long ReadStream(Stream stream, char* buffer, long size) override;
  void CloseStream(Stream stream) override;

  Digest OpenDigest() override;
  bool AddToDigest(Digest digest, const char* bytes, long size) override;
  std::string FinishDigest(Digest digest) override;

  bool CopyFileTo(const std::string& source, const std::string& destination,
                  EntryType listed) override;
  std::uint32_t LastError() override { return last_error_; }
  bool ErrorText(std::uint32_t code, std::string* text) override;
  bool RemoveFile(const std::string& path) override;
  bool RenameFile(const std::string& from, const std::string& to) override;
  bool RenameFolder(const std::string& from, const std::string& to) override;
  bool SyncFolder(const std::string& folder) override;
  bool QueryFileId(const std::string& path, bool follow_link,
                   FileId* id) override;
  bool IsListedName(const std::string& path) override;
  bool ProgramFileId(FileId* id) override;

 private:
  // What the backend keeps between calls.
  struct State;

  // Notes the system's last error and returns `result`.
  template <typename T>
  T Failed(T result);

  std::string invocation_name_;
  std::uint32_t last_error_ = 0;
  std::unique_ptr<State> state_;
};

}  // namespace platform

#endif  // SKINSETUP_PLATFORM_SYSTEM_PLATFORM_H_
