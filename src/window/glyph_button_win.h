// The dialogs' flat tool buttons: owner-drawn BUTTON controls whose face
// and picture (an image of the toolbar's list, or a drawn power symbol) the
// form paints from its WM_DRAWITEM.
#pragma once
#include <windows.h>
#include <commctrl.h>

namespace plexi::win {

// `image` of `images`, or the power symbol when there is no image.
void DrawFlatGlyphButton(const DRAWITEMSTRUCT& item, HIMAGELIST images, int image);
// The picture of the shutdown-settings button: a power symbol.
void DrawPowerGlyph(HDC dc, const RECT& area, bool enabled);

}  // namespace plexi::win
