// The end-of-erase action dialog, "Windows 終了設定": the five modes, the
// force box, OK and cancel.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "controls/color_button_win.h"
#include "window/dialog_form_win.h"
#include "window/glyph_button_win.h"
#include "window/standard_controls_win.h"
#include "shutdown/shutdown.h"

namespace plexi {

class TExitDlg : public win::DialogForm {
 public:
  static constexpr wchar_t kClassName[] = L"TExitDlg";
  enum ControlId : int {
    kModeGroup = 301,     // RadioGroup1
    kModeItem0 = 310,     // + mode
    kForceCheck = 320,    // CheckBox1
    kOkButton = 330,      // ColorButton1
    kCancelButton = 331,  // CancelBtn
    kHelpButton = 332,    // SpeedButton1
  };

  // `owner`: the window it is modal over; centred on the main window.
  TExitDlg(const win::FormResources& resources, HWND owner);
  ~TExitDlg() override;

  // nullopt after cancel or the close box.
  std::optional<ShutdownChoice> Run(int32_t current_mode, const std::string& caption);

 private:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
  bool Create();
  void CreateButtons();
  bool PaintsEveryPixel() const override { return true; }
  void OnPaint(HDC dc) override;

  win::FormResources resources_;
  HWND owner_;
  win::RadioGroup modes_;  // RadioGroup1
  win::CheckBox force_;    // CheckBox1
  win::GlyphButton help_;  // SpeedButton1: does nothing
  win::ColorButtonWindow ok_button_;
  win::ColorButtonWindow cancel_button_;
  plexi::win::UniqueFont band_font_;
};

}  // namespace plexi
