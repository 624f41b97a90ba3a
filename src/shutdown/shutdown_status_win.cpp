#include "shutdown/shutdown_status_win.h"

#include "controls/dialog_form_win.h"
#include "platform/win/gdi_scope.h"
#include "platform/win/utf.h"

namespace plexi {

bool ShutdownStatusText::Create(HWND parent, int x, int y, const std::wstring& face) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = Procedure;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);
  font_ = win::MakeFormFont(face, 13);
  HWND hwnd = CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_BORDER, x, y, kWidth, kHeight,
                              parent, nullptr, GetModuleHandleW(nullptr), this);
  window_.reset(hwnd);
  return hwnd != nullptr;
}

void ShutdownStatusText::Set(const std::string& text, bool visible) {
  text_ = win::Utf8ToWide(text);
  if (!hwnd()) return;
  SetWindowTextW(hwnd(), text_.c_str());
  InvalidateRect(hwnd(), nullptr, TRUE);
  ShowWindow(hwnd(), visible ? SW_SHOWNA : SW_HIDE);
}

void ShutdownStatusText::Paint() {
  auto paint = plexi::win::BeginPaintScope(hwnd());
  HDC dc = paint.dc();
  RECT client;
  GetClientRect(hwnd(), &client);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  auto font = plexi::win::SelectInto(dc, font_.get());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  DrawTextW(dc, text_.c_str(), -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

LRESULT CALLBACK ShutdownStatusText::Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE)
    SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
  auto* self = reinterpret_cast<ShutdownStatusText*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_NCDESTROY:
      // The parent went first: nothing left to own.
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      self->window_.release();
      break;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      if (self->hwnd()) {
        self->Paint();
        return 0;
      }
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace plexi
