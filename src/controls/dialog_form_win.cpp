#include "controls/dialog_form_win.h"

#include <commctrl.h>

#include "controls/color_button.h"
#include "controls/form_win.h"
#include "platform/win/gdi_scope.h"
#include "platform/win/utf.h"

namespace plexi::win {

plexi::win::UniqueFont MakeFormFont(const std::wstring& face, int height, bool bold,
                                         bool line_height) {
  LOGFONTW font{};
  // A positive height is the cell's: the designed face has no internal
  // leading at these sizes, so both are the same for it, while a stand-in
  // face with taller lines keeps the designed line spacing that way.
  font.lfHeight = line_height ? height : -height;
  font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  font.lfCharSet = SHIFTJIS_CHARSET;
  lstrcpynW(font.lfFaceName, face.c_str(), LF_FACESIZE);
  return plexi::win::UniqueFont(CreateFontIndirectW(&font));
}

void DialogForm::SetCaption(const std::string& text) {
  if (hwnd()) SetWindowTextW(hwnd(), plexi::win::Utf8ToWide(text).c_str());
}

bool DialogForm::CreateForm(const FormSpec& desc) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = Procedure;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = desc.class_name;
  RegisterClassExW(&wc);  // already registered by an earlier form: fine

  RECT frame{0, 0, desc.client_width, desc.client_height};
  AdjustWindowRectEx(&frame, desc.style, FALSE, desc.ex_style);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (desc.centre_on) GetWindowRect(desc.centre_on, &area);
  const int x = area.left + (area.right - area.left - width) / 2;
  const int y = area.top + (area.bottom - area.top - height) / 2;
  HWND hwnd = CreateWindowExW(desc.ex_style, desc.class_name,
                              plexi::win::Utf8ToWide(desc.caption).c_str(), desc.style, x, y, width,
                              height, desc.owner, nullptr, GetModuleHandleW(nullptr), this);
  return hwnd != nullptr;
}

HWND DialogForm::AddChild(const wchar_t* class_name, const std::string& text, DWORD style, int x,
                          int y, int width, int height, int id, HFONT font, DWORD ex_style) {
  HWND child = CreateWindowExW(ex_style, class_name, plexi::win::Utf8ToWide(text).c_str(),
                               WS_CHILD | style, x, y, width, height, hwnd(),
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                               GetModuleHandleW(nullptr), nullptr);
  if (child) {
    HFONT chosen = font ? font : font_.get();
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(chosen), FALSE);
  }
  return child;
}

void DialogForm::AddHint(HWND child, const std::string& hint) {
  if (!tooltip_) {
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd(),
                               nullptr, GetModuleHandleW(nullptr), nullptr);
  }
  if (!tooltip_ || !child) return;
  std::wstring text = plexi::win::Utf8ToWide(hint);
  TOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = hwnd();
  tool.uId = reinterpret_cast<UINT_PTR>(child);
  tool.lpszText = text.data();
  SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void DialogForm::OnCancel() { SetFormModalResult(hwnd(), controls::msCancel); }

LRESULT DialogForm::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CLOSE:
      OnCancel();
      return 0;
    case WM_COMMAND:
      if (LOWORD(wp) == IDCANCEL) OnCancel();
      return 0;
    default:
      return DefWindowProcW(hwnd(), msg, wp, lp);
  }
}

LRESULT CALLBACK DialogForm::Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<DialogForm*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->window_.reset(hwnd);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<DialogForm*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->window_.release();
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
  return self->OnMessage(msg, wp, lp);
}

void DrawFlatGlyphButton(const DRAWITEMSTRUCT& item, HIMAGELIST images, int image) {
  const RECT& r = item.rcItem;
  FillRect(item.hDC, &r, GetSysColorBrush(COLOR_BTNFACE));
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  const bool enabled = (item.itemState & ODS_DISABLED) == 0;
  if (pressed) {
    RECT edge = r;
    DrawEdge(item.hDC, &edge, BDR_SUNKENOUTER, BF_RECT);
  }
  const int shift = pressed ? 1 : 0;
  const RECT glyph{(r.left + r.right - 16) / 2 + shift, (r.top + r.bottom - 16) / 2 + shift,
                   (r.left + r.right + 16) / 2 + shift, (r.top + r.bottom + 16) / 2 + shift};
  if (images && image >= 0) {
    ImageList_DrawEx(images, image, item.hDC, glyph.left, glyph.top, 16, 16, CLR_NONE, CLR_NONE,
                     enabled ? ILD_TRANSPARENT : ILD_TRANSPARENT | ILD_BLEND50);
  } else {
    DrawPowerGlyph(item.hDC, glyph, enabled);
  }
}

void SetMultilineText(HWND control, const std::string& text) {
  std::string with_cr;
  for (char c : text) {
    if (c == '\n') with_cr += '\r';
    with_cr += c;
  }
  SetWindowTextW(control, plexi::win::Utf8ToWide(with_cr).c_str());
}

void DrawPowerGlyph(HDC dc, const RECT& area, bool enabled) {
  const COLORREF colour = enabled ? RGB(0, 102, 204) : GetSysColor(COLOR_GRAYTEXT);
  plexi::win::UniquePen pen(CreatePen(PS_SOLID, 2, colour));
  auto use_pen = plexi::win::SelectInto(dc, pen.get());
  auto use_brush = plexi::win::SelectInto(dc, GetStockObject(NULL_BRUSH));
  const int cx = (area.left + area.right) / 2, cy = (area.top + area.bottom) / 2 + 1;
  // A ring open at the top with a bar through the gap.
  Ellipse(dc, cx - 6, cy - 6, cx + 7, cy + 7);
  const RECT gap{cx - 3, cy - 7, cx + 4, cy - 2};
  FillRect(dc, &gap, GetSysColorBrush(COLOR_BTNFACE));
  MoveToEx(dc, cx, cy - 8, nullptr);
  LineTo(dc, cx, cy + 1);
}

}  // namespace plexi::win
