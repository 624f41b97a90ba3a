// Scope guards the main window holds while an erase runs: the machine kept
// from sleeping, and a session end held off with a reason Windows shows.
#pragma once
#include <windows.h>

#include <string>

namespace plexi::app {

// Asks Windows not to sleep while it lives; a drive erase takes hours and
// sleep would stop it halfway. The thread's request goes back to none at
// the end.
class KeepAwake {
 public:
  KeepAwake();
  ~KeepAwake();
  KeepAwake(const KeepAwake&) = delete;
  KeepAwake& operator=(const KeepAwake&) = delete;
};

// Holds the session's end off for `window` with a reason (UTF-8) Windows
// shows beside the program; the block ends with the guard.
class ShutdownBlockReason {
 public:
  ShutdownBlockReason(HWND window, const std::string& reason);
  ~ShutdownBlockReason();
  ShutdownBlockReason(const ShutdownBlockReason&) = delete;
  ShutdownBlockReason& operator=(const ShutdownBlockReason&) = delete;

 private:
  HWND window_;
  bool created_;
};

}  // namespace plexi::app
