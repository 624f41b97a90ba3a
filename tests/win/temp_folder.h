// A fresh folder under the system's temporary folder, removed with all its
// files when the owner goes out of scope.
#pragma once
#include <windows.h>

#include <filesystem>
#include <string>

#include "platform/win/utf.h"

namespace plexi::testing {

class TempFolder {
 public:
  TempFolder() {
    wchar_t base[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, base);
    static int counter = 0;
    for (;;) {
      path_ = std::wstring(base) + L"plexiscrub-test-" + std::to_wstring(GetCurrentProcessId()) +
              L"-" + std::to_wstring(++counter) + L"\\";
      if (CreateDirectoryW(path_.c_str(), nullptr)) break;
      if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(path_), ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // With the trailing backslash.
  const std::wstring& wide() const { return path_; }
  std::string utf8() const { return win::WideToUtf8(path_); }

 private:
  std::wstring path_;
};

}  // namespace plexi::testing
