// The window side shared by the windowed owner-drawn controls: a child
// window that feeds mouse, key, focus and size messages to the portable
// control and shows its picture through a GDI canvas kept between paints
// (no background erase, one BitBlt per paint).
#pragma once
#include <windows.h>

#include <string>

#include "controls/control_host.h"
#include "controls/gdi_canvas_win.h"
#include "platform/win/gdi_scope.h"
#include "platform/win/win_handles.h"
#include "window/form_win.h"
#include "window/window_win.h"

namespace plexi::win {

struct ChildPlacement {
  HWND parent = nullptr;
  int id = 0;
  RECT bounds{};
  bool visible = true;
};

template <class Control>
class OwnerDrawnWindow : public controls::ControlHost, public Window {
 public:
  OwnerDrawnWindow() { control_.SetHost(this); }

  Control& control() { return control_; }

  void SetEnabled(bool enabled) {
    if (hwnd()) EnableWindow(hwnd(), enabled ? TRUE : FALSE);
    control_.SetEnabled(enabled);
  }

  // ControlHost
  void Invalidate() override {
    if (hwnd()) InvalidateRect(hwnd(), nullptr, FALSE);
  }
  void PaintNow() override {
    if (!hwnd() || !IsWindowVisible(hwnd())) return;
    auto dc = plexi::win::GetWindowDc(hwnd());
    PaintOn(dc.get());
  }
  void TakeFocus() override {
    if (hwnd() && GetFocus() != hwnd()) SetFocus(hwnd());
  }
  void SetModalResult(int result) override {
    if (hwnd()) SetFormModalResult(FormOf(hwnd()), result);
  }

 protected:
  bool CreateChild(const wchar_t* class_name, const ChildPlacement& place) {
    WindowPlacement placement;
    placement.style = WS_CHILD | WS_TABSTOP | (place.visible ? WS_VISIBLE : 0);
    placement.bounds = place.bounds;
    placement.parent = place.parent;
    placement.id = place.id;
    if (!CreateWindowOf({class_name}, placement)) return false;
    const RECT& r = place.bounds;
    TakeSize(r.right - r.left, r.bottom - r.top);
    return true;
  }

  // The control works in design pixels; the window has the screen's.
  void TakeSize(int width, int height) {
    pixels_ = {width, height};
    control_.SetSize(dpi().Unscale(width), dpi().Unscale(height));
  }

  // Messages every owner-drawn control handles alike.
  LRESULT HandleCommon(UINT msg, WPARAM wp, LPARAM lp) {
    HWND hwnd = this->hwnd();
    const int x = dpi().Unscale(static_cast<short>(LOWORD(lp)));
    const int y = dpi().Unscale(static_cast<short>(HIWORD(lp)));
    switch (msg) {
      case WM_SIZE:
        TakeSize(LOWORD(lp), HIWORD(lp));
        return 0;
      case WM_SETFOCUS:
        control_.DoEnter();
        return 0;
      case WM_KILLFOCUS:
        control_.DoExit();
        return 0;
      case WM_ENABLE:
        control_.SetEnabled(wp != FALSE);
        return 0;
      case WM_LBUTTONDOWN:
      case WM_RBUTTONDOWN:
      case WM_MBUTTONDOWN: {
        const controls::MouseButton button = ButtonOf(msg);
        if (button == controls::MouseButton::mbLeft) SetCapture(hwnd);
        if constexpr (requires { control_.MouseDown(button, true, x, y); })
          control_.MouseDown(button, (wp & MK_SHIFT) != 0, x, y);
        else
          control_.MouseDown(button, x, y);
        return 0;
      }
      case WM_MOUSEMOVE:
        control_.MouseMove((wp & MK_LBUTTON) != 0, x, y);
        return 0;
      case WM_LBUTTONUP:
      case WM_RBUTTONUP:
      case WM_MBUTTONUP: {
        const controls::MouseButton button = ButtonOf(msg);
        if (button == controls::MouseButton::mbLeft && GetCapture() == hwnd) ReleaseCapture();
        control_.MouseUp(button, x, y);
        return 0;
      }
      case WM_KEYDOWN:
        control_.KeyDown(static_cast<int>(wp));
        return 0;
      case WM_KEYUP:
        control_.KeyUp(static_cast<int>(wp));
        return 0;
      default:
        return Default(msg, wp, lp);
    }
  }

  bool PaintsEveryPixel() const override { return true; }
  void OnPaint(HDC dc) override { PaintOn(dc); }

  void PaintOn(HDC dc) {
    if (!canvas_.Resize(pixels_, {control_.Width(), control_.Height()})) return;
    control_.Paint(canvas_);
    canvas_.BlitTo(dc, 0, 0);
  }

  Control control_;

 private:
  static controls::MouseButton ButtonOf(UINT msg) {
    switch (msg) {
      case WM_RBUTTONDOWN:
      case WM_RBUTTONUP: return controls::MouseButton::mbRight;
      case WM_MBUTTONDOWN:
      case WM_MBUTTONUP: return controls::MouseButton::mbMiddle;
      default: return controls::MouseButton::mbLeft;
    }
  }

  GdiCanvas canvas_;
  SIZE pixels_{};
};

}  // namespace plexi::win
