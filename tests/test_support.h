// Shared setup of the installer's unit tests: a client, a package and the
// texts the installer shows.

#ifndef SKINSETUP_TESTS_TEST_SUPPORT_H_
#define SKINSETUP_TESTS_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <string>

#include "skinsetup/messages.h"
#include "tests/fake_platform.h"

namespace fake {

// A client in D:\Apps\Client at revision 5 with its Skins folder, and a
// package in C:\Pkg holding a.bmp, b.bmp, a map accepting 3 to 7 and the
// installer, started as .\setup.exe.
class Installation {
 public:
  static constexpr const char* kClient = "D:\\Apps\\Client";
  static constexpr const char* kSkins = "D:\\Apps\\Client\\Skins";
  static constexpr const char* kSkin = "D:\\Apps\\Client\\Skins\\Blue";
  static constexpr const char* kPkg = "C:\\Pkg";

  Installation() {
    os.AddDir("D:");
    os.AddDir("D:\\Apps");
    os.InstallClient(kClient, 5);
    os.AddDir(kSkins);
    os.AddFile("C:\\Pkg\\a.bmp", "aaaa");
    os.AddFile("C:\\Pkg\\b.bmp", "bb");
    SetMap("SKIN-COMPATIBILITY-MIN=3\nSKIN-COMPATIBILITY-MAX=7\n");
    os.AddFile("C:\\Pkg\\setup.exe", "MZ");
  }

  void SetMap(const std::string& content) {
    os.AddFile("C:\\Pkg\\cliver.map", content);
  }

  // Runs the installer and checks that it ended with the box of `text` and
  // `code`, captioned with the program title, and status 0.
  void ExpectFailure(const std::string& tail, const char* text, int code) {
    EXPECT_EQ(RunSetup(os, tail), 0);
    ASSERT_FALSE(os.boxes.empty());
    EXPECT_EQ(
        os.boxes.back(),
        (Box{Failure(text, code), skinsetup::kProgramTitle, platform::kBoxOk}));
  }

  static std::string Failure(const char* text, int code) {
    return std::string(text) + " CODICE ERRORE:" + std::to_string(code);
  }

  // Whether an event that starts with `prefix` happened.
  bool Happened(const std::string& prefix) const {
    for (const std::string& event : os.events) {
      if (event.compare(0, prefix.size(), prefix) == 0) return true;
    }
    return false;
  }

  // An earlier installation of Blue: an older a.bmp and a file of its own.
  void InstallEarlierSkin() {
    os.AddDir(kSkin);
    os.AddFile(InSkin("a.bmp"), "old a", 7);
    os.AddFile(InSkin("notes.txt"), "mine", 8);
  }

  static std::string InSkin(const std::string& name) {
    return std::string(kSkin) + "\\" + name;
  }

  FakePlatform os;
};

class InstallerTest : public ::testing::Test, public Installation {};

}  // namespace fake

#endif  // SKINSETUP_TESTS_TEST_SUPPORT_H_
