// New files on Windows: the temporary file is renamed by MoveFileExW without
// MOVEFILE_REPLACE_EXISTING, which fails when the name exists.
#include <windows.h>

#include <algorithm>

#include "platform/new_file.h"
#include "platform/win/utf.h"
#include "platform/win/whole_file.h"
#include "platform/win/win_handles.h"

namespace plexi::win {

using platform::Result;

// https://learn.microsoft.com/en-us/windows/win32/api/fileapi/nf-fileapi-createfilew
// https://learn.microsoft.com/en-us/windows/win32/api/fileapi/nf-fileapi-flushfilebuffers
Result<> WriteWholeFile(const std::wstring& path, const std::string& bytes, DWORD creation) {
  constexpr DWORD kChunk = 1 << 20;
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return Result<>::Failure(GetLastError());
  size_t written = 0;
  while (written < bytes.size()) {
    const DWORD length = DWORD(std::min<size_t>(bytes.size() - written, kChunk));
    DWORD done = 0;
    if (!WriteFile(file.get(), bytes.data() + written, length, &done, nullptr))
      return Result<>::Failure(GetLastError());
    if (done == 0) return Result<>::Failure(ERROR_WRITE_FAULT);
    written += done;
  }
  if (!FlushFileBuffers(file.get())) return Result<>::Failure(GetLastError());
  return Result<>::Success();
}

}  // namespace plexi::win

namespace plexi::platform {

Result<> CreateNewFile(const std::string& path, const std::string& bytes) {
  const std::wstring target = win::Utf8ToWide(path);
  const std::wstring temporary = win::Utf8ToWide(TemporaryNameBeside(path));
  Result<> status = win::WriteWholeFile(temporary, bytes, CREATE_NEW);
  if (!status.ok()) {
    if (status.error() != ERROR_FILE_EXISTS) DeleteFileW(temporary.c_str());
    return status;
  }
  // Without MOVEFILE_REPLACE_EXISTING the move fails when the name exists
  // (ERROR_ALREADY_EXISTS), so a file another writer put there stays:
  // https://learn.microsoft.com/en-us/windows/win32/api/winbase/nf-winbase-movefileexw
  if (MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) return Result<>::Success();
  const DWORD error = GetLastError();
  DeleteFileW(temporary.c_str());
  return Result<>::Failure(error == ERROR_ALREADY_EXISTS ? DWORD(ERROR_FILE_EXISTS) : error);
}

}  // namespace plexi::platform
