// The progress bar: setter rules, when it repaints, and the pixels of its
// styles, blocks, frame, tick and text.
#include "controls/color_progress_bar.h"

#include <gtest/gtest.h>

#include "controls/control_test_support.h"

namespace plexi::controls {
namespace {

using test::BoxOf;
using test::CountingHost;
using test::PaintOf;
using test::RunsInRow;

constexpr Color kRed = 0x0000FF;
constexpr Color kBox = Rgb(240, 240, 240);

TColorProgressBar MakeBar(int w, int h, PAINTTYPE style = btSolid, Color bar = kRed) {
  TColorProgressBar b;
  b.SetSize(w, h);
  b.SetBarStyle(style);
  b.SetBarColor(bar);
  b.SetBoxColor(kBox);
  b.SetColor(kBox);
  return b;
}

TEST(ProgressBarState, RangeSettersKeepMinAtMostMax) {
  TColorProgressBar b;
  b.SetMax(0);
  EXPECT_EQ(b.Max(), 1u);
  b.SetMax(100);
  b.SetMin(500);
  EXPECT_EQ(b.Min(), 100u);
  b.SetMin(40);
  b.SetMax(10);
  EXPECT_EQ(b.Max(), 40u);
}

TEST(ProgressBarState, PositionClampsToRangeAndIgnoresItsOwnValue) {
  TColorProgressBar b;
  CountingHost host(b);
  b.SetMin(10);
  b.SetPosition(3);
  EXPECT_EQ(b.Position(), 10u);
  b.SetPosition(1000);
  EXPECT_EQ(b.Position(), 100u);
  EXPECT_EQ(b.ParValue(), 100);
  const int painted = host.painted, invalidated = host.invalidated;
  b.SetPosition(100);
  EXPECT_EQ(host.painted, painted);
  EXPECT_EQ(host.invalidated, invalidated);
}

TEST(ProgressBarState, ParValueIsFormedIn64Bits) {
  TColorProgressBar b;
  b.SetMax(std::uint64_t{1} << 41);
  b.SetPosition(std::uint64_t{1} << 40);
  EXPECT_EQ(b.ParValue(), 50);
}

TEST(ProgressBarState, RepaintsOnlyWhenTheWholePercentMoves) {
  TColorProgressBar b;
  CountingHost host(b);
  b.SetMax(1000);
  b.SetPosition(10);
  ASSERT_EQ(host.painted, 1);
  for (std::uint64_t p = 11; p <= 19; ++p) b.SetPosition(p);
  EXPECT_EQ(host.painted, 1);
  b.SetPosition(20);
  EXPECT_EQ(host.painted, 2);
  EXPECT_EQ(host.invalidated, 0);  // position moves paint at once, never later
}

TEST(ProgressBarState, PercentDoneCountsFromMinButTheBarFromZero) {
  TColorProgressBar b;
  b.SetMax(150);
  b.SetMin(50);
  b.SetPosition(100);
  EXPECT_EQ(b.GetPercentDone(), 50);
  EXPECT_EQ(b.ParValue(), 66);
  b.SetMax(200);  // no position update: the text keeps the old value
  EXPECT_EQ(b.ParValue(), 66);
}

TEST(ProgressBarState, StepsBelowZeroStopAtMin) {
  TColorProgressBar b;
  b.SetMin(5);
  b.SetPosition(10);
  b.StepBy(-3);
  EXPECT_EQ(b.Position(), 7u);
  b.StepBy(-20);
  EXPECT_EQ(b.Position(), 5u);
  b.SetStep(-1000);
  EXPECT_EQ(b.Step(), -1000);  // negative steps are taken as given
  b.SetPosition(50);
  b.StepIt();
  EXPECT_EQ(b.Position(), 5u);
  b.SetStep(500);
  EXPECT_EQ(b.Step(), 100);
  b.StepIt();
  EXPECT_EQ(b.Position(), 100u);
}

TEST(ProgressBarState, BlockAndLevelSettersClamp) {
  TColorProgressBar b;  // 150 x 16
  for (int bad : {0, -4, 151}) {
    b.SetBlockCount(bad);
    EXPECT_EQ(b.BlockCount(), 1) << bad;
  }
  b.SetBlockCount(10);
  b.SetBlockSpace(6);
  EXPECT_EQ(b.BlockSpace(), 6);
  b.SetBlockSpace(7);
  EXPECT_EQ(b.BlockSpace(), 6);
  b.SetBlockSpace(-3);
  EXPECT_EQ(b.BlockSpace(), -3);
  b.SetWhiteLevel(5);
  EXPECT_EQ(b.WhiteLevel(), 10);
  b.SetWhiteLevel(300);
  EXPECT_EQ(b.WhiteLevel(), 255);
  b.SetLinePar(150);
  EXPECT_EQ(b.LinePar(), 100);
  b.SetLinePar(-10);
  EXPECT_EQ(b.LinePar(), -10);
}

TEST(ProgressBarState, LooksRepaintLaterButRangesDoNot) {
  TColorProgressBar b;
  CountingHost host(b);
  b.SetMin(0);
  b.SetMax(50);
  b.SetStep(3);
  EXPECT_EQ(host.invalidated, 0);
  b.SetSmooth(true);
  b.SetBarColor(kRed);
  b.SetBlockSpace(100);  // refused, still repaints
  EXPECT_EQ(host.invalidated, 3);
  EXPECT_EQ(host.painted, 0);
}

TEST(ProgressBarColors, AlphaMixing) {
  EXPECT_EQ(GetAlphaColor(0x0000FF, 0xFFFFFF, 100), Rgb(255, 155, 155));
  EXPECT_EQ(GetAlphaColor(0x123456, 0xABCDEF, 0), 0xABCDEFu);
  EXPECT_EQ(GetAlphaColor(0x123456, 0xABCDEF, 256), 0x123456u);
  // The difference is divided rounding down, also when it is negative.
  EXPECT_EQ(GetAlphaColor(0x000000, 0x0000FF, 1), Rgb(254, 0, 0));
}

TEST(ProgressBarColors, DefaultsAreResolvedAndNewColoursReachTheNextPaint) {
  SystemColorTable table;
  TColorProgressBar b(table);
  EXPECT_EQ(b.BarColor(), table.SystemColorValue(kColorHighlight));
  EXPECT_EQ(b.BarTintColor(),
            GetAlphaColor(static_cast<std::int32_t>(b.BarColor()), kWhite, 100));
  b.SetPosition(100);
  EXPECT_EQ(PaintOf(b).GetPixel(10, 8), b.BarColor());
  b.SetBarColor(kRed);
  EXPECT_EQ(b.BarTintColor(), Rgb(255, 155, 155));
  EXPECT_EQ(PaintOf(b).GetPixel(10, 8), kRed);
  b.SetBoxColor(SystemColor(kColorWindow));
  EXPECT_EQ(PaintOf(b).GetPixel(147, 8), kWhite);
}

TEST(ProgressBarDraw, FullBarEndsOneColumnShortOfTheFrame) {
  TColorProgressBar sunken = MakeBar(150, 16);
  sunken.SetPosition(100);
  RasterCanvas c = PaintOf(sunken);
  EXPECT_EQ(c.GetPixel(2, 2), kRed);
  EXPECT_EQ(c.GetPixel(146, 13), kRed);  // W - 4
  EXPECT_EQ(c.GetPixel(146, 14), kBox);
  EXPECT_EQ(c.GetPixel(147, 8), kBox);
  EXPECT_EQ(c.GetPixel(1, 8), kBox);

  TColorProgressBar flat = MakeBar(150, 16);
  flat.SetFlat(true);
  flat.SetLineColor(0x00FF00);
  flat.SetPosition(100);
  c = PaintOf(flat);
  EXPECT_EQ(c.GetPixel(147, 8), kRed);  // W - 3
  EXPECT_EQ(c.GetPixel(148, 8), kBox);
  EXPECT_EQ(BoxOf(c, 0x00FF00), (Rect{0, 0, 150, 16}));
  EXPECT_EQ(c.GetPixel(149, 8), 0x00FF00u);
}

TEST(ProgressBarDraw, SunkenFrameLines) {
  TColorProgressBar b = MakeBar(40, 16);
  b.SetColor(0x00AA00);
  RasterCanvas c = PaintOf(b);
  EXPECT_EQ(c.GetPixel(0, 15), 0x505050u);
  EXPECT_EQ(c.GetPixel(0, 0), 0x505050u);
  EXPECT_EQ(c.GetPixel(38, 0), 0x505050u);
  EXPECT_EQ(c.GetPixel(39, 0), kWhite);
  EXPECT_EQ(c.GetPixel(39, 15), kWhite);
  EXPECT_EQ(c.GetPixel(1, 15), kWhite);
  // Inner edge in the parent's colour: a column, or a row when vertical.
  EXPECT_EQ(BoxOf(c, 0x00AA00), (Rect{38, 1, 39, 14}));
  b.SetOrientation(pbVertical);
  EXPECT_EQ(BoxOf(PaintOf(b), 0x00AA00), (Rect{1, 1, 38, 2}));
}

TEST(ProgressBarDraw, NoBarAtZeroButFrameTickAndText) {
  TColorProgressBar b = MakeBar(150, 16);
  b.SetLineParVisible(true);
  b.SetTextSwitch(true);
  RasterCanvas c = PaintOf(b);
  EXPECT_EQ(BoxOf(c, kRed), (Rect{74, 1, 75, 14}));  // only the tick is red
  EXPECT_EQ(c.GetPixel(74, 4), kRed);
  EXPECT_EQ(c.GetPixel(74, 5), kBox);
  EXPECT_EQ(c.GetPixel(74, 9), kBox);
  EXPECT_EQ(c.GetPixel(74, 10), kRed);
  EXPECT_EQ(c.GetPixel(74, 13), kRed);
  EXPECT_EQ(c.GetPixel(74, 14), kBox);
  EXPECT_FALSE(BoxOf(c, kBlack) == Rect{});  // "0%"
}

TEST(ProgressBarDraw, TickOutsideTheRangeLandsOffTheControl) {
  TColorProgressBar b = MakeBar(150, 16);
  b.SetBarColor(0x00FF00);
  b.SetLineParVisible(true);
  b.SetLinePar(-10);
  EXPECT_EQ(BoxOf(PaintOf(b), kRed), Rect{});
  b.SetLinePar(150);
  EXPECT_EQ(BoxOf(PaintOf(b), kRed), (Rect{149, 1, 150, 14}));
  b.SetOrientation(pbVertical);
  b.SetSize(16, 101);
  b.SetLinePar(30);
  EXPECT_EQ(PaintOf(b).GetPixel(1, 30), kRed);
  EXPECT_EQ(PaintOf(b).GetPixel(13, 30), kRed);
  EXPECT_EQ(PaintOf(b).GetPixel(14, 30), kBox);
}

TEST(ProgressBarDraw, PercentTextIsCentred) {
  TColorProgressBar b = MakeBar(150, 16);
  b.SetTextSwitch(true);
  b.SetFont(Font{.height = -12, .color = kBlack});
  b.SetPosition(50);
  // "50%": three cells of 6 pixels, 12 high; x = 75 - 9, y = 8 - 6; the
  // built-in glyphs start 3 rows into their cell.
  EXPECT_EQ(BoxOf(PaintOf(b), kBlack), (Rect{66, 5, 83, 12}));
}

TEST(ProgressBarDraw, ShadowTextIsBoxColouredOverABarColouredCopy) {
  TColorProgressBar b = MakeBar(150, 16);
  b.SetTextSwitch(true);
  b.SetShadow(true);
  b.SetFont(Font{.height = -12, .color = kBlack});
  RasterCanvas c = PaintOf(b);  // "0%" at x = 75 - 6
  EXPECT_EQ(BoxOf(c, kBlack), Rect{});
  EXPECT_EQ(BoxOf(c, kRed), (Rect{70, 6, 81, 13}));
}

TEST(ProgressBarDraw, BlocksAreALeadingRunCountedByPercent) {
  TColorProgressBar b = MakeBar(150, 16);
  b.SetSmooth(true);
  const std::pair<std::uint64_t, int> cases[] = {{9, 0}, {45, 4}, {100, 10}};
  for (auto [percent, blocks] : cases) {
    b.SetPosition(percent);
    RasterCanvas c = PaintOf(b);
    EXPECT_EQ(RunsInRow(c, 8, kRed), blocks) << percent;
    if (blocks > 0) {
      EXPECT_EQ(c.GetPixel(2, 8), kRed);
    }
  }
  // Blocks of 14.6 pixels with a gap of one: the second starts at 16.
  RasterCanvas c = PaintOf(b);
  EXPECT_EQ(c.GetPixel(15, 8), kBox);
  EXPECT_EQ(c.GetPixel(16, 8), kRed);
}

TEST(ProgressBarDraw, VerticalBarGrowsFromTheBottom) {
  TColorProgressBar b = MakeBar(16, 102);
  b.SetOrientation(pbVertical);
  b.SetPosition(50);
  RasterCanvas c = PaintOf(b);
  // Inner length 100: the bar covers rows 52..99, columns 2..13.
  EXPECT_EQ(BoxOf(c, kRed), (Rect{2, 52, 14, 100}));
  b.SetSmooth(true);
  b.SetBlockCount(5);
  b.SetBlockSpace(2);
  c = PaintOf(b);
  int runs = 0;
  bool inside = false;
  for (int y = 0; y < c.Height(); ++y) {
    const bool hit = c.GetPixel(8, y) == kRed;
    runs += hit && !inside;
    inside = hit;
  }
  EXPECT_EQ(runs, 2);  // 20 % and 40 % are at most 50 %
}

TEST(ProgressBarDraw, GradientStartsDarkAndStopsBelow255) {
  TColorProgressBar b = MakeBar(60, 16, btGradetion, kWhite);
  b.SetPosition(100);
  RasterCanvas c = PaintOf(b);
  // 255 - 64 - 84 = 107, then 18.75 per row upwards until the next step
  // would reach 255.
  const int expected[] = {107, 125, 144, 163, 182, 200, 219, 238, 238, 238, 238, 238};
  for (int i = 0; i < 12; ++i) {
    const int row = 13 - i;
    EXPECT_EQ(c.GetPixel(10, row), Rgb(expected[i], expected[i], expected[i])) << row;
  }
  b.SetBarColor(Rgb(150, 100, 255));  // 150 -> 2, 100 -> 36, 255 -> 107
  EXPECT_EQ(PaintOf(b).GetPixel(10, 13), Rgb(2, 36, 107));
}

TEST(ProgressBarDraw, GlossGradientOnATenPixelBar) {
  TColorProgressBar b = MakeBar(60, 10, btGradetion2, kWhite);
  b.SetPosition(100);
  RasterCanvas c = PaintOf(b);
  // No gloss band and no held rows: rows 7 up to 3 climb by 30, row 2 white.
  const int expected[] = {107, 137, 167, 197, 227};
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(c.GetPixel(10, 7 - i), Rgb(expected[i], expected[i], expected[i])) << i;
  EXPECT_EQ(c.GetPixel(10, 2), kWhite);
  EXPECT_EQ(c.GetPixel(56, 2), kWhite);
  // Shade line at the bar's end, column 57, below the white line.
  const Color shade = GetAlphaColor(static_cast<std::int32_t>(kBox), kBlack, 150);
  EXPECT_EQ(c.GetPixel(57, 3), shade);
  EXPECT_EQ(c.GetPixel(57, 7), shade);
}

TEST(ProgressBarDraw, GlossGradientHoldsTheBottomTenth) {
  TColorProgressBar b = MakeBar(60, 30, btGradetion2);
  b.SetPosition(100);
  RasterCanvas c = PaintOf(b);
  // N = 26 rows, K = 2 held: rows 27, 26 and 25 share the base colour,
  // then 10 per row.
  EXPECT_EQ(c.GetPixel(10, 27), Rgb(107, 0, 0));
  EXPECT_EQ(c.GetPixel(10, 25), Rgb(107, 0, 0));
  EXPECT_EQ(c.GetPixel(10, 24), Rgb(117, 10, 10));
  // The gradient stops at row G = 10; above it the gloss, white on top.
  EXPECT_NE(c.GetPixel(10, 10), c.GetPixel(10, 9));
  const Color light1 = GetAlphaColor(static_cast<std::int32_t>(kRed), kWhite, 60);
  EXPECT_EQ(c.GetPixel(10, 9), light1);
  EXPECT_EQ(c.GetPixel(10, 3), light1);
  EXPECT_EQ(c.GetPixel(10, 2), kWhite);
}

TEST(ProgressBarDraw, Win7RowsAtHeight21) {
  TColorProgressBar b = MakeBar(80, 21, btWin7);
  b.SetPosition(100);
  RasterCanvas c = PaintOf(b);
  const Color light1 = GetAlphaColor(static_cast<std::int32_t>(kRed), kWhite, 60);
  const Color light2 = GetAlphaColor(static_cast<std::int32_t>(kRed), kWhite, 80);
  for (int y = 2; y <= 4; ++y) EXPECT_EQ(c.GetPixel(10, y), light1) << y;
  for (int y = 5; y <= 7; ++y) EXPECT_EQ(c.GetPixel(10, y), light2) << y;
  // Lower part from row 8 down, lighter by 150 / 10.5 per row.
  EXPECT_EQ(c.GetPixel(10, 8), Rgb(107, 0, 0));
  EXPECT_EQ(c.GetPixel(10, 9), Rgb(121, 14, 14));
  EXPECT_EQ(c.GetPixel(10, 19), Rgb(249, 157, 157));
  EXPECT_EQ(c.GetPixel(10, 20), kWhite);  // the frame's bottom row
  const Color shade = GetAlphaColor(static_cast<std::int32_t>(kBox), kBlack, 150);
  EXPECT_EQ(c.GetPixel(77, 3), shade);  // end column W - 3
  EXPECT_EQ(c.GetPixel(77, 18), shade);
}

TEST(ProgressBarDraw, ThreeBandSolidUsesAbsoluteMiddleRow) {
  TColorProgressBar b = MakeBar(60, 16, btSolid2);
  b.SetPosition(100);
  RasterCanvas c = PaintOf(b);
  // Rows 2..13: h = 12, middle row 6, shade 2 rows.
  EXPECT_EQ(c.GetPixel(10, 2), b.BarTintColor());
  EXPECT_EQ(c.GetPixel(10, 5), Rgb(255, 155, 155));
  EXPECT_EQ(c.GetPixel(10, 6), kRed);
  EXPECT_EQ(c.GetPixel(10, 11), kRed);
  EXPECT_EQ(c.GetPixel(10, 12), GetAlphaColor(static_cast<std::int32_t>(kRed), kBlack, 240));
}

TEST(ProgressBarDraw, VerticalStylesStayInsideTheFrame) {
  for (PAINTTYPE style : {btSolid, btSolid2, btGradetion, btGradetion2, btWin7}) {
    TColorProgressBar b = MakeBar(20, 100, style);
    b.SetOrientation(pbVertical);
    b.SetPosition(60);
    RasterCanvas c = PaintOf(b);
    // Nothing drawn above the bar's leading end (row trunc(100 - 58.8) = 41).
    for (int y = 2; y < 40; ++y)
      for (int x = 2; x < 18; ++x) ASSERT_EQ(c.GetPixel(x, y), kBox) << style << " " << x << "," << y;
    EXPECT_NE(c.GetPixel(10, 60), kBox) << style;
    EXPECT_EQ(c.GetPixel(19, 50), kWhite) << style;
  }
}

}  // namespace
}  // namespace plexi::controls
