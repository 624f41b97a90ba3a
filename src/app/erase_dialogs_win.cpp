#include "app/erase_dialogs_win.h"

#include "app/artwork.h"
#include "erase/progress_dialog_win.h"
#include "erase/confirm_dialog_win.h"
#include "erase/purge_dlg_win.h"
#include "platform/app_identity.h"
#include "platform/win/utf.h"
#include "shutdown/exit_dlg_win.h"

static_assert(plexi::TConditionsOnDlg::kPowerImage == plexi::app::kImagePower,
              "the progress dialog's settings button shows the toolbar's power image");

namespace plexi {
namespace {


}  // namespace

void WinEraseDialogs::SetResources(const win::FormResources& resources,
                                   Notifier& notifier) {
  resources_ = resources;
  notifier_ = &notifier;
}

bool WinEraseDialogs::CreateWindows(int status_x, int status_y) {
  const bool status = status_text_.Create(resources_.owner, status_x, status_y, resources_.face);
  countdown_ = std::make_unique<TShutDownMsgDlg>(resources_);
  return status && countdown_->Create();
}

void WinEraseDialogs::Attach(EraseWorkflow& workflow, ShutdownController& shutdown) {
  workflow_ = &workflow;
  shutdown_ = &shutdown;
}

void WinEraseDialogs::ShowMessage(const std::string& text) {
  if (notifier_) {
    notifier_->ShowMessage(text);
    return;
  }
  MessageBoxW(resources_.owner, win::Utf8ToWide(text).c_str(), kAppTitleWide, MB_OK);
}

bool WinEraseDialogs::Ask(const EraseQuestion& question) {
  const bool ok_cancel = question.buttons == EraseQuestion::Buttons::kOkCancel;
  const UINT style = (ok_cancel ? MB_OKCANCEL : MB_YESNO) |
                     (question.icon == EraseQuestion::Icon::kQuestion ? MB_ICONQUESTION : 0);
  const int answer = MessageBoxW(resources_.owner, win::Utf8ToWide(question.text).c_str(),
                                 win::Utf8ToWide(question.caption).c_str(), style);
  return answer == (ok_cancel ? IDOK : IDYES);
}

ConfirmChoice WinEraseDialogs::ConfirmErase(const ConfirmRequest& request) {
  TDriveDelInfoDlg dialog(resources_, request.drive, request.bytes_per_sector);
  return dialog.Run(request);
}

WorkerReport WinEraseDialogs::RunProgress(const ProgressRequest& request, const WorkerFactory& make_worker) {
  TConditionsOnDlg::Hooks hooks;
  if (workflow_) {
    hooks.cancel = &workflow_->CancelFlag();
    hooks.pause = &workflow_->Pause();
  }
  if (shutdown_) {
    ShutdownController* shutdown = shutdown_;
    hooks.select_shutdown_mode = [shutdown](HWND owner) {
      return shutdown->SelectShutdownMode("", owner);
    };
  }
  TConditionsOnDlg dialog(resources_, std::move(hooks));
  return dialog.Run(request, make_worker);
}

PurgeRun WinEraseDialogs::RunPurge(const PurgeRequest& request, const PurgeTask& task) {
  TPurgeDlg dialog(resources_);
  return dialog.Run(request, task);
}

std::optional<ShutdownChoice> WinEraseDialogs::ShowModeDialog(int32_t current_mode,
                                                              const std::string& caption,
                                                              void* owner) {
  TExitDlg dialog(resources_, static_cast<HWND>(owner));
  return dialog.Run(current_mode, caption);
}

bool WinEraseDialogs::ShowCountdown(const std::string& caption, const std::string& mode_name) {
  if (!countdown_) countdown_ = std::make_unique<TShutDownMsgDlg>(resources_);
  return countdown_->Run(caption, mode_name);
}

void WinEraseDialogs::SetStatusText(const std::string& text, bool visible) {
  status_text_.Set(text, visible);
}

}  // namespace plexi
