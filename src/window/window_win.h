// The base of every window the program makes itself: one window procedure
// that binds the object at WM_NCCREATE and lets go at WM_NCDESTROY, class
// registration that may run any number of times, an owned HWND, and the
// notifications a parent gets about a child handed to the child's own
// object first.
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
  // The object bound to `hwnd`, when it is one of ours.
  static Window* FromHandle(HWND hwnd);

 protected:
  // Makes the window; the object handles its messages from WM_NCCREATE on.
  bool CreateWindowOf(const WindowClass& window_class, const WindowPlacement& placement);
  // Destroys the window now (derived destructors call it first, while what
  // its messages use still exists).
  void DestroyOwnWindow() { window_.reset(); }

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
  LRESULT Default(UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcW(hwnd(), message, wparam, lparam);
  }

 private:
  friend bool RegisterWindowClass(const WindowClass& window_class);
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static std::optional<LRESULT> Reflect(UINT message, WPARAM wparam, LPARAM lparam);

  UniqueWindow window_;
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
