// Runs the erase worker's steps on the GUI thread: the worker sends a
// message to a hidden message-only window and waits until it has been
// handled. Any message loop on the GUI thread (a modal dialog's included)
// runs the steps while it waits.
#pragma once
#include <windows.h>

#include "erase/worker_interface.h"
#include "window/window_win.h"

namespace plexi {

class WindowDispatcher : public GuiDispatcher, public win::Window {
 public:
  // Must be made on the GUI thread.
  WindowDispatcher();
  void RunOnGui(const std::function<void()>& step) override;

 protected:
  LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  DWORD gui_thread_;
};

}  // namespace plexi
