#include "controls/my_track_bar_win.h"

namespace plexi::win {

bool TrackBarWindow::Create(const ChildPlacement& place) {
  return CreateChild(kClassName, place);
}

LRESULT TrackBarWindow::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_GETDLGCODE:
      return controls::TMyTrackBar::WantsArrows() ? DLGC_WANTARROWS : 0;
    case kGetPosition:
      return static_cast<LRESULT>(control_.Position());
    default:
      return HandleCommon(msg, wp, lp);
  }
}

}  // namespace plexi::win
