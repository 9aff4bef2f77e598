// Reads the skin's range of client revisions from its compatibility map,
// checks the client's revision against it and, for an accepted skin, creates
// a missing Skins folder. Reaches the system only through platform.h.

#include "skinsetup/compat_map.h"

#include <cstring>

#include "skinsetup/boxes.h"
#include "skinsetup/map_parser.h"
#include "skinsetup/messages.h"
#include "skinsetup/session.h"
#include "skinsetup/text_reader.h"

namespace skinsetup {
namespace {

constexpr char kRevisionKey[] = "SOFTWARE\\QV CLIENT\\NEWREVISION";
constexpr char kRevisionValue[] = "SKIN-COMPATIBILITY";

// The codes of "Impossibile installare la skin".
constexpr int kLineWithoutName = 5;
constexpr int kLineWithoutValue = 6;
constexpr int kNoRange = 7;
constexpr int kMapNotOpened = 10;  // As a package without a map.
// The codes of "La skin non \xE8 compatibile..." (non è compatibile).
constexpr int kNoRevisionKey = 2;
constexpr int kNoRevision = 1;
constexpr int kRevisionOutsideRange = 3;
// The code of "Impossibile creare la cartella Skins".
constexpr int kSkinsNotCreated = 1;

// Reads the map's lines into the range bounds, or ends the run.
void ReadRange(platform::Platform& os, SkinSetupRun& run,
               platform::Stream stream) {
  TextReader reader([&os, stream](char* buffer, long size) {
    return os.ReadStream(stream, buffer, size);
  });
  // A stream in error never reaches its end; the reading stops there too.
  while (!reader.AtEnd() && !reader.Failed()) {
    char line[kMapLineSize];
    std::memset(line, 0, sizeof line);
    reader.GetLine(line, sizeof line);
    char* feed = std::strchr(line, '\n');
    if (feed != nullptr) *feed = '\0';

    const MapLine parsed = ParseMapLine(line);
    if (parsed.kind == MapLine::kBlank) continue;
    if (parsed.kind == MapLine::kNoName)
      FailAndExit(os, run, kCannotInstall, kLineWithoutName);
    ShowTrace(os, run, parsed.name, kTraceName);
    if (parsed.kind == MapLine::kNoValue)
      FailAndExit(os, run, kCannotInstall, kLineWithoutValue);
    ShowTrace(os, run, parsed.value, kTraceMapValue);
    if (parsed.name == kMinName) run.nCompatMin = ParseInteger(parsed.value);
    if (parsed.name == kMaxName) run.nCompatMax = ParseInteger(parsed.value);
  }
  if (!IsValidRange(run.nCompatMin, run.nCompatMax)) {
    FailAndExit(os, run, kCannotInstall, kNoRange);
  }
}

// Reads the client's revision from the registry, or ends the run.
void ReadClientRevision(platform::Platform& os, SkinSetupRun& run) {
  platform::RegKey key = nullptr;
  if (os.OpenUserKey(kRevisionKey, platform::kKeyRead, &key) != 0) {
    FailAndExit(os, run, kIncompatible, kNoRevisionKey);
  }
  // A shorter value leaves the remaining bytes zero.
  unsigned char bytes[4] = {};
  std::uint32_t size = sizeof bytes;
  if (os.QueryKeyValue(key, kRevisionValue, bytes, &size) != 0) {
    ShowFailure(os, run, kIncompatible, kNoRevision);
    os.CloseKey(key);
    ExitFailed(os, run);
  }
  run.dwClientRevision = static_cast<std::uint32_t>(bytes[0]) |
                         static_cast<std::uint32_t>(bytes[1]) << 8 |
                         static_cast<std::uint32_t>(bytes[2]) << 16 |
                         static_cast<std::uint32_t>(bytes[3]) << 24;
  ShowTrace(os, run, FormatSigned(run.dwClientRevision), kTraceRevision);
  os.CloseKey(key);
}

}  // namespace

void ProcessMap(platform::Platform& os, SkinSetupRun& run,
                const std::string& path, platform::Stream* pfCfg) {
  *pfCfg = os.OpenStream(path);
  // A map that is listed but cannot be opened is no map at all.
  if (*pfCfg == nullptr) FailAndExit(os, run, kCannotInstall, kMapNotOpened);
  ShowTrace(os, run, path, kTraceFileOpened);

  ReadRange(os, run, *pfCfg);
  ReadClientRevision(os, run);
  // Both bounds are non-negative here, so the unsigned comparison is the
  // plain inclusive range test.
  if (static_cast<std::uint32_t>(run.nCompatMin) > run.dwClientRevision ||
      run.dwClientRevision > static_cast<std::uint32_t>(run.nCompatMax)) {
    FailAndExit(os, run, kIncompatible, kRevisionOutsideRange);
  }
  os.CloseStream(*pfCfg);

  if (run.bCreateSkins) {
    ShowTrace(os, run, run.szValue, kTraceCreateSkins);
    // Another installer may have made it meanwhile: a folder that is there
    // when its creation fails is no failure.
    if (os.MakeDir(run.szValue) != 0 && os.Stat(run.szValue) != 0) {
      FailAndExit(os, run, kCannotCreateSkins, kSkinsNotCreated);
    }
  }
}

}  // namespace skinsetup
