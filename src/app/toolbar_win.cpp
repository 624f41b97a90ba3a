#include "app/toolbar_win.h"

#include <commctrl.h>

#include "app/drive_view.h"
#include "platform/win/utf.h"

namespace plexi::app {

namespace {
constexpr COLORREF kRedFace = RGB(0xD0, 0x20, 0x20);
}  // namespace

FlatToolbar::FlatToolbar(const Artwork& art, HintSink hint_sink, ClickHandler on_click)
    : art_(art), hint_sink_(std::move(hint_sink)), on_click_(std::move(on_click)) {}

bool FlatToolbar::Create(HWND parent, const std::vector<ToolButtonSpec>& buttons, win::Dpi dpi) {
  parent_ = parent;
  dpi_ = dpi;
  static_cast<void>(tooltips_.Create(parent));  // the buttons work without their tips
  for (const ToolButtonSpec& desc : buttons)
    if (!AddButton(desc)) return false;
  return true;
}

bool FlatToolbar::AddButton(const ToolButtonSpec& desc) {
  entries_.push_back(std::make_unique<Entry>());
  Entry& entry = *entries_.back();
  entry.desc = desc;
  const RECT place = dpi_.Scale(RECT{desc.x, kTop, desc.x + kSize, kTop + kSize});
  if (!entry.button.Create(parent_, {L"BUTTON", L"", WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, 0, place, desc.id}))
    return false;
  entry.button.HookMessages([this, &entry](UINT message, WPARAM, LPARAM) { return ButtonMessage(entry, message); });
  entry.button.HookNotifications([this, &entry](UINT message, WPARAM wparam, LPARAM lparam) {
    return ButtonNotification(entry, message, wparam, lparam);
  });
  entry.button.SetEnabled(desc.enabled);
  AddTip(entry);
  return true;
}

void FlatToolbar::AddTip(const Entry& entry) {
  tooltips_.AddForChild(entry.button.hwnd(), SplitHint(entry.desc.hint).short_text);
}

void FlatToolbar::SetDpi(win::Dpi dpi) {
  dpi_ = dpi;
  for (const auto& entry : entries_) {
    const RECT place = dpi.Scale(RECT{entry->desc.x, kTop, entry->desc.x + kSize, kTop + kSize});
    MoveWindow(entry->button.hwnd(), place.left, place.top, place.right - place.left, place.bottom - place.top,
               FALSE);
  }
  RepaintAll();
}

FlatToolbar::Entry* FlatToolbar::Find(int id) {
  for (const auto& entry : entries_)
    if (entry->desc.id == id) return entry.get();
  return nullptr;
}

const FlatToolbar::Entry* FlatToolbar::Find(int id) const {
  return const_cast<FlatToolbar*>(this)->Find(id);
}

HWND FlatToolbar::Button(int id) const {
  const Entry* entry = Find(id);
  return entry ? entry->button.hwnd() : nullptr;
}

void FlatToolbar::SetEnabled(int id, bool enabled) {
  Entry* entry = Find(id);
  if (!entry) return;
  HWND button = entry->button.hwnd();
  // A disabled control keeps the focus and takes no keys: the keyboard
  // goes on at the next control.
  if (!enabled && GetFocus() == button) {
    if (HWND next = GetNextDlgTabItem(parent_, button, FALSE); next && next != button) SetFocus(next);
  }
  entry->button.SetEnabled(enabled);
  InvalidateRect(button, nullptr, FALSE);
}

bool FlatToolbar::Down(int id) const {
  const Entry* entry = Find(id);
  return entry && entry->down;
}

void FlatToolbar::SetHint(int id, const std::string& hint) {
  Entry* entry = Find(id);
  if (!entry) return;
  entry->desc.hint = hint;
  tooltips_.SetChildText(entry->button.hwnd(), SplitHint(hint).short_text);
  if (entry->hot) hint_sink_(SplitHint(hint).long_text);
}

void FlatToolbar::Clicked(int id) {
  Entry* entry = Find(id);
  if (!entry || !entry->desc.toggle) return;
  entry->down = !entry->down;
  InvalidateRect(entry->button.hwnd(), nullptr, FALSE);
}

void FlatToolbar::RepaintAll() const {
  for (const auto& entry : entries_) InvalidateRect(entry->button.hwnd(), nullptr, FALSE);
}

FlatToolbar::Entry* FlatToolbar::DisabledButtonAt(POINT point) {
  for (const auto& entry : entries_) {
    HWND button = entry->button.hwnd();
    if (!IsWindowVisible(button) || IsWindowEnabled(button)) continue;
    RECT place{};
    GetWindowRect(button, &place);
    MapWindowPoints(nullptr, parent_, reinterpret_cast<POINT*>(&place), 2);
    if (PtInRect(&place, point)) return entry.get();
  }
  return nullptr;
}

void FlatToolbar::ParentMouseMove(POINT point) {
  Entry* under = DisabledButtonAt(point);
  const int id = under ? under->desc.id : 0;
  if (id == parent_hover_) return;
  DropParentHover();
  if (!under) return;
  parent_hover_ = id;
  under->hot = true;
  // The parent hears when the mouse leaves it, also into a child.
  TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, parent_, 0};
  TrackMouseEvent(&track);
  hint_sink_(SplitHint(under->desc.hint).long_text);
}

void FlatToolbar::ParentMouseLeave() { DropParentHover(); }

void FlatToolbar::DropParentHover() {
  Entry* entry = parent_hover_ != 0 ? Find(parent_hover_) : nullptr;
  parent_hover_ = 0;
  if (!entry) return;
  entry->hot = false;
  hint_sink_("");
}

void FlatToolbar::DrawGlyph(HDC dc, const Entry& entry, bool enabled, int offset) const {
  // The glyph sits on a square of the button face, red on the erase button;
  // a disabled button shows the washed-out grey copy of its glyph. The
  // glyphs are made for the window's density.
  int glyph = 16, unused = 16;
  ImageList_GetIconSize(art_.toolbar.get(), &glyph, &unused);
  const int button = dpi_.Scale(kSize);
  const int x = (button - glyph) / 2 + offset, y = (button - glyph) / 2 + offset;
  win::UniqueBrush face = win::SolidBrush(entry.desc.red_face ? kRedFace : GetSysColor(COLOR_BTNFACE));
  const RECT square{x, y, x + glyph, y + glyph};
  FillRect(dc, &square, face.get());
  if (entry.desc.glyph < 0) {
    const int image = (entry.down ? 1 : 0) + (enabled ? 0 : 2);
    ImageList_Draw(art_.view_toggle.get(), image, dc, x, y, ILD_TRANSPARENT);
    return;
  }
  HIMAGELIST list = enabled ? art_.toolbar.get() : art_.toolbar_disabled.get();
  ImageList_Draw(list, entry.desc.glyph, dc, x, y, ILD_TRANSPARENT);
}

void FlatToolbar::DrawItem(const Entry& entry, const DRAWITEMSTRUCT& item) const {
  // Off-screen first, then one copy to the button.
  win::OffscreenBitmap buffer;
  const int size = dpi_.Scale(kSize);
  HDC dc = buffer.Prepare(item.hDC, size, size);
  if (dc == nullptr) return;
  RECT in_parent{};
  GetWindowRect(entry.button.hwnd(), &in_parent);
  MapWindowPoints(nullptr, parent_, reinterpret_cast<POINT*>(&in_parent), 2);
  if (background_) background_(dc, in_parent);

  const bool enabled = (item.itemState & ODS_DISABLED) == 0;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0 || entry.down;
  RECT edge{0, 0, size, size};
  if (pressed) DrawEdge(dc, &edge, BDR_SUNKENOUTER, BF_RECT);
  else if (entry.hot && enabled) DrawEdge(dc, &edge, BDR_RAISEDINNER, BF_RECT);
  DrawGlyph(dc, entry, enabled, pressed ? 1 : 0);
  // Reached with the keyboard: the usual dotted mark round the glyph.
  if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
    RECT mark = edge;
    InflateRect(&mark, -dpi_.Scale(1), -dpi_.Scale(1));
    DrawFocusRect(dc, &mark);
  }
  buffer.BlitTo(item.hDC, 0, 0, size, size);
}

// What the parent hears about a button: its painting and its click.
std::optional<LRESULT> FlatToolbar::ButtonNotification(Entry& entry, UINT message, WPARAM wparam,
                                                       LPARAM lparam) {
  if (message == WM_DRAWITEM) {
    DrawItem(entry, *reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
    return TRUE;
  }
  if (message != WM_COMMAND || HIWORD(wparam) != BN_CLICKED) return std::nullopt;
  if (on_click_) on_click_(entry.desc.id);
  return 0;
}

std::optional<LRESULT> FlatToolbar::ButtonMessage(Entry& entry, UINT message) {
  HWND window = entry.button.hwnd();
  switch (message) {
    case WM_SETCURSOR:
      SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
      return TRUE;
    case WM_MOUSEMOVE:
      // A button under the mouse takes the hint over from the parent's
      // disabled one (or from itself while it was disabled).
      if (Entry* parent_hover = parent_hover_ != 0 ? Find(parent_hover_) : nullptr) {
        parent_hover->hot = false;
        parent_hover_ = 0;
      }
      if (!entry.hot) {
        entry.hot = true;
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, window, 0};
        TrackMouseEvent(&track);
        hint_sink_(SplitHint(entry.desc.hint).long_text);
        InvalidateRect(window, nullptr, FALSE);
      }
      return std::nullopt;
    case WM_MOUSELEAVE:
      entry.hot = false;
      // Left for a disabled button, whose hint the parent has set already.
      if (parent_hover_ == 0) hint_sink_("");
      InvalidateRect(window, nullptr, FALSE);
      return std::nullopt;
    case WM_ERASEBKGND:
      return 1;  // the owner draw paints every pixel
    default:
      return std::nullopt;
  }
}

}  // namespace plexi::app
