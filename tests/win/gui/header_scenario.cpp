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

// Pixels of a button's glyph that differ from what should show: the
// button's square (`tile`) through the clear pixels, the glyph (or its grey
// copy) elsewhere. The button is 20 x 20 at (x, 2), its glyph at 2, 2 inside it.
int GlyphMismatches(const Image& band, int x, const app::Pixmap& glyph, bool enabled, COLORREF tile) {
  const app::Pixmap shown = enabled ? glyph : app::Disabled(glyph);
  int mismatches = 0;
  for (int gy = 0; gy < 16; ++gy)
    for (int gx = 0; gx < 16; ++gx) {
      const COLORREF seen = band.At(x + 2 + gx, 4 + gy);
      const app::Color want = shown.At(gx, gy);
      const COLORREF expected = want == app::kClear ? tile : COLORREF(want);
      mismatches += seen != expected;
    }
  return mismatches;
}

bool IsGrey(COLORREF c) { return GetRValue(c) == GetGValue(c) && GetGValue(c) == GetBValue(c); }

constexpr COLORREF kRedFace = RGB(0xD0, 0x20, 0x20);

// Over a coloured band each glyph keeps its square of the button face (red
// for the erase button), and a disabled button shows its glyph greyed.
TEST(Header, ToolbarGlyphsSitOnTheirSquaresAndGreyWhenDisabled) {
  ScenarioMachine machine;
  auto program = RunningProgram::Start(machine.file());
  ASSERT_TRUE(program);
  ASSERT_TRUE(program->WaitForRowCount(6));
  ChooseColour(*program, 2);
  ASSERT_TRUE(WaitUntil([&] { return FromStrip(BandPixel(*program), 2); }, kStepTimeout));
  const std::vector<app::Pixmap> images = app::ToolbarImages();
  auto capture = [&] {
    const RECT band{0, 0, 180, 24};
    RedrawWindow(program->window(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    return CaptureClient(program->window(), band);
  };
  struct Glyph {
    int x;
    int image;
    COLORREF tile;
  };
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  const Glyph refresh{80, app::kImageRefresh, face}, error_log{104, app::kImageErrorLog, face},
      help{128, app::kImageHelp, face}, about{152, app::kImageAbout, face}, dump{8, app::kImageSectorDump, face},
      erase{32, app::kImageErase, kRedFace};
  std::optional<Image> band;
  // No row selected: the dump and erase buttons are disabled.
  EXPECT_TRUE(WaitFor("enabled glyphs in colour, disabled ones grey, each on its square", [&] {
    band = capture();
    if (!band) return false;
    for (const Glyph& g : {refresh, error_log, help, about})
      if (GlyphMismatches(*band, g.x, images[size_t(g.image)], true, g.tile) != 0) return false;
    for (const Glyph& g : {dump, erase})
      if (GlyphMismatches(*band, g.x, images[size_t(g.image)], false, g.tile) != 0) return false;
    return true;
  }, kStepTimeout, [&] {
    std::string seen;
    for (const Glyph& g : {refresh, error_log, help, about, dump, erase}) {
      const bool enabled = g.x > 32;
      seen += std::to_string(g.x) + ": " +
              std::to_string(band ? GlyphMismatches(*band, g.x, images[size_t(g.image)], enabled, g.tile) : -1) + " ";
    }
    return seen;
  }));
  ASSERT_TRUE(band);
  // The disabled erase glyph is grey where the enabled one has colour.
  const app::Pixmap& erase_glyph = images[app::kImageErase];
  int grey_where_coloured = 0;
  for (int gy = 0; gy < 16; ++gy)
    for (int gx = 0; gx < 16; ++gx) {
      const app::Color c = erase_glyph.At(gx, gy);
      if (c == app::kClear || IsGrey(COLORREF(c))) continue;
      grey_where_coloured += IsGrey(band->At(erase.x + 2 + gx, 4 + gy));
    }
  EXPECT_GT(grey_where_coloured, 20);
  const std::optional<Image> disabled_erase = CaptureClient(program->Button(kEraseButton), {2, 2, 18, 18});

  program->PressRow(*program->RowOf("E:"), 100);
  ASSERT_TRUE(WaitFor("the erase button enabled", [&] { return program->Enabled(kEraseButton); }));
  EXPECT_TRUE(WaitFor("the erase glyph in colour", [&] {
    band = capture();
    return band && GlyphMismatches(*band, erase.x, erase_glyph, true, erase.tile) == 0;
  }));
  const std::optional<Image> enabled_erase = CaptureClient(program->Button(kEraseButton), {2, 2, 18, 18});
  ASSERT_TRUE(disabled_erase && enabled_erase);
  EXPECT_NE(disabled_erase->pixels, enabled_erase->pixels);
  program->Screenshot("toolbar-on-red-band");
  EXPECT_EQ(program->Close(), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace plexi::gui
