// The toolbar's error-log and help buttons, and the shell calls behind the
// about box's links.
#pragma once
#include <windows.h>

#include <string>

#include "controls/shell_commands.h"
#include "platform/platform.h"

namespace plexi::win {

// ShellExecute; true when the shell reports success (a result above 32).
bool RunShellCommand(HWND parent, const controls::ShellCommand& command);

// The error-log button: the file in Notepad; nothing while there is no file.
// Returns whether Notepad was asked to open it.
bool OpenErrorLog(HWND parent, const std::string& log_path, platform::FileStore& files);

// The help button: the help page beside the program, opened by the shell.
void OpenHelp(HWND parent, const std::string& help_path);

// The maker's home page in Internet Explorer, or in the default browser
// when that does not start.
void OpenHomePage(HWND parent, const std::string& address);

}  // namespace plexi::win
