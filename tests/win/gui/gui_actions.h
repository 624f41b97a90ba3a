// What a user does to the program, sent as window messages: clicks, menus
// chosen with the keyboard, answers to message boxes.
#pragma once
#include <windows.h>

#include <string>

#include "gui_driver.h"

namespace plexi::gui {

// A press and release of the left (or right) button at a client point.
void PostClick(HWND window, int x, int y, bool right = false);
// The context menu request a right click or the menu key makes, at a
// client point of `window`, sent to `target` (the window that shows it).
void PostContextMenu(HWND target, HWND window, int x, int y);

// The program's open popup menu, once it is there.
HWND WaitForPopupMenu(DWORD pid, Duration timeout);
// Chooses the n-th item (from 0) of the open menu with the arrow keys.
void ChooseMenuItem(HWND menu, int index);

// The process's first visible top-level window of this class (one of the
// program's forms), once it shows; null when none shows in time.
HWND WaitForForm(DWORD pid, const wchar_t* class_name, Duration timeout);
// The first dialog of the process (a message box) with this caption.
HWND WaitForDialog(DWORD pid, const std::string& caption, Duration timeout);
// The texts of a dialog's static controls, joined by line breaks.
std::string DialogText(HWND dialog);
// Presses a dialog's button by its id (IDOK, IDCANCEL...).
void PressDialogButton(HWND dialog, int id);

// A key pressed and released through the system's input, as from the
// keyboard: it goes to the control with the focus in the window in front,
// with the key state (Shift) the program reads.
void PressKey(WORD key, bool shift = false);
// Text typed through the system's input.
void TypeText(const std::wstring& text);
// The control with the keyboard focus in the thread that owns `window`.
HWND FocusOf(HWND window);
// Whether the window in front belongs to process `pid`.
bool InFront(DWORD pid);

}  // namespace plexi::gui
