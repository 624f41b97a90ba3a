// The main window by keyboard: Tab and Shift+Tab go round the controls
// that are shown (the toolbar's enabled buttons, then the list or the dump,
// the text check box and the track bar of the sector view), the list keeps
// its arrow keys, which select as a press does, Enter and Space press a
// toolbar button, and the focused control shows that it has the focus.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>

#include "gui_actions.h"
#include "scenario_support.h"

namespace plexi::gui {
namespace {

// Control ids of the sector view.
enum : int {
  kHexDump = 401, kTextView = 402, kTextPanel = 403, kTextCheckBox = 406, kTrackBar = 407,
};

std::string NameOf(HWND window) {
  if (!window) return "nothing";
  return "control " + std::to_string(GetDlgCtrlID(window));
}

class KeyboardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = RunningProgram::Start(machine_.file());
    ASSERT_TRUE(program_) << "the program did not start";
    ASSERT_TRUE(program_->WaitForRowCount(6));
    program_->MoveTo(0, 0);
    ASSERT_TRUE(WaitFor("the program in front", [&] { return InFront(program_->pid()); }));
  }
  void TearDown() override {
    if (program_) {
      EXPECT_EQ(program_->Close(), std::optional<DWORD>(0));
    }
  }

  HWND Control(int id) const { return GetDlgItem(program_->window(), id); }
  HWND Focus() const { return FocusOf(program_->window()); }
  ::testing::AssertionResult FocusBecomes(HWND expected) const {
    return WaitFor(NameOf(expected) + " focused", [&] { return Focus() == expected; }, kStepTimeout,
                   [&] { return NameOf(Focus()) + " focused"; });
  }
  // Tab (or Shift+Tab) once for each of these toolbar buttons, which get
  // the focus in turn.
  ::testing::AssertionResult TabThroughToolbar(std::initializer_list<int> buttons, bool back = false) const {
    for (int id : buttons) {
      PressKey(VK_TAB, back);
      if (::testing::AssertionResult moved = FocusBecomes(program_->Button(id)); !moved) return moved;
    }
    return ::testing::AssertionSuccess();
  }
  std::optional<Image> Capture(HWND control) const {
    RECT area;
    GetClientRect(control, &area);
    return CaptureSettled(control, area);
  }
  // The band around the check box's "Text" label.
  std::optional<Image> CaptureTextLabel() const {
    RECT box;
    GetWindowRect(Control(kTextCheckBox), &box);
    MapWindowPoints(nullptr, program_->window(), reinterpret_cast<POINT*>(&box), 2);
    const RECT label{box.right, 0, box.right + 32, 24};
    return CaptureSettled(program_->window(), label);
  }

  ScenarioMachine machine_;
  std::unique_ptr<RunningProgram> program_;
};

// The arrows select as a press does: the dump button for any row, the
// erase button only for an erasable one. Tab goes from the list round the
// toolbar and back, Enter and Space press the focused button.
TEST_F(KeyboardTest, ArrowsSelectLikeAPressAndTabGoesRoundTheToolbar) {
  program_->PressRow(0, 100);  // the system disk
  ASSERT_TRUE(FocusBecomes(program_->list()));
  ASSERT_TRUE(WaitFor("the dump button on, the erase button off",
                      [&] { return program_->Enabled(kDumpButton) && !program_->Enabled(kEraseButton); }));
  PressKey(VK_DOWN);
  EXPECT_TRUE(WaitFor("row 1 selected, its erase button on", [&] {
    return program_->SelectedRow() == std::optional<size_t>(1) && program_->Enabled(kEraseButton);
  }));
  PressKey(VK_UP);
  EXPECT_TRUE(WaitFor("row 0 selected, the erase button off", [&] {
    return program_->SelectedRow() == std::optional<size_t>(0) && !program_->Enabled(kEraseButton) &&
           program_->Enabled(kDumpButton);
  }));
  PressKey(VK_DOWN);
  ASSERT_TRUE(WaitFor("row 1 again", [&] { return program_->Enabled(kEraseButton); }));

  ASSERT_TRUE(TabThroughToolbar({kDumpButton, kEraseButton, kViewButton, kRefreshButton, kErrorLogButton,
                                 kHelpButton, kAboutButton}));
  PressKey(VK_TAB);
  ASSERT_TRUE(FocusBecomes(program_->list()));
  PressKey(VK_DOWN);
  EXPECT_TRUE(WaitFor("row 2 selected", [&] { return program_->SelectedRow() == std::optional<size_t>(2); }));
  ASSERT_TRUE(TabThroughToolbar({kAboutButton}, true));
  program_->Screenshot("keyboard-toolbar-button-focused");

  PressKey(VK_RETURN);
  HWND about = nullptr;
  ASSERT_TRUE(WaitFor("the about box", [&] {
    about = FindTopWindow(L"TVersionBox", program_->pid());
    return about != nullptr && IsWindowVisible(about);
  }));
  PressKey(VK_ESCAPE);
  ASSERT_TRUE(WaitFor("the about box closed", [&] { return !IsWindow(about) || !IsWindowVisible(about); }));
  ASSERT_TRUE(FocusBecomes(program_->Button(kAboutButton)));
  // Space on the view toggle: the partition view lists C: and D: apart.
  ASSERT_TRUE(TabThroughToolbar({kHelpButton, kErrorLogButton, kRefreshButton, kViewButton}, true));
  PressKey(VK_SPACE);
  EXPECT_TRUE(WaitFor("the partition view", [&] { return program_->RowOf("D:").has_value(); }));
  EXPECT_EQ(Focus(), program_->Button(kViewButton));
}

TEST_F(KeyboardTest, TabGoesRoundTheSectorViewsControlsBothWays) {
  program_->PressRow(0, 100);
  ASSERT_TRUE(WaitFor("the dump button enabled", [&] { return program_->Enabled(kDumpButton); }));
  program_->ClickButton(kDumpButton);
  HWND dump = Control(kHexDump), check_box = Control(kTextCheckBox), track_bar = Control(kTrackBar);
  ASSERT_TRUE(WaitFor("the dump shown", [&] { return IsWindowVisible(dump) && IsWindowVisible(track_bar); }));
  ASSERT_TRUE(FocusBecomes(dump));
  // Each look is taken once it holds still, then compared with the look
  // after the focus has moved on.
  PressKey(VK_TAB);
  ASSERT_TRUE(FocusBecomes(check_box));
  // The check box is only its box: the focus mark surrounds its label.
  const std::optional<Image> label_focused = CaptureTextLabel();
  program_->Screenshot("keyboard-check-box-focused");
  PressKey(VK_TAB);
  ASSERT_TRUE(FocusBecomes(track_bar));
  const std::optional<Image> track_focused = Capture(track_bar);
  const std::optional<Image> label_after = CaptureTextLabel();
  ASSERT_TRUE(label_focused && label_after);
  EXPECT_NE(label_focused->pixels, label_after->pixels) << "the label's focus mark";
  // The toolbar's buttons that stay shown lie between the track bar and
  // the dump.
  ASSERT_TRUE(TabThroughToolbar({kDumpButton, kErrorLogButton, kHelpButton, kAboutButton}));
  PressKey(VK_TAB);
  ASSERT_TRUE(FocusBecomes(dump));
  const std::optional<Image> track_after = Capture(track_bar);
  ASSERT_TRUE(track_focused && track_after);
  EXPECT_NE(track_focused->pixels, track_after->pixels) << "the knob in its focus colour";
  ASSERT_TRUE(TabThroughToolbar({kAboutButton, kHelpButton, kErrorLogButton, kDumpButton}, true));
  PressKey(VK_TAB, true);
  ASSERT_TRUE(FocusBecomes(track_bar));
  PressKey(VK_TAB, true);
  ASSERT_TRUE(FocusBecomes(check_box));
  EXPECT_TRUE(WaitFor("the label's focus mark again", [&] {
    const std::optional<Image> label = CaptureTextLabel();
    return label && label->pixels == label_focused->pixels;
  }));
  PressKey(VK_TAB, true);
  ASSERT_TRUE(FocusBecomes(dump));

  // Space on the check box switches to the text, which takes the dump's
  // place in the round.
  PressKey(VK_TAB);
  ASSERT_TRUE(FocusBecomes(check_box));
  PressKey(VK_SPACE);
  HWND text_view = GetDlgItem(Control(kTextPanel), kTextView);
  ASSERT_TRUE(WaitFor("the text shown, the dump hidden", [&] {
    return SendMessageW(check_box, BM_GETCHECK, 0, 0) == BST_CHECKED && IsWindowVisible(text_view) &&
           !IsWindowVisible(dump);
  }));
  PressKey(VK_TAB, true);
  ASSERT_TRUE(FocusBecomes(text_view));
  PressKey(VK_TAB);
  ASSERT_TRUE(FocusBecomes(check_box));

  program_->ClickButton(kDumpButton);
  ASSERT_TRUE(WaitFor("the list back", [&] { return IsWindowVisible(program_->list()) && !IsWindowVisible(track_bar); }));
  EXPECT_TRUE(FocusBecomes(program_->list()));
}

// The about box: opened on OK, Tab reaches Update and comes back, Escape
// closes it, and the keyboard goes on where it was (the toolbar button
// the click gave the focus), from where Tab leads into the list.
TEST_F(KeyboardTest, TheAboutBoxGoesByKeys) {
  program_->PressRow(0, 100);
  ASSERT_TRUE(FocusBecomes(program_->list()));
  program_->ClickButton(kAboutButton);
  HWND about = nullptr;
  ASSERT_TRUE(WaitFor("the about box", [&] {
    about = FindTopWindow(L"TVersionBox", program_->pid());
    return about != nullptr && IsWindowVisible(about) && Focus() == GetDlgItem(about, IDOK);
  }));
  PressKey(VK_TAB);
  ASSERT_TRUE(FocusBecomes(GetDlgItem(about, 101)));
  PressKey(VK_TAB, true);
  ASSERT_TRUE(FocusBecomes(GetDlgItem(about, IDOK)));
  PressKey(VK_ESCAPE);
  ASSERT_TRUE(WaitFor("the about box closed", [&] { return !IsWindow(about) || !IsWindowVisible(about); }));
  ASSERT_TRUE(FocusBecomes(program_->Button(kAboutButton)));
  PressKey(VK_TAB);
  EXPECT_TRUE(FocusBecomes(program_->list()));
}

}  // namespace
}  // namespace plexi::gui
