// The base of every window the program makes itself: one window procedure
// that binds the object at WM_NCCREATE and lets go at WM_NCDESTROY, class
// registration that may run any number of times, an owned HWND, and the
// notifications a parent gets about a child handed to the child's own
// object first. A standard control of the system becomes such an object
// by adoption (one subclass procedure for all of them).
#pragma once
#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "platform/win/win_handles.h"

namespace plexi::win {

// The program's icon resource (plexiscrub.rc) at `size` pixels; null in a
// program without it.
inline constexpr int kProgramIconId = 1;
HICON ProgramIcon(int size);

// The screen density a window is shown at. The design's figures are pixels
// at 96 dots per inch; a window scales each of them by its DPI / 96.
class Dpi {
 public:
  static constexpr int kDesign = 96;
  constexpr Dpi() = default;
  constexpr explicit Dpi(int dots_per_inch) : value_(dots_per_inch > 0 ? dots_per_inch : kDesign) {}

  constexpr int value() const { return value_; }
  // A design figure in this window's pixels, rounded to the nearest.
  constexpr int Scale(int design) const { return Divide(design * value_, kDesign); }
  // A rectangle given in design pixels: each edge scaled, so that
  // neighbouring rectangles stay neighbours.
  constexpr RECT Scale(const RECT& r) const {
    return {Scale(int(r.left)), Scale(int(r.top)), Scale(int(r.right)), Scale(int(r.bottom))};
  }
  // Window pixels back to design pixels.
  constexpr int Unscale(int pixels) const { return Divide(pixels * kDesign, value_); }
  friend constexpr bool operator==(const Dpi&, const Dpi&) = default;

 private:
  // Rounds half away from zero, as MulDiv does.
  static constexpr int Divide(int numerator, int denominator) {
    return numerator >= 0 ? (numerator + denominator / 2) / denominator
                          : -((-numerator + denominator / 2) / denominator);
  }
  int value_ = kDesign;
};

// The DPI of `window` (of the screen with none): GetDpiForWindow where the
// system has it (a per-monitor aware program gets the monitor's), else the
// screen's LOGPIXELSY.
Dpi DpiOf(HWND window);

// A window class of the program; every class uses Window's procedure.
struct WindowClass {
  const wchar_t* name = nullptr;
  HBRUSH background = nullptr;  // null: the window paints every pixel itself
  HICON icon = nullptr;         // null: the program's icon
  HCURSOR cursor = nullptr;  // null: the arrow
};

// Registers `window_class` unless this process already has it; false only
// when the system refuses it.
bool RegisterWindowClass(const WindowClass& window_class);

// Where and how a window is made: CreateWindowExW's arguments.
struct WindowPlacement {
  DWORD style = 0;
  DWORD ex_style = 0;
  RECT bounds{};  // in the parent's client area, or on the screen
  HWND parent = nullptr;  // the parent of a child, the owner of a popup
  int id = 0;             // a child's control id
  std::wstring text;
};

class Window {
 public:
  Window() = default;
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  HWND hwnd() const { return window_.get(); }
  // The DPI the window is laid out for: taken when it is made and changed
  // by WM_DPICHANGED.
  const Dpi& dpi() const { return dpi_; }
  // The object bound to `hwnd`, when it is one of ours.
  static Window* FromHandle(HWND hwnd);

 protected:
  // Makes the window; the object handles its messages from WM_NCCREATE on.
  bool CreateWindowOf(const WindowClass& window_class, const WindowPlacement& placement);
  // Takes over `control`, a child the system's class made: its messages
  // come to OnMessage, where Default is the control's own procedure, and
  // the parent's notifications about it to OnReflected. The object owns it
  // from now on. False (the control destroyed) when it cannot be taken.
  bool AdoptControl(HWND control);
  // Destroys the window now (derived destructors call it first, while what
  // its messages use still exists).
  void DestroyOwnWindow();

  // Every message of the window; the default is DefWindowProc.
  virtual LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
  // A window that paints every pixel itself answers true: its background
  // is then never erased, and each WM_PAINT comes to OnPaint with the
  // paint DC.
  virtual bool PaintsEveryPixel() const { return false; }
  virtual void OnPaint(HDC) {}
  // A notification the parent got about this window (WM_COMMAND,
  // WM_NOTIFY, WM_DRAWITEM, WM_CTLCOLOR*): an answer ends it there.
  virtual std::optional<LRESULT> OnReflected(UINT message, WPARAM wparam, LPARAM lparam);
  // The window moved to a screen of another density: dpi() is the new one
  // already. The default takes the size and place the system suggests;
  // windows with a layout of their own also make their fonts and pictures
  // again and lay their children out anew.
  virtual void OnDpiChanged(const Dpi& old_dpi, const RECT& suggested);
  // The system's handling: DefWindowProc, or an adopted control's own.
  LRESULT Default(UINT message, WPARAM wparam, LPARAM lparam);

 private:
  friend bool RegisterWindowClass(const WindowClass& window_class);
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK AdoptedProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                           UINT_PTR id, DWORD_PTR self);
  static void LetGoOfControl(HWND control);
  static std::optional<LRESULT> Reflect(HWND parent, UINT message, WPARAM wparam, LPARAM lparam);
  // What both procedures do after binding: reflection, density, painting.
  LRESULT Dispatch(UINT message, WPARAM wparam, LPARAM lparam);

  UniqueWindow window_;
  Dpi dpi_;
  bool adopted_ = false;
};

// A plain child window that holds other controls; its owner answers the
// messages it cares about, the system the rest.
class Panel : public Window {
 public:
  using Handler = std::function<std::optional<LRESULT>(UINT, WPARAM, LPARAM)>;
  bool Create(const WindowClass& window_class, const WindowPlacement& placement, Handler handler);

 protected:
  LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  Handler handler_;
};

}  // namespace plexi::win
