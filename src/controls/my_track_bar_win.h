// The track bar as a child window: keyboard focus, tab stop, the arrow keys
// kept from the dialog's focus moves.
#pragma once
#include "controls/my_track_bar.h"
#include "controls/owner_drawn_win.h"

namespace plexi::win {

class TrackBarWindow : public OwnerDrawnWindow<controls::TMyTrackBar> {
 public:
  static constexpr wchar_t kClassName[] = L"PlexiscrubTrackBar";
  // Answers the position (as TBM_GETPOS does for the common control).
  static constexpr UINT kGetPosition = WM_USER;

  bool Create(const ChildPlacement& place);
  controls::TMyTrackBar& bar() { return control_; }


 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
};

}  // namespace plexi::win
