// The drive list without its window: row colours, press rules, hints, the
// protection menu and changes reported by other running copies.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/drive_view.h"
#include "platform/sim/directory_file_store.h"
#include "support/test_support.h"

namespace plexi::app {
namespace {

TEST(RowPaint, ColoursFollowErasabilityKindSelectionAndFocus) {
  struct Case {
    RowState state;
    int32_t background, text;
  };
  const Case cases[] = {
      {{.erasable = true, .kind = 0}, kErasableBackground, kBlack},
      {{.erasable = true, .kind = 1}, kInterruptedColour, kBlack},
      {{.erasable = true, .kind = 2}, kCompletedColour, kBlack},
      // A protected row is grey whatever its record says.
      {{.erasable = false, .kind = 2}, kProtectedBackground, kBlack},
      // Selected in the focused list: the record's colour moves to the text.
      {{.erasable = true, .kind = 0, .selected = true, .focused = true}, kHighlightColour, kWhite},
      {{.erasable = true, .kind = 1, .selected = true, .focused = true}, kHighlightColour, kInterruptedColour},
      {{.erasable = true, .kind = 2, .selected = true, .focused = true}, kHighlightColour, kCompletedColour},
      {{.erasable = false, .kind = 2, .selected = true, .focused = true}, kHighlightColour, kWhite},
      {{.erasable = true, .kind = 2, .selected = true, .focused = false}, kUnfocusedSelection, kBlack},
  };
  for (const Case& c : cases) {
    const RowPaint paint = RowPaintFor(c.state);
    EXPECT_EQ(paint.background, c.background) << c.state.erasable << c.state.kind << c.state.selected;
    EXPECT_EQ(paint.text, c.text) << c.state.erasable << c.state.kind << c.state.selected;
  }
}

TEST(RowPaint, BadgesEraseMarkAndTopLine) {
  EXPECT_EQ(RowPaintFor({.erasable = true, .kind = 0}).badge, 3);
  EXPECT_EQ(RowPaintFor({.erasable = true, .kind = 2}).badge, 5);
  EXPECT_EQ(RowPaintFor({.erasable = false, .kind = 1}).badge, kForbiddenBadge);

  // The erase mark shows only on a selected erasable row.
  EXPECT_TRUE(RowPaintFor({.erasable = true, .selected = true}).erase_mark);
  EXPECT_FALSE(RowPaintFor({.erasable = false, .selected = true}).erase_mark);
  EXPECT_FALSE(RowPaintFor({.erasable = true, .selected = false}).erase_mark);

  EXPECT_EQ(RowPaintFor({.erasable = false, .kind = 0}).top_line, kDullTopLine);
  EXPECT_EQ(RowPaintFor({.erasable = false, .kind = 1}).top_line, kWhite);
  EXPECT_EQ(RowPaintFor({.erasable = true, .kind = 0}).top_line, kWhite);

  DriveRow odd;
  odd.record_kind = 7;  // not a kind the program writes
  EXPECT_EQ(RowStateOf(odd, false, false).kind, 0);
}

TEST(Hints, ViewToggleAndSplit) {
  EXPECT_EQ(SplitHint(ViewToggleHint(ViewMode::kPhysical)).long_text, "パーティション表示");
  EXPECT_EQ(SplitHint(ViewToggleHint(ViewMode::kPartition)).long_text, "物理ドライブ表示");
  EXPECT_EQ(SplitHint(ViewToggleHint(ViewMode::kPartition)).short_text, "表示の切換");
  const HintText plain = SplitHint("エラーログ");
  EXPECT_EQ(plain.short_text, "エラーログ");
  EXPECT_EQ(plain.long_text, "エラーログ");
}

constexpr char kMachine[] =
    "disk 0 size=1G bus=11 product=\"System\" serial=\"S0\"\n"
    "volume C: disk=0 offset=1M length=500M\n"
    "volume D: disk=0 offset=501M\n"
    "disk 1 size=2G bus=11 product=\"Data\" serial=\"S1\"\n"
    "volume E: disk=1 offset=1M\n"
    "record disk=1 kind=complete method=1\n"
    "disk 2 size=1G bus=7 product=\"Stick\" serial=\"S2\" removable=yes\n"
    "volume F: disk=2 type=removable\n";

class DriveViewTest : public ::testing::Test {
 protected:
  DriveViewTest()
      : machine_(test::MakeMachine(kMachine)),
        files_(dir_.path().string() + "/"),
        view_(*machine_, files_, notifier_) {
    view_.SpeedButton3Click();
  }

  std::optional<size_t> RowOf(const std::string& letters) const {
    for (size_t i = 0; i < view_.Rows().size(); ++i)
      if (view_.Rows()[i].letters == letters) return i;
    return std::nullopt;
  }

  test::TempDir dir_;
  std::unique_ptr<sim::SimMachine> machine_;
  sim::DirectoryFileStore files_;
  test::RecordingNotifier notifier_;
  DriveView view_;
};

TEST_F(DriveViewTest, PressEnablesButtonsAndStartsTheEraseOnlyLeftOfTheIconEdge) {
  ASSERT_EQ(view_.Rows().size(), 3u);
  const size_t system = *RowOf("C: D:"), data = *RowOf("E:");

  PressOutcome press = view_.ListView1MouseDown(data, 31);
  EXPECT_TRUE(press.dump_enabled);
  EXPECT_TRUE(press.erase_enabled);
  EXPECT_TRUE(press.start_erase);
  EXPECT_EQ(view_.RememberedCaption(), "Data");
  EXPECT_FALSE(view_.ListView1MouseDown(data, 32).start_erase);

  press = view_.ListView1MouseDown(system, 5);
  EXPECT_TRUE(press.dump_enabled);
  EXPECT_FALSE(press.erase_enabled);
  EXPECT_FALSE(press.start_erase);

  // A press beside the rows: nothing selected, nothing enabled, caption gone.
  press = view_.ListView1MouseDown(std::nullopt, 5);
  EXPECT_FALSE(press.dump_enabled || press.erase_enabled || press.start_erase);
  EXPECT_EQ(view_.RememberedCaption(), "");

  EXPECT_TRUE(view_.HandCursorAt(data, 20, 34));
  EXPECT_FALSE(view_.HandCursorAt(data, 34, 34));
  EXPECT_FALSE(view_.HandCursorAt(system, 20, 34));
  EXPECT_FALSE(view_.HandCursorAt(std::nullopt, 20, 34));
}

TEST_F(DriveViewTest, RefreshReselectsTheRememberedCaptionInTheNewView) {
  view_.ListView1MouseDown(*RowOf("E:"), 100);
  EXPECT_EQ(view_.SpeedButton3Click(), RowOf("E:"));
  view_.SetView(ViewMode::kPartition);
  // Partition captions carry the label: the physical caption is not found.
  EXPECT_EQ(view_.SpeedButton3Click(), std::nullopt);
  EXPECT_EQ(view_.Rows().size(), 4u);
}

// A drive whose volume went away after its erase (its partition table was
// overwritten) stays in the physical view with its record while the change
// watch refreshes, and goes with the user's own refresh; with every disk
// listed it stays for good.
TEST_F(DriveViewTest, AnErasedDriveStaysListedUntilTheUserRefreshes) {
  const size_t data = *RowOf("E:");
  const DriveDesignator erased = view_.Rows()[data].designator;
  view_.KeepListed(erased);
  view_.KeepListed(DriveDesignator::Letter('F'));  // a volume is not kept: its letter is what lists it
  ASSERT_TRUE(machine_->HideVolume('E'));
  ASSERT_TRUE(machine_->HideVolume('F'));

  view_.SpeedButton3Click(DriveView::RefreshCause::kWatch);
  ASSERT_EQ(view_.Rows().size(), 2u);
  const DriveRow& kept = view_.Rows()[1];
  EXPECT_EQ(kept.designator, erased);
  EXPECT_EQ(kept.SubItem(1), "―");
  EXPECT_EQ(kept.record_kind, 2);
  EXPECT_EQ(kept.method_text, "255,ゼロ");
  view_.SetView(ViewMode::kPartition);
  EXPECT_EQ(view_.SpeedButton3Click(DriveView::RefreshCause::kWatch), std::nullopt);
  EXPECT_EQ(view_.Rows().size(), 2u) << "C: and D: only";
  view_.SetView(ViewMode::kPhysical);
  view_.SpeedButton3Click(DriveView::RefreshCause::kWatch);
  EXPECT_EQ(view_.Rows().size(), 2u) << "kept across a change of view";

  view_.SpeedButton3Click();
  EXPECT_EQ(view_.Rows().size(), 1u) << "the user's refresh lets it go";
  view_.SetEveryDisk(true);
  view_.SpeedButton3Click();
  EXPECT_EQ(view_.Rows().size(), 3u) << "every disk: the data disk and the stick without letters";
}

TEST_F(DriveViewTest, MenuForbidsAndAllowsButNeverTheSystemDrive) {
  const size_t system = *RowOf("C: D:"), data = *RowOf("E:");
  ForbidMenu menu = view_.PopupMenu2Popup(system);
  EXPECT_FALSE(menu.forbid_visible || menu.allow_visible);
  EXPECT_FALSE(view_.N3Click(system, ForbidAction::kAllow));
  EXPECT_TRUE(view_.Rows()[system].not_erasable);

  menu = view_.PopupMenu2Popup(data);
  EXPECT_TRUE(menu.forbid_visible);
  EXPECT_FALSE(menu.allow_visible);
  std::optional<ForbidOutcome> outcome = view_.N3Click(data, ForbidAction::kForbid);
  ASSERT_TRUE(outcome);
  EXPECT_FALSE(outcome->erase_enabled);
  EXPECT_EQ(outcome->message.row_index, data);
  EXPECT_EQ(outcome->message.value, 1);
  EXPECT_TRUE(view_.PopupMenu2Popup(data).allow_visible);
  view_.SpeedButton3Click();
  EXPECT_TRUE(view_.Rows()[*RowOf("E:")].not_erasable) << "kept in the file across refreshes";
  EXPECT_FALSE(view_.PopupMenu2Popup(std::nullopt).forbid_visible);
}

// Two copies of the program on the same machine, listing the drives in a
// different order: the forbidden state must reach the right drive.
TEST_F(DriveViewTest, ForbiddenStateFromAnotherCopyFollowsTheFileNotTheRowIndex) {
  DriveView other(*machine_, files_, notifier_);
  other.SpeedButton3Click();
  std::reverse(other.MutableRows().begin(), other.MutableRows().end());

  const size_t data = *RowOf("E:");
  std::optional<ForbidOutcome> outcome = view_.N3Click(data, ForbidAction::kForbid);
  ASSERT_TRUE(outcome);
  EXPECT_TRUE(other.ApplyRowChange(outcome->message));
  for (const DriveRow& row : other.Rows())
    EXPECT_EQ(row.not_erasable, row.letters == "C: D:" || row.letters == "E:") << row.letters;

  // The same message once more changes nothing.
  EXPECT_FALSE(other.ApplyRowChange(outcome->message));

  outcome = view_.N3Click(data, ForbidAction::kAllow);
  ASSERT_TRUE(outcome);
  EXPECT_TRUE(other.ApplyRowChange(outcome->message));
  for (const DriveRow& row : other.Rows()) EXPECT_EQ(row.not_erasable, row.letters == "C: D:");
}

TEST_F(DriveViewTest, ChangesFromTheOtherViewOrForMissingRowsAreIgnored) {
  RowChangeMessage erased{.partition_view = false, .row_index = 2, .kind = 0, .value = 2,
                          .record_kind = 2};
  RowChangeMessage other_view = erased;
  other_view.partition_view = true;
  EXPECT_FALSE(view_.ApplyRowChange(other_view));
  EXPECT_EQ(view_.Rows()[2].record_kind, 0);

  EXPECT_TRUE(view_.ApplyRowChange(erased));
  EXPECT_EQ(view_.Rows()[2].method_text, "米国陸軍");
  EXPECT_EQ(view_.Rows()[2].record_kind, 2);

  RowChangeMessage missing = erased;
  missing.row_index = 3;
  EXPECT_FALSE(view_.ApplyRowChange(missing));
  RowChangeMessage unknown = erased;
  unknown.kind = 7;
  EXPECT_FALSE(view_.ApplyRowChange(unknown));
}

}  // namespace
}  // namespace plexi::app
