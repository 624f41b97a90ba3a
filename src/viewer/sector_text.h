// The sector viewer's text display: whether a sector holds UTF-16 or ANSI
// text, where the text starts, and the text the text view is given.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "util/utf16_guess.h"

namespace plexi {

// Where UTF-16 text of a sector starts: 1 when the first pair of adjacent
// non-zero bytes begins at an odd offset, 0 when at an even one. Without
// such a pair: 1 when the first and the last byte are both zero or both
// non-zero, else 0. The byte after the sector reads as zero.
uint32_t TextStartOffset(std::span<const uint8_t> sector);

enum class TextEncoding { kUtf16, kAnsi };

struct SectorTextChoice {
  TextEncoding encoding = TextEncoding::kAnsi;
  uint32_t offset = 0;  // byte offset where the text starts
  bool operator==(const SectorTextChoice&) const = default;
};

// UTF-16 when the system's test says so or exactly one of the first two
// bytes is zero; then the text starts after a byte-order mark (FF FE or
// FE FF), at TextStartOffset when one of the first two bytes is zero, else
// at 0. Otherwise ANSI text from the start.
SectorTextChoice DecideSectorText(std::span<const uint8_t> sector, TextUnicodeTest is_text_unicode);

// The text the text view shows, in UTF-8. It ends where the sector's text
// ends: at the first zero unit (UTF-16) or zero byte (ANSI), or at the end of
// the sector. So it holds no NUL, and nothing downstream can cut it shorter.
// Line breaks in any form (CR LF, a lone CR, a lone LF) become CR LF, the
// only break the edit control knows; tabs stay; every other control
// character (C0 and DEL) is shown as "." as in the dump's character column,
// since the edit control would draw it as an unreadable box or not at all.
std::string SectorTextForView(std::span<const uint8_t> sector, const SectorTextChoice& choice);

// Little-endian UTF-16 from the start of `bytes` up to the first zero unit
// (a missing last byte reads as zero) as UTF-8. Unpaired surrogates become
// U+FFFD.
std::string Utf16LeToUtf8(std::span<const uint8_t> bytes);

// `text` with every ill-formed UTF-8 byte replaced by U+FFFD.
std::string ValidUtf8(std::string_view text);

}  // namespace plexi
