// Sector text is read in the ANSI code page, which under Wine with a
// Japanese locale is Shift-JIS (932); the error log and the protection list
// are Shift-JIS whatever the ANSI code page is.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace plexi::platform {
namespace {

TEST(CodePage, JapaneseTextRoundTripsThroughShiftJis) {
  ASSERT_EQ(GetACP(), 932u) << "run with LANG=ja_JP.UTF-8 (scripts/wine-run)";

  EXPECT_EQ(Utf8ToAnsi("消去"), "\x8F\xC1\x8B\x8E");
  EXPECT_EQ(AnsiToUtf8("\x8F\xC1\x8B\x8E"), "消去");

  // Full-width letters, half-width katakana (one byte each), ASCII and a
  // line break all survive the trip.
  const std::string mixed = "2026/01/01 12:00:00 ＳＳＤ （C: D:） ｱｲｳ 照合の結果\r\n";
  const std::string ansi = Utf8ToAnsi(mixed);
  EXPECT_EQ(AnsiToUtf8(ansi), mixed);
  EXPECT_EQ(ansi.find("\xB1\xB2\xB3"), ansi.find(" \xB1") + 1);  // ｱｲｳ as single bytes
  EXPECT_EQ(Utf8ToAnsi(""), "");
}

TEST(CodePage, TheLogAndTheProtectionListAreShiftJisOnEverySystem) {
  EXPECT_EQ(Utf8ToFileText("消去"), "\x8F\xC1\x8B\x8E");
  EXPECT_EQ(FileTextToUtf8("\x8F\xC1\x8B\x8E"), "消去");
  const std::string line = "2026/01/01 12:00:00 ＳＳＤ ｱｲｳ 照合の結果\r\n";
  EXPECT_EQ(FileTextToUtf8(Utf8ToFileText(line)), line);
  // On a Japanese system the files are what the ANSI conversion made.
  if (GetACP() == 932) {
    EXPECT_EQ(Utf8ToFileText(line), Utf8ToAnsi(line));
  }
  EXPECT_EQ(FileTextToUtf8(Utf8ToFileText("消\xF0\x9F\x98\x80去")).substr(0, 3), "消");
}

TEST(CodePage, CharactersOutsideShiftJisBecomeQuestionMarks) {
  // An emoji cannot be stored in the file; it must not cut the line or
  // corrupt the characters around it.
  // (Each half of its UTF-16 pair becomes one "?".)
  const std::string back = AnsiToUtf8(Utf8ToAnsi("消\xF0\x9F\x98\x80去"));
  ASSERT_GE(back.size(), 7u);
  EXPECT_EQ(back.substr(0, 3), "消");
  EXPECT_EQ(back.substr(back.size() - 3), "去");
  EXPECT_EQ(back.substr(3, back.size() - 6).find_first_not_of('?'), std::string::npos);
}

}  // namespace
}  // namespace plexi::platform
