// Shared setup of the installer's unit tests: a client, a package, a run,
// and the boxes the installer shows, from its own catalogue.

#ifndef SKINSETUP_TESTS_TEST_SUPPORT_H_
#define SKINSETUP_TESTS_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <string>

#include "skinsetup/messages.h"
#include "skinsetup/skinsetup.h"
#include "tests/fake_platform.h"

namespace fake {

using namespace skinsetup;  // The catalogue's texts.

constexpr char kClientKey[] = "SOFTWARE\\QV CLIENT";
constexpr char kRevisionKey[] = "SOFTWARE\\QV CLIENT\\NEWREVISION";
constexpr char kSkins[] = "D:\\Apps\\Client\\Skins";
constexpr char kSkin[] = "D:\\Apps\\Client\\Skins\\Blue";
constexpr char kMap[] = "SKIN-COMPATIBILITY-MIN=3\nSKIN-COMPATIBILITY-MAX=7\n";

inline std::string InSkin(const std::string& name) {
  return std::string(kSkin) + "\\" + name;
}
inline std::string InPkg(const std::string& name) { return "C:\\Pkg\\" + name; }

inline Box Failure(const char* text, int code) {
  return {FormatFailure(text, code), kProgramTitle, platform::kBoxOk};
}
const Box kSuccessBox{kSuccess, kProgramTitle, platform::kBoxOk};
const Box kQuestion{kAlreadyPresent, kProgramTitle, platform::kBoxYesNo};
const Box kInvalidBox{kInvalid, kInvalidCaption, platform::kBoxOk};
const Box kDeleteBox{InSkin("*"), kDeleteDirCaption, platform::kBoxOk};
const Box kCopyErrorBox{"Accesso negato.\r\n", kCopyErrorCaption,
                        platform::kBoxOkInformation};

// A client in D:\Apps\Client at revision 5 with its Skins folder, and a
// package in C:\Pkg of a.bmp, b.bmp, a map accepting 3 to 7 and the
// installer, started there as .\setup.exe.
inline FakePlatform Installation() {
  FakePlatform os;
  os.dirs.insert({"D:\\Apps", "D:\\Apps\\Client", kSkins, "C:\\Pkg"});
  os.SetValue(kClientKey, "Install Directory",
              {'D', ':', '\\', 'A', 'p', 'p', 's', '\\', 'C', 'l', 'i', 'e',
               'n', 't', 0});
  os.SetDword(kRevisionKey, "SKIN-COMPATIBILITY", 5);
  os.AddFile(InPkg("a.bmp"), "aaaa");
  os.AddFile(InPkg("b.bmp"), "bb");
  os.AddFile(InPkg("cliver.map"), kMap);
  os.AddFile(InPkg("setup.exe"), "MZ");
  return os;
}

// An earlier installation of Blue: an older a.bmp and a file of its own,
// and a Yes to the question.
inline void InstallEarlierSkin(FakePlatform& os) {
  os.dirs.insert(kSkin);
  os.AddFile(InSkin("a.bmp"), "old a", 7);
  os.AddFile(InSkin("notes.txt"), "mine", 8);
  os.answers = {platform::kIdYes};
}

// Runs the installer with `tail`; returns the exit status, whether it came
// back from WinMain or through Exit.
inline int RunSetup(FakePlatform& os, const std::string& tail = "Blue") {
  try {
    return WinMain(os, nullptr, nullptr, tail.c_str(), 1);
  } catch (const ExitCalled& exit) {
    return exit.status;
  }
}

}  // namespace fake

#endif  // SKINSETUP_TESTS_TEST_SUPPORT_H_
