// The erase's and the shutdown's windows on Win32: the questions as message
// boxes, the confirmation dialog, the progress dialog with the worker under
// it, the end-of-erase action dialog, the countdown and StaticText2.
#pragma once
#include <windows.h>

#include <memory>

#include "window/dialog_form_win.h"
#include "erase/erase_workflow.h"
#include "shutdown/shutdown.h"
#include "shutdown/shutdown_msg_dlg_win.h"
#include "shutdown/shutdown_status_win.h"

namespace plexi {

class WinEraseDialogs : public EraseUi, public ShutdownUi {
 public:
  WinEraseDialogs() = default;
  WinEraseDialogs(const WinEraseDialogs&) = delete;
  WinEraseDialogs& operator=(const WinEraseDialogs&) = delete;

  // What the dialogs take from the main window; `notifier` shows the plain
  // messages (it must outlive this).
  void SetResources(const win::FormResources& resources, Notifier& notifier);
  // StaticText2 at (x, y) on the main window, and the countdown dialog,
  // which is kept for the whole run.
  bool CreateWindows(int status_x, int status_y);
  // StaticText2 moved to (x, y), where the toolbar has room for it.
  void PlaceStatusText(int x, int y) { status_text_.MoveTo(x, y); }
  // The erase and the action after it, once the main window has made them.
  void Attach(EraseWorkflow& workflow, ShutdownController& shutdown);

  // EraseUi
  void ShowMessage(const std::string& text) override;
  bool Ask(const EraseQuestion& question) override;
  ConfirmChoice ConfirmErase(const ConfirmRequest& request) override;
  WorkerReport RunProgress(const ProgressRequest& request, const WorkerFactory& make_worker) override;
  PurgeRun RunPurge(const PurgeRequest& request, const PurgeTask& task) override;

  // ShutdownUi
  std::optional<ShutdownChoice> ShowModeDialog(int32_t current_mode, const std::string& caption,
                                               void* owner) override;
  bool ShowCountdown(const std::string& caption, const std::string& mode_name) override;
  void SetStatusText(const std::string& text, bool visible) override;

 private:
  win::FormResources resources_;
  Notifier* notifier_ = nullptr;
  EraseWorkflow* workflow_ = nullptr;
  ShutdownController* shutdown_ = nullptr;
  ShutdownStatusText status_text_;                 // StaticText2
  std::unique_ptr<TShutDownMsgDlg> countdown_;     // ShutDownMsgDlg
};

}  // namespace plexi
