// The main window's drive list without the window: the rows of the current
// view, the colours a row is drawn in, what a click in the list does, the
// protection menu, and the changes other running copies report.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "drives/discovery.h"
#include "drives/drive_types.h"
#include "drives/forbidden_list.h"
#include "drives/protection_scope.h"
#include "drives/row_change.h"
#include "errors/error_report.h"
#include "platform/platform.h"

namespace plexi::app {

// Colour values are 0x00BBGGRR; with the top bit set the low byte names a
// system colour (COLOR_HIGHLIGHT is 13), resolved when drawing.
inline constexpr int32_t kSystemColour = int32_t(0x80000000u);
inline constexpr int32_t kHighlightColour = kSystemColour | 13;
inline constexpr int32_t kWhite = 0xFFFFFF;
inline constexpr int32_t kBlack = 0x000000;
inline constexpr int32_t kErasableBackground = 0xF0F0F0;
inline constexpr int32_t kProtectedBackground = 0xA2A2A2;
inline constexpr int32_t kInterruptedColour = 0xCECEFF;  // pink
inline constexpr int32_t kCompletedColour = 0x7BFDB3;    // green
inline constexpr int32_t kUnfocusedSelection = 0xC0C0C0;
inline constexpr int32_t kDullTopLine = 0xD8D8D8;
inline constexpr int32_t kLastRowLine = 0x808080;

// Images of the toolbar image list used as row badges.
inline constexpr int kForbiddenBadge = 11;
inline constexpr int kFirstKindBadge = 3;  // + record kind: 3, 4, 5

// Left of this x a press on an erasable row starts the erase (its icon).
inline constexpr int kEraseHotWidth = 32;

struct RowState {
  bool erasable = true;
  int kind = 0;  // 0 none, 1 interrupted erase, 2 completed erase
  bool selected = false;
  bool focused = false;  // the list has the keyboard focus
};

struct RowPaint {
  int32_t background = kErasableBackground;
  int32_t text = kBlack;
  int32_t top_line = kWhite;
  bool blend_icon = false;  // the icon mixed with the selection colour
  bool erase_mark = false;  // the 32 x 32 erase mark over the icon
  int badge = kFirstKindBadge;
};

RowState RowStateOf(const DriveRow& row, bool selected, bool focused);
RowPaint RowPaintFor(const RowState& state);

// The view toggle's hint: "表示の切換|パーティション表示" in the physical view,
// "表示の切換|物理ドライブ表示" in the partition view.
std::string ViewToggleHint(ViewMode view);

// A hint is "short|long"; one without a bar serves as both.
struct HintText {
  std::string short_text;
  std::string long_text;
};
HintText SplitHint(const std::string& hint);

// What a press in the list leads to.
struct PressOutcome {
  std::string remembered_caption;  // empty when no row is selected
  bool dump_enabled = false;
  bool erase_enabled = false;
  bool start_erase = false;
};

class DriveView {
 public:
  DriveView(platform::Machine& machine, platform::FileStore& files, Notifier& notifier);

  const std::vector<DriveRow>& Rows() const { return rows_; }
  std::vector<DriveRow>& MutableRows() { return rows_; }
  ViewMode View() const { return view_; }
  void SetView(ViewMode view) { view_ = view; }
  const std::string& SystemDrive() const { return discovery_.SystemDrive(); }
  const std::string& RememberedCaption() const { return remembered_caption_; }
  ForbiddenList& Forbidden() { return forbidden_; }
  DriveDiscovery& Discovery() { return discovery_; }

  // Rebuilds the rows of the current view; returns the row to select again
  // (the first whose caption is the remembered one). The user's own refresh
  // lets go of the drives kept listed after their erase; the change watch's
  // and a view change keep them.
  enum class RefreshCause { kUser, kWatch };
  std::optional<size_t> SpeedButton3Click(RefreshCause cause = RefreshCause::kUser);
  // The physical view lists the drives without a lettered volume too.
  void SetEveryDisk(bool on) { every_disk_ = on; }
  bool EveryDisk() const { return every_disk_; }
  // A drive just erased stays in the physical view with its record until
  // the user refreshes, though its letters went with its partition table.
  void KeepListed(const DriveDesignator& erased);
  // The change watch: true when the letters changed and the rows were rebuilt.
  bool DriveLettersChanged() { return discovery_.DriveMaskChanged(); }
  // True when the machine's physical drive numbers differ from the last
  // ones seen (the first call always does).
  bool DiskNumbersChanged() { return discovery_.DiskNumbersChanged(); }

  // A press of any button in the list at `x`, with the list's selection as
  // it is after the press.
  PressOutcome ListView1MouseDown(std::optional<size_t> selected, int x);
  // The user moved the selection without a press (the arrow keys): the
  // buttons follow it as after a press, and no erase starts.
  PressOutcome ListView1SelectItem(std::optional<size_t> selected);
  // The hand cursor: over an erasable row, left of its icon's right edge.
  bool HandCursorAt(std::optional<size_t> row_under, int x, int icon_right) const;

  // Why the drive of `row` must not be erased now: the protection list holds
  // it, or a protected row on the same storage (its disk, one of its
  // volumes); nothing when it may be erased.
  std::optional<std::string> ProtectionRefusal(const DriveRow& row, ViewMode view);

  ForbidMenu PopupMenu2Popup(std::optional<size_t> selected) const;
  std::optional<ForbidOutcome> N3Click(std::optional<size_t> selected, ForbidAction action);

  // A change reported by another copy; true when a row changed. An erase
  // result goes to the row at the message's index. A forbidden-state change
  // re-reads the protection list for every row, because the other copy may
  // list the drives in another order: its row index cannot be trusted, and
  // it wrote the list before it sent the message.
  bool ApplyRowChange(const RowChangeMessage& message);

 private:
  bool ProtectedNow(const DriveRow& row);

  platform::Machine& machine_;
  ForbiddenList forbidden_;
  DriveDiscovery discovery_;
  ViewMode view_ = ViewMode::kPhysical;
  bool every_disk_ = false;
  std::vector<uint32_t> kept_disks_;
  std::vector<DriveRow> rows_;
  std::string remembered_caption_;
};

}  // namespace plexi::app
