// The reader of the registry file that stands in for the current user's
// registry: the registry editor's export format, parsed; touches no file.

#include "platform/posix/reg_file.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string_view>

namespace platform {
namespace {

// Full and short names of the hives; files use the full ones, people often
// type the short ones.
const char* const kHives[][2] = {
    {"hkey_current_user", "hkcu"},   {"hkey_local_machine", "hklm"},
    {"hkey_classes_root", "hkcr"},   {"hkey_users", "hku"},
    {"hkey_current_config", "hkcc"},
};

std::string_view Trim(std::string_view text) {
  const std::size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string_view::npos) return {};
  const std::size_t end = text.find_last_not_of(" \t");
  return text.substr(begin, end - begin + 1);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Normalises a key path: folded case, the hive's full name, no empty
// elements. Returns false for a path that names no known hive. It builds
// the one string it returns, and nothing else, however long the path.
bool NormaliseKeyPath(std::string_view path, std::string* normal) {
  normal->clear();
  normal->reserve(path.size() + 16);
  std::size_t at = 0;
  while (at <= path.size()) {
    std::size_t end = path.find('\\', at);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view element = path.substr(at, end - at);
    at = end + 1;
    if (element.empty()) continue;
    if (!normal->empty()) {
      *normal += '\\';
      for (char c : element) *normal += Lower(c);
      continue;
    }
    for (const auto& hive : kHives) {
      for (std::string_view name : hive) {
        if (element.size() == name.size() &&
            std::equal(element.begin(), element.end(), name.begin(),
                       [](char a, char b) { return Lower(a) == b; })) {
          *normal = hive[0];
        }
      }
    }
    if (normal->empty()) return false;
  }
  return !normal->empty();
}

// Reads a quoted text with \\ and \" escapes from `text` at `*at`, which
// points at the opening quote, and leaves `*at` after the closing one.
bool ReadQuoted(std::string_view text, std::size_t* at, std::string* out) {
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

// Appends the bytes of a comma-separated list of two-digit hex numbers,
// blanks around them allowed. Returns how many, or -1 when the list is
// malformed ("" is a list of none).
int AppendHexList(std::string_view text, std::vector<unsigned char>* out) {
  std::size_t at = 0;
  for (int count = 0;; ++count) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    if (at == text.size()) return count == 0 ? 0 : -1;
    if (at + 1 >= text.size()) return -1;
    const int high = HexDigit(text[at]);
    const int low = HexDigit(text[at + 1]);
    if (high < 0 || low < 0) return -1;
    out->push_back(static_cast<unsigned char>(high * 16 + low));
    at += 2;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    if (at == text.size()) return count + 1;
    if (text[at] != ',') return -1;
    ++at;
  }
}

// UTF-16LE as UTF-8, a last odd byte left out. Returns false for a
// malformed sequence, with what came before it in `*utf8`.
bool Utf8FromUtf16(const char* data, std::size_t size, std::string* utf8) {
  utf8->clear();
  iconv_t converter = iconv_open("UTF-8", "UTF-16LE");
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  // iconv reads its input through a pointer it does not write through.
  char* in = const_cast<char*>(data);
  std::size_t in_left = size & ~std::size_t{1};
  // Room for the longest result, of which only what is written takes
  // memory: no copy on the way.
  utf8->reserve(in_left / 2 * 3);
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

// The type of the hex data `data` from its head ("hex:", binary, or
// "hex(N):", type N), and where its list starts. False for another head.
bool HexHead(std::string_view data, std::uint32_t* type, std::size_t* list) {
  const std::string folded = FoldCase(std::string(data.substr(0, 16)));
  if (folded.compare(0, 4, "hex:") == 0) {
    *type = 3;  // REG_BINARY.
    *list = 4;
    return true;
  }
  const std::size_t close = folded.find("):");
  if (folded.compare(0, 4, "hex(") != 0 || close == std::string::npos ||
      close <= 4 || close > 12) {
    return false;
  }
  *type = 0;
  for (std::size_t i = 4; i < close; ++i) {
    if (HexDigit(data[i]) < 0) return false;
    *type = *type * 16 + static_cast<std::uint32_t>(HexDigit(data[i]));
  }
  *list = close + 2;
  return true;
}

// A hex value's text, as the lines that continue it join into one (each
// one's final backslash dropped, the next trimmed and added), read into
// bytes as it grows: only its head and its end are held, not all its text.
class HexValue {
 public:
  // Adds the next part of the joined text.
  void Append(std::string_view part) {
    text_.append(part);
    if (text_.size() >= kChunk) Consume(false);
  }
  // True, with the backslash dropped, when the joined text so far ends in
  // one: the value goes on over the next line.
  bool GoesOn() {
    if (text_.empty() || text_.back() != '\\') return false;
    text_.pop_back();
    return true;
  }
  // The value's type and bytes, once the whole text is in. Returns false,
  // with why in `*why`, for a malformed value.
  bool Finish(std::uint32_t* type, std::vector<unsigned char>* bytes,
              const char** why) {
    Consume(true);
    if (!head_ok_) {
      *why = "unknown value type";
      return false;
    }
    if (!listed_) {
      *why = "malformed hex bytes";
      return false;
    }
    bytes->swap(bytes_);
    *type = type_;
    return true;
  }

 private:
  static constexpr std::size_t kChunk = std::size_t{64} * 1024;

  // Reads the head, then the whole numbers so far, or with `all` the rest.
  // The text's last character always stays, for GoesOn. A list cut after a
  // comma reads as it would whole: each piece but the last must hold a
  // number, and so must the last one after a cut.
  void Consume(bool all) {
    if (!head_done_) {
      std::size_t list = 0;
      head_done_ = true;
      head_ok_ = HexHead(text_, &type_, &list);
      if (head_ok_) text_.erase(0, list);
    }
    if (!head_ok_ || !listed_) {
      if (!text_.empty()) text_.erase(0, text_.size() - 1);
      return;
    }
    if (all) {
      listed_ = AppendHexList(text_, &bytes_) >= (cut_ ? 1 : 0);
      text_.clear();
      return;
    }
    const std::size_t comma = text_.size() < 2
                                  ? std::string::npos
                                  : text_.rfind(',', text_.size() - 2);
    if (comma == std::string::npos) return;
    listed_ =
        AppendHexList(std::string_view(text_).substr(0, comma), &bytes_) >= 1;
    text_.erase(0, comma + 1);
    cut_ = true;
  }

  std::string text_;  // What is not read yet.
  std::vector<unsigned char> bytes_;
  std::uint32_t type_ = 0;
  bool head_done_ = false;
  bool head_ok_ = false;
  bool listed_ = true;
  bool cut_ = false;  // Some of the list has been read.
};

// Texts written as bytes (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) are
// UTF-16LE, as the editor exports them; the registry's narrow query gives
// them in the system's own encoding, unexpanded. Returns false for
// malformed UTF-16.
bool TextOfType(std::uint32_t type, std::vector<unsigned char>* bytes) {
  if (type != 1 && type != 2 && type != 7) return true;
  std::string text;
  if (!Utf8FromUtf16(reinterpret_cast<const char*>(bytes->data()),
                     bytes->size(), &text)) {
    return false;
  }
  bytes->assign(text.begin(), text.end());
  return true;
}

// Parses the data after "=" but hex data: a quoted text or dword:.
bool ParseData(std::string_view data, std::vector<unsigned char>* out,
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
  if (FoldCase(std::string(data.substr(0, 6))) == "dword:") {
    const std::string_view digits = Trim(data.substr(6));
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
  *message = "unknown value type";
  return false;
}

// The text's lines one at a time, without their line ends, so that no
// more than one is held apart from the text.
class Lines {
 public:
  explicit Lines(std::string_view text) : text_(text) {
    // A byte order mark written by an editor is not part of the header.
    if (text_.compare(0, 3, "\xEF\xBB\xBF") == 0) at_ = 3;
  }
  // The next line, or false at the end of the text.
  bool Next(std::string_view* line) {
    if (at_ >= text_.size()) return false;
    std::size_t end = text_.find('\n', at_);
    if (end == std::string_view::npos) end = text_.size();
    *line = text_.substr(at_, end - at_);
    if (!line->empty() && line->back() == '\r') line->remove_suffix(1);
    at_ = end + 1;
    ++number_;
    return true;
  }
  // The 1-based number of the line Next gave last.
  int number() const { return number_; }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
  int number_ = 0;
};

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
  for (char& c : folded) c = Lower(c);
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

bool ParseRegFile(std::string text, RegistryData* data, std::string* message,
                  int* line_number, const std::string& only,
                  const std::string* only_value) {
  data->keys.clear();
  // With `only`, the one key kept: whether it exists, and its values. The
  // rest of the file is read as carefully, but kept nowhere.
  std::string wanted;
  const bool filtered = !only.empty();
  if (filtered && !NormaliseKeyPath(only, &wanted)) wanted = "\\";
  auto fail = [&](int number, const std::string& why) {
    data->keys.clear();
    *line_number = number;
    *message = why;
    return false;
  };
  if (text.compare(0, 2, "\xFF\xFE") == 0) {
    std::string utf8;
    int number = 1;
    if (!FromUtf16(text, &utf8, &number)) {
      return fail(number, "malformed UTF-16 text");
    }
    text.swap(utf8);
  }
  Lines lines(text);
  std::string_view raw;
  if (!lines.Next(&raw) ||
      (Trim(raw) != "Windows Registry Editor Version 5.00" &&
       Trim(raw) != "REGEDIT4")) {
    return fail(1,
                "the first line must be \"Windows Registry Editor Version "
                "5.00\" or \"REGEDIT4\"");
  }
  // The values of the current section: none in a deleted one, whose values
  // are not even read, and those of a key not kept, which are read and
  // dropped.
  RegistryData::Values* values = nullptr;
  RegistryData::Values dropped;  // Never holds any.
  bool in_section = false;
  while (lines.Next(&raw)) {
    const int number = lines.number();
    const std::string_view line = Trim(raw);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      if (line.back() != ']') return fail(number, "unterminated key name");
      std::string_view path = line.substr(1, line.size() - 2);
      const bool deleted = !path.empty() && path[0] == '-';
      if (deleted) path.remove_prefix(1);
      std::string key;
      if (!NormaliseKeyPath(path, &key)) {
        return fail(number, "unknown registry hive in key name");
      }
      in_section = true;
      values = nullptr;
      if (!filtered) {
        if (deleted) {
          DeleteKey(data, key);
        } else {
          values = &data->keys.try_emplace(std::move(key)).first->second;
        }
      } else if (deleted) {
        // The kept key goes with any key at or above it; one below it
        // leaves its parent, so the kept key stays.
        if (key == wanted || IsBelow(wanted, key)) data->keys.erase(wanted);
      } else if (key == wanted) {
        values = &data->keys[wanted];
      } else {
        // A key below the kept one makes it exist.
        if (IsBelow(key, wanted)) data->keys.try_emplace(wanted);
        values = &dropped;
      }
      continue;
    }
    if (line[0] != '"' && line[0] != '@') {
      return fail(number, "expected a key name, a value or a comment");
    }
    if (!in_section) return fail(number, "a value before the first key");
    std::string name;
    std::size_t at = 1;  // After the "@" of the default value.
    if (line[0] == '"') {
      at = 0;
      if (!ReadQuoted(line, &at, &name)) {
        return fail(number, "unterminated value name");
      }
    }
    std::string_view after = Trim(line.substr(at));
    if (after.empty() || after[0] != '=') return fail(number, "expected \"=\"");
    const std::string_view rest = Trim(after.substr(1));
    const std::string folded = FoldCase(name);
    const bool kept = values != nullptr && values != &dropped &&
                      (only_value == nullptr || folded == *only_value);
    std::vector<unsigned char> bytes;
    if (FoldCase(std::string(rest.substr(0, 3))) == "hex") {
      // Hex data may go on over lines that end in a backslash; in a deleted
      // section, its lines are passed and nothing else.
      HexValue hex;
      hex.Append(rest);
      while (hex.GoesOn()) {
        if (!lines.Next(&raw)) return fail(number, "continuation at the end");
        hex.Append(Trim(raw));
      }
      if (values == nullptr) continue;
      std::uint32_t type = 0;
      const char* why = nullptr;
      if (!hex.Finish(&type, &bytes, &why)) return fail(number, why);
      if (!TextOfType(type, &bytes)) {
        return fail(number, "malformed UTF-16 text");
      }
    } else {
      if (values == nullptr) continue;
      if (rest == "-") {
        if (kept) values->erase(folded);
        continue;
      }
      std::string why;
      if (!ParseData(rest, &bytes, &why)) return fail(number, why);
    }
    if (kept) (*values)[folded] = std::move(bytes);
  }
  return true;
}

}  // namespace platform
