#include "platform/win/dev_log.h"

#include <windows.h>

#include <cstdio>
#include <string_view>

#include "platform/win/utf.h"
#include "platform/win/win_handles.h"

namespace plexi::win {
namespace {

// "x.log" -> "x.old.log"; any other name gets ".old" appended.
std::string OldPathOf(const std::string& path) {
  constexpr std::string_view kExtension = ".log";
  if (path.size() > kExtension.size() && std::string_view(path).ends_with(kExtension))
    return path.substr(0, path.size() - kExtension.size()) + ".old" + std::string(kExtension);
  return path + ".old";
}

std::string LocalTimestamp() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", st.wYear, st.wMonth,
                st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
  return text;
}

// The system's text on one line: its own line breaks become spaces and the
// trailing ones go.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

UniqueFile OpenForAppend(const std::wstring& path) {
  return UniqueFile(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

std::string SystemErrorText(uint32_t code) {
  constexpr DWORD kFlags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                           FORMAT_MESSAGE_FROM_SYSTEM;  // 0x1300
  constexpr DWORD kUserLanguage = MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT);  // 0x0400
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(kFlags, nullptr, code, kUserLanguage,
                                      reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  UniqueLocalMemory owner(text);
  if (length == 0 || text == nullptr) return {};
  return WideToUtf8(std::wstring_view(text, length));
}

DevLog::DevLog(std::string path, uint64_t limit_bytes)
    : path_(std::move(path)), old_path_(OldPathOf(path_)), limit_bytes_(limit_bytes) {}

void DevLog::Failure(const std::string& call, uint32_t error) {
  const DWORD saved_error = GetLastError();  // callers may still read theirs
  std::string line = LocalTimestamp() + " " + call + " error=" + std::to_string(error);
  const std::string text = OneLine(SystemErrorText(error));
  if (!text.empty()) line += " " + text;
  Append(line + "\r\n");
  SetLastError(saved_error);
}

// The file is opened for each line: failures are rare, and no handle is
// held that would keep the user from reading or deleting the log.
void DevLog::Append(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::wstring wide = Utf8ToWide(path_);
  UniqueFile file = OpenForAppend(wide);
  LARGE_INTEGER size{};
  if (file && GetFileSizeEx(file.get(), &size) && uint64_t(size.QuadPart) >= limit_bytes_) {
    file.reset();
    MoveFileExW(wide.c_str(), Utf8ToWide(old_path_).c_str(), MOVEFILE_REPLACE_EXISTING);
    file = OpenForAppend(wide);
  }
  if (file) {
    DWORD written = 0;
    WriteFile(file.get(), line.data(), DWORD(line.size()), &written, nullptr);
  }
}

}  // namespace plexi::win
