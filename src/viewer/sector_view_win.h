// The sector viewer's controls in the main window: the hex dump memo, the
// text view in its panel and the track bar in the client area, and on the
// toolbar the sector number field, the text display check box and the
// dump's header line at the band's bottom. The viewer's rules live in
// SectorViewer; this class shows what it says and hands it the controls'
// events. The main window keeps what lies around the viewer: its list,
// buttons, status bar, band and change watch.
#pragma once
#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "controls/my_track_bar_win.h"
#include "drives/drive_types.h"
#include "platform/win/win_handles.h"
#include "viewer/sector_viewer.h"
#include "window/standard_controls_win.h"
#include "window/window_helpers_win.h"
#include "window/window_win.h"

namespace plexi::win {

// Control ids, for the window's own messages and for tools that look at it.
enum SectorViewId : int {
  kHexDumpId = 401,         // Memo1
  kTextViewId = 402,        // a child of Panel3
  kTextPanelId = 403,       // Panel3
  kHeaderLineId = 404,      // StaticText3
  kSectorNumberId = 405,    // StaticText1: "current／last"
  kTextCheckBoxId = 406,    // CheckBox1
  kSectorTrackBarId = 407,  // TrackBar1
};

class SectorViewWindow : private SectorViewerView {
 public:
  // The window is 570 high while the viewer is open, and no lower.
  static constexpr int kOpenHeight = 570;

  // `repaint_band` repaints the header band (and the toolbar on it) in the
  // current colour; the text display switch needs it.
  SectorViewWindow(platform::Machine& machine, Notifier& notifier, std::function<void()> repaint_band);
  ~SectorViewWindow() override;
  SectorViewWindow(const SectorViewWindow&) = delete;
  SectorViewWindow& operator=(const SectorViewWindow&) = delete;

  // Creates the controls, hidden, as children of the main window.
  bool Create(HWND parent);

  // Opens the selected row's drive read-only and shows sector 0; the window
  // becomes 570 high and its caption names the drive. False (nothing
  // changed, the error shown) when there is no row or the drive cannot be
  // opened or sized.
  bool Open(const DriveRow* selected, ViewMode view);
  // Closes the drive and gives the window back its place, height and title.
  void Close();
  bool IsOpen() const { return viewer_.IsOpen(); }
  // The lowest height the window may take now (0: no limit of the viewer).
  int MinHeight() const { return IsOpen() ? dpi_.Scale(kOpenHeight) : 0; }
  // The main window's density changed: fonts for it (Layout places).
  void SetDpi(Dpi dpi);

  // Shows the viewer's controls while it is open, hides them when closed.
  void ShowControls(bool shown);
  // Places the controls: `area` is the client area below the band, whose
  // bottom is area.top.
  void Layout(const RECT& area);
  // Where the band writes "Text" beside the check box, while it is shown
  // (the window's pixels).
  std::optional<POINT> TextLabelPlace() const;
  // The text display check box has the focus and focus marks are shown:
  // the window marks the check box's "Text" label.
  bool CheckBoxShowsFocus() const;
  // The first x on the toolbar right of the viewer's fields and the "Text"
  // label, while they are shown (design pixels).
  std::optional<int> ToolbarEnd() const;
  // The band's colours behind the header line and the check box.
  void TakeBandColours(COLORREF header, COLORREF check_box);

  // Messages to the main window that concern the viewer: the mouse wheel.
  // An answer means handled.
  std::optional<LRESULT> ParentMessage(UINT message, WPARAM wparam, LPARAM lparam);

 private:
  // SectorViewerView
  void SetMemoText(const std::string& text) override;
  void SetTextViewText(const std::string& text) override;
  void SetSectorNumberText(const std::string& text) override;
  void SetCaption(const std::string& text) override;
  void SetHeaderText(const std::string& text) override;
  void ShowTextView(bool shown) override;
  void SetTrackBarRange(int64_t max) override;
  void SetTrackBarPosition(int64_t position) override;
  void PutMemoCaretAtStart() override;

  bool CreatePanel3();
  bool CreateControls();
  void HookControls();
  void MakeFonts();
  void PlaceWindowForViewer();
  void RestoreWindow();
  void ShowDumpOrText();
  void FitMemo();
  void Panel3Resize();
  void Memo1KeyDown(int virtual_key);
  std::optional<LRESULT> Panel3Message(UINT message, WPARAM wparam, LPARAM lparam);
  // The controls' own messages, before their procedures.
  std::optional<LRESULT> Memo1Message(UINT message, WPARAM wparam, LPARAM lparam);
  std::optional<LRESULT> CheckBoxMessage(UINT message, WPARAM wparam, LPARAM lparam);
  std::optional<LRESULT> TextViewMessage(UINT message, WPARAM wparam);

  SectorViewer viewer_;
  std::function<void()> repaint_band_;
  HWND parent_ = nullptr;
  // Children of the main window (or of Panel3).
  Panel panel3_;
  Edit text_view_;
  Edit memo_;            // Memo1
  Label header_;         // StaticText3
  Label sector_number_;  // StaticText1
  CheckBox check_box_;   // CheckBox1
  TrackBarWindow track_bar_;
  Tooltips tooltips_;  // the tip window goes with the main window
  bool shown_ = false;
  bool text_display_ = false;
  // The memo passes a wheel message on to the edit control's own handling,
  // which may hand it to the main window: that copy has been counted.
  bool memo_wheel_passed_on_ = false;
  int saved_top_ = 0;
  int saved_height_ = 0;

  UniqueFont window_font_;  // the toolbar's, for the text view and the sector number
  std::wstring memo_face_;
  int memo_pitch_ = 0;
  bool memo_designed_ = false;  // the designed face, not a stand-in
  Dpi dpi_;
  UniqueFont memo_font_;
  UniqueFont header_font_;
};

}  // namespace plexi::win
