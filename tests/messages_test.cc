#include "skinsetup/messages.h"

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace fake {
namespace {

TEST(MessagesTest, CatalogueIsInCodePage1252ByteForByte) {
  struct Text {
    const char* actual;
    const char* expected;
  } texts[] = {
      {skinsetup::kProgramTitle, "Quintavo Skins Installer"},
      {skinsetup::kCannotInstall, "Impossibile installare la skin"},
      {skinsetup::kNotInstalled, "Quintavo non \xE8 installato"},
      {skinsetup::kIncompatible,
       "La skin non \xE8 compatibile con questa versione di client"},
      {skinsetup::kCannotCreateSkins, "Impossibile creare la cartella Skins"},
      {skinsetup::kNoSpace, "Spazio su disco insufficiente"},
      {skinsetup::kCannotCopy, "Impossibile copiare i files su disco"},
      {skinsetup::kInvalid, "NON VALIDO"},
      {skinsetup::kInvalidCaption, " Installazione Fallita"},
      {skinsetup::kAlreadyPresent,
       "La skin \xE8 gi\xE0 presente.\x0ASi vuole procedere ugualmente?"},
      {skinsetup::kCopyErrorCaption, "Quintavo"},
      {skinsetup::kDeleteDirCaption, " delete file dir"},
      {skinsetup::kSuccess, "Installazione effettuata correttamente"},
  };
  for (const Text& text : texts) {
    EXPECT_EQ(std::string(text.actual), std::string(text.expected));
  }
  // The accented letters are single bytes, not UTF-8 pairs.
  EXPECT_EQ(std::string(skinsetup::kNotInstalled).size(), 25u);
  EXPECT_EQ(std::string(skinsetup::kAlreadyPresent).find('\xE0'), 12u);
}

TEST(MessagesTest, FailureFormatsEveryCodeInDecimal) {
  for (int code = 0; code <= 10; ++code) {
    EXPECT_EQ(
        skinsetup::FormatFailure("Impossibile installare la skin", code),
        "Impossibile installare la skin CODICE ERRORE:" + std::to_string(code));
  }
  EXPECT_EQ(skinsetup::FormatFailure(skinsetup::kNotInstalled, 2),
            "Quintavo non \xE8 installato CODICE ERRORE:2");
}

TEST(MessagesTest, FailAndExitShowsOneOkBoxAndEndsWithStatusZero) {
  FakePlatform os;
  try {
    skinsetup::FailAndExit(os, skinsetup::kCannotInstall, 10);
    FAIL() << "FailAndExit returned";
  } catch (const ExitCalled& exit) {
    EXPECT_EQ(exit.status, 0);
  }
  ASSERT_EQ(os.boxes.size(), 1u);
  EXPECT_EQ(os.boxes[0], (Box{"Impossibile installare la skin CODICE ERRORE:10",
                              "Quintavo Skins Installer", platform::kBoxOk}));
}

TEST(MessagesTest, TraceIsOffInTheDeliveredBuild) {
  EXPECT_FALSE(skinsetup::bTrace);
  FakePlatform os;
  skinsetup::ShowTrace(os, "text", "caption");
  EXPECT_TRUE(os.boxes.empty());
}

TEST(MessagesTest, NumbersFormatAsTheTraceShowsThem) {
  EXPECT_EQ(skinsetup::FormatFloat(16777216.0f), "16777216.000000");
  EXPECT_EQ(skinsetup::FormatFloat(0.0f), "0.000000");
  EXPECT_EQ(skinsetup::FormatSigned(5), "5");
  EXPECT_EQ(skinsetup::FormatSigned(0xFFFFFFFFu), "-1");
}

}  // namespace
}  // namespace fake
