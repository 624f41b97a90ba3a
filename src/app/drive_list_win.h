// The drive list control: a report-style list view whose rows the program
// draws itself (colours by erasability and erase record, the drive's icon
// with the erase mark and a badge, column lines), with the press and
// cursor rules of the rows' icons.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <optional>
#include <vector>

#include "app/artwork_win.h"
#include "app/drive_view.h"
#include "window/gdi_win.h"
#include "window/standard_controls_win.h"
#include "window/window_win.h"

namespace plexi::app {

class DriveListView {
 public:
  // Called after the list handled a press of any mouse button, with the
  // press's x in the list.
  using PressHandler = std::function<void(int x)>;
  // Called when the user moved the selection otherwise (the arrow keys, a
  // type-ahead letter); not for the selection the program sets itself.
  using SelectHandler = std::function<void()>;

  static constexpr int kFontHeight = 13;

  DriveListView(const Artwork& art, DriveView& model);
  DriveListView(const DriveListView&) = delete;
  DriveListView& operator=(const DriveListView&) = delete;

  // Its figures (font, column widths, the icons' places) are design pixels
  // scaled by `dpi`.
  bool Create(HWND parent, PressHandler on_press, SelectHandler on_select, win::Dpi dpi);
  // Fonts, column widths and the icons' row height for another density.
  void SetDpi(win::Dpi dpi);
  HWND hwnd() const { return list_.hwnd(); }
  // The system image list; shared, never destroyed by the list.
  void SetImageList(HIMAGELIST system_icons);
  void Move(const RECT& area);

  // Rebuilds the items from the model's rows; `icons` holds each row's
  // system image index.
  void Fill(const std::vector<int>& icons, std::optional<size_t> select);
  // The texts of every row again, after rows changed in place.
  void UpdateTexts();
  std::optional<size_t> Selected() const;
  void Repaint() const;


 private:
  // The list's own messages: presses, the cursor, the focus.
  std::optional<LRESULT> ListMessage(UINT message, WPARAM wparam, LPARAM lparam);
  // What the parent hears about the list: its rows' painting, its selection.
  std::optional<LRESULT> Notified(UINT message, LPARAM lparam);
  LRESULT CustomDraw(NMLVCUSTOMDRAW& draw);
  void AddColumns();
  void MakeFonts();
  void SetRowHeight();
  void FitProductColumn();
  void SetTexts(int item, const DriveRow& row);
  bool OnSetCursor();
  void DrawRow(HDC target, int item);
  void ClearBottomLine(HDC dc, const RECT& bounds) const;
  void DrawRowText(HDC dc, int item, const RECT& bounds, const DriveRow& row) const;

  const Artwork& art_;
  DriveView& model_;
  win::StandardControl list_;  // a child of the main window
  HIMAGELIST system_icons_ = nullptr;
  PressHandler on_press_;
  SelectHandler on_select_;
  bool filling_ = false;  // the program sets the items and the selection
  win::UniqueFont font_;      // the list's own font
  win::UniqueFont row_font_;  // the rows' text
  win::OffscreenBitmap row_buffer_;
  win::Dpi dpi_;
  win::UniqueImageList row_spacer_;  // gives the rows their height off the design's density
};

}  // namespace plexi::app
