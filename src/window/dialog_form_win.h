// A form for the program's dialogs: a top-level window of its own class
// holding standard and owner-drawn child controls, shown with ShowModal.
// It answers the close box and Escape with cancel, and the system's
// dialog-manager questions so that Enter never reaches a disabled default
// button.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

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
  // A font of the form's face whose characters are `height` design pixels high.
  UniqueFont FormFont(int height, bool bold = false) const;
  // The system moved the form to a screen of another density: every child
  // keeps its design place, and the form's own font is made again.
  void OnDpiChanged(const Dpi& old_dpi, const RECT& suggested) override;
  // Derived forms call it first in their destructor, while the fonts and
  // controls the children use still exist.
  void DestroyForm() { DestroyOwnWindow(); }
  // A child control with the form's font; `text` in UTF-8, the place in
  // design pixels.
  HWND AddChild(const wchar_t* class_name, const std::string& text, DWORD style, int x, int y,
                int width, int height, int id = 0, HFONT font = nullptr, DWORD ex_style = 0);
  HWND Child(int id) const { return GetDlgItem(hwnd(), id); }
  // A tool tip with the short hint of a child.
  void AddHint(HWND child, const std::string& hint);
  // A flat owner-drawn button showing `image` of `images`, with its hint;
  // the form draws it. It is a tab stop: Space or Enter presses it.
  HWND AddGlyphButton(const RECT& bounds, int id, HIMAGELIST images, int image,
                      const std::string& hint);
  // Everything the form does not handle itself.
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
  // The close box, Alt+F4 and Escape: the cancel result by default.
  virtual void OnCancel();

  UniqueFont font_;  // the form's font, given to every child
  std::wstring face_;     // the face of FormFont
  int font_height_ = 12;  // font_'s, in design pixels

 private:
  struct GlyphButton {
    int id;
    HIMAGELIST images;
    int image;
  };
  bool DrawGlyphButton(const DRAWITEMSTRUCT& item) const;

  std::vector<GlyphButton> glyph_buttons_;
  Tooltips tooltips_;
  bool has_tooltips_ = false;
};

}  // namespace plexi::win
