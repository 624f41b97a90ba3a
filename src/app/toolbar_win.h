// The main window's toolbar: flat 20 x 20 buttons drawn by the program over
// the header band (each glyph on a square of the button face), with the hand cursor, a tool tip for the short hint and
// the long hint sent to the status bar while the mouse is over a button.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "app/artwork_win.h"
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
  // Paints what lies under a button: the rectangle is in the parent's client
  // coordinates, the DC's origin at the rectangle's top-left.
  using BackgroundPainter = std::function<void(HDC dc, const RECT& in_parent)>;

  static constexpr int kSize = 20;
  static constexpr int kTop = 2;

  FlatToolbar(const Artwork& art, HintSink hint_sink);
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
  // After BN_CLICKED: a toggle button changes state.
  void Clicked(int id);
  // WM_DRAWITEM; false when the item is not one of ours.
  bool DrawItem(const DRAWITEMSTRUCT& item, const BackgroundPainter& background);
  void RepaintAll() const;

  // The parent's WM_MOUSEMOVE (client coordinates) and WM_MOUSELEAVE. A
  // disabled button gets no mouse messages: the mouse over it moves in the
  // parent, which hands the moves here so that its hint shows all the same.
  void ParentMouseMove(POINT point);
  void ParentMouseLeave();

 private:
  struct Entry {
    ToolButtonSpec desc;
    HWND window = nullptr;  // a child of the parent, destroyed with it
    bool down = false;
    bool hot = false;
  };
  static LRESULT CALLBACK ButtonProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                     UINT_PTR id, DWORD_PTR self);
  Entry* Find(int id);
  const Entry* Find(int id) const;
  void AddTip(const Entry& entry);
  void DrawGlyph(HDC dc, const Entry& entry, bool enabled, int offset) const;
  // The disabled button at a point of the parent, if any.
  Entry* DisabledButtonAt(POINT point);
  void DropParentHover();

  const Artwork& art_;
  HintSink hint_sink_;
  win::Tooltips tooltips_;  // the tip window goes with the parent window
  std::vector<Entry> entries_;
  HWND parent_ = nullptr;
  win::Dpi dpi_;
  int parent_hover_ = 0;  // the disabled button the parent saw the mouse over (0: none)
};

}  // namespace plexi::app
