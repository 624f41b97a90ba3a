#include "app/drive_view.h"
#include "record/erase_method.h"

#include <algorithm>

#include "erase/erase_texts.h"

namespace plexi::app {

RowState RowStateOf(const DriveRow& row, bool selected, bool focused) {
  // The kind is shown only for the records the program writes.
  const int kind = row.record_kind >= 0 && row.record_kind <= 2 ? row.record_kind : 0;
  return {.erasable = !row.not_erasable, .kind = kind, .selected = selected, .focused = focused};
}

RowPaint RowPaintFor(const RowState& state) {
  const int32_t plain = state.erasable ? kErasableBackground : kProtectedBackground;
  int32_t kind_colour = plain;
  if (state.erasable && state.kind == 1) kind_colour = kInterruptedColour;
  if (state.erasable && state.kind == 2) kind_colour = kCompletedColour;

  RowPaint paint;
  if (state.selected && state.focused) {
    // The record's colour moves from the background to the text.
    paint.background = kHighlightColour;
    paint.text = kind_colour == plain ? kWhite : kind_colour;
  } else if (state.selected) {
    paint.background = kUnfocusedSelection;
    paint.text = kBlack;
  } else {
    paint.background = kind_colour;
    paint.text = kBlack;
  }
  paint.top_line = state.erasable || state.kind != 0 ? kWhite : kDullTopLine;
  paint.blend_icon = state.selected;
  paint.erase_mark = state.selected && state.erasable;
  paint.badge = state.erasable ? kFirstKindBadge + state.kind : kForbiddenBadge;
  return paint;
}

std::string ViewToggleHint(ViewMode view) {
  return view == ViewMode::kPhysical ? "表示の切換|パーティション表示" : "表示の切換|物理ドライブ表示";
}

HintText SplitHint(const std::string& hint) {
  const size_t bar = hint.find('|');
  if (bar == std::string::npos) return {hint, hint};
  return {hint.substr(0, bar), hint.substr(bar + 1)};
}

DriveView::DriveView(platform::Machine& machine, platform::FileStore& files, Notifier& notifier)
    : machine_(machine),
      forbidden_(machine, files, files.ProgramDirectory() + kForbiddenListFileName, notifier),
      discovery_(machine, notifier,
                 // The rows are built for the view shown, and so are their keys.
                 [this](const DriveRow& row) { return forbidden_.IsForbidden(row, view_); }) {}

std::optional<size_t> DriveView::SpeedButton3Click(RefreshCause cause) {
  if (cause == RefreshCause::kUser) kept_disks_.clear();
  rows_ = discovery_.Refresh(view_, every_disk_, kept_disks_);
  return FindRowByCaption(rows_, remembered_caption_);
}

void DriveView::KeepListed(const DriveDesignator& erased) {
  if (!erased.IsPhysical()) return;
  if (std::find(kept_disks_.begin(), kept_disks_.end(), erased.number()) == kept_disks_.end())
    kept_disks_.push_back(erased.number());
}

PressOutcome DriveView::ListView1MouseDown(std::optional<size_t> selected, int x) {
  PressOutcome outcome = ListView1SelectItem(selected);
  outcome.start_erase = outcome.erase_enabled && x >= 0 && x < kEraseHotWidth;
  return outcome;
}

PressOutcome DriveView::ListView1SelectItem(std::optional<size_t> selected) {
  PressOutcome outcome;
  if (!selected || *selected >= rows_.size()) {
    remembered_caption_.clear();
    return outcome;
  }
  const DriveRow& row = rows_[*selected];
  remembered_caption_ = row.caption;
  outcome.remembered_caption = row.caption;
  outcome.dump_enabled = true;
  outcome.erase_enabled = !row.not_erasable;
  return outcome;
}

bool DriveView::HandCursorAt(std::optional<size_t> row_under, int x, int icon_right) const {
  return row_under && *row_under < rows_.size() && !rows_[*row_under].not_erasable &&
         x < icon_right;
}

ForbidMenu DriveView::PopupMenu2Popup(std::optional<size_t> selected) const {
  if (!selected || *selected >= rows_.size()) return plexi::PopupMenu2Popup(false, "", false, SystemDrive());
  const DriveRow& row = rows_[*selected];
  return plexi::PopupMenu2Popup(true, row.letters, row.not_erasable, SystemDrive());
}

std::optional<ForbidOutcome> DriveView::N3Click(std::optional<size_t> selected, ForbidAction action) {
  if (!selected || *selected >= rows_.size()) return std::nullopt;
  return plexi::N3Click(forbidden_, rows_[*selected], *selected, action,
                        view_ == ViewMode::kPartition, SystemDrive());
}

std::optional<std::string> DriveView::ProtectionRefusal(const DriveRow& row, ViewMode view) {
  if (forbidden_.IsForbidden(row, view)) return std::string(erase_text::kProtected);
  if (std::optional<ProtectingRow> covering = FindProtectingRow(machine_, forbidden_, row.designator.DevicePath()))
    return CoveredByProtectionText(*covering);
  return std::nullopt;
}

bool DriveView::ProtectedNow(const DriveRow& row) {
  return row.letters.find(SystemDrive()) != std::string::npos ||
         forbidden_.IsForbidden(row, view_);
}

bool DriveView::ApplyRowChange(const RowChangeMessage& message) {
  if (message.partition_view != (view_ == ViewMode::kPartition)) return false;
  switch (message.kind) {
    case RowChangeMessage::kEraseResult: {
      if (message.row_index >= rows_.size()) return false;
      DriveRow& row = rows_[message.row_index];
      row.method_text = EraseMethodText(message.value);
      row.record_kind = message.record_kind;
      return true;
    }
    case RowChangeMessage::kForbiddenState: {
      bool changed = false;
      for (DriveRow& row : rows_) {
        const bool now = ProtectedNow(row);
        changed = changed || now != row.not_erasable;
        row.not_erasable = now;
      }
      return changed;
    }
    default:
      return false;
  }
}

}  // namespace plexi::app
