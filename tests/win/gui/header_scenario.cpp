// The header band's colour: chosen from its menu, painted at once, and
// back after a restart.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "app/artwork.h"
#include "gui_actions.h"
#include "scenario_support.h"

namespace plexi::gui {
namespace {

// The band's colour below its bright top, where no button or text lies.
COLORREF BandPixel(const RunningProgram& program) {
  const RECT band{0, 0, 400, 24};
  RedrawWindow(program.window(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  const std::optional<Image> image = CaptureClient(program.window(), band);
  return image ? image->At(300, 18) : CLR_INVALID;
}

// Whether the colour is one of the strip's pixels.
bool FromStrip(COLORREF colour, int index) {
  const app::Pixmap strip = app::HeaderStrips()[size_t(index)];
  // The pixmap's colours are COLORREFs already.
  return std::any_of(strip.pixels.begin(), strip.pixels.end(),
                     [&](app::Color p) { return COLORREF(p) == colour; });
}

void ChooseColour(const RunningProgram& program, int index) {
  PostContextMenu(program.window(), program.window(), 300, 12);
  HWND menu = WaitForPopupMenu(program.pid(), kStepTimeout);
  ASSERT_NE(menu, nullptr);
  ChooseMenuItem(menu, index);
}

TEST(Header, EachColourIsPaintedAndTheChoiceSurvivesARestart) {
  ScenarioMachine machine;
  auto program = RunningProgram::Start(machine.file());
  ASSERT_TRUE(program);
  ASSERT_TRUE(program->WaitForRowCount(6));
  // No colour stored: the band keeps the panel's colour.
  EXPECT_TRUE(WaitUntil([&] { return BandPixel(*program) == GetSysColor(COLOR_BTNFACE); }, kStepTimeout));

  const char* const names[] = {"gray", "navy", "red", "none"};
  for (int index : {0, 1, 2, 3}) {
    ChooseColour(*program, index);
    if (index < 3) {
      EXPECT_TRUE(WaitUntil([&] { return FromStrip(BandPixel(*program), index); }, kStepTimeout)) << names[index];
    } else {
      EXPECT_TRUE(WaitUntil([&] { return BandPixel(*program) == GetSysColor(COLOR_BTNFACE); }, kStepTimeout));
    }
    program->Screenshot(std::string("header-") + names[index]);
  }
  ChooseColour(*program, 1);
  ASSERT_TRUE(WaitUntil([&] { return FromStrip(BandPixel(*program), 1); }, kStepTimeout));
  ASSERT_EQ(program->Close(), std::optional<DWORD>(0));
  EXPECT_NE(ScenarioMachine::ReadText(machine.settings_file()).find("bodeyid=int:1"), std::string::npos);

  program = RunningProgram::Start(machine.file());
  ASSERT_TRUE(program);
  EXPECT_TRUE(WaitUntil([&] { return FromStrip(BandPixel(*program), 1); }, kStepTimeout)) << "navy again";
  EXPECT_EQ(program->Close(), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace plexi::gui
