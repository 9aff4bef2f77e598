// Learns how many bytes are free on the volume that holds the client's
// Skins folder. Asks the system through platform.h, and writes nothing.

#include "skinsetup/free_space.h"

#include <cstring>

#include "skinsetup/boxes.h"
#include "skinsetup/messages.h"

namespace skinsetup {
namespace {

constexpr std::uint32_t kPlatformConsumer = 1;  // The 9x family.
constexpr std::uint32_t kPlatformNt = 2;
// The first consumer build whose kernel has the extended query.
constexpr std::uint32_t kLastBuildWithoutEx = 1000;

// The codes of "Impossibile installare la skin".
constexpr int kNoKernel = 1;
constexpr int kNoExtendedQuery = 2;
constexpr int kExtendedQueryFailed = 3;
constexpr int kClassicQueryFailed = 4;

bool HasExtendedQuery(const platform::OsVersionInfo& version) {
  if (version.dwPlatformId == kPlatformNt) return true;
  return version.dwPlatformId == kPlatformConsumer &&
         (version.dwBuildNumber & 0xFFFFu) > kLastBuildWithoutEx;
}

}  // namespace

void ProbeFreeSpace(platform::Platform& os, SkinSetupRun& run) {
  platform::OsVersionInfo version;
  std::memset(&version, 0, sizeof version);
  version.dwOSVersionInfoSize = sizeof version;
  // A failed query leaves a zeroed record, which selects the classic query.
  if (!os.QueryVersion(&version)) std::memset(&version, 0, sizeof version);

  if (HasExtendedQuery(version)) {
    // The library stays loaded until the process ends.
    platform::Library kernel = os.LoadLibraryByName("KERNEL32.DLL");
    if (kernel == nullptr) FailAndExit(os, run, kCannotInstall, kNoKernel);
    platform::Proc entry = os.FindLibraryEntry(kernel, "GetDiskFreeSpaceExA");
    if (entry == nullptr)
      FailAndExit(os, run, kCannotInstall, kNoExtendedQuery);
    std::uint64_t free_to_caller = 0;
    std::uint64_t total_bytes = 0;
    std::uint64_t total_free = 0;
    if (!os.CallFreeSpaceEx(entry, run.szRoot, &free_to_caller, &total_bytes,
                            &total_free)) {
      FailAndExit(os, run, kCannotInstall, kExtendedQueryFailed);
    }
    // All free bytes count, not only the caller's quota.
    run.FreeSpace = static_cast<float>(total_free);
  } else {
    std::uint32_t sectors_per_cluster = 0;
    std::uint32_t bytes_per_sector = 0;
    std::uint32_t free_clusters = 0;
    std::uint32_t total_clusters = 0;
    if (!os.QueryFreeSpace(run.szRoot, &sectors_per_cluster, &bytes_per_sector,
                           &free_clusters, &total_clusters)) {
      FailAndExit(os, run, kCannotInstall, kClassicQueryFailed);
    }
    // The classic counts multiply in 32 bits and wrap, as they always have.
    const std::uint32_t bytes =
        free_clusters * sectors_per_cluster * bytes_per_sector;
    run.FreeSpace = static_cast<float>(bytes);
  }
  ShowTrace(os, run, FormatFloat(run.FreeSpace), kTraceFreeSpace);
}

}  // namespace skinsetup
