// Reads the input as a .reg file. Besides not crashing: a refused file
// keeps no keys and names a line of the file; an accepted one has folded
// names, every key's parent, reads back the same after being written out
// again, and gives each key (and its parent) read alone as it gives it
// whole.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/posix/reg_file.h"

namespace {

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

// Writes the data out as a .reg file, every value as hex bytes.
std::string Write(const platform::RegistryData& data) {
  std::string text = "REGEDIT4\n";
  for (const auto& [key, values] : data.keys) {
    text += "[" + key + "]\n";
    for (const auto& [name, bytes] : values) {
      text += "\"" + Escape(name) + "\"=hex:";
      for (std::size_t i = 0; i < bytes.size(); ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, i ? ",%02x" : "%02x", bytes[i]);
        text += hex;
      }
      text += "\n";
    }
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes,
                                      std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(bytes), size);
  platform::RegistryData data;
  std::string message;
  int line = 0;
  if (!platform::ParseRegFile(text, &data, &message, &line)) {
    std::size_t lines = 1;
    for (char c : text) lines += c == '\n';
    if (!data.keys.empty() || message.empty() || line < 1 ||
        static_cast<std::size_t>(line) > lines) {
      std::abort();
    }
    return 0;
  }
  for (const auto& [key, values] : data.keys) {
    if (key != platform::FoldCase(key) || key.rfind("hkey_", 0) != 0) {
      std::abort();
    }
    const std::size_t parent = key.rfind('\\');
    if (parent != std::string::npos &&
        data.Find(key.substr(0, parent)) == nullptr) {
      std::abort();
    }
    for (const auto& value : values) {
      if (value.first != platform::FoldCase(value.first)) std::abort();
    }
  }
  // Names with a line end cannot be written out on one line.
  for (const auto& [key, values] : data.keys) {
    if (key.find_first_of("\r\n]") != std::string::npos) return 0;
    for (const auto& value : values) {
      if (value.first.find_first_of("\r\n") != std::string::npos) return 0;
    }
  }
  // A few keys, each read alone, and the key above each.
  int checked = 0;
  for (const auto& [key, values] : data.keys) {
    if (++checked > 4) break;
    for (const std::string& path : {key, key.substr(0, key.rfind('\\'))}) {
      platform::RegistryData alone;
      const platform::RegistryData::Values* whole = data.Find(path);
      if (!platform::ParseRegFile(text, &alone, &message, &line, path) ||
          alone.keys.size() != (whole != nullptr ? 1u : 0u) ||
          (whole != nullptr && *alone.Find(path) != *whole)) {
        std::abort();
      }
    }
  }
  platform::RegistryData again;
  if (!platform::ParseRegFile(Write(data), &again, &message, &line) ||
      again.keys != data.keys) {
    std::abort();
  }
  return 0;
}
