// A new file that appears whole or not at all, and never in place of
// another: what two copies of the program that write into one folder (a
// network share, too) need so that neither replaces the other's file.
#pragma once
#include <string>

#include "platform/result.h"

namespace plexi::platform {

// Writes `bytes` to a temporary file beside `path` (UTF-8), forces them to
// the disk, then gives that file the name `path` only if no file has it. A
// name already taken fails with ERROR_FILE_EXISTS (80); any failure leaves
// no file behind. Readers never see half a file.
Result<> CreateNewFile(const std::string& path, const std::string& bytes);

// The temporary name CreateNewFile writes first: random, so that two
// writers of one name never share it, and ending in ".tmp".
std::string TemporaryNameBeside(const std::string& path);

}  // namespace plexi::platform
