#include "window/dialog_form_win.h"

#include "platform/win/utf.h"
#include "window/glyph_button_win.h"
#include "window/form_win.h"

namespace plexi::win {

UniqueFont MakeFormFont(const std::wstring& face, int height, bool bold, bool line_height) {
  // A positive height is the cell's: the designed face has no internal
  // leading at these sizes, so both are the same for it, while a stand-in
  // face with taller lines keeps the designed line spacing that way.
  return MakeFont({face, line_height ? height : -height, bold ? FW_BOLD : FW_NORMAL});
}

void DialogForm::SetCaption(const std::string& text) {
  if (hwnd()) SetText(hwnd(), text);
}

bool DialogForm::CreateForm(const FormSpec& desc) {
  const SIZE frame = FrameSize(desc.client_width, desc.client_height, desc.style, desc.ex_style);
  RECT area = ScreenArea();
  if (desc.centre_on) GetWindowRect(desc.centre_on, &area);
  WindowPlacement placement;
  placement.style = desc.style;
  placement.ex_style = desc.ex_style;
  placement.bounds = CentredIn(area, frame.cx, frame.cy);
  placement.parent = desc.owner;
  placement.text = Utf8ToWide(desc.caption);
  return CreateWindowOf({desc.class_name, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)}, placement);
}

HWND DialogForm::AddChild(const wchar_t* class_name, const std::string& text, DWORD style, int x,
                          int y, int width, int height, int id, HFONT font, DWORD ex_style) {
  return CreateChildControl(hwnd(), {class_name, Utf8ToWide(text), style, ex_style,
                                     {x, y, x + width, y + height}, id, font ? font : font_.get()});
}

void DialogForm::AddHint(HWND child, const std::string& hint) {
  if (!has_tooltips_) has_tooltips_ = tooltips_.Create(hwnd());
  tooltips_.AddForChild(child, hint);
}

HWND DialogForm::AddGlyphButton(const RECT& bounds, int id, HIMAGELIST images, int image,
                                const std::string& hint) {
  HWND button = AddChild(L"BUTTON", "", WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, bounds.left, bounds.top,
                         bounds.right - bounds.left, bounds.bottom - bounds.top, id);
  glyph_buttons_.push_back({id, images, image});
  AddHint(button, hint);
  return button;
}

bool DialogForm::DrawGlyphButton(const DRAWITEMSTRUCT& item) const {
  for (const GlyphButton& glyph : glyph_buttons_) {
    if (static_cast<UINT>(glyph.id) != item.CtlID) continue;
    DrawFlatGlyphButton(item, glyph.images, glyph.image);
    return true;
  }
  return false;
}

void DialogForm::OnCancel() { SetFormModalResult(hwnd(), IDCANCEL); }

LRESULT DialogForm::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CLOSE:
      OnCancel();
      return 0;
    case WM_COMMAND:
      if (LOWORD(wp) == IDCANCEL) OnCancel();
      return 0;
    case WM_DRAWITEM:
      if (DrawGlyphButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp))) return TRUE;
      return Default(msg, wp, lp);
    default:
      return Default(msg, wp, lp);
  }
}

}  // namespace plexi::win
