#include "controls/color_button_win.h"

#include <vector>

#include "window/memory_bitmap_win.h"

namespace plexi::win {

bool ColorButtonWindow::Create(const ChildPlacement& place, std::string name) {
  control_.SetName(std::move(name));
  if (!CreateChild(kClassName, place)) return false;
  control_.CreateWnd();
  TakeFocusCues();
  return true;
}

void ColorButtonWindow::TakeFocusCues() {
  const auto state = static_cast<UINT>(SendMessageW(hwnd(), WM_QUERYUISTATE, 0, 0));
  control_.SetFocusCues((state & UISF_HIDEFOCUS) == 0);
}

LRESULT ColorButtonWindow::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_GETDLGCODE: {
      // Focused Default and Cancel buttons take their own key.
      const auto* key_msg = reinterpret_cast<const MSG*>(lp);
      if (key_msg && key_msg->message == WM_KEYDOWN &&
          control_.WantsKey(static_cast<int>(key_msg->wParam)))
        return DLGC_WANTMESSAGE;
      return 0;
    }
    case kCmDialogKey:
      control_.SetVisible(IsWindowVisible(hwnd()) != FALSE);
      return control_.CmDialogKey(static_cast<int>(wp)) ? 1 : 0;
    case BM_CLICK:
      control_.Click();
      return 0;
    case WM_UPDATEUISTATE: {
      // The form shows or hides focus marks (the keyboard was used, or a
      // form opened on this button).
      const LRESULT answer = Default(msg, wp, lp);
      TakeFocusCues();
      return answer;
    }
    case WM_SETFOCUS:
      TakeFocusCues();
      return HandleCommon(msg, wp, lp);
    default:
      return HandleCommon(msg, wp, lp);
  }
}

controls::Image ImageFromIcon(HICON icon, int size) {
  controls::Image image;
  if (!icon || size <= 0) return image;
  MemoryBitmap surface;
  if (!surface.MakeDib(size, size)) return image;
  DrawIconEx(surface.dc(), 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
  GdiFlush();
  const std::uint32_t* pixels = surface.pixels();
  image.width = size;
  image.height = size;
  image.argb.assign(pixels, pixels + static_cast<std::ptrdiff_t>(size) * size);
  // Icons without an alpha channel leave it 0 everywhere: treat them as opaque.
  bool any_alpha = false;
  for (std::uint32_t p : image.argb) any_alpha = any_alpha || (p >> 24) != 0;
  if (!any_alpha)
    for (std::uint32_t& p : image.argb)
      if (p != 0) p |= 0xFF000000u;
  return image;
}

}  // namespace plexi::win
