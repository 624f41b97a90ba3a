// A drive letter that appears while the program runs is listed without a
// refresh, and one that goes is dropped.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "scenario_support.h"

namespace plexi::gui {
namespace {

TEST(DriveWatch, LetterThatAppearsOrGoesIsFollowedWithinAboutASecond) {
  ScenarioMachine machine;
  auto program = RunningProgram::Start(machine.file());
  ASSERT_TRUE(program);
  ASSERT_TRUE(program->WaitForRowCount(6));
  EXPECT_FALSE(program->RowOf("J:"));

  // The watch looks once a second; allow for a busy machine.
  ASSERT_TRUE(ScenarioMachine::WriteText(machine.changes_file(), "show J:\r\n"));
  ASSERT_TRUE(program->WaitForRowCount(7, 5s));
  const std::optional<int> stick = program->RowOf("J:");
  ASSERT_TRUE(stick);
  EXPECT_EQ(program->ListRows()[size_t(*stick)][0], "Kingston DataTraveler 3.0");

  ASSERT_TRUE(ScenarioMachine::WriteText(machine.changes_file(), "hide J:\r\nhide G:\r\n"));
  ASSERT_TRUE(program->WaitForRowCount(5, 5s));
  EXPECT_FALSE(program->RowOf("G:"));
  EXPECT_FALSE(program->RowOf("J:"));
  EXPECT_EQ(program->Close(), std::optional<DWORD>(0));
}

// The window menu's "すべてのディスクを表示" adds the disks without a
// lettered volume (the demo's Kingston stick, whose J: is not plugged in),
// is remembered in the settings, and whole disks that come and go are
// followed as the system's device notifications would be.
TEST(DriveWatch, EveryDiskItemListsDisksWithoutLettersAndFollowsWholeDisks) {
  constexpr UINT kEveryDiskCommand = 0x0130;
  ScenarioMachine machine;
  auto program = RunningProgram::Start(machine.file());
  ASSERT_TRUE(program);
  ASSERT_TRUE(program->WaitForRowCount(6));
  auto letterless_stick = [&] {
    const Rows rows = program->ListRows();
    return std::any_of(rows.begin(), rows.end(), [](const std::vector<std::string>& row) {
      return row[0] == "Kingston DataTraveler 3.0" && row[2] == "―";
    });
  };
  PostMessageW(program->window(), WM_SYSCOMMAND, kEveryDiskCommand, 0);
  ASSERT_TRUE(WaitFor("the stick without letters listed", [&] {
    return program->WaitForRowCount(7, 0s) && letterless_stick();
  }));
  EXPECT_NE(ScenarioMachine::ReadText(machine.settings_file()).find("alldisks=int:1"), std::string::npos);
  program->Screenshot("every-disk");

  ASSERT_TRUE(ScenarioMachine::WriteText(machine.changes_file(), "detach 7\r\n"));
  EXPECT_TRUE(program->WaitForRowCount(6, 5s)) << "a disk pulled out";
  EXPECT_FALSE(letterless_stick());
  ASSERT_TRUE(ScenarioMachine::WriteText(machine.changes_file(), "detach 7\r\nattach 7\r\n"));
  EXPECT_TRUE(WaitFor("the disk plugged in again", [&] { return letterless_stick(); }, 5s));
  EXPECT_EQ(program->Close(), std::optional<DWORD>(0));

  // Remembered: the next start lists every disk; the item turns it off.
  program = RunningProgram::Start(machine.file());
  ASSERT_TRUE(program);
  ASSERT_TRUE(program->WaitForRowCount(7));
  PostMessageW(program->window(), WM_SYSCOMMAND, kEveryDiskCommand, 0);
  EXPECT_TRUE(WaitFor("the letters' list again", [&] { return program->WaitForRowCount(6, 0s) && !letterless_stick(); }));
  EXPECT_NE(ScenarioMachine::ReadText(machine.settings_file()).find("alldisks=int:0"), std::string::npos);
  EXPECT_EQ(program->Close(), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace plexi::gui
