// Reads the input as the installer's command line on both entries: up to a
// NUL, a whole Windows command line, its tail cut off; its parts between
// NULs, a POSIX argument vector, its arguments joined. Besides not crashing:
// a cut tail ends the line and starts with no blank; a split gives the same
// twice; a tail that starts, past its quotes, with no '/' has no switches
// and is all the name; a name that an installation or removal accepts is
// one that Windows stores as typed, by a rule of Windows' restated here.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "app/command_tail.h"
#include "skinsetup/skin_name.h"
#include "skinsetup/switches.h"

namespace {

// True when Windows makes a folder of this name under that very name: not
// "." or "..", no trailing dot or blank, none of \ / : * ? " < > | nor a
// control code, and not a device (whose name, in any case, is the part
// before the first dot without the blanks after it; the digit may be a
// superscript one, two or three).
bool StoredAsTyped(const std::string& name) {
  if (name.empty() || name == "." || name == ".." || name.back() == '.' ||
      name.back() == ' ') {
    return false;
  }
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 32 ||
        std::string("\\/:*?\"<>|").find(c) != std::string::npos) {
      return false;
    }
  }
  std::string base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (char& c : base) c = c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
  // The devices, each between bars (which no name here holds).
  const std::string devices =
      "|CON|PRN|AUX|NUL|CONIN$|CONOUT$|COM1|COM2|COM3|COM4|COM5|COM6|COM7|"
      "COM8|COM9|COM\xC2\xB9|COM\xC2\xB2|COM\xC2\xB3|LPT1|LPT2|LPT3|LPT4|"
      "LPT5|LPT6|LPT7|LPT8|LPT9|LPT\xC2\xB9|LPT\xC2\xB2|LPT\xC2\xB3|";
  return devices.find('|' + base + '|') == std::string::npos;
}

// The split of `tail`: whether it is accepted, the name, and the switches.
auto Split(const std::string& tail) {
  skinsetup::Switches s;
  std::string name;
  const bool ok = skinsetup::SplitCommandTail(tail, &s, &name);
  return std::make_tuple(ok, name, s.bSilent, s.bOverwrite, s.bLog,
                         s.bUninstall, s.bCheck, s.bHelp, s.szLogPath);
}

void CheckSplit(const std::string& tail) {
  const auto split = Split(tail);
  if (Split(tail) != split) std::abort();
  const std::size_t first = tail.find_first_not_of('"');
  if ((first == std::string::npos || tail[first] != '/') &&
      split != std::make_tuple(true, tail, false, false, false, false, false,
                               false, std::string())) {
    std::abort();
  }
  const auto& [ok, name, silent, overwrite, log, uninstall, check, help,
               log_path] = split;
  if (ok && !help && !check && skinsetup::IsAcceptableSkinName(name) &&
      !StoredAsTyped(name)) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes,
                                      std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(bytes), size);
  const std::string line = input.c_str();
  const std::string tail = app::CutCommandTail(line.c_str());
  if (tail.size() > line.size() || tail.find_first_of(" \t") == 0 ||
      line.compare(line.size() - tail.size(), tail.size(), tail) != 0) {
    std::abort();
  }
  CheckSplit(tail);
  std::vector<std::string> arguments;
  for (std::size_t at = 0; at <= size; at += arguments.back().size() + 1) {
    arguments.push_back(input.substr(at, input.find('\0', at) - at));
  }
  std::vector<const char*> argv;
  for (const std::string& argument : arguments) argv.push_back(argument.data());
  CheckSplit(app::JoinArguments(static_cast<int>(argv.size()), argv.data()));
  return 0;
}
