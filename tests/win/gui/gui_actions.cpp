#include "gui_actions.h"

namespace plexi::gui {

void PostClick(HWND window, int x, int y, bool right) {
  const LPARAM at = MAKELPARAM(x, y);
  PostMessageW(window, WM_MOUSEMOVE, 0, at);
  PostMessageW(window, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, right ? MK_RBUTTON : MK_LBUTTON, at);
  PostMessageW(window, right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, at);
}

void PostContextMenu(HWND target, HWND window, int x, int y) {
  POINT point{x, y};
  ClientToScreen(window, &point);
  PostMessageW(target, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), MAKELPARAM(point.x, point.y));
}

HWND WaitForPopupMenu(DWORD pid, Duration timeout) {
  HWND menu = nullptr;
  WaitUntil(
      [&] {
        menu = FindTopWindow(L"#32768", pid);
        return menu != nullptr && IsWindowVisible(menu);
      },
      timeout);
  return menu != nullptr && IsWindowVisible(menu) ? menu : nullptr;
}

void ChooseMenuItem(HWND menu, int index) {
  for (int i = 0; i <= index; ++i) PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
}

HWND WaitForDialog(DWORD pid, const std::string& caption, Duration timeout) {
  HWND dialog = nullptr;
  WaitUntil(
      [&] {
        dialog = FindTopWindow(L"#32770", pid);
        return dialog != nullptr && IsWindowVisible(dialog) && Utf8(WindowText(dialog)) == caption;
      },
      timeout);
  return dialog != nullptr && Utf8(WindowText(dialog)) == caption ? dialog : nullptr;
}

std::string DialogText(HWND dialog) {
  std::string text;
  for (HWND child = FindWindowExW(dialog, nullptr, L"Static", nullptr); child != nullptr;
       child = FindWindowExW(dialog, child, L"Static", nullptr)) {
    const std::string part = Utf8(WindowText(child));
    if (!part.empty()) text += (text.empty() ? "" : "\n") + part;
  }
  return text;
}

void PressDialogButton(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

}  // namespace plexi::gui
