#include "erase/gui_dispatcher_win.h"

#include "platform/win/app_messages.h"

namespace plexi {

namespace {

constexpr UINT kRunStep = win::kMsgRunGuiStep;
constexpr wchar_t kClassName[] = L"PlexiscrubGuiDispatcher";

}  // namespace

WindowDispatcher::WindowDispatcher() : gui_thread_(GetCurrentThreadId()) {
  win::WindowPlacement placement;
  placement.parent = HWND_MESSAGE;
  static_cast<void>(CreateWindowOf({kClassName}, placement));  // without it, steps run directly
}

void WindowDispatcher::RunOnGui(const std::function<void()>& step) {
  // A step asked for on the GUI thread itself (while the worker is being
  // made) runs right away; sending would run it too, but this is plainer.
  if (GetCurrentThreadId() == gui_thread_ || !hwnd()) {
    step();
    return;
  }
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
