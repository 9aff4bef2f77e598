// The trace boxes of a build with the trace switch on: every point of an
// installation in order, and those of the failures that trace.

#include "tests/test_support.h"

namespace fake {
namespace {

// The boxes as "caption|text", in order.
std::vector<std::string> Traces(const FakePlatform& os) {
  std::vector<std::string> traces;
  for (const Box& box : os.boxes)
    traces.push_back(box.caption + "|" + box.text);
  return traces;
}

TEST(TraceTest, EveryTracePointOfAnInstallFiresInOrder) {
  FakePlatform os = Installation();
  os.dirs.erase(kSkins);
  os.SetDword(kRevisionKey, "SKIN-COMPATIBILITY", 0xFFFFFFFF);  // Shows -1.
  os.AddFile(InPkg("cliver.map"), "SKIN-COMPATIBILITY-MIN=3\n");
  EXPECT_EQ(RunSetup(os), 0);
  const std::string map = InPkg("cliver.map");
  const std::vector<std::string> expected = {
      "NOME_EXE|.\\setup.exe",
      " PARAMETRO|Blue",
      " Prova Installazione|D:\\Apps\\Client",
      " DIR|\\Skins",
      " szValue|D:\\Apps\\Client\\Skins",
      "FreeSpace|1073741824.000000",
      "Current Directory|C:\\Pkg",
      "lpFileName|C:\\Pkg\\.",
      "lpFileName|C:\\Pkg\\..",
      "lpFileName|C:\\Pkg\\a.bmp",
      "mem_nec|4.000000",
      "lpFileName|C:\\Pkg\\b.bmp",
      "mem_nec|6.000000",
      "lpFileName|" + map,
      "FILE OPENED|" + map,
      "name|SKIN-COMPATIBILITY-MIN",
      "value|3",
      Failure(kCannotInstall, 7).caption + "|" +
          Failure(kCannotInstall, 7).text};
  EXPECT_EQ(Traces(os), expected);

  os = Installation();
  os.dirs.erase(kSkins);
  os.SetDword(kRevisionKey, "SKIN-COMPATIBILITY", 0xFFFFFFFF);
  os.AddFile(InPkg("cliver.map"),
             "SKIN-COMPATIBILITY-MIN=0\nSKIN-COMPATIBILITY-MAX=2147483647\n");
  EXPECT_EQ(RunSetup(os), 0);
  const std::vector<std::string> traces = Traces(os);
  EXPECT_EQ(
      std::vector<std::string>(traces.begin() + 18, traces.begin() + 20),
      (std::vector<std::string>{"value|2147483647", "SKIN-COMPATIBILITY|-1"}));

  os = Installation();
  os.dirs.erase(kSkins);
  EXPECT_EQ(RunSetup(os), 1);
  const std::string skin = kSkin;
  const std::vector<std::string> rest = {
      "value|7",
      "SKIN-COMPATIBILITY|5",
      "DIR da creare|D:\\Apps\\Client\\Skins",
      "mem_nec|56.000000",
      "lpFileName|C:\\Pkg\\setup.exe",
      "Disk|D:\\",
      "Dir che si vuole creare|" + skin,
      " DIR NOMESKIN|" + skin,
      " szValue|" + skin,
      "tmp2|" + skin,
      " tmp4|C:\\Pkg\\*",
      " destinazione|" + skin + "\\a.bmp",
      " origine|C:\\Pkg\\a.bmp",
      " destinazione|" + skin + "\\b.bmp",
      " origine|C:\\Pkg\\b.bmp",
      " destinazione|" + skin + "\\cliver.map",
      " origine|" + map,
      kSuccessBox.caption + "|" + kSuccess};
  const std::vector<std::string> all = Traces(os);
  EXPECT_EQ(std::vector<std::string>(all.begin() + 18, all.end()), rest);
}

TEST(TraceTest, FailuresThatTraceDoSoAfterTheirBox) {
  const struct {
    const char* op;
    int nth;
    std::vector<std::string> tail;
  } cases[] = {
      {"OpenExclusive",
       1,
       {"Quintavo Skins Installer|" + FormatFailure(kCannotInstall, 8),
        "NOME FILE CHE DA' PROBLEMI|.\\a.bmp"}},
      {"FileSize",
       1,
       {"Quintavo Skins Installer|" + FormatFailure(kCannotInstall, 9),
        " Quintavo|GetFileSize() Fallita"}},
      {"Copy",
       2,
       {" origine|C:\\Pkg\\b.bmp", "Quintavo|Accesso negato.\r\n",
        " destinazione|" + InSkin("cliver.map"), " origine|C:\\Pkg\\cliver.map",
        " delete file dir|" + InSkin("*"),
        "Quintavo Skins Installer|" + FormatFailure(kCannotCopy, 1)}},
  };
  for (const auto& c : cases) {
    FakePlatform os = Installation();
    os.FailCall(c.op, c.nth);
    EXPECT_EQ(RunSetup(os), 0);
    const std::vector<std::string> traces = Traces(os);
    EXPECT_EQ(
        std::vector<std::string>(traces.end() - c.tail.size(), traces.end()),
        c.tail);
  }
}

}  // namespace
}  // namespace fake
