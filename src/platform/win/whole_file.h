// Writing a whole file and forcing it to the disk, for the file stores and
// the new files of the Win32 backend.
#pragma once
#include <windows.h>

#include <string>

#include "platform/result.h"

namespace plexi::win {

// `creation` is CreateFileW's: CREATE_ALWAYS, or CREATE_NEW to refuse a
// file that exists (ERROR_FILE_EXISTS).
platform::Result<> WriteWholeFile(const std::wstring& path, const std::string& bytes, DWORD creation);

}  // namespace plexi::win
