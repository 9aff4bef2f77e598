// Shared setup of the installer's unit tests: a client, a package, a run,
// and the boxes the installer shows, as the user reads them.

#ifndef SKINSETUP_TESTS_TEST_SUPPORT_H_
#define SKINSETUP_TESTS_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <string>

#include "skinsetup/kept_files.h"
#include "skinsetup/skinsetup.h"
#include "tests/fake_platform.h"

namespace fake {

using platform::kIdNo, platform::kIdYes;
using skinsetup::DiscardFolderName, skinsetup::KeptFolderName;
using skinsetup::kWorkingSlots;

// The texts and captions, in UTF-8.
constexpr char kProgramTitle[] = "Quintavo Skins Installer";
constexpr char kCannotInstall[] = "Impossibile installare la skin";
constexpr char kNotInstalled[] = "Quintavo non è installato";
constexpr char kIncompatible[] =
    "La skin non è compatibile con questa versione di client";
constexpr char kCannotCreateSkins[] = "Impossibile creare la cartella Skins";
constexpr char kNoSpace[] = "Spazio su disco insufficiente";
constexpr char kCannotCopy[] = "Impossibile copiare i files su disco";

constexpr char kClientKey[] = "SOFTWARE\\QV CLIENT";
constexpr char kRevisionKey[] = "SOFTWARE\\QV CLIENT\\NEWREVISION";
constexpr char kSkins[] = "D:\\Apps\\Client\\Skins";
constexpr char kSkin[] = "D:\\Apps\\Client\\Skins\\Blue";
constexpr char kMap[] = "SKIN-COMPATIBILITY-MIN=3\nSKIN-COMPATIBILITY-MAX=7\n";

inline std::string InSkin(const std::string& name) {
  return std::string(kSkin) + "\\" + name;
}
inline std::string InPkg(const std::string& name) { return "C:\\Pkg\\" + name; }

inline std::string Failure(const char* text, int code) {
  return text + std::string(" CODICE ERRORE:") + std::to_string(code);
}
inline Box F(const char* text, int code) {  // A fatal failure's box.
  return {Failure(text, code), kProgramTitle, platform::kBoxOk};
}
const Box kS{"Installazione effettuata correttamente", kProgramTitle,
             platform::kBoxOk};
const Box kQ{"La skin è già presente.\nSi vuole procedere ugualmente?",
             kProgramTitle, platform::kBoxYesNo};
const Box kI{"NON VALIDO", " Installazione Fallita", platform::kBoxOk};
const Box kD{InSkin("*"), " delete file dir", platform::kBoxOk};
inline Box CopyError(const std::string& text = "Errore di I/O.\r\n") {
  return {text, "Quintavo", platform::kBoxOkInformation};
}

// The client's directory as stored, byte for byte.
inline void InstallDir(FakePlatform& os, const std::string& bytes) {
  os.SetValue(kClientKey, "Install Directory", {bytes.begin(), bytes.end()});
}

// A client in D:\Apps\Client at revision 5 with its Skins folder, and a
// package in C:\Pkg of a.bmp, b.bmp, a map accepting 3 to 7 and the
// installer, started there as .\setup.exe.
inline FakePlatform Installation() {
  FakePlatform os;
  os.dirs.insert({"D:\\Apps", "D:\\Apps\\Client", kSkins, "C:\\Pkg"});
  InstallDir(os, std::string("D:\\Apps\\Client", 15));
  os.SetDword(kRevisionKey, "SKIN-COMPATIBILITY", 5);
  os.AddFile(InPkg("a.bmp"), "aaaa");
  os.AddFile(InPkg("b.bmp"), "bb");
  os.AddFile(InPkg("cliver.map"), kMap);
  os.AddFile(InPkg("setup.exe"), "MZ");
  return os;
}

// An earlier installation of Blue: an older a.bmp and a file of its own,
// and a Yes to the question.
inline void Earlier(FakePlatform& os) {
  os.dirs.insert(kSkin);
  os.AddFile(InSkin("a.bmp"), "old a", 7);
  os.AddFile(InSkin("notes.txt"), "mine", 8);
  os.answers = {kIdYes};
}

// Runs the installer with `tail`; returns the exit status, whether it came
// back from WinMain or through Exit.
inline int RunSetup(FakePlatform& os, const std::string& tail = "Blue") {
  try {
    return skinsetup::WinMain(os, nullptr, nullptr, tail.c_str(), 1);
  } catch (const ExitCalled& exit) {
    return exit.status;
  }
}

}  // namespace fake

#endif  // SKINSETUP_TESTS_TEST_SUPPORT_H_
