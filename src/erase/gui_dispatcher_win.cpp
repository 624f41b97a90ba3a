#include "erase/gui_dispatcher_win.h"

#include "platform/win/app_messages.h"

namespace plexi {

namespace {

constexpr UINT kRunStep = win::kMsgRunGuiStep;

}  // namespace

// A message-only window: it takes sent messages and nothing else
// ("Window Features", Message-Only Windows,
// https://learn.microsoft.com/en-us/windows/win32/winmsg/window-features#message-only-windows).
WindowDispatcher::WindowDispatcher() : gui_thread_(GetCurrentThreadId()) {
  win::WindowPlacement placement;
  placement.parent = HWND_MESSAGE;
  if (!CreateWindowOf({kClassName}, placement)) creation_error_ = GetLastError();
}

void WindowDispatcher::RunOnGui(const std::function<void()>& step) {
  // A step asked for on the GUI thread itself (while the worker is being
  // made) runs right away; sending would run it too, but this is plainer.
  if (GetCurrentThreadId() == gui_thread_) {
    step();
    return;
  }
  // Without the window the message goes nowhere and the step does not run;
  // the progress dialog starts no worker then.
  SendMessageW(hwnd(), kRunStep, 0, reinterpret_cast<LPARAM>(&step));
}

LRESULT WindowDispatcher::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kRunStep) {
    (*reinterpret_cast<const std::function<void()>*>(lparam))();
    return 0;
  }
  return Default(message, wparam, lparam);
}

}  // namespace plexi
