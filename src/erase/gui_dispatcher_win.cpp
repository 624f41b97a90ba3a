#include "erase/gui_dispatcher_win.h"

#include "platform/win/app_messages.h"

namespace plexi {

namespace {

constexpr UINT kRunStep = win::kMsgRunGuiStep;
constexpr wchar_t kClassName[] = L"PlexiscrubGuiDispatcher";

void RegisterOnce(WNDPROC proc) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);  // fails harmlessly when already registered
}

}  // namespace

WindowDispatcher::WindowDispatcher() : gui_thread_(GetCurrentThreadId()) {
  RegisterOnce(&WindowDispatcher::WindowProc);
  window_.reset(CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleW(nullptr), nullptr));
}

void WindowDispatcher::RunOnGui(const std::function<void()>& step) {
  // A step asked for on the GUI thread itself (while the worker is being
  // made) runs right away; sending would run it too, but this is plainer.
  if (GetCurrentThreadId() == gui_thread_ || !window_) {
    step();
    return;
  }
  SendMessageW(window_.get(), kRunStep, 0, reinterpret_cast<LPARAM>(&step));
}

LRESULT CALLBACK WindowDispatcher::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kRunStep) {
    (*reinterpret_cast<const std::function<void()>*>(lparam))();
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace plexi
