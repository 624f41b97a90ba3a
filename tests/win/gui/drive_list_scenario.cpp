// Clicks in the drive list: which buttons a selection enables, the erase
// that a press on a row's icon starts, and the system drive that never is.
#include <windows.h>

#include <gtest/gtest.h>

#include <commctrl.h>

#include "gui_actions.h"
#include "scenario_support.h"

namespace plexi::gui {
namespace {

constexpr char kEraseQuestion[] = "データの消去確認";

bool ButtonsAre(const RunningProgram& program, bool dump, bool erase) {
  return program.Enabled(kDumpButton) == dump && program.Enabled(kEraseButton) == erase;
}

TEST(DriveList, ClickEnablesTheButtonsTheSelectedRowAllows) {
  ScenarioMachine machine;
  const Rows cli = CliRows(machine.file(), false);
  auto program = RunningProgram::Start(machine.file());
  ASSERT_TRUE(program);
  ASSERT_TRUE(program->WaitForRowCount(6));
  ASSERT_EQ(cli.size(), 6u);

  for (int row = 0; row < 6; ++row) {
    const bool erasable = cli[size_t(row)][7].empty();  // the "消去不可" column
    program->PressRow(row, 200);
    EXPECT_TRUE(WaitUntil([&] { return program->SelectedRow() == size_t(row) && ButtonsAre(*program, true, erasable); },
                          kStepTimeout))
        << "row " << row;
    if (cli[size_t(row)][2] == "F:") program->Screenshot("selected-completed-erase");
    if (cli[size_t(row)][2] == "G:") program->Screenshot("selected-interrupted-erase");
  }

  // A press below the last row selects nothing and disables both.
  RECT client;
  GetClientRect(program->list(), &client);
  PostClick(program->list(), 200, client.bottom - 10);
  EXPECT_TRUE(WaitUntil([&] { return !program->SelectedRow() && ButtonsAre(*program, false, false); },
                        kStepTimeout));
  EXPECT_EQ(program->Close(), std::optional<DWORD>(0));
}

// The grey line under the last row stays there: the rows above keep the
// list's background in their bottom pixel row, however often they repaint.
TEST(DriveList, GreyLineRunsUnderTheLastRowOnly) {
  ScenarioMachine machine;
  auto program = RunningProgram::Start(machine.file());
  ASSERT_TRUE(program);
  ASSERT_TRUE(program->WaitForRowCount(6));
  // A selection repaints some rows after the whole list has been painted.
  program->PressRow(1, 200);
  ASSERT_TRUE(WaitUntil([&] { return program->SelectedRow() == size_t(1); }, kStepTimeout));

  constexpr COLORREF kGrey = RGB(0x80, 0x80, 0x80);
  const RECT last = program->RowBounds(5);
  std::optional<Image> list;
  ASSERT_TRUE(WaitUntil([&] {
    list = program->CaptureList();
    return list && list->At(last.left + 40, last.bottom - 1) == kGrey;
  }, kStepTimeout)) << "the line under the last row";
  const COLORREF background = COLORREF(SendMessageW(program->list(), LVM_GETBKCOLOR, 0, 0));
  for (int row = 0; row < 5; ++row) {
    const RECT bounds = program->RowBounds(row);
    for (int x : {int(bounds.left) + 40, int(bounds.right) / 2, int(bounds.right) - 10}) {
      EXPECT_NE(list->At(x, bounds.bottom - 1), kGrey) << "row " << row << " x " << x;
      if (background != CLR_NONE) {
        EXPECT_EQ(list->At(x, bounds.bottom - 1), background) << "row " << row;
      }
    }
  }
  program->Screenshot("last-row-line");
  EXPECT_EQ(program->Close(), std::optional<DWORD>(0));
}

TEST(DriveList, PressOnAnErasableIconStartsTheEraseButNeverOnTheSystemDrive) {
  ScenarioMachine machine;
  auto program = RunningProgram::Start(machine.file());
  ASSERT_TRUE(program);
  ASSERT_TRUE(program->WaitForRowCount(6));
  const std::optional<int> system = program->RowOf("C: D:");
  const std::optional<int> data = program->RowOf("E:");
  const std::optional<int> usb = program->RowOf("H:");
  ASSERT_TRUE(system && data && usb);

  // The system drive's row is grey, selected or not, and its icon starts nothing.
  std::optional<Image> list = program->CaptureList();
  ASSERT_TRUE(list);
  RECT row = program->RowBounds(*system);
  EXPECT_EQ(list->At(row.right - 6, row.top + 5), RGB(0xA2, 0xA2, 0xA2));
  program->PressRow(*system, 10);
  ASSERT_TRUE(WaitUntil([&] { return program->SelectedRow() == size_t(*system) && ButtonsAre(*program, true, false); },
                        kStepTimeout));
  program->Screenshot("selected-system-drive");

  // x = 32 only selects; x = 31 asks the erase's first question, for the
  // drive pressed last. Had either earlier press started an erase, its
  // question would be the one on the screen.
  program->PressRow(*data, 32);
  ASSERT_TRUE(WaitUntil([&] { return program->SelectedRow() == size_t(*data) && ButtonsAre(*program, true, true); },
                        kStepTimeout));
  program->PressRow(*usb, 31);
  HWND question = WaitForDialog(program->pid(), kEraseQuestion, kStepTimeout);
  ASSERT_NE(question, nullptr);
  const std::string text = DialogText(question);
  EXPECT_NE(text.find("WD Elements 25A3 （H:）"), std::string::npos) << text;
  EXPECT_NE(text.find("このドライブの内容を全て消去しますか？"), std::string::npos) << text;
  PressDialogButton(question, IDCANCEL);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(question); }, kStepTimeout));

  // The erase button asks the same; after OK the erase goes as far as the
  // final confirmation, cancelled there, and nothing is written.
  program->ClickButton(kEraseButton);
  question = WaitForDialog(program->pid(), kEraseQuestion, kStepTimeout);
  ASSERT_NE(question, nullptr);
  PressDialogButton(question, IDOK);
  HWND confirmation = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    confirmation = FindTopWindow(L"TDriveDelInfoDlg", program->pid());
    return confirmation != nullptr && IsWindowVisible(confirmation);
  }, kStepTimeout));
  PressDialogButton(confirmation, IDCANCEL);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(confirmation) && IsWindowEnabled(program->window()); },
                        kStepTimeout));
  EXPECT_EQ(program->ListRows()[size_t(*usb)][4], "") << "no erase method recorded";
  EXPECT_EQ(program->Close(), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace plexi::gui
