// What the main window asks the system once at start: administrator rights,
// the Windows version, the screen's colour depth, and the shell's icons.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>

namespace plexi::app {

// True on Windows with user account control (kernel32 has
// QueryFullProcessImageNameW) when the shell's administrator test, exported
// by shell32 as ordinal 680, says no.
bool LacksAdministratorRights();

struct WindowsVersion {
  bool nt = true;
  uint32_t major = 0;
  uint32_t minor = 0;
};
WindowsVersion ReadWindowsVersion();

int ScreenColourDepth();

// The system image list of 32 x 32 icons (shared by every program: never
// destroyed), as the shell gives it for `root`.
HIMAGELIST SystemImageList(const std::string& root);
// The shell's icon of a drive root such as "C:\", by system image index
// (0 when the shell has none); an empty root, a disk without a letter,
// gets the plain fixed-drive icon.
int DriveIconIndex(const std::string& root);

}  // namespace plexi::app
