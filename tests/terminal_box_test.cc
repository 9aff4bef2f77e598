#include "platform/posix/terminal_box.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/platform.h"

namespace platform {
namespace {

TEST(TerminalBoxTest, ReadsAnswers) {
  const std::pair<const char*, int> answers[] = {
      {"s", 1},     {"si", 1},     {"S\xC3\xAC", 1}, {"s\xEC", 1},
      {"SI", 1},    {"y", 1},      {"Yes", 1},       {"  s\xC3\xAC \r", 1},
      {"S\xCC", 1}, {"n", 0},      {"No", 0},        {" NO ", 0},
      {"", -1},     {"maybe", -1}, {"sii", -1},      {"ok", -1},
      {"s i", -1}};
  for (const auto& [text, answer] : answers) {
    EXPECT_EQ(ParseYesNo(text), answer) << text;
  }
}

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
  const int answer = ShowTerminalBox("La skin è già presente.\nSi vuole?",
                                     "Quintavo Skins Installer", type, io);
  std::rewind(out);
  char buffer[4096];
  shown->assign(buffer, std::fread(buffer, 1, sizeof buffer, out));
  std::fclose(in);
  std::fclose(out);
  return answer;
}

TEST(TerminalBoxTest, AnswersFollowThePresetTheTerminalOrTheSafeDefault) {
  struct Case {
    unsigned type;
    const char* input;
    bool terminal;
    const char* preset;
    int answer;
  } cases[] = {
      {kBoxYesNo, "", false, "yes", kIdYes},
      {kBoxYesNo, "", false, "NO", kIdNo},
      {kBoxOk, "", false, "no", kIdOk},
      {kBoxYesNo, "", false, nullptr, kIdNo},
      {kBoxOk, "", false, nullptr, kIdOk},
      {kBoxYesNo, "s\n", true, nullptr, kIdYes},
      {kBoxYesNo, "forse\nmaybe\nsi\n", true, nullptr, kIdYes},
      {kBoxYesNo, "x\n", true, nullptr, kIdNo},  // Then the input ends.
      {kBoxYesNo, "", true, nullptr, kIdNo},
      {kBoxYesNo, "n\n", true, "maybe", kIdNo},
      {kBoxOk, "\n", true, nullptr, kIdOk},
      {kBoxOkInformation, "", true, nullptr, kIdOk},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.type << " [" << c.input << "] " << c.terminal);
    std::string shown;
    EXPECT_EQ(Ask(c.type, c.input, c.terminal, c.preset, &shown), c.answer);
  }
}

TEST(TerminalBoxTest, WritesCaptionLinesButtonsAndAnswer) {
  std::string shown;
  Ask(kBoxYesNo, "", false, "yes", &shown);
  EXPECT_EQ(shown,
            "[Quintavo Skins Installer]\n"
            "La skin \xC3\xA8 gi\xC3\xA0 presente.\n"
            "Si vuole?\n"
            "[S\xC3\xAC] [No]\n"
            "-> S\xC3\xAC\n\n");
  Ask(kBoxOkInformation, "", false, nullptr, &shown);
  EXPECT_NE(shown.find("(i) [OK]\n-> OK\n"), std::string::npos);
  Ask(kBoxYesNo, "", false, nullptr, &shown);
  EXPECT_NE(shown.find("SKINSETUP_ANSWER=yes"), std::string::npos);
}

}  // namespace
}  // namespace platform
