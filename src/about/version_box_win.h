// The version form: the picture panel with the title, credit, version and
// years lines, the maker's link and the animated picture; OK and Update
// buttons; and the download's progress bar in place of the OK button.
#pragma once
#include <windows.h>

#include <memory>
#include <random>

#include "about/about_dialog.h"
#include "about/about_dialog_win.h"
#include "about/update_check.h"
#include "about/version_box.h"
#include "controls/color_progress_bar_win.h"
#include "controls/gdi_canvas_win.h"
#include "controls/raster_canvas.h"
#include "platform/win/win_handles.h"
#include "window/standard_controls_win.h"
#include "window/window_helpers_win.h"
#include "window/window_win.h"

namespace plexi::win {

class TVersionBox : public about::UpdateView, public Window {
 public:
  TVersionBox(const about::VersionBoxSetup& setup, const AboutServices& services);

  // Creates the form, shows it modally and returns when it is closed.
  void ShowModal(HWND owner);

  // UpdateView
  void ShowMessage(const std::string& text) override;
  bool AskYesNo(const std::string& caption, const std::string& text) override;
  std::optional<std::string> ChooseFolder(const std::string& caption) override;
  void DownloadStarted(uint64_t max) override;
  void DownloadProgress(uint64_t position, uint64_t max) override;
  void ProcessInput() override;
  void DownloadEnded() override;
  void OpenFolder(const std::string& folder) override;

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  bool Create(HWND owner);
  void CreateChildren();
  void AddTooltips();
  void FormShow();
  void AnimationStep();
  void OnMouseMove(POINT p);
  void OnMouseDown(POINT p);
  void OnMouseUp(POINT p);
  bool OnSetCursor();
  bool PaintsEveryPixel() const override { return true; }
  void OnPaint(HDC dc) override;
  void PaintPanel(controls::Canvas& canvas);
  // Panel coordinates of the picture and the maker's link.
  RECT PictureBounds() const;
  RECT MakerBounds() const;
  void InvalidatePanel();

  about::VersionBoxSetup setup_;
  AboutServices services_;
  about::UpdateChecker checker_;
  std::minstd_rand random_;
  about::PictureAnimation animation_;
  controls::RasterCanvas strip_;
  controls::Image picture_;
  int maker_width_ = 0;

  Button ok_;
  Button update_;
  Tooltips tooltips_;
  plexi::win::UniqueFont font_;
  bool ResizeCanvas();
  GdiCanvas canvas_;
  WindowlessProgressBar progress_;
  bool downloading_ = false;
};

}  // namespace plexi::win
