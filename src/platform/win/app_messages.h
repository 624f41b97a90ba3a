// The program's own window messages, numbered in one place so that no two
// of them share a number.
#pragma once
#include <windows.h>

namespace plexi::win {

// The erase worker's GUI step, sent to the dispatcher's message-only window.
inline constexpr UINT kMsgRunGuiStep = WM_APP + 1;
// Posted by the progress dialog to itself once it is on screen.
inline constexpr UINT kMsgFormShown = WM_APP + 0x40;
// The firmware purge's worker to its dialog: the drive's progress (wParam 1
// with lParam of 65536, or 0 for none told), and its end.
inline constexpr UINT kMsgPurgeProgress = WM_APP + 0x41;
inline constexpr UINT kMsgPurgeEnded = WM_APP + 0x42;
// Enter or Escape offered by a form to its colour button (answer 1 when taken).
inline constexpr UINT kMsgDialogKey = WM_APP + 0x300;

}  // namespace plexi::win
