// Message boxes on a terminal: each written to standard error, answered
// from the environment, the terminal or the safe default.

#include "platform/posix/terminal_box.h"

#include "platform/platform.h"

namespace platform {
namespace {

std::string FoldAnswer(std::string text) {
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

// Writes the box; false when it could not be written whole.
bool WriteBox(const std::string& text, const std::string& caption,
              unsigned type, std::FILE* out) {
  std::clearerr(out);
  std::fprintf(out, "[%s]\n", caption.c_str());
  const std::string& shown = text;
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
  return std::fflush(out) == 0 && !std::ferror(out);
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

int ParseYesNo(const std::string& line) {
  const std::string answer = FoldAnswer(TrimLine(line));
  if (answer == "s" || answer == "si" || answer == "s\xC3\xAC" ||
      answer == "s\xEC" || answer == "y" || answer == "yes") {
    return 1;
  }
  if (answer == "n" || answer == "no") return 0;
  return -1;
}

int ShowTerminalBox(const std::string& text, const std::string& caption,
                    unsigned type, const BoxIo& io) {
  const bool yes_no = type == kBoxYesNo;
  if (!WriteBox(text, caption, type, io.out)) {
    // A box no one can read is not shown; a question is answered only as
    // SKINSETUP_ANSWER says, otherwise No.
    if (!yes_no) return 0;
    return io.preset != nullptr && ParseYesNo(io.preset) == 1 ? kIdYes : kIdNo;
  }
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
