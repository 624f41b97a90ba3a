#include "window/window_helpers_win.h"

#include <algorithm>

#include <commctrl.h>

#include "platform/win/gdi_scope.h"
#include "platform/win/utf.h"

namespace plexi::win {
namespace {

int CALLBACK NoteFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;  // one match is enough
}

}  // namespace

HWND CreateChildControl(HWND parent, const ChildControl& control) {
  const RECT& r = control.bounds;
  HWND child = CreateWindowExW(control.ex_style, control.class_name, control.text.c_str(),
                               WS_CHILD | control.style, r.left, r.top, r.right - r.left,
                               r.bottom - r.top, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
                               GetModuleHandleW(nullptr), nullptr);
  if (child && control.font)
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(control.font), FALSE);
  return child;
}

UniqueFont MakeFont(const FontChoice& wanted) {
  LOGFONTW font{};
  font.lfHeight = wanted.height;
  font.lfWeight = wanted.weight;
  font.lfCharSet = wanted.charset;
  font.lfPitchAndFamily = wanted.pitch_and_family;
  lstrcpynW(font.lfFaceName, wanted.face.c_str(), LF_FACESIZE);
  return UniqueFont(CreateFontIndirectW(&font));
}

bool HasFace(const std::wstring& face, BYTE charset) {
  auto screen = GetWindowDc(nullptr);
  LOGFONTW query{};
  query.lfCharSet = charset;
  lstrcpynW(query.lfFaceName, face.c_str(), LF_FACESIZE);
  bool found = false;
  EnumFontFamiliesExW(screen.get(), &query, NoteFace, reinterpret_cast<LPARAM>(&found), 0);
  return found;
}

bool Tooltips::Create(HWND owner) {
  INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&classes);
  owner_ = owner;
  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
  return tooltip_ != nullptr;
}

void Tooltips::Add(TOOLINFOW& tool, const std::string& text) {
  if (!tooltip_) return;
  std::wstring wide = Utf8ToWide(text);
  tool.cbSize = sizeof(tool);
  tool.hwnd = owner_;
  tool.lpszText = wide.data();  // the tool tip keeps its own copy
  SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void Tooltips::AddForChild(HWND child, const std::string& text) {
  if (!child) return;
  TOOLINFOW tool{};
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.uId = reinterpret_cast<UINT_PTR>(child);
  Add(tool, text);
}

void Tooltips::SetChildText(HWND child, const std::string& text) {
  if (!tooltip_ || !child) return;
  std::wstring wide = Utf8ToWide(text);
  TOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.hwnd = owner_;
  tool.uId = reinterpret_cast<UINT_PTR>(child);
  tool.lpszText = wide.data();
  SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void Tooltips::AddForArea(UINT_PTR id, const RECT& area, const std::string& text) {
  TOOLINFOW tool{};
  tool.uFlags = TTF_SUBCLASS;
  tool.uId = id;
  tool.rect = area;
  Add(tool, text);
}

void Tooltips::MoveArea(UINT_PTR id, const RECT& area) {
  if (!tooltip_) return;
  TOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.hwnd = owner_;
  tool.uId = id;
  tool.rect = area;
  SendMessageW(tooltip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
}

RECT CentredIn(const RECT& area, int width, int height) {
  const int x = area.left + (area.right - area.left - width) / 2;
  const int y = area.top + (area.bottom - area.top - height) / 2;
  return {x, y, x + width, y + height};
}

RECT CentredWithin(const RECT& area, const RECT& work, int width, int height) {
  const RECT centred = CentredIn(area, width, height);
  const LONG x = std::max(work.left, std::min(centred.left, work.right - width));
  const LONG y = std::max(work.top, std::min(centred.top, work.bottom - height));
  return {x, y, x + width, y + height};
}

RECT ScreenArea() { return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

RECT WorkAreaOf(HWND window) {
  // Pages "MonitorFromWindow" and "GetMonitorInfoW".
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &info)) return ScreenArea();
  return info.rcWork;
}

SIZE FrameSize(int client_width, int client_height, DWORD style, DWORD ex_style, UINT dpi) {
  // AdjustWindowRectEx measures the frame at the system's density; its
  // ...ForDpi form (Windows 10 1607 and later, page
  // "AdjustWindowRectExForDpi") at the given one. Looked up at run time for
  // older systems.
  using AdjustForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const auto adjust_for_dpi =
      ProcAddressOf<AdjustForDpi>(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi");
  RECT frame{0, 0, client_width, client_height};
  if (dpi == 0 || adjust_for_dpi == nullptr || !adjust_for_dpi(&frame, style, FALSE, ex_style, dpi))
    AdjustWindowRectEx(&frame, style, FALSE, ex_style);
  return {frame.right - frame.left, frame.bottom - frame.top};
}

void SetText(HWND window, std::string_view text) {
  SetWindowTextW(window, Utf8ToWide(text).c_str());
}

void SetMultilineText(HWND control, std::string_view text) {
  std::string with_cr;
  for (char c : text) {
    if (c == '\n') with_cr += '\r';
    with_cr += c;
  }
  SetText(control, with_cr);
}

}  // namespace plexi::win
