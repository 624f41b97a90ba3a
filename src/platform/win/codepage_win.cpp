// The error log and the protection list are kept in the system's ANSI code
// page (932 on a Japanese Windows). This file and utf_win.cpp are part of
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

}  // namespace plexi::platform
