#include "app/toolbar_win.h"

#include <commctrl.h>

#include "app/drive_view.h"
#include "platform/win/utf.h"

namespace plexi::app {

namespace {
constexpr UINT_PTR kSubclassId = 1;
constexpr COLORREF kRedFace = RGB(0xD0, 0x20, 0x20);
}  // namespace

FlatToolbar::FlatToolbar(const Artwork& art, HintSink hint_sink)
    : art_(art), hint_sink_(std::move(hint_sink)) {}

bool FlatToolbar::Create(HWND parent, const std::vector<ToolButtonSpec>& buttons, win::Dpi dpi) {
  parent_ = parent;
  dpi_ = dpi;
  static_cast<void>(tooltips_.Create(parent));  // the buttons work without their tips
  entries_.reserve(buttons.size());  // the subclass keeps pointers to the entries' owner only
  for (const ToolButtonSpec& desc : buttons) {
    Entry entry{desc};
    entry.window = win::CreateChildControl(
        parent, {L"BUTTON", L"", WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, 0,
                 dpi.Scale(RECT{desc.x, kTop, desc.x + kSize, kTop + kSize}), desc.id});
    if (entry.window == nullptr) return false;
    SetWindowSubclass(entry.window, ButtonProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    EnableWindow(entry.window, desc.enabled);
    entries_.push_back(entry);
    AddTip(entries_.back());
  }
  return true;
}

void FlatToolbar::AddTip(const Entry& entry) {
  tooltips_.AddForChild(entry.window, SplitHint(entry.desc.hint).short_text);
}

void FlatToolbar::SetDpi(win::Dpi dpi) {
  dpi_ = dpi;
  for (const Entry& entry : entries_) {
    const RECT place = dpi.Scale(RECT{entry.desc.x, kTop, entry.desc.x + kSize, kTop + kSize});
    MoveWindow(entry.window, place.left, place.top, place.right - place.left, place.bottom - place.top,
               FALSE);
  }
  RepaintAll();
}

FlatToolbar::Entry* FlatToolbar::Find(int id) {
  for (Entry& entry : entries_)
    if (entry.desc.id == id) return &entry;
  return nullptr;
}

const FlatToolbar::Entry* FlatToolbar::Find(int id) const {
  return const_cast<FlatToolbar*>(this)->Find(id);
}

HWND FlatToolbar::Button(int id) const {
  const Entry* entry = Find(id);
  return entry ? entry->window : nullptr;
}

void FlatToolbar::SetEnabled(int id, bool enabled) {
  Entry* entry = Find(id);
  if (!entry) return;
  // A disabled control keeps the focus and takes no keys: the keyboard
  // goes on at the next control.
  if (!enabled && GetFocus() == entry->window) {
    if (HWND next = GetNextDlgTabItem(parent_, entry->window, FALSE); next && next != entry->window)
      SetFocus(next);
  }
  EnableWindow(entry->window, enabled);
  InvalidateRect(entry->window, nullptr, FALSE);
}

bool FlatToolbar::Down(int id) const {
  const Entry* entry = Find(id);
  return entry && entry->down;
}

void FlatToolbar::SetHint(int id, const std::string& hint) {
  Entry* entry = Find(id);
  if (!entry) return;
  entry->desc.hint = hint;
  tooltips_.SetChildText(entry->window, SplitHint(hint).short_text);
  if (entry->hot) hint_sink_(SplitHint(hint).long_text);
}

void FlatToolbar::Clicked(int id) {
  Entry* entry = Find(id);
  if (!entry || !entry->desc.toggle) return;
  entry->down = !entry->down;
  InvalidateRect(entry->window, nullptr, FALSE);
}

void FlatToolbar::RepaintAll() const {
  for (const Entry& entry : entries_) InvalidateRect(entry.window, nullptr, FALSE);
}

FlatToolbar::Entry* FlatToolbar::DisabledButtonAt(POINT point) {
  for (Entry& entry : entries_) {
    if (!IsWindowVisible(entry.window) || IsWindowEnabled(entry.window)) continue;
    RECT place{};
    GetWindowRect(entry.window, &place);
    MapWindowPoints(nullptr, parent_, reinterpret_cast<POINT*>(&place), 2);
    if (PtInRect(&place, point)) return &entry;
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

bool FlatToolbar::DrawItem(const DRAWITEMSTRUCT& item, const BackgroundPainter& background) {
  const Entry* entry = Find(int(item.CtlID));
  if (!entry || item.CtlType != ODT_BUTTON) return false;
  // Off-screen first, then one copy to the button.
  win::OffscreenBitmap buffer;
  const int size = dpi_.Scale(kSize);
  HDC dc = buffer.Prepare(item.hDC, size, size);
  if (dc == nullptr) return true;
  RECT in_parent{};
  GetWindowRect(entry->window, &in_parent);
  MapWindowPoints(nullptr, GetParent(entry->window), reinterpret_cast<POINT*>(&in_parent), 2);
  background(dc, in_parent);

  const bool enabled = (item.itemState & ODS_DISABLED) == 0;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0 || entry->down;
  RECT edge{0, 0, size, size};
  if (pressed) DrawEdge(dc, &edge, BDR_SUNKENOUTER, BF_RECT);
  else if (entry->hot && enabled) DrawEdge(dc, &edge, BDR_RAISEDINNER, BF_RECT);
  DrawGlyph(dc, *entry, enabled, pressed ? 1 : 0);
  // Reached with the keyboard: the usual dotted mark round the glyph.
  if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
    RECT mark = edge;
    InflateRect(&mark, -dpi_.Scale(1), -dpi_.Scale(1));
    DrawFocusRect(dc, &mark);
  }
  buffer.BlitTo(item.hDC, 0, 0, size, size);
  return true;
}

LRESULT CALLBACK FlatToolbar::ButtonProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                         UINT_PTR, DWORD_PTR self_pointer) {
  auto* self = reinterpret_cast<FlatToolbar*>(self_pointer);
  Entry* entry = self->Find(GetDlgCtrlID(window));
  switch (message) {
    case WM_SETCURSOR:
      SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
      return TRUE;
    case WM_MOUSEMOVE:
      // A button under the mouse takes the hint over from the parent's
      // disabled one (or from itself while it was disabled).
      if (Entry* parent_hover = self->parent_hover_ != 0 ? self->Find(self->parent_hover_) : nullptr) {
        parent_hover->hot = false;
        self->parent_hover_ = 0;
      }
      if (entry && !entry->hot) {
        entry->hot = true;
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, window, 0};
        TrackMouseEvent(&track);
        self->hint_sink_(SplitHint(entry->desc.hint).long_text);
        InvalidateRect(window, nullptr, FALSE);
      }
      break;
    case WM_MOUSELEAVE:
      if (entry) {
        entry->hot = false;
        // Left for a disabled button, whose hint the parent has set already.
        if (self->parent_hover_ == 0) self->hint_sink_("");
        InvalidateRect(window, nullptr, FALSE);
      }
      break;
    case WM_ERASEBKGND:
      return 1;  // the owner draw paints every pixel
    case WM_NCDESTROY:
      RemoveWindowSubclass(window, ButtonProc, kSubclassId);
      break;
  }
  return DefSubclassProc(window, message, wparam, lparam);
}

}  // namespace plexi::app
