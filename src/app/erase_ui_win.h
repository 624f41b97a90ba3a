// What the erase button needs from the windows for now: its questions as
// message boxes. The confirmation dialog and the progress dialog are not
// there yet, so the final confirmation always answers "not OK" and no
// erase runs; the shutdown windows are likewise never asked for.
#pragma once
#include <windows.h>

#include "erase/erase_workflow.h"
#include "shutdown/shutdown.h"

namespace plexi::app {

class MessageBoxEraseUi : public EraseUi {
 public:
  void SetOwner(HWND owner) { owner_ = owner; }
  void ShowMessage(const std::string& text) override;
  bool AskOkCancel(const std::string& text, const std::string& caption) override;
  bool AskYesNo(const std::string& text, const std::string& caption, Icon icon) override;
  ConfirmChoice ConfirmErase(const ConfirmRequest&) override { return {}; }
  void RunProgress(const ProgressRequest&, const WorkerFactory&) override {}

 private:
  HWND owner_ = nullptr;
};

// No end-of-erase action can be chosen yet (the mode stays "none").
class NoShutdownUi : public ShutdownUi {
 public:
  std::optional<ShutdownChoice> ShowModeDialog(int32_t, const std::string&, void*) override {
    return std::nullopt;
  }
  bool ShowCountdown(const std::string&, const std::string&) override { return false; }
  void SetStatusText(const std::string&, bool) override {}
};

}  // namespace plexi::app
