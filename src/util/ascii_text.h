// Plain text helpers on ASCII letters and blanks; bytes of other characters
// (UTF-8 or code-page text) pass through unchanged.
#pragma once
#include <string>
#include <string_view>

namespace plexi {

// Leading and trailing blanks and control characters (every byte up to
// the space) removed.
std::string TrimBlanks(std::string_view text);

// a-z made A-Z.
char UpperAscii(char c);
std::string UpperAscii(std::string text);

// Equal when a-z and A-Z are taken for the same letters.
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace plexi
