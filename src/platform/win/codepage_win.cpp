// The error log and the protection list are kept in the system's ANSI code
// page (932 on a Japanese Windows). This file is part of the portable core's
// Windows build, so it converts on its own instead of using the backend's
// helpers.
#include <windows.h>

#include <string>

#include "platform/platform.h"

namespace plexi::platform {
namespace {

std::wstring ToWide(UINT codepage, const std::string& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int needed = MultiByteToWideChar(codepage, 0, text.data(), size, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring wide(static_cast<size_t>(needed), L'\0');
  MultiByteToWideChar(codepage, 0, text.data(), size, wide.data(), needed);
  return wide;
}

std::string FromWide(UINT codepage, const std::wstring& wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int needed = WideCharToMultiByte(codepage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string text(static_cast<size_t>(needed), '\0');
  WideCharToMultiByte(codepage, 0, wide.data(), size, text.data(), needed, nullptr, nullptr);
  return text;
}

}  // namespace

// Characters the code page cannot hold become the system's default
// character ("?"), as any ANSI program would write them.
std::string Utf8ToAnsi(const std::string& utf8) { return FromWide(CP_ACP, ToWide(CP_UTF8, utf8)); }
std::string AnsiToUtf8(const std::string& ansi) { return FromWide(CP_UTF8, ToWide(CP_ACP, ansi)); }

}  // namespace plexi::platform
