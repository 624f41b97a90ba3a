#include "platform/win/win_file_store.h"

#include <windows.h>

#include <algorithm>

#include "platform/new_file.h"
#include "platform/win/utf.h"
#include "platform/win/whole_file.h"
#include "platform/win/win_handles.h"
#include "platform/win/win_machine.h"

namespace plexi::win {
namespace {

using platform::Result;

constexpr DWORD kChunk = 1 << 20;

bool IsMissing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

}  // namespace

WinFileStore::WinFileStore(std::string directory)
    : directory_(directory.empty() ? ExecutableDirectory() : std::move(directory)) {}

bool WinFileStore::Exists(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Utf8ToWide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

platform::FileContent WinFileStore::Read(const std::string& path) {
  platform::FileContent content;
  UniqueFile file(CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    content.exists = !IsMissing(error);
    if (content.exists) content.error = error;
    return content;
  }
  content.exists = true;
  std::string buffer(kChunk, '\0');
  for (;;) {
    DWORD done = 0;
    if (!ReadFile(file.get(), buffer.data(), kChunk, &done, nullptr)) {
      content.error = GetLastError();
      content.bytes.clear();
      return content;
    }
    if (done == 0) return content;  // end of file
    content.bytes.append(buffer.data(), done);
  }
}

Result<> WinFileStore::Replace(const std::string& path, const std::string& bytes) {
  const std::wstring target = Utf8ToWide(path);
  const std::wstring temporary = target + L".tmp";
  Result<> status = WriteWholeFile(temporary, bytes, CREATE_ALWAYS);
  if (status.ok() &&
      !MoveFileExW(temporary.c_str(), target.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    status = Result<>::Failure(GetLastError());
  if (!status.ok()) DeleteFileW(temporary.c_str());  // the old file is untouched
  return status;
}

Result<> WinFileStore::CreateNew(const std::string& path, const std::string& bytes) {
  return platform::CreateNewFile(path, bytes);
}

// Each folder from the top down. A step that fails (a drive root, a
// server's name, a folder there already) is passed over: the folder itself
// decides.
Result<> WinFileStore::MakeFolder(const std::string& path) {
  const std::wstring folder = Utf8ToWide(path);
  DWORD last_error = 0;
  for (size_t i = 1; i <= folder.size(); ++i) {
    if (i < folder.size() && folder[i] != L'\\' && folder[i] != L'/') continue;
    if (!CreateDirectoryW(folder.substr(0, i).c_str(), nullptr)) last_error = GetLastError();
  }
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return Result<>::Success();
  return Result<>::Failure(last_error != 0 ? last_error : DWORD(ERROR_PATH_NOT_FOUND));
}

std::optional<std::vector<std::string>> WinFileStore::ListFolder(const std::string& path) {
  std::wstring pattern = Utf8ToWide(path);
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW found{};
  UniqueFind find(FindFirstFileW(pattern.c_str(), &found));
  if (!find) {
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return std::vector<std::string>{};
    return std::nullopt;
  }
  std::vector<std::string> names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(WideToUtf8(found.cFileName));
  } while (FindNextFileW(find.get(), &found));
  return names;
}

}  // namespace plexi::win
