#include "gui_actions.h"

#include <vector>

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

HWND WaitForForm(DWORD pid, const wchar_t* class_name, Duration timeout) {
  HWND form = nullptr;
  WaitUntil(
      [&] {
        form = FindTopWindow(class_name, pid);
        return form != nullptr && IsWindowVisible(form);
      },
      timeout);
  return form != nullptr && IsWindowVisible(form) ? form : nullptr;
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

namespace {

INPUT KeyInput(WORD key, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return input;
}

}  // namespace

void PressKey(WORD key, bool shift) {
  std::vector<INPUT> inputs;
  if (shift) inputs.push_back(KeyInput(VK_SHIFT, false));
  inputs.push_back(KeyInput(key, false));
  inputs.push_back(KeyInput(key, true));
  if (shift) inputs.push_back(KeyInput(VK_SHIFT, true));
  SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT));
}

void TypeText(const std::wstring& text) {
  for (wchar_t c : text) {
    INPUT inputs[2]{};
    for (int i = 0; i < 2; ++i) {
      inputs[i].type = INPUT_KEYBOARD;
      inputs[i].ki.wScan = c;
      inputs[i].ki.dwFlags = KEYEVENTF_UNICODE | (i == 1 ? KEYEVENTF_KEYUP : 0);
    }
    SendInput(2, inputs, sizeof(INPUT));
  }
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

bool InFront(DWORD pid) {
  DWORD owner = 0;
  HWND front = GetForegroundWindow();
  return front != nullptr && GetWindowThreadProcessId(front, &owner) != 0 && owner == pid;
}

}  // namespace plexi::gui
