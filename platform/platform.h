// The operating system as the installer sees it.
//
// The installer's logic calls the system only through this interface, so
// that the same logic runs on Windows, on POSIX systems and against the
// in-memory fake of the tests. Each backend lives in a file of its own and
// the build picks one. No system header is included here: handles are
// opaque pointers that only their backend can interpret.
//
// Every text that crosses this interface, paths and names, registry texts,
// the system's error texts and the boxes' texts, is in UTF-8 on Windows,
// whatever the system's code page (the backend speaks UTF-16 to Windows),
// and in the system's own bytes on POSIX.

#ifndef SKINSETUP_PLATFORM_PLATFORM_H_
#define SKINSETUP_PLATFORM_PLATFORM_H_

#include <cstdint>
#include <string>

namespace platform {

// Opaque handles. The tag types are never defined; a backend converts its
// own objects to and from these pointers.
struct RegKeyTag;
struct LibraryTag;
struct ProcTag;
struct ListingTag;
struct FileTag;
struct StreamTag;
struct LockTag;
struct LogTag;
struct DigestTag;
using RegKey = RegKeyTag*;
using Library = LibraryTag*;
using Proc = ProcTag*;
using Listing = ListingTag*;
using File = FileTag*;
using Stream = StreamTag*;
using Lock = LockTag*;
using Log = LogTag*;
using Digest = DigestTag*;

// Access mask for reading a registry key (KEY_READ).
constexpr std::uint32_t kKeyRead = 0x20019;

// Message box button sets and answers, with the values of Windows.
constexpr unsigned kBoxOk = 0x0;
constexpr unsigned kBoxYesNo = 0x4;
constexpr unsigned kBoxOkInformation = 0x40;
constexpr int kIdOk = 1;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// The C library's error number for a path that does not exist.
constexpr int kErrNoEnt = 2;

// What a path names, judged without following a link.
enum class EntryType {
  kNone,    // Nothing, or nothing the system lets the caller see.
  kFolder,  // A real folder: not a link, junction or other reparse point.
  kFile,    // A regular file, not a link.
  kOther,   // Anything else: a link, a special file.
};

// The version record in its 148-byte ANSI layout (OSVERSIONINFOA).
struct OsVersionInfo {
  std::uint32_t dwOSVersionInfoSize;
  std::uint32_t dwMajorVersion;
  std::uint32_t dwMinorVersion;
  std::uint32_t dwBuildNumber;
  std::uint32_t dwPlatformId;
  char szCSDVersion[128];
};
static_assert(sizeof(OsVersionInfo) == 148, "the version record is 148 bytes");

// A file's identity: the serial number of its volume and its id there.
struct FileId {
  std::uint64_t volume;
  unsigned char id[16];
};

class Platform {
 public:
  virtual ~Platform() = default;

  // --- Conventions of the system ---

  /// The separator of composed paths and listing patterns: '\' or '/'.
  virtual char Separator() const = 0;
  /// The suffix of executable files (".exe"), or "" where there is none.
  virtual const char* ExeSuffix() const = 0;

  /// True when `path` names one place whatever the current directory:
  /// false for "" and for a relative path (on Windows, one with neither a
  /// drive letter nor a UNC prefix).
  virtual bool IsAbsolutePath(const std::string& path) const = 0;

  // --- Process ---

  /// The first element of the argument vector, unchanged.
  virtual std::string InvocationName() = 0;
  /// The current directory, whole, as the system reports it; "" on failure.
  virtual std::string CurrentDirectory() = 0;
  /// Ends the process with `status`. Never returns.
  [[noreturn]] virtual void Exit(int status) = 0;
  /// The local time as "YYYY-MM-DD HH:MM:SS".
  virtual std::string LocalTime() = 0;
  /// Keeps the system from showing boxes of its own for the rest of the run
  /// (one asking for a disk in an empty drive, say), for a run that no one
  /// attends: the operation fails instead.
  virtual void SuppressSystemBoxes() = 0;
  /// Waits `milliseconds` before the run goes on.
  virtual void Pause(unsigned milliseconds) = 0;
  /// True when the error `code` says that another process has the file open
  /// or is deleting it, so that the same call may succeed a moment later (a
  /// sharing or lock violation, or a delete pending, on Windows; nothing on
  /// POSIX).
  virtual bool IsSharingError(std::uint32_t code) const = 0;
  /// True when `code` says that nothing has the name asked for.
  virtual bool IsNotFound(std::uint32_t code) const = 0;
  /// True when `code` is what IsListedName answers for a short 8.3 alias of
  /// an entry with a longer name (nothing on POSIX, which has none).
  virtual bool IsShortAlias(std::uint32_t code) const = 0;
  /// True when `code` is access denied, which Windows also answers for a
  /// moment for a name whose file is being deleted while someone holds it,
  /// and for a folder that holds a file someone has open.
  virtual bool IsAccessDenied(std::uint32_t code) const = 0;
  /// The value of the environment variable `name`. Returns false, leaving
  /// `*value` alone, when there is none.
  virtual bool EnvironmentValue(const std::string& name,
                                std::string* value) = 0;

  // --- Message boxes ---

  /// Shows a box with no owner, `type` one of the kBox* sets, its text and
  /// caption in UTF-8. Returns the button chosen (kIdOk, kIdYes, kIdNo), or
  /// 0 when no box can be shown.
  virtual int ShowMessageBox(const std::string& text,
                             const std::string& caption, unsigned type) = 0;

  // --- The run's log ---

  /// Opens the regular file `path` for appending, creating it where nothing
  /// is; a link to a regular file is followed. Returns nullptr, with
  /// LastError() telling why, on failure and for a folder, a pipe or a
  /// device.
  virtual Log OpenLog(const std::string& path) = 0;
  /// Appends `text` at the end of the file. Returns false when not all of it
  /// could be written.
  virtual bool AppendLog(Log log, const std::string& text) = 0;
  /// The process's standard output as a log ("/LOG=-"), for a job that
  /// reads the report from a pipe or from a file it redirected there.
  /// Returns nullptr, with LastError() telling why, where the process has
  /// none (a Windows program started without one).
  virtual Log OpenStandardOutput() = 0;
  /// Fills `*id` with the identity of the file that the log writes to, as
  /// QueryFileId would. Returns false when the system cannot tell.
  virtual bool LogFileId(Log log, FileId* id) = 0;
  /// Closes a log opened by OpenLog or OpenStandardOutput.
  virtual void CloseLog(Log log) = 0;

  // --- Current user's registry ---

  /// Opens `subkey` under the current user's hive with `access`. Returns 0
  /// and sets `*key` on success, a non-zero system error code otherwise.
  virtual long OpenUserKey(const char* subkey, std::uint32_t access,
                           RegKey* key) = 0;
  /// Copies the raw bytes of value `name` into `data`, whose size `*size`
  /// gives, and sets `*size` to the bytes written. Returns 0 on success; a
  /// non-zero code for a missing value or one longer than `*size`, in which
  /// case nothing is written to `data`. No terminating zero is added.
  virtual long QueryKeyValue(RegKey key, const char* name, unsigned char* data,
                             std::uint32_t* size) = 0;
  /// Closes a key opened by OpenUserKey.
  virtual void CloseKey(RegKey key) = 0;

  // --- Free space ---
  //
  // Both queries measure the volume that holds `folder` itself, a link or
  // junction to another volume followed, or, while `folder` does not exist
  // (a Skins folder still to be made), the nearest folder above it that
  // does.

  /// Fills the version record, whose size field the caller presets to 148.
  /// Returns false on failure.
  virtual bool QueryVersion(OsVersionInfo* info) = 0;
  /// Loads a library by name. Returns nullptr on failure.
  virtual Library LoadLibraryByName(const char* name) = 0;
  /// Looks up an entry of a loaded library. Returns nullptr on failure.
  virtual Proc FindLibraryEntry(Library library, const char* name) = 0;
  /// Calls the looked-up "GetDiskFreeSpaceExA" entry on `folder`. Returns
  /// false on failure; on success the caller's quota, the total bytes and
  /// the total free bytes.
  virtual bool CallFreeSpaceEx(Proc entry, const std::string& folder,
                               std::uint64_t* free_to_caller,
                               std::uint64_t* total_bytes,
                               std::uint64_t* total_free) = 0;
  /// The classic query in 32-bit counts, which Windows answers for a
  /// volume's root only: the root of the volume that holds `folder`.
  /// Returns false on failure.
  virtual bool QueryFreeSpace(const std::string& folder,
                              std::uint32_t* sectors_per_cluster,
                              std::uint32_t* bytes_per_sector,
                              std::uint32_t* free_clusters,
                              std::uint32_t* total_clusters) = 0;

  // --- Paths and folders (C library) ---

  /// Returns 0 when `path` exists; -1 otherwise, with the C library's error
  /// number in `*error` (kErrNoEnt when there is no such path).
  virtual int Access(const std::string& path, int mode, int* error) = 0;
  /// Returns 0 when the status of `path` can be queried, -1 otherwise.
  virtual int Stat(const std::string& path) = 0;
  /// Creates one folder level. Returns 0 on success, -1 on failure, with
  /// LastError() telling why.
  virtual int MakeDir(const std::string& path) = 0;
  /// Removes an empty folder. Returns 0 on success, -1 on failure.
  virtual int RemoveDir(const std::string& path) = 0;
  /// What `path` itself is, a final link not followed. Never opens it.
  virtual EntryType QueryEntry(const std::string& path) = 0;
  /// Holds the real folder `folder` (not a link to one) for the rest of the
  /// run: every later operation on a path below it reaches it from the
  /// folder itself, through no link, whatever replaces a name meanwhile.
  /// Returns false, with LastError() telling why, for anything but a real
  /// folder.
  virtual bool HoldFolder(const std::string& folder) = 0;
  /// Takes the installers' lock on `folder` without waiting for it: a lock
  /// file in it, which writing to the folder alone allows. Returns the lock;
  /// nullptr, with `*busy` set, while another installer holds it, and
  /// nullptr with `*busy` clear, LastError() telling why, when no lock can
  /// be taken there.
  /// UnlockFolder, or the process end, releases it.
  virtual Lock LockFolder(const std::string& folder, bool* busy) = 0;
  /// Releases a lock taken by LockFolder.
  virtual void UnlockFolder(Lock lock) = 0;

  // --- Listings ---

  /// Opens a listing of the folder that `pattern` (folder, separator, "*")
  /// names and puts its first entry's name in `*name`. Returns nullptr when
  /// the listing cannot be opened; `*name` is then left alone.
  virtual Listing OpenListing(const std::string& pattern,
                              std::string* name) = 0;
  /// Puts the next entry's name in `*name`. Returns false at the end of the
  /// listing, with LastError() 0, and on any failure, with LastError()
  /// telling why.
  virtual bool NextEntry(Listing listing, std::string* name) = 0;
  /// What the entry the listing named last is, a link not followed, as the
  /// listing saw it when it read the entry (no further look where the
  /// system's listing tells); kNone when that cannot be told.
  virtual EntryType ListedType(Listing listing) = 0;
  /// Closes a listing.
  virtual void CloseListing(Listing listing) = 0;

  // --- Package files ---

  /// Opens a regular file for reading without sharing. Returns nullptr on
  /// failure, also for a folder or anything that is not a plain file; such
  /// an entry is never opened, so that no device or pipe is woken. `listed`
  /// is what a listing said the entry is (ListedType): a kFile is opened
  /// straight away, and anything else only once a look has found a regular
  /// file there (a link to one is followed).
  virtual File OpenExclusive(const std::string& path, EntryType listed) = 0;
  /// Sets `*size` to the file's whole size in bytes and returns true.
  /// Returns false, leaving `*size` alone, when the size cannot be read.
  virtual bool FileSize(File file, std::uint64_t* size) = 0;
  /// Fills `*id` with the identity of a file that OpenExclusive opened, as
  /// QueryFileId would. Returns false when the system cannot tell.
  virtual bool OpenedFileId(File file, FileId* id) = 0;
  /// Closes a file opened by OpenExclusive.
  virtual void CloseFile(File file) = 0;

  /// Opens a regular file for reading its raw bytes. Returns nullptr on
  /// failure, and for anything else (a folder, a pipe, a device), which is
  /// never opened.
  virtual Stream OpenStream(const std::string& path) = 0;
  /// Sets `*size` to the size of the file the stream reads, as the system
  /// reports it at this moment (0 for most files of /proc, whatever they
  /// hold). Returns false, leaving `*size` alone, when it cannot be read.
  virtual bool StreamSize(Stream stream, std::uint64_t* size) = 0;
  /// Reads up to `size` bytes. Returns the count read, 0 at the end of the
  /// file, -1 on a read error.
  virtual long ReadStream(Stream stream, char* buffer, long size) = 0;
  /// Closes a stream.
  virtual void CloseStream(Stream stream) = 0;

  // --- Digests ---
  //
  // SHA-256, from the system's own library: the package's fingerprint is
  // one, which a deployment tool's script recomputes with its own.

  /// Starts a SHA-256 digest of no bytes yet. Returns nullptr when the
  /// system cannot compute one.
  virtual Digest OpenDigest() = 0;
  /// Adds `size` bytes, from `bytes`, to the digest. Returns false when the
  /// system fails; FinishDigest still closes the digest then.
  virtual bool AddToDigest(Digest digest, const char* bytes, long size) = 0;
  /// Finishes and closes the digest, whatever went before: the SHA-256 of
  /// the bytes added, 64 lower-case hexadecimal digits, or "" when the
  /// system fails.
  virtual std::string FinishDigest(Digest digest) = 0;

  /// Copies the regular file `source`, which a listing said is `listed` (as
  /// for OpenExclusive), to `destination`, a new file made there
  /// exclusively: fails where anything has that name, a link too.
  /// Keeps the contents, the time of the last write and the attributes (on
  /// POSIX, the permission bits the umask allows, never set-id or sticky
  /// bits; on Windows, no alternate data stream, and so no mark of a
  /// download), and leaves them ready for SyncFolder to put on the disk.
  /// Returns false on failure, with LastError() telling why, and leaves no
  /// partial file.
  virtual bool CopyFileTo(const std::string& source,
                          const std::string& destination, EntryType listed) = 0;
  /// The error code of the last failed operation of this thread.
  virtual std::uint32_t LastError() = 0;
  /// The system's own text for `code`, read without insert arguments.
  /// Returns false, leaving `*text` alone, when the system has none.
  virtual bool ErrorText(std::uint32_t code, std::string* text) = 0;
  /// Deletes a file, or a link itself; a read-only file too (the installer
  /// deletes only files it wrote or set aside to discard). Returns false on
  /// failure, with LastError() telling why.
  virtual bool RemoveFile(const std::string& path) = 0;
  /// Renames the file (or link, or special file) `from` to `to` on the same
  /// volume; times, attributes and contents go with it. Never replaces
  /// anything: fails where `to` exists, also where it differs from an
  /// existing name only in case on a system that ignores case. A working
  /// folder right below the held folder, once the run has reached it, is
  /// reached there for good: a file moved out of it comes from it wherever
  /// it went, and nothing moves into it once another folder (or a link)
  /// has its name. Returns false on failure, with LastError() telling why:
  /// one that IsNotFound takes when nothing is at `from`; another when
  /// `from` is a folder, or a short 8.3 alias of an entry with a longer
  /// name (as for IsListedName), and when `to`'s working folder is no
  /// longer the one the run reached.
  virtual bool RenameFile(const std::string& from, const std::string& to) = 0;
  /// Renames the folder `from` to `to`, which must not exist, on the same
  /// volume. SyncFolder on the folder that holds `to` puts the rename on the
  /// disk. Returns false on failure, with LastError() telling why.
  virtual bool RenameFolder(const std::string& from, const std::string& to) = 0;
  /// Puts on the disk the folder's own entries and the contents of the
  /// files CopyFileTo wrote into it, so that a power cut after this returns
  /// loses none of them. No other file is opened or changed for it.
  /// Returns false, with LastError() telling why, when they cannot be
  /// written.
  virtual bool SyncFolder(const std::string& folder) = 0;
  /// Fills `*id` with the identity of the file or folder that `path` names,
  /// a final link followed only with `follow_link`. Returns false when there
  /// is nothing there or the system cannot tell. A zero volume or file id is
  /// what some file systems and network redirectors report when they do not
  /// know.
  virtual bool QueryFileId(const std::string& path, bool follow_link,
                           FileId* id) = 0;
  /// Fills `*id` with the identity of the running program's own file (the
  /// module's file on Windows, /proc/self/exe on POSIX), however it was
  /// started. Returns false when the system cannot tell.
  virtual bool ProgramFileId(FileId* id) = 0;
  /// True when the last element of `path` is the name under which its
  /// folder lists the entry there (in any case, where the system ignores
  /// case). False, with LastError() telling why, for a short 8.3 alias of
  /// an entry with a longer name, and when nothing is there.
  virtual bool IsListedName(const std::string& path) = 0;
};

}  // namespace platform

#endif  // SKINSETUP_PLATFORM_PLATFORM_H_
