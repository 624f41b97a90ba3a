// A drive letter that appears while the program runs is listed without a
// refresh, and one that goes is dropped.
#include <windows.h>

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace plexi::gui
