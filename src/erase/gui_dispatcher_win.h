// Runs the erase worker's steps on the GUI thread: the worker sends a
// message to a hidden message-only window and waits until it has been
// handled. Any message loop on the GUI thread (a modal dialog's included)
// runs the steps while it waits. A step never runs on the worker's thread:
// without the window there is no worker to start.
#pragma once
#include <windows.h>

#include "erase/worker_interface.h"
#include "window/window_win.h"

namespace plexi {

class WindowDispatcher : public GuiDispatcher, public win::Window {
 public:
  static constexpr wchar_t kClassName[] = L"PlexiscrubGuiDispatcher";

  // Must be made on the GUI thread.
  WindowDispatcher();
  // Whether its window was made; the worker may be started only then.
  bool Ready() const { return hwnd() != nullptr; }
  // Why the window could not be made (0 when it was, or when not told).
  uint32_t CreationError() const { return creation_error_; }
  void RunOnGui(const std::function<void()>& step) override;

 protected:
  LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  DWORD gui_thread_;
  uint32_t creation_error_ = 0;
};

}  // namespace plexi
