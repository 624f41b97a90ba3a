// Protecting a drive through the list's menu, and the other running copies
// that follow: a copy in the same view at once, a copy in the other view not.
#include <windows.h>

#include <gtest/gtest.h>

#include "gui_actions.h"
#include "scenario_support.h"

namespace plexi::gui {
namespace {

constexpr COLORREF kProtectedGrey = RGB(0xA2, 0xA2, 0xA2);

// The row's background at its right end, where no text is drawn.
COLORREF RowBackground(const RunningProgram& program, int row) {
  const std::optional<Image> list = program.CaptureList();
  if (!list) return CLR_INVALID;
  const RECT bounds = program.RowBounds(row);
  return list->At(bounds.right - 6, bounds.top + 5);
}

// Selects a row and chooses the only entry of its menu.
bool ChooseFromRowMenu(const RunningProgram& program, int row) {
  program.PressRow(row, 200);
  if (!WaitUntil([&] { return program.SelectedRow() == size_t(row); }, kStepTimeout)) return false;
  const RECT bounds = program.RowBounds(row);
  PostContextMenu(program.window(), program.list(), 200, (bounds.top + bounds.bottom) / 2);
  HWND menu = WaitForPopupMenu(program.pid(), kStepTimeout);
  if (menu == nullptr) return false;
  ChooseMenuItem(menu, 0);
  return WaitUntil([&] { return !IsWindowVisible(menu) || !IsWindow(menu); }, kStepTimeout);
}

bool EraseEnabledFor(const RunningProgram& program, int row, bool expected) {
  program.PressRow(row, 200);
  return WaitUntil([&] { return program.SelectedRow() == size_t(row) && program.Enabled(kEraseButton) == expected; },
                   kStepTimeout);
}

TEST(Forbid, MenuForbidsAndAllowsAndCopiesInTheSameViewFollow) {
  ScenarioMachine machine;
  // A copy stopped during an erase left the counter up; it is set back
  // when the first copy starts, and left alone when others are running.
  ScenarioMachine::WriteText(machine.settings_file(), "1102=int:1102\r\nexitct=int:2\r\n");
  auto first = RunningProgram::Start(machine.file());
  ASSERT_TRUE(first);
  ASSERT_TRUE(first->WaitForRowCount(6));
  EXPECT_NE(ScenarioMachine::ReadText(machine.settings_file()).find("exitct=int:0"), std::string::npos);
  ScenarioMachine::WriteText(machine.settings_file(), "1102=int:1102\r\nexitct=int:1\r\n");
  auto second = RunningProgram::Start(machine.file());
  auto other_view = RunningProgram::Start(machine.file());
  ASSERT_TRUE(second && other_view);
  ASSERT_TRUE(second->WaitForRowCount(6) && other_view->WaitForRowCount(6));
  EXPECT_NE(ScenarioMachine::ReadText(machine.settings_file()).find("exitct=int:1"), std::string::npos);
  other_view->ClickButton(kViewButton);
  ASSERT_TRUE(other_view->WaitForRowCount(7));
  first->MoveTo(0, 0);
  second->MoveTo(0, 440);
  other_view->MoveTo(550, 860);  // clear of the second copy, whose pixels are checked

  const int data = *first->RowOf("E:");
  const std::wstring list_file = machine.files_folder() + L"drvnotlist.txt";

  // The system drive offers neither entry.
  first->PressRow(*first->RowOf("C: D:"), 200);
  ASSERT_TRUE(WaitUntil([&] { return first->SelectedRow() == size_t(*first->RowOf("C: D:")); }, kStepTimeout));
  PostContextMenu(first->window(), first->list(), 200, 30);
  EXPECT_EQ(WaitForPopupMenu(first->pid(), 1500ms), nullptr);

  ASSERT_TRUE(ChooseFromRowMenu(*first, data));
  EXPECT_TRUE(WaitUntil([&] { return ScenarioMachine::ReadText(list_file).find("E:931.51GB=SATA") != std::string::npos; },
                        kStepTimeout));
  EXPECT_TRUE(WaitUntil([&] { return !first->Enabled(kEraseButton); }, kStepTimeout));
  first->PressRow(*first->RowOf("H:"), 200);  // the forbidden row unselected, in grey
  ASSERT_TRUE(WaitUntil([&] { return first->SelectedRow() == size_t(*first->RowOf("H:")); }, kStepTimeout));
  first->Screenshot("forbidden-row");

  // The copy in the same view turned the row grey without a refresh.
  EXPECT_TRUE(WaitUntil([&] { return RowBackground(*second, *second->RowOf("E:")) == kProtectedGrey; }, kStepTimeout));
  EXPECT_TRUE(EraseEnabledFor(*second, *second->RowOf("E:"), false));
  // The partition view keys the drive by its partition: still erasable.
  EXPECT_TRUE(EraseEnabledFor(*other_view, *other_view->RowOf("E:"), true));

  ASSERT_TRUE(ChooseFromRowMenu(*first, data));  // now "消去を許可する"
  EXPECT_TRUE(WaitUntil([&] { return ScenarioMachine::ReadText(list_file).find("E:") == std::string::npos; },
                        kStepTimeout));
  EXPECT_TRUE(WaitUntil([&] { return first->Enabled(kEraseButton); }, kStepTimeout));
  EXPECT_TRUE(EraseEnabledFor(*second, *second->RowOf("E:"), true));

  EXPECT_EQ(other_view->Close(), std::optional<DWORD>(0));
  EXPECT_EQ(second->Close(), std::optional<DWORD>(0));
  EXPECT_EQ(first->Close(), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace plexi::gui
