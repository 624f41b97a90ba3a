// Runs the erase worker's steps on the GUI thread: the worker sends a
// message to a hidden message-only window and waits until it has been
// handled. Any message loop on the GUI thread (a modal dialog's included)
// runs the steps while it waits.
#pragma once
#include <windows.h>

#include "erase/erase_job.h"
#include "platform/win/win_handles.h"

namespace plexi {

class WindowDispatcher : public GuiDispatcher {
 public:
  // Must be made on the GUI thread.
  WindowDispatcher();
  WindowDispatcher(const WindowDispatcher&) = delete;
  WindowDispatcher& operator=(const WindowDispatcher&) = delete;

  void RunOnGui(const std::function<void()>& step) override;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  DWORD gui_thread_;
  win::UniqueWindow window_;
};

}  // namespace plexi
