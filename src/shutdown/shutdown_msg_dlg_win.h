// The countdown before the end-of-erase action: 15 seconds on a red bar,
// then the action runs as if "実行" had been pressed; "キャンセル" drops it.
// Topmost, so that it shows above whatever the user left open.
#pragma once
#include <windows.h>

#include <string>

#include "controls/color_progress_bar_win.h"
#include "window/dialog_form_win.h"
#include "window/standard_controls_win.h"
#include "shutdown/shutdown.h"

namespace plexi {

class TShutDownMsgDlg : public win::DialogForm {
 public:
  static constexpr wchar_t kClassName[] = L"TShutDownMsgDlg";
  enum ControlId : int {
    kCountdownLabel = 401,  // Label1
    kRunNowButton = 402,    // Button1
    kCancelButton = 403,    // CancelBtn
  };

  explicit TShutDownMsgDlg(const win::FormResources& resources);
  ~TShutDownMsgDlg() override;

  // Made once and kept for the whole run.
  bool Create();
  // Shows the countdown modally; true with OK (pressed or the time is up).
  bool Run(const std::string& caption, const std::string& mode_name);

 private:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
  void FormShow();
  void Timer1Timer();
  void FormClose();
  bool PaintsEveryPixel() const override { return true; }
  void OnPaint(HDC dc) override;

  win::FormResources resources_;
  win::Button cancel_;  // CancelBtn
  win::Button run_;     // Button1
  win::Label label_;    // Label1
  win::WindowlessProgressBar bar_;  // ColorProgressBar1
  CountdownModel countdown_;
  std::string mode_name_;  // ModeName
  plexi::win::UniqueFont label_font_;
};

}  // namespace plexi
