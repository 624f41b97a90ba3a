// The sector viewer on a simulated machine: opening and sizing, paging by
// keys, wheel and track bar, the text display, failing drives, and that the
// drive is only ever read, and read only when the sector changes.
#include "viewer/sector_viewer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/winconst.h"
#include "support/forwarding_machine.h"
#include "support/test_support.h"
#include "viewer/sector_dump.h"
#include "viewer/sector_reader.h"

namespace plexi {
namespace {

using test::MakeMachine;
using test::RecordingNotifier;

constexpr char kMachine[] = R"(
disk 0 sectors=20000 product="Test Disk"
volume E: disk=0 offset=1M length=4M type=fixed label="Data"
disk 1 sectors=4000 sector-size=4096
disk 2 sectors=5860533168
disk 3 sectors=100
fault disk=3 op=read sector=7 error=23
fault disk=3 op=read sector=8 short=256
disk 4 sectors=100
fault disk=4 op=geometry error=21
disk 5 sectors=100
fault disk=5 op=open error=5
)";

class RecordingView : public SectorViewerView {
 public:
  void SetMemoText(const std::string& t) override { memo.push_back(t); }
  void SetTextViewText(const std::string& t) override { text_view.push_back(t); }
  void SetSectorNumberText(const std::string& t) override { numbers = t; }
  void SetCaption(const std::string& t) override { caption = t; }
  void SetHeaderText(const std::string& t) override { header = t; }
  void ShowTextView(bool shown) override { text_view_shown = shown; }
  void SetTrackBarRange(int64_t max) override {
    track_max = max;
    if (on_track_bar_range) on_track_bar_range(max);
  }
  void SetTrackBarPosition(int64_t position) override {
    track_position = position;
    if (on_track_bar_set) on_track_bar_set(position);
  }
  void PutMemoCaretAtStart() override { ++caret_to_start; }

  // The first dump line of the last memo text.
  std::string FirstLine() const { return memo.empty() ? "" : memo.back().substr(0, 81); }

  std::vector<std::string> memo, text_view;
  std::string numbers, caption, header;
  bool text_view_shown = false;
  int64_t track_max = -1, track_position = -1;
  int caret_to_start = 0;
  std::function<void(int64_t)> on_track_bar_set, on_track_bar_range;
};

DriveRow Row(DriveDesignator designator, const std::string& caption, const std::string& letters) {
  DriveRow row;
  row.designator = designator;
  row.caption = caption;
  row.letters = letters;
  return row;
}

class ViewerTest : public ::testing::Test {
 protected:
  ViewerTest() : machine(MakeMachine(kMachine)), viewer(*machine, notifier, view) {}

  bool OpenDisk(uint32_t number, ViewMode mode = ViewMode::kPhysical) {
    row = Row(DriveDesignator::Physical(number), "Test Disk", "E:");
    return viewer.Open(&row, mode);
  }
  void Mark(uint32_t disk, uint64_t offset, const char* text) {
    machine->PokeDisk(disk, offset, reinterpret_cast<const uint8_t*>(text), std::strlen(text));
  }
  uint64_t Reads(uint32_t disk) const { return machine->DiskCounters(disk).reads; }

  std::unique_ptr<sim::SimMachine> machine;
  RecordingNotifier notifier;
  RecordingView view;
  SectorViewer viewer;
  DriveRow row;
};

TEST_F(ViewerTest, OpeningShowsSectorZeroOfTheWholeDrive) {
  Mark(0, 0, "first sector");
  ASSERT_TRUE(OpenDisk(0));
  EXPECT_TRUE(viewer.IsOpen());
  // The geometry counts 16065 sectors (one cylinder); the drive has 20000.
  EXPECT_EQ(viewer.Max(), 19999);
  EXPECT_EQ(view.track_max, 19999);
  EXPECT_EQ(view.track_position, 0);
  EXPECT_EQ(view.numbers, "0／19999");
  EXPECT_EQ(view.caption, "セクタダンプ [ Test Disk ]");
  ASSERT_EQ(view.memo.size(), 1u);
  EXPECT_EQ(view.FirstLine().substr(65), "first sector....");
  EXPECT_EQ(Reads(0), 1u);
  EXPECT_TRUE(notifier.messages.empty());
}

// A raw device handle that bypasses the cache reads only into aligned memory.
TEST_F(ViewerTest, SectorsAreReadIntoAlignedMemory) {
  std::unique_ptr<SectorReader> reader = SectorReader::Open(*machine, notifier, "\\\\.\\PHYSICALDRIVE0", ViewMode::kPhysical);
  ASSERT_TRUE(reader);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(reader->Buffer().data()) % 4096, 0u);
}

TEST_F(ViewerTest, PartitionViewOpensTheVolumeSizedByItsLength) {
  row = Row(DriveDesignator::Letter('E'), "Test Disk 【 Data 】", "E:");
  Mark(0, 1 << 20, "volume start");
  ASSERT_TRUE(viewer.Open(&row, ViewMode::kPartition));
  EXPECT_EQ(viewer.Max(), 8191);  // 4 MiB of 512-byte sectors, as the volume's length says
  EXPECT_EQ(view.caption, "セクタダンプ [ Test Disk 【 Data 】  E: ]");
  EXPECT_EQ(view.FirstLine().substr(0, 15), " 000000000000  ");
  EXPECT_EQ(view.FirstLine().substr(65, 12), "volume start");
  EXPECT_EQ(machine->VolumeCounters('E').opens, 1u);
}

TEST_F(ViewerTest, NoRowOrAnUnopenableDriveLeavesTheWindowAsItWas) {
  EXPECT_FALSE(viewer.Open(nullptr, ViewMode::kPhysical));
  EXPECT_TRUE(notifier.messages.empty());

  EXPECT_FALSE(OpenDisk(5));  // the open is refused
  ASSERT_EQ(notifier.messages.size(), 1u);
  EXPECT_EQ(notifier.messages[0], machine->ErrorText(winconst::kErrorAccessDenied));

  EXPECT_FALSE(OpenDisk(4));  // opens, but cannot be sized
  ASSERT_EQ(notifier.messages.size(), 2u);
  EXPECT_EQ(notifier.messages[1], machine->ErrorText(winconst::kErrorNotReady));

  EXPECT_FALSE(viewer.IsOpen());
  EXPECT_EQ(machine->OpenHandleCount(), 0u);
  EXPECT_TRUE(view.memo.empty());
  EXPECT_TRUE(view.caption.empty());
  EXPECT_EQ(view.track_max, -1);
}

TEST_F(ViewerTest, ClampedMovesAtEitherEndDoNotReadTheDrive) {
  ASSERT_TRUE(OpenDisk(3));
  const uint64_t reads = Reads(3);
  viewer.Memo1KeyDown(kVkUp, 0, 32);  // Up on the first line of sector 0
  EXPECT_EQ(view.caret_to_start, 1);
  viewer.StepSector(true);
  viewer.MouseWheel(WheelSource::kMemo, 120);
  EXPECT_EQ(viewer.Position(), 0);
  EXPECT_EQ(Reads(3), reads);

  viewer.SetPosition(99);
  EXPECT_EQ(Reads(3), reads + 1);
  viewer.Memo1KeyDown(kVkDown, 32, 32);  // Down on the empty last line
  viewer.StepSector(false);
  viewer.SetPosition(1000);
  EXPECT_EQ(viewer.Position(), 99);
  EXPECT_EQ(Reads(3), reads + 1);
  EXPECT_EQ(view.numbers, "99／99");
  EXPECT_EQ(view.memo.size(), 2u);
}

TEST_F(ViewerTest, ArrowKeysPageOnlyFromTheFirstAndLastLine) {
  ASSERT_TRUE(OpenDisk(0));
  viewer.SetPosition(5);
  viewer.Memo1KeyDown(kVkUp, 0, 32);
  EXPECT_EQ(viewer.Position(), 4);
  EXPECT_EQ(view.FirstLine().substr(0, 15), " 000000000800  ");
  EXPECT_EQ(view.caret_to_start, 1);

  const uint64_t reads = Reads(0);
  for (int key : {0x25, 0x27, 0x2E, int('5'), 0x21, 0x22}) viewer.Memo1KeyDown(key, 0, 32);
  viewer.Memo1KeyDown(kVkUp, 1, 32);     // not on the first line
  viewer.Memo1KeyDown(kVkDown, 31, 32);  // not on the last line
  EXPECT_EQ(viewer.Position(), 4);
  EXPECT_EQ(Reads(0), reads);
  EXPECT_EQ(view.caret_to_start, 1);

  viewer.Memo1KeyDown(kVkDown, 32, 32);
  EXPECT_EQ(viewer.Position(), 5);
  EXPECT_EQ(view.numbers, "5／19999");
}

TEST_F(ViewerTest, WheelStepsOneSectorPerMessageWhileOpen) {
  // Closed: every window handles the wheel as usual.
  EXPECT_EQ(viewer.MouseWheel(WheelSource::kMemo, -120), WheelAction::kPassOn);
  EXPECT_EQ(viewer.MouseWheel(WheelSource::kTextView, -120), WheelAction::kPassOn);

  ASSERT_TRUE(OpenDisk(0));
  viewer.SetPosition(10);
  // Forward over the memo: one back, and the memo still scrolls.
  EXPECT_EQ(viewer.MouseWheel(WheelSource::kMemo, 120), WheelAction::kPassOn);
  EXPECT_EQ(viewer.Position(), 9);
  // Toward the user over the text view: one forward, the view does not scroll.
  EXPECT_EQ(viewer.MouseWheel(WheelSource::kTextView, -360), WheelAction::kConsume);
  EXPECT_EQ(viewer.Position(), 10);
  EXPECT_EQ(viewer.MouseWheel(WheelSource::kMainWindow, 1), WheelAction::kConsume);
  EXPECT_EQ(viewer.Position(), 9);
}

TEST_F(ViewerTest, TrackBarEventsReadOncePerMove) {
  ASSERT_TRUE(OpenDisk(0));
  // A window whose control raises its change event whenever it is set.
  view.on_track_bar_set = [this](int64_t p) { viewer.MyTrackBar1Change(p); };
  uint64_t reads = Reads(0);
  viewer.StepSector(false);
  EXPECT_EQ(Reads(0), reads + 1);
  // The user drags the knob: shown once; the same position again is not read.
  viewer.MyTrackBar1Change(300);
  viewer.MyTrackBar1Change(300);
  EXPECT_EQ(Reads(0), reads + 2);
  EXPECT_EQ(viewer.ShownPosition(), 300);
  EXPECT_EQ(view.numbers, "300／19999");

  // Reopened on a smaller drive, the control clamps its old knob position to
  // the new range and reports it: sector 0 is still read just once.
  viewer.Close();
  view.on_track_bar_range = [this](int64_t max) { viewer.MyTrackBar1Change(std::min(view.track_position, max)); };
  ASSERT_TRUE(OpenDisk(3));
  EXPECT_EQ(Reads(3), 1u);
  EXPECT_EQ(viewer.Position(), 0);
  EXPECT_EQ(view.numbers, "0／99");
}

TEST_F(ViewerTest, LargeSectorsDumpTheirFirst512BytesAndShowAllAsText) {
  ASSERT_TRUE(OpenDisk(1));
  EXPECT_EQ(viewer.SectorSize(), 4096u);
  Mark(1, 2 * 4096 + 4000, "tail text");
  Mark(1, 2 * 4096, "head");
  viewer.SetPosition(2);
  EXPECT_EQ(view.FirstLine().substr(0, 15), " 000000002000  ");
  EXPECT_EQ(view.memo.back().substr(31 * 83, 15), " 0000000021F0  ");

  viewer.CheckBox1Click(true);
  // "head", zeros, then the text near the end: ANSI text stops at "head".
  ASSERT_EQ(view.text_view.size(), 1u);
  EXPECT_EQ(view.text_view.back(), "head");
  std::vector<uint8_t> full(4096, 'x');
  machine->PokeDisk(1, 2 * 4096, full.data(), full.size());
  viewer.CheckBox1Click(true);
  EXPECT_EQ(view.text_view.back(), std::string(4096, 'x'));
}

TEST_F(ViewerTest, TheLastSectorOfAHugeDriveIsReadAtItsTrueOffset) {
  ASSERT_TRUE(OpenDisk(2));
  const int64_t last = 5860533167;
  EXPECT_EQ(viewer.Max(), last);
  Mark(2, uint64_t(last) * 512, "last sector");
  viewer.SetPosition(viewer.Max());
  EXPECT_EQ(view.FirstLine(), DumpSector(machine->PeekDisk(2, uint64_t(last) * 512, 512), 512, last)[0]);
  EXPECT_EQ(view.FirstLine().substr(0, 15), " 02BAA1475E00  ");
  EXPECT_EQ(view.numbers, "5860533167／5860533167");
}

TEST_F(ViewerTest, TextDisplaySurvivesClosingAndReopening) {
  Mark(0, 0, "A\0B\0C\0");
  ASSERT_TRUE(OpenDisk(0));
  viewer.CheckBox1Click(true);
  EXPECT_EQ(view.header, " テキスト表示");
  EXPECT_TRUE(view.text_view_shown);
  viewer.Close();
  EXPECT_FALSE(viewer.IsOpen());
  EXPECT_EQ(machine->OpenHandleCount(), 0u);

  view.text_view.clear();
  view.memo.clear();
  ASSERT_TRUE(OpenDisk(0));
  ASSERT_EQ(view.text_view.size(), 1u);
  EXPECT_EQ(view.text_view[0], "A");  // "A" then a zero unit
  EXPECT_TRUE(view.memo.empty());

  viewer.CheckBox1Click(false);
  EXPECT_EQ(view.header, kDumpHeader);
  EXPECT_FALSE(view.text_view_shown);
  EXPECT_EQ(view.memo.size(), 1u);
}

TEST_F(ViewerTest, UnreadableSectorsAreReportedAndShownZeroed) {
  const char data[] = "stale data from elsewhere";
  std::vector<uint8_t> filler(512 * 100);
  for (size_t i = 0; i < filler.size(); i += 512) std::memcpy(&filler[i], data, sizeof data);
  machine->PokeDisk(3, 0, filler.data(), filler.size());
  ASSERT_TRUE(OpenDisk(3));

  viewer.SetPosition(7);  // fails with a CRC error
  ASSERT_EQ(notifier.messages.size(), 1u);
  EXPECT_EQ(notifier.messages[0], machine->ErrorText(winconst::kErrorCrc));
  EXPECT_EQ(view.FirstLine(), DumpSector(std::vector<uint8_t>(512, 0), 512, 7)[0]);

  viewer.SetPosition(8);  // comes back with 256 of 512 bytes
  ASSERT_EQ(notifier.messages.size(), 2u);
  EXPECT_EQ(notifier.messages[1], machine->ErrorText(winconst::kErrorReadFault));
  EXPECT_EQ(view.FirstLine().substr(65), "stale data from ");
  EXPECT_EQ(viewer.SectorBuffer()[255], 0);
  EXPECT_EQ(viewer.SectorBuffer()[256], 0);
  EXPECT_EQ(viewer.Position(), 8);
}

// Wraps the simulated machine: records how devices are opened and fails the
// positioning to one byte offset.
class SeekFailingDevice : public platform::Device {
 public:
  SeekFailingDevice(std::unique_ptr<platform::Device> inner, uint64_t failing)
      : inner_(std::move(inner)), failing_(failing) {}
  platform::IoResult Read(void* b, uint32_t n) override { return inner_->Read(b, n); }
  platform::IoResult Write(const void* b, uint32_t n) override { return inner_->Write(b, n); }
  platform::Result<> SetPosition(uint64_t offset) override {
    if (offset == failing_) return platform::Result<>::Failure(winconst::kErrorSeek);
    return inner_->SetPosition(offset);
  }
  platform::IoResult Control(uint32_t code, const void* in, uint32_t il, void* out, uint32_t ol) override {
    return inner_->Control(code, in, il, out, ol);
  }
  platform::Result<> Flush() override { return inner_->Flush(); }

 private:
  std::unique_ptr<platform::Device> inner_;
  uint64_t failing_;
};

class WatchedMachine : public test::ForwardingMachine {
 public:
  WatchedMachine(sim::SimMachine& inner, uint64_t failing) : ForwardingMachine(inner), failing_(failing) {}
  platform::Result<std::unique_ptr<platform::Device>> OpenDevice(const std::string& path, platform::Access access) override {
    accesses.push_back(access);
    platform::Result<std::unique_ptr<platform::Device>> r = inner_.OpenDevice(path, access);
    if (r.ok()) r.value() = std::make_unique<SeekFailingDevice>(std::move(r.value()), failing_);
    return r;
  }

  std::vector<platform::Access> accesses;

 private:
  uint64_t failing_;
};

TEST_F(ViewerTest, AFailedPositioningNeverShowsAnotherSectorsBytes) {
  Mark(0, 6 * 512, "sector six");
  WatchedMachine watched(*machine, 7 * 512);
  SectorViewer seeking(watched, notifier, view);
  row = Row(DriveDesignator::Physical(0), "Test Disk", "E:");
  ASSERT_TRUE(seeking.Open(&row, ViewMode::kPhysical));
  seeking.SetPosition(6);
  EXPECT_EQ(view.FirstLine().substr(65, 10), "sector six");
  const uint64_t reads = Reads(0);
  seeking.SetPosition(7);  // the handle still stands after sector six
  ASSERT_EQ(notifier.messages.size(), 1u);
  EXPECT_EQ(notifier.messages[0], machine->ErrorText(winconst::kErrorSeek));
  EXPECT_EQ(Reads(0), reads);
  EXPECT_EQ(view.FirstLine(), DumpSector(std::vector<uint8_t>(512, 0), 512, 7)[0]);
}

TEST_F(ViewerTest, TheDriveIsOnlyEverOpenedForReading) {
  WatchedMachine watched(*machine, UINT64_MAX);
  SectorViewer watching(watched, notifier, view);
  row = Row(DriveDesignator::Physical(0), "Test Disk", "E:");
  ASSERT_TRUE(watching.Open(&row, ViewMode::kPhysical));
  watching.CheckBox1Click(true);
  for (int i = 0; i < 5; ++i) watching.StepSector(false);
  watching.Memo1KeyDown(kVkUp, 0, 32);
  watching.Close();
  row = Row(DriveDesignator::Letter('E'), "Test Disk", "E:");
  ASSERT_TRUE(watching.Open(&row, ViewMode::kPartition));
  watching.Close();
  ASSERT_EQ(watched.accesses.size(), 2u);
  for (platform::Access a : watched.accesses) EXPECT_EQ(a, platform::Access::kRead);
  EXPECT_EQ(machine->DiskCounters(0).writes, 0u);
}

}  // namespace
}  // namespace plexi
