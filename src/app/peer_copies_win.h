// The other running copies of the program: telling their main windows about
// a changed row, taking such news from them, and knowing whether any runs.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "drives/row_change.h"
#include "platform/win/win_handles.h"

namespace plexi::app {

inline constexpr size_t kPeerTableSize = 128;
// How long one copy may take to take the news; a hung copy is skipped.
inline constexpr UINT kPeerTimeoutMs = 3000;

// Sends the message to every other visible main window, one after another.
// A copy that does not answer in time, or is hung, is given up on, so that
// it cannot freeze this one. When the table of 128 windows fills up,
// nothing is sent. Returns the number of copies that took the message.
int SendRowChangeToPeers(HWND self, const RowChangeMessage& message);

// A WM_COPYDATA's row change, when it comes from another main window and
// is one well-formed message.
std::optional<RowChangeMessage> ReceivedRowChange(WPARAM sender, LPARAM copy_data);

// Marks this copy as running for as long as it lives. Copies on different
// settings (the real registry, or one simulated machine) do not see each
// other.
class RunningMarker {
 public:
  explicit RunningMarker(const std::string& settings_place);
  // Whether another copy on the same settings was already running.
  bool AnotherCopyRunning() const { return another_; }

 private:
  win::UniqueKernelHandle mutex_;
  bool another_ = false;
};

}  // namespace plexi::app
