// The trace boxes of a build with the trace switch on.

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace fake {
namespace {

// The trace boxes as "caption|text", in order.
std::vector<std::string> Traces(const FakePlatform& os) {
  std::vector<std::string> traces;
  for (const Box& box : os.boxes)
    traces.push_back(box.caption + "|" + box.text);
  return traces;
}

TEST(TraceTest, SwitchIsOn) { EXPECT_TRUE(skinsetup::bTrace); }

TEST_F(InstallerTest, EveryTracePointOfAnInstallFiresInOrder) {
  EXPECT_EQ(RunSetup(os, "Blue"), 1);
  const std::string map = "C:\\Pkg\\cliver.map";
  const std::string skin = kSkin;
  EXPECT_EQ(
      Traces(os),
      (std::vector<std::string>{
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
          "name|SKIN-COMPATIBILITY-MAX",
          "value|7",
          "SKIN-COMPATIBILITY|5",
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
          "Quintavo Skins Installer|Installazione effettuata correttamente",
      }));
}

TEST_F(InstallerTest, MissingSkinsFolderIsTracedBeforeItIsCreated) {
  os.dirs.erase(kSkins);
  RunSetup(os, "Blue");
  const auto traces = Traces(os);
  auto created = std::find(traces.begin(), traces.end(),
                           "DIR da creare|D:\\Apps\\Client\\Skins");
  ASSERT_NE(created, traces.end());
  EXPECT_EQ(*(created - 1), "SKIN-COMPATIBILITY|5");
}

TEST_F(InstallerTest, FailuresOfTheScanTraceAfterTheirBox) {
  os.locked.insert("C:\\Pkg\\a.bmp");
  EXPECT_EQ(RunSetup(os, "Blue"), 0);
  auto traces = Traces(os);
  ASSERT_GE(traces.size(), 2u);
  EXPECT_EQ(traces[traces.size() - 2],
            "Quintavo Skins Installer|Impossibile installare la skin "
            "CODICE ERRORE:8");
  EXPECT_EQ(traces.back(), "NOME FILE CHE DA' PROBLEMI|.\\a.bmp");

  os = Installation().os;
  os.fail_size.insert("C:\\Pkg\\a.bmp");
  EXPECT_EQ(RunSetup(os, "Blue"), 0);
  traces = Traces(os);
  EXPECT_EQ(traces[traces.size() - 2],
            "Quintavo Skins Installer|Impossibile installare la skin "
            "CODICE ERRORE:9");
  EXPECT_EQ(traces.back(), " Quintavo|GetFileSize() Fallita");
}

TEST_F(InstallerTest, NameOfALineWithoutValueIsTracedBeforeItsFailure) {
  SetMap("AUTHOR\n");
  EXPECT_EQ(RunSetup(os, "Blue"), 0);
  const auto traces = Traces(os);
  EXPECT_EQ(traces[traces.size() - 2], "name|AUTHOR");
  EXPECT_EQ(traces.back(),
            "Quintavo Skins Installer|Impossibile installare la skin "
            "CODICE ERRORE:6");
}

TEST_F(InstallerTest, RevisionIsTracedAsASignedNumber) {
  os.SetDword("SOFTWARE\\QV CLIENT\\NEWREVISION", "SKIN-COMPATIBILITY",
              0xFFFFFFFFu);
  RunSetup(os, "Blue");
  const auto traces = Traces(os);
  EXPECT_NE(std::find(traces.begin(), traces.end(), "SKIN-COMPATIBILITY|-1"),
            traces.end());
}

TEST_F(InstallerTest, RollbackBoxesComeAfterTheCopyTraces) {
  os.fail_copy_to.insert(InSkin("b.bmp"));
  EXPECT_EQ(RunSetup(os, "Blue"), 0);
  const auto traces = Traces(os);
  const std::vector<std::string> tail(traces.end() - 6, traces.end());
  EXPECT_EQ(tail, (std::vector<std::string>{
                      " origine|C:\\Pkg\\b.bmp",
                      "Quintavo|Accesso negato.\r\n",
                      " destinazione|" + InSkin("cliver.map"),
                      " origine|C:\\Pkg\\cliver.map",
                      " delete file dir|" + InSkin("*"),
                      "Quintavo Skins Installer|Impossibile copiare i files "
                      "su disco CODICE ERRORE:1",
                  }));
}

}  // namespace
}  // namespace fake
