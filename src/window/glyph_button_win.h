// The dialogs' flat tool buttons: owner-drawn BUTTON controls whose face
// and picture (an image of the toolbar's list) the form paints from its
// WM_DRAWITEM.
#pragma once
#include <windows.h>
#include <commctrl.h>

namespace plexi::win {

// The button face and `image` of `images` (washed out when disabled), with
// a focus mark while it has the focus.
void DrawFlatGlyphButton(const DRAWITEMSTRUCT& item, HIMAGELIST images, int image);

}  // namespace plexi::win
