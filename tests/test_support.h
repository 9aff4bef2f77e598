// Shared setup of the installer's unit tests: a client, a package, a run,
// and the boxes the installer shows, with their texts from texts.txt.

#ifndef SKINSETUP_TESTS_TEST_SUPPORT_H_
#define SKINSETUP_TESTS_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

#include "skinsetup/kept_files.h"
#include "skinsetup/skinsetup.h"
#include "tests/fake_platform.h"

namespace fake {

using platform::kIdNo, platform::kIdYes;
using skinsetup::DiscardFolderName, skinsetup::KeptFolderName;
using skinsetup::kWorkingSlots, skinsetup::NewFolderName;

// The text named `name` in texts.txt, as the user reads it.
inline const std::string& Text(const std::string& name) {
  static const auto* texts = [] {
    auto* named = new std::map<std::string, std::string>;
    std::ifstream in(SKINSETUP_TESTS_DIR "/texts.txt");
    for (std::string line; std::getline(in, line);) {
      const std::size_t equals = line.find('=');
      if (line[0] == '#' || equals == std::string::npos) continue;
      std::string text = line.substr(equals + 1);
      for (std::size_t at; (at = text.find("\\n")) != std::string::npos;) {
        text.replace(at, 2, "\n");
      }
      (*named)[line.substr(0, equals)] = text;
    }
    return named;
  }();
  return texts->at(name);
}

// `pattern` with each {kName} replaced by its text.
inline std::string Expand(std::string pattern) {
  for (std::size_t at; (at = pattern.find("{k")) != std::string::npos;) {
    const std::size_t end = pattern.find('}', at);
    pattern.replace(at, end + 1 - at,
                    Text(pattern.substr(at + 1, end - at - 1)));
  }
  return pattern;
}

constexpr char kClientKey[] = "SOFTWARE\\QV CLIENT";
constexpr char kRevisionKey[] = "SOFTWARE\\QV CLIENT\\NEWREVISION";
constexpr char kSkins[] = "D:\\Apps\\Client\\Skins";
constexpr char kSkin[] = "D:\\Apps\\Client\\Skins\\Blue";
constexpr char kMap[] = "SKIN-COMPATIBILITY-MIN=3\nSKIN-COMPATIBILITY-MAX=7\n";

inline std::string InSkin(const std::string& name) {
  return std::string(kSkin) + "\\" + name;
}
inline std::string InPkg(const std::string& name) { return "C:\\Pkg\\" + name; }

// A fatal failure's box: the text named `text`, and the code.
inline Box F(const char* text, int code) {
  return {Text(text) + Text("kCodeLabel") + std::to_string(code),
          Text("kProgramTitle"), platform::kBoxOk};
}
const Box kS{Text("kSuccess"), Text("kProgramTitle"), platform::kBoxOk};
const Box kQ{Text("kAlreadyPresent"), Text("kProgramTitle"),
             platform::kBoxYesNo};
const Box kI{Text("kInvalid"), Text("kInvalidCaption"), platform::kBoxOk};
const Box kRQ{Text("kRemoveQuestion"), Text("kProgramTitle"),
              platform::kBoxYesNo};
const Box kR{Text("kRemoved"), Text("kProgramTitle"), platform::kBoxOk};
const Box kD{InSkin("*"), Text("kDeleteDirCaption"), platform::kBoxOk};
inline Box CopyError(const std::string& text = "Errore di I/O.\r\n") {
  return {text, Text("kCopyErrorCaption"), platform::kBoxOkInformation};
}
inline Box CopyError(int code) {  // Where the system has no text.
  return CopyError(Text("kSystemError") + " " + std::to_string(code));
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
  os.SetValue(kRevisionKey, "SKIN-COMPATIBILITY", {5, 0, 0, 0});  // DWORD.
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
