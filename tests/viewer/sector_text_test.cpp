// The text display: the UTF-16 test's stand-in, the UTF-16/ANSI decision,
// where the text starts, and the text the edit control is given.
#include "viewer/sector_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "util/utf16_guess.h"

namespace plexi {
namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> values, size_t size = 512) {
  std::vector<uint8_t> bytes(size, 0);
  size_t i = 0;
  for (int v : values) bytes[i++] = uint8_t(v);
  return bytes;
}

std::vector<uint8_t> Ascii(const std::string& text, size_t size = 512) {
  std::vector<uint8_t> bytes(size, 0);
  for (size_t i = 0; i < text.size() && i < size; ++i) bytes[i] = uint8_t(text[i]);
  return bytes;
}

// Little-endian UTF-16 of `text` (BMP only) from byte `at`; zeros after.
std::vector<uint8_t> Utf16(const std::u16string& text, size_t at = 0, size_t size = 512) {
  std::vector<uint8_t> bytes(size, 0);
  for (size_t i = 0; i < text.size() && at + 2 * i + 1 < size; ++i) {
    bytes[at + 2 * i] = uint8_t(text[i] & 0xFF);
    bytes[at + 2 * i + 1] = uint8_t(text[i] >> 8);
  }
  return bytes;
}

bool StandIn(const std::vector<uint8_t>& b) { return PortableIsTextUnicode(b.data(), b.size()); }
bool SaysYes(const uint8_t*, size_t) { return true; }
bool SaysNo(const uint8_t*, size_t) { return false; }

std::string Shown(const std::vector<uint8_t>& sector, TextUnicodeTest test = PortableIsTextUnicode) {
  return SectorTextForView(sector, DecideSectorText(sector, test));
}

TEST(ViewerText, StartOffsetFollowsTheFirstPairOfNonZeroBytes) {
  EXPECT_EQ(TextStartOffset(Bytes({0x41, 0x42})), 0u);
  EXPECT_EQ(TextStartOffset(Bytes({0x00, 0x41, 0x42})), 1u);
  EXPECT_EQ(TextStartOffset(Bytes({0x41, 0x00, 0x00, 0x42, 0x43})), 1u);
  // No pair: first and last byte decide.
  EXPECT_EQ(TextStartOffset(Bytes({0x41, 0x00, 0x42, 0x00})), 0u);  // non-zero, zero
  EXPECT_EQ(TextStartOffset(Bytes({0x00, 0x41, 0x00, 0x42})), 1u);  // zero, zero
  std::vector<uint8_t> ends = Bytes({0x41, 0x00});
  ends.back() = 0x42;
  EXPECT_EQ(TextStartOffset(ends), 1u);  // both non-zero
  // The last byte pairs with the zero after the sector, never with more.
  std::vector<uint8_t> last = Bytes({0x00, 0x41});
  last.back() = 0x42;
  EXPECT_EQ(TextStartOffset(last), 0u);
}

TEST(ViewerText, StandInJudgesLikeTheSystemTest) {
  EXPECT_TRUE(StandIn(Bytes({0xFF, 0xFE, 0x41, 0x00})));       // byte-order mark, zero padded
  EXPECT_FALSE(StandIn(Bytes({0xFE, 0xFF, 0x00, 0x41})));      // reversed mark
  EXPECT_TRUE(StandIn(Utf16(std::u16string(256, u'A'))));  // full sector of UTF-16 letters
  std::u16string letters;
  for (int i = 0; i < 256; ++i) letters += char16_t(u'A' + i % 26);
  EXPECT_TRUE(StandIn(Utf16(letters)));
  EXPECT_FALSE(StandIn(Utf16(u"ABCDEF")));                      // zero units after the text
  std::u16string kana;
  for (int i = 0; i < 256; ++i) kana += char16_t(0x3042 + (i * 7) % 80);
  EXPECT_TRUE(StandIn(Utf16(kana)));                            // Japanese, no zero byte at all
  std::string text;
  while (text.size() < 512) text += "The quick brown fox jumps over the lazy dog. ";
  EXPECT_FALSE(StandIn(Ascii(text)));                           // ASCII filling the sector
  EXPECT_FALSE(StandIn(Ascii("Hello, world\r\n")));             // ASCII, zero padded
  std::vector<uint8_t> sjis(512);
  for (size_t i = 0; i < 512; i += 2) sjis[i] = 0x82, sjis[i + 1] = uint8_t(0xA0 + (i * 3) % 80);
  EXPECT_FALSE(StandIn(sjis));                                  // Shift-JIS hiragana
  std::vector<uint8_t> swapped(512);
  for (size_t i = 0; i < 512; i += 2) swapped[i] = 0, swapped[i + 1] = uint8_t('A' + i % 26);
  EXPECT_FALSE(StandIn(swapped));                               // big-endian letters
  EXPECT_FALSE(StandIn(std::vector<uint8_t>(512, 0)));
  EXPECT_FALSE(PortableIsTextUnicode(nullptr, 0));
}

TEST(ViewerText, ByteOrderMarkIsSkipped) {
  const std::vector<uint8_t> sector = Utf16(u"\xFEFFあいう");
  EXPECT_EQ(DecideSectorText(sector, PortableIsTextUnicode), (SectorTextChoice{TextEncoding::kUtf16, 2}));
  EXPECT_EQ(Shown(sector), "あいう");
}

TEST(ViewerText, LettersWithZeroHighBytesAreUtf16FromTheFirstByte) {
  const std::vector<uint8_t> sector = Utf16(u"ABC");
  EXPECT_EQ(DecideSectorText(sector, SaysNo), (SectorTextChoice{TextEncoding::kUtf16, 0}));
  EXPECT_EQ(Shown(sector), "ABC");
  // Shifted by one byte the same letters start at offset 1.
  const std::vector<uint8_t> shifted = Utf16(u"ABC", 1);
  EXPECT_EQ(DecideSectorText(shifted, SaysNo), (SectorTextChoice{TextEncoding::kUtf16, 1}));
  EXPECT_EQ(Shown(shifted, SaysNo), "ABC");
}

TEST(ViewerText, TwoLeadingZerosShowNothing) {
  std::vector<uint8_t> sector = Ascii("  hidden text");
  sector[0] = sector[1] = 0;
  EXPECT_EQ(DecideSectorText(sector, SaysNo), (SectorTextChoice{TextEncoding::kAnsi, 0}));
  EXPECT_EQ(Shown(sector, SaysNo), "");
  EXPECT_EQ(DecideSectorText(sector, SaysYes), (SectorTextChoice{TextEncoding::kUtf16, 0}));
  EXPECT_EQ(Shown(sector, SaysYes), "");
}

TEST(ViewerText, AnsiTextEndsAtItsFirstZeroByte) {
  std::vector<uint8_t> sector = Ascii("Hello");
  sector[10] = 'X';
  EXPECT_EQ(DecideSectorText(sector, PortableIsTextUnicode), (SectorTextChoice{TextEncoding::kAnsi, 0}));
  EXPECT_EQ(Shown(sector), "Hello");
}

TEST(ViewerText, TheWholeLargeSectorIsText) {
  std::string text(4000, 'a');
  text += "END";
  EXPECT_EQ(Shown(Ascii(text, 4096), SaysNo).substr(4000), "END");
  // UTF-16 text that fills the sector to its last byte still ends there.
  std::u16string full(2048, u'x');
  EXPECT_EQ(Shown(Utf16(full, 0, 4096), SaysYes).size(), 2048u);
}

TEST(ViewerText, EditControlGetsCrLfBreaksAndNoRawControls) {
  EXPECT_EQ(Shown(Ascii("a\nb\rc\r\nd\te\x01" "f\x7F"), SaysNo), "a\r\nb\r\nc\r\nd\te.f.");
  EXPECT_EQ(Shown(Utf16(u"\x1B[0mA\nB"), SaysYes), ".[0mA\r\nB");
}

TEST(ViewerText, Utf16DecodingRepairsWhatIsBroken) {
  // A surrogate pair, then an unpaired high and an unpaired low surrogate.
  const std::vector<uint8_t> bytes = Utf16(u"\xD83D\xDE00" u"A\xD800" u"B\xDC00");
  EXPECT_EQ(Utf16LeToUtf8(bytes), "\U0001F600A\uFFFDB\uFFFD");
  // An odd count: the last byte pairs with a zero.
  const std::vector<uint8_t> odd = {0x41, 0x00, 0x42};
  EXPECT_EQ(Utf16LeToUtf8(odd), "AB");
}

TEST(ViewerText, AnsiBytesThatAreNotUtf8BecomeReplacementCharacters) {
  // Outside Windows the system's ANSI text passes through unconverted.
  EXPECT_EQ(ValidUtf8("a\x82\xA0z"), "a\uFFFD\uFFFDz");
  EXPECT_EQ(ValidUtf8("\xC0\xAF\xED\xA0\x80"), "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD");  // overlong, surrogate
  EXPECT_EQ(ValidUtf8("日本\xE6\x97"), "日本\uFFFD\uFFFD");                          // cut short
  EXPECT_EQ(ValidUtf8("é€\U0001F600"), "é€\U0001F600");
}

}  // namespace
}  // namespace plexi
