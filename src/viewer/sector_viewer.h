// The sector viewer of the main window: shows one sector of the selected
// drive at a time, as a hex dump or as text, read-only. This class holds the
// viewer's state and rules; the window forwards its events here and shows
// what the class tells it through SectorViewerView.
#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "drives/discovery.h"
#include "drives/drive_types.h"
#include "errors/error_report.h"
#include "platform/platform.h"
#include "util/utf16_guess.h"
#include "viewer/sector_reader.h"

namespace plexi {

inline constexpr int kVkUp = 0x26;
inline constexpr int kVkDown = 0x28;

// The header line while the text display is on.
inline constexpr char kTextDisplayHeader[] = " テキスト表示";

// What the window shows for the viewer. Texts are UTF-8.
class SectorViewerView {
 public:
  virtual ~SectorViewerView() = default;
  // Memo1: the whole dump, replaced in one go (one repaint).
  virtual void SetMemoText(const std::string& text) = 0;
  // The text view (the edit control in Panel3). The text holds no NUL.
  virtual void SetTextViewText(const std::string& text) = 0;
  // StaticText1: "current／last".
  virtual void SetSectorNumberText(const std::string& text) = 0;
  // The main window's caption while the viewer is open.
  virtual void SetCaption(const std::string& text) = 0;
  // StaticText3, the header line above the dump.
  virtual void SetHeaderText(const std::string& text) = 0;
  // Panel3 with the text view shown (text display on) or hidden.
  virtual void ShowTextView(bool shown) = 0;
  // MyTrackBar1. The window may let the control raise its change event for
  // these; the model ignores events that it causes itself.
  virtual void SetTrackBarRange(int64_t max) = 0;
  virtual void SetTrackBarPosition(int64_t position) = 0;
  // Puts the memo's selection start (the caret) at the very beginning.
  virtual void PutMemoCaretAtStart() = 0;
};

// Where a WM_MOUSEWHEEL arrived, and what the window does with it next.
enum class WheelSource { kMainWindow, kMemo, kTextView };
enum class WheelAction {
  kPassOn,   // hand it to the previous (or default) window procedure
  kConsume,  // answer 0
};

class SectorViewer {
 public:
  // `is_text_unicode` is the system's UTF-16 text test: the Windows program
  // passes win::SystemIsTextUnicode.
  SectorViewer(platform::Machine& machine, Notifier& notifier, SectorViewerView& view,
               TextUnicodeTest is_text_unicode = PortableIsTextUnicode);

  // Opens the drive of the selected row (none: nullptr) for reading, sizes
  // it, shows sector 0 and names the drive in the caption. Returns false
  // when there is no row or the drive cannot be opened or sized (the error
  // was shown); nothing on the view changed then, and the toggle goes up.
  bool Open(const DriveRow* selected, ViewMode view);
  // Closes the drive. The text display setting is kept for the next opening.
  void Close();
  bool IsOpen() const { return reader_ != nullptr; }

  // The track bar's change event (the user moved it): shows the sector
  // unless it is the one shown already, so a clamped move does not read.
  void MyTrackBar1Change(int64_t position);
  // Sets the position (clamped to 0 … Max) and shows that sector.
  void SetPosition(int64_t position);
  // One sector back or forward, only while the viewer is open.
  void StepSector(bool back);
  // Paging with the arrow keys, before the memo handles the key itself:
  // Up on the first line goes one sector back and puts the caret at the
  // start; Down on the last line (the empty one after the dump) goes one
  // forward. `caret_line` and `last_line` are the memo's, counted from 0.
  void Memo1KeyDown(int virtual_key, int caret_line, int last_line);
  // A wheel message: one sector per message, back when `delta` (the signed
  // high word of wParam) is positive; only while the viewer is open.
  WheelAction MouseWheel(WheelSource source, int delta);
  // The text display check box: header text, Panel3, and the sector again.
  void CheckBox1Click(bool ticked);

  // Reads the sector at the position and shows it in the memo or the text
  // view.
  void ShowSector();

  int64_t Position() const { return position_; }
  int64_t Max() const { return max_; }
  int64_t ShownPosition() const { return shown_position_; }
  bool TextDisplay() const { return text_display_; }
  uint32_t SectorSize() const { return reader_ ? reader_->SectorSize() : 0; }
  std::span<const uint8_t> SectorBuffer() const;

 private:
  void ShowSectorNumbers();
  void MoveTrackBar(int64_t position);

  platform::Machine& machine_;
  Notifier& notifier_;
  SectorViewerView& view_;
  TextUnicodeTest is_text_unicode_;
  std::unique_ptr<SectorReader> reader_;
  int64_t position_ = 0;
  int64_t max_ = 0;
  int64_t shown_position_ = 0;
  bool text_display_ = false;
  bool setting_track_bar_ = false;
};

// The caption while the viewer is open; the partition view adds the row's
// drive letters.
std::string ViewerCaption(const DriveRow& row, ViewMode view);

}  // namespace plexi
