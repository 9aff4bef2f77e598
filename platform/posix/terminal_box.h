// Message boxes on a terminal, for systems without a desktop of the
// installer's own: each box is written to standard error as it comes (the
// installer's texts in UTF-8, names as the system holds them) and answered
// from the environment, from the terminal, or by the safe default.

#ifndef SKINSETUP_PLATFORM_POSIX_TERMINAL_BOX_H_
#define SKINSETUP_PLATFORM_POSIX_TERMINAL_BOX_H_

#include <cstdio>
#include <string>

namespace platform {

// Reads an answer to a Yes/No box: 1 for yes (s, si, sì, y, yes), 0 for no
// (n, no), -1 for anything else. Case and surrounding blanks do not matter;
// "sì" may come in UTF-8 or in code page 1252.
int ParseYesNo(const std::string& line);

// Where the boxes go and how they are answered.
struct BoxIo {
  std::FILE* in = nullptr;       // The answers, when `terminal`.
  std::FILE* out = nullptr;      // Where the boxes are written.
  bool terminal = false;         // Whether `in` is a terminal.
  const char* preset = nullptr;  // SKINSETUP_ANSWER, or nullptr.
};

// Shows one box and returns the button chosen (1 for OK, 6 Yes, 7 No).
// With a preset answer every box is answered at once; with a terminal the
// user answers (end of input counts as No); otherwise an OK box counts as
// closed and a Yes/No box is answered No. A box that cannot be written is
// not shown: 0, or for a question the preset answer, else No.
int ShowTerminalBox(const std::string& text, const std::string& caption,
                    unsigned type, const BoxIo& io);

}  // namespace platform

#endif  // SKINSETUP_PLATFORM_POSIX_TERMINAL_BOX_H_
