// The toolbar's error-log and help buttons, the about box's links and the
// first-start shortcut check: the portable shell logic put to the Win32
// shell calls.
#pragma once
#include <windows.h>

#include <string>

#include "platform/platform.h"

namespace plexi::win {

// The error-log button: the file in Notepad; nothing while there is no file.
// Returns whether Notepad was asked to open it.
bool OpenErrorLog(HWND parent, const std::string& log_path, platform::FileStore& files);

// The help button: the help page beside the program, opened by the shell.
void OpenHelp(HWND parent, const std::string& help_path);

// The maker's home page in Internet Explorer, or in the default browser
// when that does not start.
void OpenHomePage(HWND parent, const std::string& address);

// A folder in the shell's file window.
void OpenFolder(HWND parent, const std::string& folder);

// The main window's first showing: see DesktopShortcutCheck. The running
// executable and its folder come from the system.
bool CheckDesktopShortcut(platform::Settings& settings, const std::string& title);

}  // namespace plexi::win
