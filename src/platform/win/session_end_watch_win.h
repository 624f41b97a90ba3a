// Hears the session end for a program whose own thread may be busy when it
// comes: a hidden top-level window on a thread of its own. Windows may end
// the process as soon as every window has returned from WM_ENDSESSION
// ("WM_ENDSESSION message", Remarks,
// https://learn.microsoft.com/en-us/windows/win32/shutdown/wm-endsession),
// so this window returns only once the program says it may end: the busy
// thread goes on meanwhile and finishes what it must (an erase's resume
// record and its report). A forced end sends no WM_QUERYENDSESSION first.
#pragma once
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <thread>

namespace plexi::win {

class SessionEndWatch {
 public:
  struct Handlers {
    // At WM_QUERYENDSESSION: the reason to hold the session with, or
    // nothing to let it end. Nothing is stopped yet: the user may still
    // cancel the shutdown.
    std::function<std::optional<std::wstring>()> hold_reason;
    // At WM_ENDSESSION(TRUE), on the watch's thread: returns once the
    // program may end (within a few seconds).
    std::function<void(bool logoff)> ending;
  };

  explicit SessionEndWatch(Handlers handlers);
  ~SessionEndWatch();
  SessionEndWatch(const SessionEndWatch&) = delete;
  SessionEndWatch& operator=(const SessionEndWatch&) = delete;

  // The hidden window; null when it could not be made.
  HWND window() const { return window_; }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT OnQuery(HWND window);
  void Run(HANDLE created);

  const Handlers handlers_;
  HWND window_ = nullptr;
  bool holding_ = false;  // a block reason is set on the window
  std::thread thread_;
};

}  // namespace plexi::win
