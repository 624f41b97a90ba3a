// Small things every window of the program needs: fonts, tool tips,
// centring and UTF-8 text.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <string_view>

#include "platform/win/win_handles.h"

namespace plexi::win {

// A standard control (BUTTON, EDIT, STATIC, a common control) as a child
// of `parent`; WS_CHILD is added to `style`.
struct ChildControl {
  const wchar_t* class_name = nullptr;
  std::wstring text;
  DWORD style = 0;
  DWORD ex_style = 0;
  RECT bounds{};
  int id = 0;
  HFONT font = nullptr;  // null: the control's own
};
HWND CreateChildControl(HWND parent, const ChildControl& control);

// A LOGFONT's fields the program sets; a negative height is the characters'
// height in pixels, a positive one the cell's (the distance between lines).
struct FontChoice {
  std::wstring face;
  LONG height = 0;
  LONG weight = FW_NORMAL;
  BYTE charset = SHIFTJIS_CHARSET;
  BYTE pitch_and_family = DEFAULT_PITCH;
};
UniqueFont MakeFont(const FontChoice& wanted);

// Whether the system has a face of that name (in that character set).
bool HasFace(const std::wstring& face, BYTE charset = DEFAULT_CHARSET);

// The tool tips of one window; the tool-tip window belongs to that window
// and goes with it.
class Tooltips {
 public:
  bool Create(HWND owner);
  // The hint of a child control.
  void AddForChild(HWND child, const std::string& text);
  void SetChildText(HWND child, const std::string& text);
  // The hint of an area of the owner's client area, known by `id`.
  void AddForArea(UINT_PTR id, const RECT& area, const std::string& text);
  void MoveArea(UINT_PTR id, const RECT& area);

 private:
  void Add(TOOLINFOW& tool, const std::string& text);

  HWND owner_ = nullptr;
  HWND tooltip_ = nullptr;
};

// A window of `width` x `height` centred on `area` (a window's or the
// screen's rectangle).
RECT CentredIn(const RECT& area, int width, int height);
// The same, moved back into `work` (a monitor's work area) where it would
// stick out; when it is larger, its top-left corner stays inside, so the
// caption can still be dragged.
RECT CentredWithin(const RECT& area, const RECT& work, int width, int height);
RECT ScreenArea();
// The work area of the monitor that shows most of `window`; the primary
// monitor's for none.
RECT WorkAreaOf(HWND window);
// The outer size of a window whose client area is `client_width` x
// `client_height`, with the frame of a screen of `dpi` dots per inch (0:
// the system's).
SIZE FrameSize(int client_width, int client_height, DWORD style, DWORD ex_style, UINT dpi = 0);

// SetWindowText from UTF-8.
void SetText(HWND window, std::string_view text);
// The same for a static control, each LF turned into the CR LF at which
// static controls break lines.
void SetMultilineText(HWND control, std::string_view text);

}  // namespace plexi::win
