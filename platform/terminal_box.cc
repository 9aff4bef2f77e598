#include "platform/terminal_box.h"

#include <iconv.h>

#include <cerrno>

#include "platform/platform.h"

namespace platform {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  // The capital I with grave accent, in UTF-8 and in code page 1252.
  for (std::size_t at = 0;
       (at = text.find("\xC3\x8C", at)) != std::string::npos;) {
    text.replace(at, 2, "\xC3\xAC");
  }
  for (char& c : text) {
    if (c == '\xCC') c = '\xEC';
  }
  return text;
}

std::string TrimLine(const std::string& line) {
  const std::size_t begin = line.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return "";
  const std::size_t end = line.find_last_not_of(" \t\r\n");
  return line.substr(begin, end - begin + 1);
}

// Reads one line; false at the end of the input.
bool ReadLine(std::FILE* in, std::string* line) {
  line->clear();
  int c;
  while ((c = std::fgetc(in)) != EOF) {
    if (c == '\n') return true;
    line->push_back(static_cast<char>(c));
  }
  return !line->empty();
}

void WriteBox(const std::string& text, const std::string& caption,
              unsigned type, std::FILE* out) {
  std::fprintf(out, "[%s]\n", DisplayText(caption).c_str());
  std::string shown = DisplayText(text);
  std::size_t at = 0;
  while (true) {
    const std::size_t end = shown.find('\n', at);
    std::fprintf(out, "%s\n", shown.substr(at, end - at).c_str());
    if (end == std::string::npos) break;
    at = end + 1;
  }
  if (type == kBoxYesNo) {
    std::fputs("[S\xC3\xAC] [No]\n", out);
  } else if (type == kBoxOkInformation) {
    std::fputs("(i) [OK]\n", out);
  } else {
    std::fputs("[OK]\n", out);
  }
}

int Answered(int answer, std::FILE* out) {
  const char* name = answer == kIdYes  ? "S\xC3\xAC"
                     : answer == kIdNo ? "No"
                                       : "OK";
  std::fprintf(out, "-> %s\n\n", name);
  std::fflush(out);
  return answer;
}

}  // namespace

bool IsValidUtf8(const std::string& text) {
  std::size_t at = 0;
  while (at < text.size()) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    std::size_t length;
    unsigned long min;
    if (lead < 0x80) {
      ++at;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4, min = 0x10000;
    } else {
      return false;
    }
    if (at + length > text.size()) return false;
    unsigned long code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
      const unsigned char next = static_cast<unsigned char>(text[at + i]);
      if ((next & 0xC0) != 0x80) return false;
      code = code << 6 | (next & 0x3F);
    }
    // Overlong forms, surrogates and values past Unicode are not UTF-8.
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      return false;
    }
    at += length;
  }
  return true;
}

std::string DisplayText(const std::string& text) {
  if (IsValidUtf8(text)) return text;
  iconv_t converter = iconv_open("UTF-8", "CP1252");
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    // Without the converter, show the ASCII and mark the rest.
    std::string shown = text;
    for (char& c : shown) {
      if (static_cast<unsigned char>(c) >= 0x80) c = '?';
    }
    return shown;
  }
  std::string shown;
  std::string input = text;
  char* in = input.empty() ? nullptr : &input[0];
  std::size_t in_left = input.size();
  char buffer[256];
  while (in_left > 0) {
    char* out = buffer;
    std::size_t out_left = sizeof buffer;
    const std::size_t result = iconv(converter, &in, &in_left, &out, &out_left);
    shown.append(buffer, out - buffer);
    if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
      // A byte that code page 1252 leaves undefined.
      shown.push_back('?');
      ++in;
      --in_left;
    }
  }
  iconv_close(converter);
  return shown;
}

int ParseYesNo(const std::string& line) {
  const std::string answer = Lower(TrimLine(line));
  if (answer == "s" || answer == "si" || answer == "s\xC3\xAC" ||
      answer == "s\xEC" || answer == "y" || answer == "yes") {
    return 1;
  }
  if (answer == "n" || answer == "no") return 0;
  return -1;
}

int ShowTerminalBox(const std::string& text, const std::string& caption,
                    unsigned type, const BoxIo& io) {
  WriteBox(text, caption, type, io.out);
  const bool yes_no = type == kBoxYesNo;
  if (io.preset != nullptr) {
    const int preset = ParseYesNo(io.preset);
    if (preset >= 0) {
      return Answered(!yes_no ? kIdOk : preset == 1 ? kIdYes : kIdNo, io.out);
    }
    std::fprintf(io.out,
                 "SKINSETUP_ANSWER=%s is neither yes nor no; not used.\n",
                 io.preset);
  }
  if (!io.terminal) {
    if (yes_no) {
      std::fputs(
          "(no terminal: answered No; SKINSETUP_ANSWER=yes answers "
          "Yes)\n",
          io.out);
      return Answered(kIdNo, io.out);
    }
    return Answered(kIdOk, io.out);
  }
  std::string line;
  if (!yes_no) {
    std::fputs("Premere Invio... ", io.out);
    std::fflush(io.out);
    ReadLine(io.in, &line);
    return Answered(kIdOk, io.out);
  }
  while (true) {
    std::fputs("s/n? ", io.out);
    std::fflush(io.out);
    if (!ReadLine(io.in, &line)) return Answered(kIdNo, io.out);
    const int answer = ParseYesNo(line);
    if (answer >= 0) return Answered(answer == 1 ? kIdYes : kIdNo, io.out);
  }
}

}  // namespace platform
