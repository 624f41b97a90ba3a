#include "viewer/sector_viewer.h"

#include <algorithm>

#include "viewer/sector_dump.h"
#include "viewer/sector_text.h"

namespace plexi {

std::string ViewerCaption(const DriveRow& row, ViewMode view) {
  std::string caption = "セクタダンプ [ " + row.caption;
  if (view == ViewMode::kPartition) caption += "  " + row.letters;
  return caption + " ]";
}

SectorViewer::SectorViewer(platform::Machine& machine, Notifier& notifier, SectorViewerView& view,
                           TextUnicodeTest is_text_unicode)
    : machine_(machine), notifier_(notifier), view_(view), is_text_unicode_(is_text_unicode) {}

bool SectorViewer::Open(const DriveRow* selected, ViewMode view) {
  if (selected == nullptr) return false;
  reader_.reset();
  reader_ = SectorReader::Open(machine_, notifier_, selected->designator.DevicePath(), view);
  if (!reader_) return false;

  max_ = reader_->SectorCount() > 0 ? int64_t(reader_->SectorCount() - 1) : 0;
  position_ = 0;
  shown_position_ = 0;
  setting_track_bar_ = true;
  view_.SetTrackBarRange(max_);
  view_.SetTrackBarPosition(position_);
  setting_track_bar_ = false;
  ShowSector();
  ShowSectorNumbers();
  view_.SetCaption(ViewerCaption(*selected, view));
  return true;
}

void SectorViewer::Close() { reader_.reset(); }

std::span<const uint8_t> SectorViewer::SectorBuffer() const {
  return reader_ ? reader_->Buffer() : std::span<const uint8_t>{};
}

void SectorViewer::ShowSectorNumbers() {
  view_.SetSectorNumberText(std::to_string(position_) + "／" + std::to_string(max_));
}

void SectorViewer::MoveTrackBar(int64_t position) {
  // The control may raise its change event while it is being set; that
  // event is ours and is handled right after, once.
  setting_track_bar_ = true;
  view_.SetTrackBarPosition(position);
  setting_track_bar_ = false;
}

void SectorViewer::MyTrackBar1Change(int64_t position) {
  if (!reader_ || setting_track_bar_) return;
  position_ = std::clamp<int64_t>(position, 0, max_);
  if (position_ == shown_position_) return;
  ShowSector();
  shown_position_ = position_;
  ShowSectorNumbers();
}

void SectorViewer::SetPosition(int64_t position) {
  if (!reader_) return;
  const int64_t clamped = std::clamp<int64_t>(position, 0, max_);
  MoveTrackBar(clamped);
  MyTrackBar1Change(clamped);
}

void SectorViewer::StepSector(bool back) {
  if (!reader_) return;
  // position_ lies in 0 … max_ and max_ is far below the 64-bit limit, so
  // neither step overflows; SetPosition clamps the result.
  SetPosition(back ? position_ - 1 : position_ + 1);
}

void SectorViewer::Memo1KeyDown(int virtual_key, int caret_line, int last_line) {
  if (!reader_) return;
  if (virtual_key == kVkUp && caret_line == 0) {
    SetPosition(position_ - 1);
    view_.PutMemoCaretAtStart();
  } else if (virtual_key == kVkDown && caret_line == last_line) {
    SetPosition(position_ + 1);
  }
}

WheelAction SectorViewer::MouseWheel(WheelSource source, int delta) {
  if (!reader_) return WheelAction::kPassOn;
  StepSector(delta > 0);
  // The memo still scrolls itself; the text view must not, and the main
  // window has nothing more to do.
  return source == WheelSource::kMemo ? WheelAction::kPassOn : WheelAction::kConsume;
}

void SectorViewer::CheckBox1Click(bool ticked) {
  text_display_ = ticked;
  view_.SetHeaderText(ticked ? kTextDisplayHeader : kDumpHeader);
  view_.ShowTextView(ticked);
  ShowSector();
}

void SectorViewer::ShowSector() {
  if (!reader_) return;
  reader_->ReadSector(uint64_t(position_));
  if (!text_display_) {
    view_.SetMemoText(MemoText(DumpSector(reader_->Buffer(), reader_->SectorSize(), uint64_t(position_))));
    return;
  }
  const std::span<const uint8_t> sector = reader_->Sector();
  view_.SetTextViewText(SectorTextForView(sector, DecideSectorText(sector, is_text_unicode_)));
}

}  // namespace plexi
