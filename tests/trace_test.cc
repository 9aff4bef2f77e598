// The trace build: the boxes of one successful installation, in order, on
// a client without a Skins folder; and the trace a failure adds after its
// box.

#include "tests/test_support.h"

namespace fake {
namespace {

TEST(TraceTest, EveryTracePointOfAnInstallFiresInOrder) {
  FakePlatform os = Installation();
  os.dirs.erase(kSkins);
  // The map alone, whose traces include every one a file has.
  os.files.erase(InPkg("a.bmp"));
  os.files.erase(InPkg("b.bmp"));
  RunSetup(os);
  std::string traces;
  for (const Box& box : os.boxes) traces += box.caption + "|" + box.text + "\n";
  EXPECT_EQ(traces, Expand(R"({kTraceExeName}|.\setup.exe
{kTraceSkinName}|Blue
{kTraceInstallDir}|D:\Apps\Client
{kTraceDir}|\Skins
{kTraceValue}|D:\Apps\Client\Skins
{kTraceFreeSpace}|1073741824.000000
{kTraceCurDir}|C:\Pkg
{kTraceFileName}|C:\Pkg\.
{kTraceFileName}|C:\Pkg\..
{kTraceFileName}|C:\Pkg\cliver.map
{kTraceFileOpened}|C:\Pkg\cliver.map
{kTraceName}|SKIN-COMPATIBILITY-MIN
{kTraceMapValue}|3
{kTraceName}|SKIN-COMPATIBILITY-MAX
{kTraceMapValue}|7
{kTraceRevision}|5
{kTraceCreateSkins}|D:\Apps\Client\Skins
{kTraceMemNec}|50.000000
{kTraceFileName}|C:\Pkg\setup.exe
{kTraceDisk}|D:\Apps\Client\Skins
{kTraceSkinDir}|D:\Apps\Client\Skins\Blue
{kTraceMakeSkinDir}|D:\Apps\Client\Skins\Blue
{kTraceValue}|D:\Apps\Client\Skins\Blue
{kTraceTmp2}|D:\Apps\Client\Skins\.skinsetup-new
{kTraceTmp4}|C:\Pkg\*
{kTraceDestination}|D:\Apps\Client\Skins\.skinsetup-new\cliver.map
{kTraceSource}|C:\Pkg\cliver.map
{kProgramTitle}|{kSuccess}
)"));
}

// A file that cannot be opened, or whose size cannot be read.
TEST(TraceTest, FileThatCannotBeReadIsNamedAfterTheFailure) {
  const Box bad_file{".\\a.bmp", Text("kTraceBadFile"), platform::kBoxOk};
  const Box no_size{Text("kTraceSizeFailedText"), Text("kTraceSizeFailed"),
                    platform::kBoxOk};
  for (const auto& [op, code, trace] :
       {std::tuple("OpenExclusive", 8, bad_file),
        std::tuple("FileSize", 9, no_size)}) {
    FakePlatform os = Installation();
    os.FailCall(op);
    RunSetup(os);
    EXPECT_EQ(os.boxes.back(), trace);
    EXPECT_EQ(os.boxes.rbegin()[1], F("kCannotInstall", code));
  }
}

}  // namespace
}  // namespace fake
