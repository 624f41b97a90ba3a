// The ASCII text helpers the drive query, the protection list, the about box
// and the command line share: only ASCII letters and blanks are touched.
#include "util/ascii_text.h"

#include <gtest/gtest.h>

namespace plexi {
namespace {

TEST(AsciiText, TrimRemovesBlanksAndControlsAtBothEndsOnly) {
  EXPECT_EQ(TrimBlanks("  WDC WD10 \t\r\n"), "WDC WD10");
  EXPECT_EQ(TrimBlanks(std::string_view("\0 a b\x1f", 6)), "a b");
  EXPECT_EQ(TrimBlanks(" \t "), "");
  EXPECT_EQ(TrimBlanks(" ドライブ "), "ドライブ");  // UTF-8 bytes are above the space
}

TEST(AsciiText, UpperCaseAndComparisonTouchOnlyAsciiLetters) {
  EXPECT_EQ(UpperAscii("c:\\windows ram-disk é"), "C:\\WINDOWS RAM-DISK é");
  EXPECT_EQ(UpperAscii('z'), 'Z');
  EXPECT_EQ(UpperAscii('{'), '{');
  EXPECT_TRUE(EqualIgnoringAsciiCase("Key=Serial", "kEY=sERIAL"));
  EXPECT_FALSE(EqualIgnoringAsciiCase("key", "keys"));
  EXPECT_FALSE(EqualIgnoringAsciiCase("é", "É"));
}

}  // namespace
}  // namespace plexi
