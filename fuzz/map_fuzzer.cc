// Runs the whole installer on a fake system whose package holds the input
// as its compatibility map. Besides not crashing: the run ends with one of
// the map's own outcomes, and an accepted skin is installed with every
// handle closed.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "skinsetup/messages.h"
#include "skinsetup/skinsetup.h"
#include "tests/fake_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  fake::FakePlatform os;
  os.dirs.insert({"C:\\Pkg", "D:\\Q", "D:\\Q\\Skins"});
  os.SetValue("SOFTWARE\\QV CLIENT", "Install Directory",
              {'D', ':', '\\', 'Q', 0});
  os.SetDword("SOFTWARE\\QV CLIENT\\NEWREVISION", "SKIN-COMPATIBILITY", 5);
  os.AddFile("C:\\Pkg\\cliver.map",
             std::string(reinterpret_cast<const char*>(data), size));
  int status;
  try {
    status = skinsetup::WinMain(os, nullptr, nullptr, "Blue", 1);
  } catch (const fake::ExitCalled& exit) {
    status = exit.status;
  }
  const std::string last = os.boxes.back().text;
  auto is = [&](const char* text, int code) {
    return last ==
           skinsetup::Utf8FromCatalogue(skinsetup::FormatFailure(text, code));
  };
  const bool expected =
      status == 1
          ? os.HasFile("D:\\Q\\Skins\\Blue\\cliver.map") && os.open_handles == 0
          : is(skinsetup::kCannotInstall, 5) ||
                is(skinsetup::kCannotInstall, 6) ||
                is(skinsetup::kCannotInstall, 7) ||
                is(skinsetup::kIncompatible, 3);
  if (!expected) std::abort();
  return 0;
}
