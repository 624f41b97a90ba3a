#include "platform/win/session_end_watch_win.h"

#include "platform/win/win_handles.h"

namespace plexi::win {
namespace {

constexpr wchar_t kWatchClass[] = L"PlexiscrubSessionEndWatch";

}  // namespace

SessionEndWatch::SessionEndWatch(Handlers handlers) : handlers_(std::move(handlers)) {
  UniqueKernelHandle created(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!created) return;
  thread_ = std::thread([this, event = created.get()] { Run(event); });
  WaitForSingleObject(created.get(), INFINITE);
}

SessionEndWatch::~SessionEndWatch() {
  if (window_ != nullptr) PostMessageW(window_, WM_CLOSE, 0, 0);
  if (thread_.joinable()) thread_.join();
}

// A top-level window, never shown: message-only windows get no
// WM_QUERYENDSESSION ("Window Features", Message-Only Windows: they "do not
// receive broadcast messages",
// https://learn.microsoft.com/en-us/windows/win32/winmsg/window-features).
void SessionEndWatch::Run(HANDLE created) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = Procedure;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kWatchClass;
  RegisterClassExW(&wc);  // fails harmlessly when a second watch registers it again
  window_ = CreateWindowExW(0, kWatchClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, this);
  SetEvent(created);
  if (window_ == nullptr) return;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
}

LRESULT SessionEndWatch::OnQuery(HWND window) {
  const std::optional<std::wstring> reason = handlers_.hold_reason ? handlers_.hold_reason() : std::nullopt;
  // The reason is what Windows shows beside the program while it holds the
  // end ("ShutdownBlockReasonCreate function",
  // https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-shutdownblockreasoncreate).
  if (reason) {
    holding_ = ShutdownBlockReasonCreate(window, reason->c_str()) != FALSE;
    return FALSE;
  }
  if (holding_) ShutdownBlockReasonDestroy(window);
  holding_ = false;
  return TRUE;
}

LRESULT CALLBACK SessionEndWatch::Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE)
    SetWindowLongPtrW(window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams));
  auto* watch = reinterpret_cast<SessionEndWatch*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_QUERYENDSESSION:
      if (watch != nullptr) return watch->OnQuery(window);
      break;
    case WM_ENDSESSION:
      if (watch != nullptr && wparam != FALSE && watch->handlers_.ending)
        watch->handlers_.ending((lparam & ENDSESSION_LOGOFF) != 0);
      return 0;
    case WM_DESTROY:
      if (watch != nullptr && watch->holding_) ShutdownBlockReasonDestroy(window);
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace plexi::win
