// The progress dialog of an erase: which drive, the writing and verifying
// bars, the end-of-erase action, the pass and the remaining time, a cancel
// button and the shutdown-settings button. Showing it starts the worker;
// it goes away only once the worker has ended, and its message loop runs
// the worker's GUI steps all the while.
#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "controls/color_button_win.h"
#include "controls/color_progress_bar_win.h"
#include "window/dialog_form_win.h"
#include "window/glyph_button_win.h"
#include "window/standard_controls_win.h"
#include "erase/erase_dialogs.h"
#include "erase/gui_dispatcher_win.h"
#include "erase/progress_bar_looks.h"

namespace plexi {

class TConditionsOnDlg : public win::DialogForm, public ProgressView {
 public:
  static constexpr wchar_t kClassName[] = L"TConditionsOnDlg";
  enum ControlId : int {
    kDriveLine = 201,
    kShutdownLine = 202,
    kPassLine = 203,
    kEstimateLine = 204,    // Label1
    kCancelButton = 205,    // ColorButton1
    kSettingsButton = 206,  // SpeedButton1
  };
  // The settings button's picture in the main window's image list.
  static constexpr int kPowerImage = 7;

  struct Hooks {
    std::atomic<bool>* cancel = nullptr;
    PauseGate* pause = nullptr;
    // SelectShutdownMode with an empty caption over `owner`: the chosen
    // mode's name, or empty.
    std::function<std::string(HWND owner)> select_shutdown_mode;
  };

  TConditionsOnDlg(const win::FormResources& resources, Hooks hooks);
  ~TConditionsOnDlg() override;

  // Shows the dialog, runs the worker under it and returns, once it has
  // ended, how it ended (a failure when it never ran).
  WorkerReport Run(const ProgressRequest& request, const WorkerFactory& make_worker);

  void SetDriveLine(const std::string& text);
  void SetShutdownLine(const std::string& text);
  void SetPassLine(const std::string& text);

  // ProgressView: what the worker's GUI steps change.
  void SetWriteMaximum(uint64_t max) override;
  void SetWritePosition(uint64_t position) override;
  void SetVerifyPosition(uint64_t position) override;
  void SetPassText(const std::string& text) override { SetPassLine(text); }
  void SetEstimateText(const std::string& text) override;
  void SetCaption(const std::string& text) override { DialogForm::SetCaption(text); }

 private:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
  void OnCancel() override { ColorButton1Click(); }
  bool Create(const ProgressRequest& request);
  void FormShow();
  WorkerReport ModalLoop();
  void ColorButton1Click();
  void SpeedButton1Click();
  bool PaintsEveryPixel() const override { return true; }
  void OnPaint(HDC dc) override;
  void CreateLines();

  win::FormResources resources_;
  Hooks hooks_;
  const WorkerFactory* make_worker_ = nullptr;
  win::WindowlessProgressBar bar1_;  // ColorProgressBar1: writing
  win::WindowlessProgressBar bar2_;  // ColorProgressBar2: verifying
  win::ColorButtonWindow button1_;   // ColorButton1: cancel
  win::GlyphButton settings_;        // SpeedButton1
  win::Label drive_line_;
  win::Label shutdown_text_;
  win::Label pass_line_;
  win::Label estimate_line_;         // Label1
  ShutdownLine shutdown_line_;
  plexi::win::UniqueBrush static_brush_;   // StaticBrush
  std::unique_ptr<WindowDispatcher> dispatcher_;
  WorkerRun run_;  // after the dispatcher: ends first
};

}  // namespace plexi
