#include "platform/reg_file.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

namespace platform {
namespace {

// Full and short names of the hives; files use the full ones, people often
// type the short ones.
const char* const kHives[][2] = {
    {"hkey_current_user", "hkcu"},   {"hkey_local_machine", "hklm"},
    {"hkey_classes_root", "hkcr"},   {"hkey_users", "hku"},
    {"hkey_current_config", "hkcc"},
};

std::string Trim(const std::string& text) {
  const std::size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return "";
  const std::size_t end = text.find_last_not_of(" \t");
  return text.substr(begin, end - begin + 1);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Normalises a key path: folded case, the hive's full name, no empty
// elements. Returns false for a path that names no known hive.
bool NormaliseKeyPath(const std::string& path, std::string* normal) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  while (at <= path.size()) {
    std::size_t end = path.find('\\', at);
    if (end == std::string::npos) end = path.size();
    if (end > at) parts.push_back(FoldCase(path.substr(at, end - at)));
    at = end + 1;
  }
  if (parts.empty()) return false;
  bool known = false;
  for (const auto& hive : kHives) {
    if (parts[0] == hive[0] || parts[0] == hive[1]) {
      parts[0] = hive[0];
      known = true;
    }
  }
  if (!known) return false;
  normal->clear();
  for (const std::string& part : parts) {
    if (!normal->empty()) *normal += '\\';
    *normal += part;
  }
  return true;
}

// Reads a quoted text with \\ and \" escapes from `text` at `*at`, which
// points at the opening quote, and leaves `*at` after the closing one.
bool ReadQuoted(const std::string& text, std::size_t* at, std::string* out) {
  if (*at >= text.size() || text[*at] != '"') return false;
  out->clear();
  for (std::size_t i = *at + 1; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      out->push_back(text[++i]);
    } else if (text[i] == '"') {
      *at = i + 1;
      return true;
    } else {
      out->push_back(text[i]);
    }
  }
  return false;
}

bool ParseHexBytes(const std::string& text, std::vector<unsigned char>* out) {
  out->clear();
  std::size_t at = 0;
  while (true) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    if (at == text.size()) return out->empty();
    if (at + 1 >= text.size()) return false;
    const int high = HexDigit(text[at]);
    const int low = HexDigit(text[at + 1]);
    if (high < 0 || low < 0) return false;
    out->push_back(static_cast<unsigned char>(high * 16 + low));
    at += 2;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    if (at == text.size()) return true;
    if (text[at] != ',') return false;
    ++at;
  }
}

// UTF-16LE as UTF-8, a last odd byte left out. Returns false for a
// malformed sequence, with what came before it in `*utf8`.
bool Utf8FromUtf16(const char* data, std::size_t size, std::string* utf8) {
  utf8->clear();
  iconv_t converter = iconv_open("UTF-8", "UTF-16LE");
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  std::string input(data, size & ~std::size_t{1});
  char* in = input.empty() ? nullptr : &input[0];
  std::size_t in_left = input.size();
  bool ok = true;
  char buffer[4096];
  while (in_left > 0 && ok) {
    char* out = buffer;
    std::size_t out_left = sizeof buffer;
    const std::size_t result = iconv(converter, &in, &in_left, &out, &out_left);
    utf8->append(buffer, static_cast<std::size_t>(out - buffer));
    ok = result != static_cast<std::size_t>(-1) || errno == E2BIG;
  }
  iconv_close(converter);
  return ok;
}

// Parses the data after "=": a quoted text, dword:, hex: or hex(N):.
bool ParseData(const std::string& data, std::vector<unsigned char>* out,
               std::string* message) {
  if (!data.empty() && data[0] == '"') {
    std::size_t at = 0;
    std::string text;
    if (!ReadQuoted(data, &at, &text) || !Trim(data.substr(at)).empty()) {
      *message = "unterminated or malformed text value";
      return false;
    }
    out->assign(text.begin(), text.end());
    out->push_back(0);
    return true;
  }
  const std::string folded = FoldCase(data);
  if (folded.compare(0, 6, "dword:") == 0) {
    const std::string digits = Trim(data.substr(6));
    if (digits.empty() || digits.size() > 8) {
      *message = "a dword takes one to eight hex digits";
      return false;
    }
    std::uint32_t value = 0;
    for (char c : digits) {
      if (HexDigit(c) < 0) {
        *message = "a dword takes one to eight hex digits";
        return false;
      }
      value = value * 16 + static_cast<std::uint32_t>(HexDigit(c));
    }
    out->assign({static_cast<unsigned char>(value),
                 static_cast<unsigned char>(value >> 8),
                 static_cast<unsigned char>(value >> 16),
                 static_cast<unsigned char>(value >> 24)});
    return true;
  }
  std::size_t colon = std::string::npos;
  std::uint32_t type = 3;  // REG_BINARY.
  if (folded.compare(0, 4, "hex:") == 0) {
    colon = 3;
  } else if (folded.compare(0, 4, "hex(") == 0) {
    const std::size_t close = folded.find("):");
    if (close != std::string::npos && close > 4 && close <= 12) {
      bool digits = true;
      type = 0;
      for (std::size_t i = 4; i < close; ++i) {
        digits &= HexDigit(data[i]) >= 0;
        type = type * 16 + static_cast<std::uint32_t>(HexDigit(data[i]));
      }
      if (digits) colon = close + 1;
    }
  }
  if (colon == std::string::npos) {
    *message = "unknown value type";
    return false;
  }
  if (!ParseHexBytes(data.substr(colon + 1), out)) {
    *message = "malformed hex bytes";
    return false;
  }
  // Texts written as bytes (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) are
  // UTF-16LE, as the editor exports them; the registry's narrow query gives
  // them in the system's own encoding, unexpanded.
  if (type == 1 || type == 2 || type == 7) {
    std::string text;
    if (!Utf8FromUtf16(reinterpret_cast<const char*>(out->data()), out->size(),
                       &text)) {
      *message = "malformed UTF-16 text";
      return false;
    }
    out->assign(text.begin(), text.end());
  }
  return true;
}

// Splits the text into lines, without their line ends.
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  // A byte order mark written by an editor is not part of the header.
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) at = 3;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    at = end + 1;
  }
  return lines;
}

// The keys below `path`, which follow one another in the map (a key
// "a b" sorts between "a" and "a\\b", so the search starts at "a\\").
RegistryData::Keys::iterator FirstBelow(RegistryData::Keys& keys,
                                        const std::string& path) {
  return keys.lower_bound(path + '\\');
}

bool IsBelow(const std::string& key, const std::string& path) {
  return key.size() > path.size() && key[path.size()] == '\\' &&
         key.compare(0, path.size(), path) == 0;
}

// Deletes the key and everything below it; its parent stays, as the
// registry editor leaves it.
void DeleteKey(RegistryData* data, const std::string& path) {
  if (data->Find(path) == nullptr) return;
  data->keys.erase(path);
  auto it = FirstBelow(data->keys, path);
  while (it != data->keys.end() && IsBelow(it->first, path)) {
    it = data->keys.erase(it);
  }
  const std::size_t parent = path.rfind('\\');
  if (parent != std::string::npos) data->keys[path.substr(0, parent)];
}

// The registry editor's Unicode export: UTF-16LE after a byte order mark.
// Read as UTF-8, as the rest of the system's text is. Returns false with the
// line of the first malformed character.
bool FromUtf16(const std::string& text, std::string* utf8, int* line) {
  if (Utf8FromUtf16(text.data() + 2, text.size() - 2, utf8)) return true;
  *line = 1;
  for (char c : *utf8) *line += c == '\n';
  return false;
}

}  // namespace

std::string FoldCase(const std::string& text) {
  std::string folded = text;
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

const RegistryData::Values* RegistryData::Find(const std::string& path) const {
  static const Values kNoValues;
  std::string normal;
  if (!NormaliseKeyPath(path, &normal)) return nullptr;
  auto it = keys.find(normal);
  if (it != keys.end()) return &it->second;
  // An ancestor of a key in the file exists, with no values of its own.
  it = keys.lower_bound(normal + '\\');
  return it != keys.end() && IsBelow(it->first, normal) ? &kNoValues : nullptr;
}

bool ParseRegFile(const std::string& text, RegistryData* data,
                  std::string* message, int* line_number) {
  data->keys.clear();
  auto fail = [&](int number, const std::string& why) {
    data->keys.clear();
    *line_number = number;
    *message = why;
    return false;
  };
  std::string utf8;
  if (text.compare(0, 2, "\xFF\xFE") == 0) {
    int number = 1;
    if (!FromUtf16(text, &utf8, &number)) {
      return fail(number, "malformed UTF-16 text");
    }
  }
  const std::vector<std::string> lines = SplitLines(utf8.empty() ? text : utf8);
  if (lines.empty() ||
      (Trim(lines[0]) != "Windows Registry Editor Version 5.00" &&
       Trim(lines[0]) != "REGEDIT4")) {
    return fail(1,
                "the first line must be \"Windows Registry Editor Version "
                "5.00\" or \"REGEDIT4\"");
  }
  std::string key;  // The current section, "" before the first one.
  bool deleted_key = false;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const int number = static_cast<int>(i) + 1;
    std::string line = Trim(lines[i]);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      if (line.back() != ']') return fail(number, "unterminated key name");
      std::string path = line.substr(1, line.size() - 2);
      deleted_key = !path.empty() && path[0] == '-';
      if (deleted_key) path.erase(0, 1);
      if (!NormaliseKeyPath(path, &key)) {
        return fail(number, "unknown registry hive in key name");
      }
      if (deleted_key) {
        DeleteKey(data, key);
      } else {
        data->keys[key];
      }
      continue;
    }
    if (line[0] != '"' && line[0] != '@') {
      return fail(number, "expected a key name, a value or a comment");
    }
    if (key.empty()) return fail(number, "a value before the first key");
    std::string name;
    std::size_t at = 1;  // After the "@" of the default value.
    if (line[0] == '"') {
      at = 0;
      if (!ReadQuoted(line, &at, &name)) {
        return fail(number, "unterminated value name");
      }
    }
    std::string rest = Trim(line.substr(at));
    if (rest.empty() || rest[0] != '=') return fail(number, "expected \"=\"");
    rest = Trim(rest.substr(1));
    // Hex data may go on over lines that end in a backslash.
    const bool hex = FoldCase(rest.substr(0, 3)) == "hex";
    while (hex && !rest.empty() && rest.back() == '\\') {
      rest.pop_back();
      if (++i >= lines.size()) return fail(number, "continuation at the end");
      rest += Trim(lines[i]);
    }
    if (deleted_key) continue;
    RegistryData::Values& values = data->keys[key];
    if (rest == "-") {
      values.erase(FoldCase(name));
      continue;
    }
    std::vector<unsigned char> bytes;
    std::string why;
    if (!ParseData(rest, &bytes, &why)) return fail(number, why);
    values[FoldCase(name)] = bytes;
  }
  return true;
}

}  // namespace platform
