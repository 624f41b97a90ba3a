// The main window's toolbar: flat 20 x 20 buttons drawn by the program over
// the header band (each glyph on a square of the button face), with the
// hand cursor, a tool tip for the short hint and the long hint sent to the
// status bar while the mouse is over a button. They are tab stops: Space
// or Enter presses the focused one.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/artwork_win.h"
#include "window/standard_controls_win.h"
#include "window/window_helpers_win.h"
#include "window/window_win.h"

namespace plexi::app {

// Control ids: 100 + the number of the design's SpeedButton.
enum ToolId : int {
  kSectorDumpButton = 101,  // SpeedButton1, a toggle
  kEraseButton = 102,       // SpeedButton2
  kRefreshButton = 103,     // SpeedButton3
  kHelpButton = 104,        // SpeedButton4
  kAboutButton = 105,       // SpeedButton5
  kErrorLogButton = 106,    // SpeedButton6
  kViewToggleButton = 107,  // SpeedButton7
};

struct ToolButtonSpec {
  int id;
  int x;
  std::string hint;  // "short|long"
  int glyph;         // toolbar image; -1: the view toggle's own glyph
  bool toggle;
  bool enabled;
  bool red_face;     // the glyph's square is red (the erase button), else the button face
};

class FlatToolbar {
 public:
  using HintSink = std::function<void(const std::string& long_hint)>;
  using ClickHandler = std::function<void(int id)>;
  // Paints what lies under a button: the rectangle is in the parent's client
  // coordinates, the DC's origin at the rectangle's top-left.
  using BackgroundPainter = std::function<void(HDC dc, const RECT& in_parent)>;

  static constexpr int kSize = 20;
  static constexpr int kTop = 2;

  FlatToolbar(const Artwork& art, HintSink hint_sink, ClickHandler on_click);
  FlatToolbar(const FlatToolbar&) = delete;
  FlatToolbar& operator=(const FlatToolbar&) = delete;

  // The buttons' places are design pixels, scaled by `dpi`.
  bool Create(HWND parent, const std::vector<ToolButtonSpec>& buttons, win::Dpi dpi);
  // Places the buttons again for another density.
  void SetDpi(win::Dpi dpi);

  HWND Button(int id) const;
  void SetEnabled(int id, bool enabled);
  bool Down(int id) const;
  void SetHint(int id, const std::string& hint);
  // A toggle button changes state (on its click, before the click handler
  // runs, or when the click's action did not happen).
  void Clicked(int id);
  // Paints what lies under the buttons.
  void SetBackground(BackgroundPainter background) { background_ = std::move(background); }
  void RepaintAll() const;

  // The parent's WM_MOUSEMOVE (client coordinates) and WM_MOUSELEAVE. A
  // disabled button gets no mouse messages: the mouse over it moves in the
  // parent, which hands the moves here so that its hint shows all the same.
  void ParentMouseMove(POINT point);
  void ParentMouseLeave();

 private:
  struct Entry {
    ToolButtonSpec desc;
    win::StandardControl button;  // an owner-drawn BUTTON, a child of the parent
    bool down = false;
    bool hot = false;
  };
  bool AddButton(const ToolButtonSpec& desc);
  Entry* Find(int id);
  const Entry* Find(int id) const;
  void AddTip(const Entry& entry);
  std::optional<LRESULT> ButtonMessage(Entry& entry, UINT message);
  std::optional<LRESULT> ButtonNotification(Entry& entry, UINT message, WPARAM wparam, LPARAM lparam);
  void DrawItem(const Entry& entry, const DRAWITEMSTRUCT& item) const;
  void DrawGlyph(HDC dc, const Entry& entry, bool enabled, int offset) const;
  // The disabled button at a point of the parent, if any.
  Entry* DisabledButtonAt(POINT point);
  void DropParentHover();

  const Artwork& art_;
  HintSink hint_sink_;
  ClickHandler on_click_;
  BackgroundPainter background_;
  win::Tooltips tooltips_;  // the tip window goes with the parent window
  std::vector<std::unique_ptr<Entry>> entries_;  // the buttons' hooks keep their entry
  HWND parent_ = nullptr;
  win::Dpi dpi_;
  int parent_hover_ = 0;  // the disabled button the parent saw the mouse over (0: none)
};

}  // namespace plexi::app
