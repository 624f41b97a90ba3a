#include "shutdown/shutdown_status_win.h"

#include "window/dialog_form_win.h"
#include "window/ui_font_win.h"
#include "platform/win/gdi_scope.h"
#include "platform/win/utf.h"

namespace plexi {

bool ShutdownStatusText::Create(HWND parent, int x, int y, const std::wstring& face) {
  face_ = face;
  win::WindowPlacement placement;
  placement.style = WS_CHILD | WS_BORDER;
  placement.parent = parent;
  if (!CreateWindowOf({kClassName}, placement)) return false;
  MoveTo(x, y);
  return true;
}

void ShutdownStatusText::Set(const std::string& text, bool visible) {
  text_ = win::Utf8ToWide(text);
  if (!hwnd()) return;
  SetWindowTextW(hwnd(), text_.c_str());
  InvalidateRect(hwnd(), nullptr, TRUE);
  ShowWindow(hwnd(), visible ? SW_SHOWNA : SW_HIDE);
}

void ShutdownStatusText::MoveTo(int x, int y) {
  if (!hwnd()) return;
  if (!font_ || font_dpi_ != dpi()) {
    // One line in the field, whatever face stands in.
    font_ = win::FontForBox(face_, dpi().Scale(13), 1, dpi().Scale(kHeight) - 2);
    font_dpi_ = dpi();
  }
  const RECT place = dpi().Scale(RECT{x, y, x + kWidth, y + kHeight});
  SetWindowPos(hwnd(), nullptr, place.left, place.top, place.right - place.left,
               place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void ShutdownStatusText::OnPaint(HDC dc) {
  RECT client;
  GetClientRect(hwnd(), &client);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  auto font = plexi::win::SelectInto(dc, font_.get());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  DrawTextW(dc, text_.c_str(), -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

LRESULT ShutdownStatusText::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    default:
      return Default(msg, wp, lp);
  }
}

}  // namespace plexi
