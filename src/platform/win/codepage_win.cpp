// The system's ANSI code page for sector text, and code page 932 for the
// error log and the protection list. This file and utf_win.cpp are part of
// the portable core's Windows build.
#include <windows.h>

#include <string>

#include "platform/platform.h"
#include "platform/win/utf.h"

namespace plexi::platform {

// Characters the code page cannot hold become the system's default
// character ("?"), as any ANSI program would write them.
std::string Utf8ToAnsi(const std::string& utf8) {
  return win::WideToCodePage(CP_ACP, win::CodePageToWide(CP_UTF8, utf8));
}
std::string AnsiToUtf8(const std::string& ansi) {
  return win::WideToCodePage(CP_UTF8, win::CodePageToWide(CP_ACP, ansi));
}

// Shift-JIS even where the ANSI code page is UTF-8 (65001): the files keep
// the one format every version of the program reads.
constexpr UINT kFileCodePage = 932;

std::string Utf8ToFileText(const std::string& utf8) {
  return win::WideToCodePage(kFileCodePage, win::CodePageToWide(CP_UTF8, utf8));
}
std::string FileTextToUtf8(const std::string& text) {
  return win::WideToCodePage(CP_UTF8, win::CodePageToWide(kFileCodePage, text));
}

}  // namespace plexi::platform
