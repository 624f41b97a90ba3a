// A form for the program's dialogs: a top-level window of its own class
// holding standard and owner-drawn child controls, shown with ShowModal.
// It answers the close box and Escape with cancel, and the system's
// dialog-manager questions so that Enter never reaches a disabled default
// button. Its children are made in design pixels (Place) and take the
// form's font unless given their own (the form answers WM_GETFONT).
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "platform/win/win_handles.h"
#include "window/window_helpers_win.h"
#include "window/window_win.h"

namespace plexi::win {

// What the dialogs take from the main window.
struct FormResources {
  HWND owner = nullptr;          // the main window
  std::wstring face;             // the UI face, or the stand-in the system has
  HIMAGELIST images = nullptr;   // the toolbar's 16 x 16 images (image 0: help)
  std::string help_path;         // the help page
  int colour_depth = 32;         // bits per pixel of the screen at start
};

// A font whose characters are `height` design pixels high at `dpi`.
UniqueFont MakeFormFont(const std::wstring& face, int height, Dpi dpi, bool bold = false);

struct FormSpec {
  const wchar_t* class_name = nullptr;
  std::string caption;
  int client_width = 0;
  int client_height = 0;
  // No WS_CLIPCHILDREN: group boxes leave their inside to the form.
  DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  DWORD ex_style = WS_EX_DLGMODALFRAME;
  HWND owner = nullptr;
  HWND centre_on = nullptr;  // null: the screen
};

class DialogForm : public Window {
 public:
  void SetCaption(const std::string& text);

 protected:
  // The client size and every place the form is given are design pixels;
  // the form scales them to its DPI.
  bool CreateForm(const FormSpec& desc);
  // A design figure in the form's pixels.
  int Px(int design) const { return dpi().Scale(design); }
  RECT Px(const RECT& design) const { return dpi().Scale(design); }
  // A child's place given in design pixels, in the form's.
  RECT Place(int x, int y, int width, int height) const { return Px(RECT{x, y, x + width, y + height}); }
  // A font of the form's face whose characters are `height` design pixels high.
  UniqueFont FormFont(int height, bool bold = false) const;
  // The system moved the form to a screen of another density: every child
  // keeps its design place, and the form's own font is made again.
  void OnDpiChanged(const Dpi& old_dpi, const RECT& suggested) override;
  // Derived forms call it first in their destructor, while the fonts and
  // controls the children use still exist.
  void DestroyForm() { DestroyOwnWindow(); }
  // A tool tip with the short hint of a child.
  void AddHint(HWND child, const std::string& hint);
  // Everything the form does not handle itself.
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
  // The close box, Alt+F4 and Escape: the cancel result by default.
  virtual void OnCancel();

  UniqueFont font_;  // the form's font, given to every child
  std::wstring face_;     // the face of FormFont
  int font_height_ = 12;  // font_'s, in design pixels

 private:
  Tooltips tooltips_;
  bool has_tooltips_ = false;
};

}  // namespace plexi::win
