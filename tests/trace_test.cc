// The trace boxes of a build with the trace switch on: every point of an
// installation in order, and those of the failures that trace.

#include "tests/test_support.h"

namespace fake {
namespace {

// Runs the installer and returns its boxes as "caption|text" lines.
std::string Traces(FakePlatform& os) {
  RunSetup(os);
  std::string traces;
  for (const Box& box : os.boxes) traces += box.caption + "|" + box.text + "\n";
  return traces;
}

// Up to the first value of the map, on a client without a Skins folder.
const std::string kHead = std::string(R"(NOME_EXE|.\setup.exe
 PARAMETRO|Blue
 Prova Installazione|D:\Apps\Client
 DIR|\Skins
 szValue|D:\Apps\Client\Skins
FreeSpace|1073741824.000000
Current Directory|C:\Pkg
lpFileName|C:\Pkg\.
lpFileName|C:\Pkg\..
lpFileName|C:\Pkg\a.bmp
mem_nec|4.000000
lpFileName|C:\Pkg\b.bmp
mem_nec|6.000000
lpFileName|C:\Pkg\cliver.map
FILE OPENED|C:\Pkg\cliver.map
name|SKIN-COMPATIBILITY-MIN
value|3
)");

TEST(TraceTest, EveryTracePointOfAnInstallFiresInOrder) {
  FakePlatform os = Installation();
  os.dirs.erase(kSkins);
  EXPECT_EQ(Traces(os), kHead + R"(name|SKIN-COMPATIBILITY-MAX
value|7
SKIN-COMPATIBILITY|5
DIR da creare|D:\Apps\Client\Skins
mem_nec|56.000000
lpFileName|C:\Pkg\setup.exe
Disk|D:\
Dir che si vuole creare|D:\Apps\Client\Skins\Blue
 DIR NOMESKIN|D:\Apps\Client\Skins\Blue
 szValue|D:\Apps\Client\Skins\Blue
tmp2|D:\Apps\Client\Skins\Blue
 tmp4|C:\Pkg\*
 destinazione|D:\Apps\Client\Skins\Blue\a.bmp
 origine|C:\Pkg\a.bmp
 destinazione|D:\Apps\Client\Skins\Blue\b.bmp
 origine|C:\Pkg\b.bmp
 destinazione|D:\Apps\Client\Skins\Blue\cliver.map
 origine|C:\Pkg\cliver.map
Quintavo Skins Installer|Installazione effettuata correttamente
)");
  // A map without its maximum fails before the revision is read.
  os = Installation();
  os.dirs.erase(kSkins);
  os.AddFile(InPkg("cliver.map"), "SKIN-COMPATIBILITY-MIN=3\n");
  EXPECT_EQ(Traces(os), kHead + "Quintavo Skins Installer|" +
                            Failure(kCannotInstall, 7) + "\n");
  // The revision shows as a signed number.
  os = Installation();
  os.dirs.erase(kSkins);
  os.SetDword(kRevisionKey, "SKIN-COMPATIBILITY", 0xFFFFFFFF);
  os.AddFile(InPkg("cliver.map"),
             "SKIN-COMPATIBILITY-MIN=0\nSKIN-COMPATIBILITY-MAX=2147483647\n");
  EXPECT_NE(Traces(os).find("\nvalue|2147483647\nSKIN-COMPATIBILITY|-1\n"),
            std::string::npos);
}

TEST(TraceTest, FailuresThatTraceDoSoAfterTheirBox) {
  const struct {
    const char* op;
    int nth;
    std::string tail;
  } cases[] = {
      {"OpenExclusive", 1,
       "Quintavo Skins Installer|" + Failure(kCannotInstall, 8) +
           "\nNOME FILE CHE DA' PROBLEMI|.\\a.bmp\n"},
      {"FileSize", 1,
       "Quintavo Skins Installer|" + Failure(kCannotInstall, 9) +
           "\n Quintavo|GetFileSize() Fallita\n"},
      {"Copy", 2,
       " origine|C:\\Pkg\\b.bmp\nQuintavo|Errore di I/O.\r\n\n"
       " destinazione|" +
           InSkin("cliver.map") +
           "\n origine|C:\\Pkg\\cliver.map\n delete file dir|" + InSkin("*") +
           "\nQuintavo Skins Installer|" + Failure(kCannotCopy, 1) + "\n"},
  };
  for (const auto& c : cases) {
    FakePlatform os = Installation();
    os.FailCall(c.op, c.nth);
    const std::string traces = Traces(os);
    EXPECT_EQ(traces.substr(traces.size() - c.tail.size()), c.tail);
  }
}

}  // namespace
}  // namespace fake
