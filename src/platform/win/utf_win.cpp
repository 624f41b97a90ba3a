#include "platform/win/utf.h"

#include <windows.h>

namespace plexi::win {

// Invalid sequences become U+FFFD rather than failing the whole text: a name
// shown with one odd character is better than no name at all.
std::wstring CodePageToWide(unsigned codepage, std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int needed = MultiByteToWideChar(codepage, 0, text.data(), size, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring wide(static_cast<size_t>(needed), L'\0');
  MultiByteToWideChar(codepage, 0, text.data(), size, wide.data(), needed);
  return wide;
}

std::string WideToCodePage(unsigned codepage, std::wstring_view wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int needed = WideCharToMultiByte(codepage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string text(static_cast<size_t>(needed), '\0');
  WideCharToMultiByte(codepage, 0, wide.data(), size, text.data(), needed, nullptr, nullptr);
  return text;
}

std::wstring Utf8ToWide(std::string_view utf8) { return CodePageToWide(CP_UTF8, utf8); }

std::string WideToUtf8(std::wstring_view wide) { return WideToCodePage(CP_UTF8, wide); }

}  // namespace plexi::win
