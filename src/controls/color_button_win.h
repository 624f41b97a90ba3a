// The colour button as a child window: tab stop and focus, Enter and Escape
// for Default and Cancel buttons (offered by the form through
// PreTranslateFormMessage), and a click's ModalResult stored in the form.
#pragma once
#include <string>

#include "controls/color_button.h"
#include "controls/owner_drawn_win.h"

namespace plexi::win {

class ColorButtonWindow : public OwnerDrawnWindow<controls::TColorButton> {
 public:
  static constexpr wchar_t kClassName[] = L"PlexiscrubColorButton";

  // `name` is the caption when none was set before.
  bool Create(const ChildPlacement& place, std::string name);
  controls::TColorButton& button() { return control_; }

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  // Whether the window's focus marks are shown now.
  void TakeFocusCues();
};

// The icon's picture with its alpha, for TColorButton::SetGlyph.
controls::Image ImageFromIcon(HICON icon, int size);

}  // namespace plexi::win
