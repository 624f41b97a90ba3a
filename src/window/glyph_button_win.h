// The dialogs' flat tool buttons: owner-drawn BUTTON controls that paint
// their face and picture (an image of the toolbar's list) when their form
// hands them its WM_DRAWITEM.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "window/standard_controls_win.h"

namespace plexi::win {

// The button face and `image` of `images` (washed out when disabled), with
// a focus mark while it has the focus.
void DrawFlatGlyphButton(const DRAWITEMSTRUCT& item, HIMAGELIST images, int image);

// A tab stop: Space or Enter presses it.
class GlyphButton : public Button {
 public:
  bool Create(const ControlArgs& args, HIMAGELIST images, int image);

 protected:
  std::optional<LRESULT> OnNotification(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  HIMAGELIST images_ = nullptr;
  int image_ = 0;
};

}  // namespace plexi::win
