// Linux errno values as the Windows error codes the program's logic and
// messages are written for, and the English system texts of those codes.
#pragma once
#include <cstdint>
#include <string>

#include "platform/winconst.h"

namespace plexi::posix {

using winconst::kErrorFilenameTooLong;
using winconst::kErrorFileTooLarge;
using winconst::kErrorNoAccess;
using winconst::kErrorSemTimeout;
using winconst::kErrorTooManyOpenFiles;

// What the failed call was doing; only EIO depends on it.
enum class IoKind { kRead, kWrite, kOther };

// The nearest Windows code for an errno value. EIO is reported the way a
// Windows disk reports a failing medium: ERROR_CRC (23) for a read,
// ERROR_WRITE_FAULT (29) for a write, ERROR_IO_DEVICE (1117) for anything else
// (open, flush, control). Unknown values give ERROR_GEN_FAILURE (31).
uint32_t WindowsErrorFromErrno(int err, IoKind kind = IoKind::kOther);

// FormatMessage's English text for the code, ending in "\r\n"; empty for a
// code this table does not know.
std::string EnglishErrorText(uint32_t code);

}  // namespace plexi::posix
