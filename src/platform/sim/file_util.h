// Small file helpers shared by the simulated machine's file-backed parts:
// UTF-8 paths, Windows error codes for C library failures, and the
// write-a-temporary-then-rename replacement of a file.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

namespace plexi::sim {

// A path from UTF-8 text (on Windows the narrow constructor would take the
// ANSI code page instead).
std::filesystem::path PathFromUtf8(const std::string& utf8);
std::string PathToUtf8(const std::filesystem::path& path);

// The nearest Windows error code for an errno value or a std::error_code.
uint32_t WindowsErrorFromErrno(int error);
uint32_t WindowsErrorFromCode(const std::error_code& code);

// Reads the whole file. Returns 0, ERROR_FILE_NOT_FOUND when it does not
// exist, or the error that kept it from being read.
uint32_t ReadWholeFile(const std::filesystem::path& path, std::string* bytes);

// Writes `bytes` to `temporary`, then renames it over `path`; on any failure
// the temporary is removed and `path` is left as it was.
uint32_t ReplaceFile(const std::filesystem::path& path, const std::filesystem::path& temporary,
                     const std::string& bytes);

}  // namespace plexi::sim
