#include "window/glyph_button_win.h"

#include "platform/win/gdi_scope.h"
#include "platform/win/win_handles.h"

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
  const RECT glyph{(r.left + r.right - 16) / 2 + shift, (r.top + r.bottom - 16) / 2 + shift,
                   (r.left + r.right + 16) / 2 + shift, (r.top + r.bottom + 16) / 2 + shift};
  if (images && image >= 0) {
    ImageList_DrawEx(images, image, item.hDC, glyph.left, glyph.top, 16, 16, CLR_NONE, CLR_NONE,
                     enabled ? ILD_TRANSPARENT : ILD_TRANSPARENT | ILD_BLEND50);
  } else {
    DrawPowerGlyph(item.hDC, glyph, enabled);
  }
}

void DrawPowerGlyph(HDC dc, const RECT& area, bool enabled) {
  const COLORREF colour = enabled ? RGB(0, 102, 204) : GetSysColor(COLOR_GRAYTEXT);
  UniquePen pen(CreatePen(PS_SOLID, 2, colour));
  auto use_pen = SelectInto(dc, pen.get());
  auto use_brush = SelectInto(dc, GetStockObject(NULL_BRUSH));
  const int cx = (area.left + area.right) / 2, cy = (area.top + area.bottom) / 2 + 1;
  // A ring open at the top with a bar through the gap.
  Ellipse(dc, cx - 6, cy - 6, cx + 7, cy + 7);
  const RECT gap{cx - 3, cy - 7, cx + 4, cy - 2};
  FillRect(dc, &gap, GetSysColorBrush(COLOR_BTNFACE));
  MoveToEx(dc, cx, cy - 8, nullptr);
  LineTo(dc, cx, cy + 1);
}

}  // namespace plexi::win
