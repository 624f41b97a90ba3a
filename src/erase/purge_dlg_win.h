// The dialog of a firmware purge: which drive, the command the drive is
// carrying out, and a bar of its progress (moving without an end where the
// drive tells none). It has no cancel button and no close box, since the
// drive finishes the command whatever the program does; it closes by
// itself once the command has ended. The command is sent and waited for on
// a thread of its own, so the window stays responsive meanwhile.
#pragma once
#include <windows.h>

#include <atomic>
#include <optional>
#include <thread>

#include "erase/erase_workflow.h"
#include "window/dialog_form_win.h"
#include "window/standard_controls_win.h"

namespace plexi {

class TPurgeDlg : public win::DialogForm {
 public:
  static constexpr wchar_t kClassName[] = L"TPurgeDlg";
  enum ControlId : int {
    kDriveLine = 251,
    kNoteLine = 252,
    kCommandLine = 253,
    kProgressBar = 254,
  };

  explicit TPurgeDlg(const win::FormResources& resources);
  ~TPurgeDlg() override;
  TPurgeDlg(const TPurgeDlg&) = delete;
  TPurgeDlg& operator=(const TPurgeDlg&) = delete;

  // Shows the dialog while `task` runs on its own thread and returns what
  // it returned. Without a window the task runs here.
  PurgeRun Run(const PurgeRequest& request, const PurgeTask& task);

 private:
  // The task's view: posts the progress to the dialog.
  class PostingView : public PurgeView {
   public:
    explicit PostingView(HWND dialog) : dialog_(dialog) {}
    void SetPurgeProgress(std::optional<uint32_t> progress) override;

   private:
    HWND dialog_;
  };

  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
  void OnCancel() override {}  // Escape does nothing: nothing can stop the drive
  bool Create(const PurgeRequest& request);
  void ShowProgress(std::optional<uint32_t> progress);

  win::FormResources resources_;
  win::Label drive_line_;
  win::Label note_line_;
  win::Label command_line_;
  win::StandardControl progress_bar_;
  std::atomic<bool> ended_{false};
  bool marquee_ = false;
  PurgeRun result_;
  std::thread worker_;  // joined before the window goes
};

}  // namespace plexi
