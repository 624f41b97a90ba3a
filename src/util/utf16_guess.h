// Whether a buffer holds UTF-16 text, the way the system's IsTextUnicode
// guesses with every test applied. The sector viewer takes the test as a
// function so the Windows program can hand it the real call
// (platform/win/utf.h) while other builds and the tests use this stand-in.
#pragma once
#include <cstddef>
#include <cstdint>

namespace plexi {

// True when the bytes look like little-endian UTF-16 text.
using TextUnicodeTest = bool (*)(const uint8_t* data, size_t length);

// A portable stand-in that decides the way the system's test does: a
// byte-order mark decides; units that cannot be text (U+0000, U+FFFE,
// U+FFFF, and CR LF packed into one unit) rule UTF-16 out; so do byte
// statistics or controls that only make sense byte-swapped; a unit with one
// zero byte, or low bytes that vary much more than high bytes, or a UTF-16
// space or line break says UTF-16. Like the system it looks at no more than
// the first 256 units. It does not weigh double-byte lead bytes the way a
// Japanese system does.
bool PortableIsTextUnicode(const uint8_t* data, size_t length);

}  // namespace plexi
