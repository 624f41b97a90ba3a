// UTF-8 inside the program, UTF-16 at the W calls. The one home of the
// system's text conversions (the ANSI code page goes through here too).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace plexi::win {

std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);

// The same between UTF-16 and any code page (CP_ACP, CP_UTF8, ...).
std::wstring CodePageToWide(unsigned codepage, std::string_view text);
std::string WideToCodePage(unsigned codepage, std::wstring_view wide);

// IsTextUnicode of advapi32 with every test (no flags in, no result out):
// what the Windows program hands the sector viewer (util/utf16_guess.h has
// the portable stand-in).
bool SystemIsTextUnicode(const uint8_t* data, size_t length);

}  // namespace plexi::win
