// Boxes on a terminal: how they are written and answered.

#include "platform/posix/terminal_box.h"

#include <cstdio>

#include "tests/test_support.h"

namespace platform {
namespace {

// Runs one box with `input` on a pretend terminal (or none) and returns the
// answer; `*shown` gets what was written.
int Ask(unsigned type, const char* input, bool terminal, const char* preset,
        std::string* shown) {
  std::FILE* in = tmpfile();
  std::FILE* out = tmpfile();
  std::fputs(input, in);
  std::rewind(in);
  BoxIo io;
  io.in = in;
  io.out = out;
  io.terminal = terminal;
  io.preset = preset;
  const int answer = ShowTerminalBox(fake::Text("kAlreadyPresent"),
                                     fake::Text("kProgramTitle"), type, io);
  std::rewind(out);
  char buffer[4096];
  shown->assign(buffer, std::fread(buffer, 1, sizeof buffer, out));
  std::fclose(in);
  std::fclose(out);
  return answer;
}

// The answer, and the buttons shown, from the preset, the terminal, or the
// safe default: an OK box closed, the question answered No.
TEST(TerminalBoxTest, AnswersFollowThePresetTheTerminalOrTheSafeDefault) {
  struct Case {
    unsigned type;
    const char* input;
    bool terminal;
    const char* preset;
    int answer;
    const char *buttons, *shown_answer;
  } cases[] = {
      {kBoxOk, "", false, nullptr, kIdOk, "kButtonsOk", "kLogAnswerOk"},
      {kBoxYesNo, "", false, nullptr, kIdNo, "kButtonsYesNo", "kLogAnswerNo"},
      {kBoxYesNo, "S\xC3\xAC\n", true, nullptr, kIdYes, "kButtonsYesNo",
       "kLogAnswerYes"},
      {kBoxYesNo, "forse\ny\n", true, nullptr, kIdYes, "kButtonsYesNo",
       "kLogAnswerYes"},
      {kBoxYesNo, "x\n", true, nullptr, kIdNo, "kButtonsYesNo", "kLogAnswerNo"},
      {kBoxYesNo, "n\n", true, "maybe", kIdNo, "kButtonsYesNo", "kLogAnswerNo"},
      {kBoxOkInformation, "", true, nullptr, kIdOk, "kButtonsInfo",
       "kLogAnswerOk"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.type << " [" << c.input << "] " << c.terminal);
    std::string shown;
    EXPECT_EQ(Ask(c.type, c.input, c.terminal, c.preset, &shown), c.answer);
    EXPECT_EQ(
        shown.rfind(fake::Expand("[{kProgramTitle}]\n{kAlreadyPresent}\n"), 0),
        0u);
    const std::string end = "-> " + fake::Text(c.shown_answer) + "\n\n";
    EXPECT_NE(shown.find("\n" + fake::Text(c.buttons) + "\n"),
              std::string::npos);
    EXPECT_EQ(shown.substr(shown.size() - end.size()), end) << shown;
  }
}

}  // namespace
}  // namespace platform
