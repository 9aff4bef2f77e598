// Finds the client through the current user's registry and forms the path
// of its Skins folder; later, notes whether that folder exists yet. Reads
// through platform.h, and writes nothing.

#include "skinsetup/client_location.h"

#include <cstring>

#include "skinsetup/boxes.h"
#include "skinsetup/messages.h"
#include "skinsetup/session.h"

namespace skinsetup {
namespace {

constexpr char kClientKey[] = "SOFTWARE\\QV CLIENT";
constexpr char kInstallDirValue[] = "Install Directory";
constexpr std::uint32_t kValueSize = 256;

// The codes of "Quintavo non \xE8 installato" (non è installato).
constexpr int kNoClientKey = 2;
constexpr int kNoInstallDirectory = 1;

}  // namespace

void LocateClient(platform::Platform& os, SkinSetupRun& run) {
  platform::RegKey key = nullptr;
  if (os.OpenUserKey(kClientKey, platform::kKeyRead, &key) != 0) {
    FailAndExit(os, run, kNotInstalled, kNoClientKey);
  }

  // The value's type is ignored and the system adds no terminating zero to
  // data stored without one: a value that fills the whole buffer without a
  // zero is refused like one that does not fit. So is a directory that names
  // no one place: an empty one would put the skins at the root of the
  // current drive, a relative one inside the package.
  unsigned char value[kValueSize] = {};
  std::uint32_t size = kValueSize;
  if (os.QueryKeyValue(key, kInstallDirValue, value, &size) != 0 ||
      std::memchr(value, 0, kValueSize) == nullptr ||
      !os.IsAbsolutePath(reinterpret_cast<const char*>(value))) {
    ShowFailure(os, run, kNotInstalled, kNoInstallDirectory);
    os.CloseKey(key);
    ExitFailed(os, run);
  }
  run.szValue = reinterpret_cast<const char*>(value);
  ShowTrace(os, run, run.szValue, kTraceInstallDir);
  os.CloseKey(key);

  // A stored directory that ends in a separator keeps it.
  const std::string skins = std::string(1, os.Separator()) + "Skins";
  ShowTrace(os, run, skins, kTraceDir);
  run.szValue += skins;
  ShowTrace(os, run, run.szValue, kTraceValue);
  // The copy writes into the Skins folder, which may be a volume of its own
  // (mounted there, or reached through a junction): its free space counts,
  // not that of the client's drive.
  run.szRoot = run.szValue;
  LogStep(os, run, kLogClient, run.szValue);
}

void TestSkinsFolder(platform::Platform& os, SkinSetupRun& run) {
  int error = 0;
  if (os.Access(run.szValue, 0, &error) == -1 && error == platform::kErrNoEnt) {
    run.bCreateSkins = true;
  }
  if (os.Stat(run.szValue) == -1) run.bCreateSkins = true;
}

}  // namespace skinsetup
