// ShellExecute for a portable shell command.
#pragma once
#include <windows.h>

#include "platform/shell.h"

namespace plexi::win {

// ShellExecute; true when the shell reports success (a result above 32).
bool RunShellCommand(HWND parent, const platform::ShellCommand& command);

}  // namespace plexi::win
