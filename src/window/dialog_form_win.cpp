#include "window/dialog_form_win.h"

#include "platform/win/utf.h"
#include "window/form_win.h"

namespace plexi::win {

UniqueFont MakeFormFont(const std::wstring& face, int height, Dpi dpi, bool bold) {
  return MakeFont({face, -dpi.Scale(height), bold ? FW_BOLD : FW_NORMAL});
}

UniqueFont DialogForm::FormFont(int height, bool bold) const {
  return MakeFormFont(face_, height, dpi(), bold);
}

void DialogForm::SetCaption(const std::string& text) {
  if (hwnd()) SetText(hwnd(), text);
}

bool DialogForm::CreateForm(const FormSpec& desc) {
  // The form opens on its owner's screen, at that screen's density.
  const Dpi dpi = DpiOf(desc.owner);
  const SIZE frame = FrameSize(dpi.Scale(desc.client_width), dpi.Scale(desc.client_height),
                               desc.style, desc.ex_style, UINT(dpi.value()));
  const RECT work = WorkAreaOf(desc.centre_on ? desc.centre_on : desc.owner);
  RECT area = work;
  if (desc.centre_on) GetWindowRect(desc.centre_on, &area);
  WindowPlacement placement;
  placement.style = desc.style;
  placement.ex_style = desc.ex_style;
  placement.bounds = CentredWithin(area, work, frame.cx, frame.cy);
  placement.parent = desc.owner;
  placement.text = Utf8ToWide(desc.caption);
  if (!CreateWindowOf({desc.class_name, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)}, placement))
    return false;
  if (!font_) font_ = FormFont(font_height_);
  return true;
}

void DialogForm::OnDpiChanged(const Dpi& old_dpi, const RECT& suggested) {
  Window::OnDpiChanged(old_dpi, suggested);
  font_ = FormFont(font_height_);
  for (HWND child = GetWindow(hwnd(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    RECT place;
    GetWindowRect(child, &place);
    MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&place), 2);
    const RECT design{old_dpi.Unscale(place.left), old_dpi.Unscale(place.top),
                      old_dpi.Unscale(place.right), old_dpi.Unscale(place.bottom)};
    const RECT now = Px(design);
    MoveWindow(child, now.left, now.top, now.right - now.left, now.bottom - now.top, FALSE);
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  }
  InvalidateRect(hwnd(), nullptr, TRUE);
}

void DialogForm::AddHint(HWND child, const std::string& hint) {
  if (!has_tooltips_) has_tooltips_ = tooltips_.Create(hwnd());
  tooltips_.AddForChild(child, hint);
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
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_.get());
    default:
      return Default(msg, wp, lp);
  }
}

}  // namespace plexi::win
