#include "window/glyph_button_win.h"

namespace plexi::win {

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
  // The list's images are made for the screen's density.
  int size = 16, unused = 16;
  if (images) ImageList_GetIconSize(images, &size, &unused);
  const RECT glyph{(r.left + r.right - size) / 2 + shift, (r.top + r.bottom - size) / 2 + shift,
                   (r.left + r.right + size) / 2 + shift, (r.top + r.bottom + size) / 2 + shift};
  if (images && image >= 0)
    ImageList_DrawEx(images, image, item.hDC, glyph.left, glyph.top, size, size, CLR_NONE, CLR_NONE,
                     enabled ? ILD_TRANSPARENT : ILD_TRANSPARENT | ILD_BLEND50);
  // Reached with the keyboard: the usual dotted mark inside the edge.
  if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
    RECT mark = r;
    InflateRect(&mark, -2, -2);
    DrawFocusRect(item.hDC, &mark);
  }
}

bool GlyphButton::Create(const ControlArgs& args, HIMAGELIST images, int image) {
  images_ = images;
  image_ = image;
  return CreateKind(L"BUTTON", WS_TABSTOP | BS_OWNERDRAW, 0, args);
}

std::optional<LRESULT> GlyphButton::OnNotification(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DRAWITEM) {
    DrawFlatGlyphButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam), images_, image_);
    return TRUE;
  }
  return Button::OnNotification(message, wparam, lparam);
}

}  // namespace plexi::win
