// The track bar: setter rules, paging, dragging, keys, focus colours and the
// knob's fill.
#include "controls/my_track_bar.h"

#include <gtest/gtest.h>

#include "controls/control_test_support.h"

namespace plexi::controls {
namespace {

using test::BoxOf;
using test::CountingHost;
using test::PaintOf;

constexpr Color kTrack = 0x808080;

struct TrackFixture : ::testing::Test {
  TrackFixture() {
    bar.OnChange = [this] { ++changes; };
    bar.SetColor(kWhite);
    bar.SetBtnColor(Rgb(200, 200, 200));
  }
  // Paints once so the knob's place is known, as on screen.
  void Show() { PaintOf(bar); }

  TMyTrackBar bar;  // 150 x 16, 0..100
  CountingHost<TMyTrackBar> host{bar};
  int changes = 0;
};

TEST_F(TrackFixture, PositionStoresClampedRedrawsAndNotifiesEveryTime) {
  bar.SetMin(10);
  bar.SetPosition(0);
  EXPECT_EQ(bar.Position(), 10);
  bar.SetPosition(500);
  EXPECT_EQ(bar.Position(), 100);
  const int painted = host.painted;
  bar.SetPosition(100);
  EXPECT_EQ(host.painted, painted + 1);
  EXPECT_EQ(changes, 3);
}

TEST_F(TrackFixture, SizeSettersClampToOneAndMax) {
  bar.SetLineSize(0);
  EXPECT_EQ(bar.LineSize(), 1);
  bar.SetLineSize(-5);
  EXPECT_EQ(bar.LineSize(), 1);
  bar.SetLineSize(500);
  EXPECT_EQ(bar.LineSize(), 100);
  bar.SetPageSize(250);
  EXPECT_EQ(bar.PageSize(), 100);
  bar.SetStep(300);
  EXPECT_EQ(bar.Step(), 100);
  bar.SetStep(-2);
  EXPECT_EQ(bar.Step(), 100);
  bar.SetMin(-50);
  bar.SetMax(-10);
  bar.SetStep(-2);  // above Max
  EXPECT_EQ(bar.Step(), -10);
  bar.SetStep(-20);  // below a negative Max: taken
  EXPECT_EQ(bar.Step(), -20);
  bar.SetMax(0);
  EXPECT_EQ(bar.Max(), 0);
}

TEST_F(TrackFixture, ClicksBesideTheKnobPageByStep) {
  bar.SetPosition(50);
  Show();  // knob at 7 + 120 * 50 / 100 = 67
  ASSERT_EQ(bar.KnobLead(), 67);
  bar.MouseDown(MouseButton::mbLeft, false, 140, 8);
  EXPECT_EQ(bar.Position(), 60);
  bar.MouseDown(MouseButton::mbLeft, false, 10, 8);
  EXPECT_EQ(bar.Position(), 50);
  EXPECT_TRUE(bar.Focused());
  EXPECT_EQ(host.focus_requests, 2);
  // Exactly at the end of the knob box: nothing moves.
  PaintOf(bar);
  bar.MouseDown(MouseButton::mbLeft, false, bar.KnobLead() + 18, 8);
  EXPECT_EQ(bar.Position(), 50);
  // Other buttons only take the focus.
  bar.MouseDown(MouseButton::mbRight, false, 140, 8);
  EXPECT_EQ(bar.Position(), 50);
}

TEST_F(TrackFixture, ShiftPagesByAThirtieth) {
  bar.SetPosition(50);
  Show();
  bar.MouseDown(MouseButton::mbLeft, true, 140, 8);  // 10 / 30 = 0
  EXPECT_EQ(bar.Position(), 50);
  bar.SetMax(1000);
  bar.SetStep(300);
  bar.MouseDown(MouseButton::mbLeft, true, 140, 8);
  EXPECT_EQ(bar.Position(), 60);
}

TEST_F(TrackFixture, PagingPastEitherEndStopsThere) {
  bar.SetMin(3);
  bar.SetPosition(90);
  bar.MouseDown(MouseButton::mbLeft, false, 149, 8);
  EXPECT_EQ(bar.Position(), 100);
  bar.SetStep(100);
  bar.SetPosition(8);  // knob at 16
  bar.MouseDown(MouseButton::mbLeft, false, 0, 8);  // 8 - 100 -> 0 -> Min
  EXPECT_EQ(bar.Position(), 3);
}

TEST_F(TrackFixture, DragFollowsThePointerAndStopsAtTheEnds) {
  Show();  // knob box 7..24
  bar.MouseDown(MouseButton::mbLeft, false, 15, 8);
  ASSERT_TRUE(bar.Dragging());
  bar.MouseMove(true, 15 + 60, 8);
  EXPECT_EQ(bar.Position(), 50);  // 100 * 60 / 120
  bar.MouseMove(true, 500, 8);
  EXPECT_EQ(bar.Position(), 100);
  bar.MouseMove(true, -40, 8);
  EXPECT_EQ(bar.Position(), 0);
  bar.MouseUp(MouseButton::mbLeft, 0, 8);
  EXPECT_FALSE(bar.Dragging());
  bar.MouseMove(true, 75, 8);  // no drag: nothing moves
  EXPECT_EQ(bar.Position(), 0);
}

TEST_F(TrackFixture, DragWithoutTravelSetsMin) {
  bar.SetSize(20, 16);  // travel -10
  bar.SetMin(-5);
  bar.SetPosition(0);
  Show();
  bar.MouseDown(MouseButton::mbLeft, false, bar.KnobLead() + 2, 8);
  ASSERT_TRUE(bar.Dragging());
  bar.MouseMove(true, 12, 8);
  EXPECT_EQ(bar.Position(), -5);
}

TEST_F(TrackFixture, ZeroMaxDragsToZero) {
  bar.SetMax(0);
  Show();
  EXPECT_EQ(bar.KnobLead(), 7);
  bar.MouseDown(MouseButton::mbLeft, false, 15, 8);
  bar.MouseMove(true, 100, 8);
  EXPECT_EQ(bar.Position(), 0);
}

TEST_F(TrackFixture, VerticalDragAndKeys) {
  bar.SetOrientation(pbVertical);
  bar.SetSize(28, 230);  // travel 200
  Show();
  EXPECT_EQ(bar.KnobLead(), 7);
  bar.MouseDown(MouseButton::mbLeft, false, 14, 10);
  ASSERT_TRUE(bar.Dragging());
  bar.MouseMove(true, 14, 15 + 150);
  EXPECT_EQ(bar.Position(), 75);
  bar.MouseUp(MouseButton::mbLeft, 14, 165);
  bar.KeyDown(keys::kDown);  // down moves toward Max
  EXPECT_EQ(bar.Position(), 76);
  // The knob's side columns are outside the box.
  Show();
  bar.MouseDown(MouseButton::mbLeft, false, 4, bar.KnobLead() + 5);
  EXPECT_FALSE(bar.Dragging());
}

TEST_F(TrackFixture, KeysMoveByLineAndPageSizes) {
  std::vector<int> seen;
  bar.OnKeyDown = [&seen](int key) { seen.push_back(key); };
  bar.SetPageSize(25);
  bar.SetPosition(50);
  bar.KeyDown(keys::kRight);
  bar.KeyDown(keys::kDown);
  EXPECT_EQ(bar.Position(), 52);
  bar.KeyDown(keys::kLeft);
  bar.KeyDown(keys::kUp);
  EXPECT_EQ(bar.Position(), 50);
  bar.KeyDown(keys::kPageDown);
  EXPECT_EQ(bar.Position(), 75);
  bar.KeyDown(keys::kPageDown);
  EXPECT_EQ(bar.Position(), 100);
  bar.KeyDown(keys::kPageUp);
  EXPECT_EQ(bar.Position(), 75);
  bar.SetKeyDownEvent(false);
  bar.KeyDown(keys::kRight);
  EXPECT_EQ(bar.Position(), 75);
  EXPECT_EQ(seen.size(), 8u);  // the event fires for every key
}

TEST_F(TrackFixture, KnobColourFollowsFocusHoverAndDrag) {
  Show();
  const Color rest = Rgb(200, 200, 200);
  EXPECT_EQ(bar.KnobColor(), rest);
  bar.MouseMove(false, 15, 8);
  EXPECT_EQ(bar.KnobColor(), bar.BtnFocusColor());
  bar.MouseMove(false, 100, 8);
  EXPECT_EQ(bar.KnobColor(), rest);
  bar.DoEnter();
  EXPECT_EQ(bar.KnobColor(), bar.FocusColor());
  bar.MouseDown(MouseButton::mbLeft, false, 15, 8);
  EXPECT_EQ(bar.KnobColor(), bar.BtnFocusColor());  // dragging
  bar.DoExit();
  EXPECT_FALSE(bar.Dragging());
  EXPECT_EQ(bar.KnobColor(), bar.BtnFocusColor());
  bar.MouseUp(MouseButton::mbLeft, 15, 8);
  EXPECT_EQ(bar.KnobColor(), rest);
}

TEST_F(TrackFixture, TrackAndGroove) {
  bar.SetEnabled(false);
  RasterCanvas c = PaintOf(bar);
  // Groove rows 5, 6 black and 7 white from column 15 to 134.
  EXPECT_EQ(BoxOf(c, kBlack), (Rect{15, 5, 135, 7}));
  EXPECT_EQ(c.GetPixel(15, 7), kWhite);
  EXPECT_EQ(c.GetPixel(134, 7), kWhite);
  EXPECT_EQ(c.GetPixel(135, 7), kTrack);
  EXPECT_EQ(c.GetPixel(75, 0), kTrack);
  EXPECT_EQ(c.GetPixel(75, 15), kTrack);
  EXPECT_EQ(c.GetPixel(0, 0), kWhite);  // rounded ends leave the corners
  EXPECT_EQ(c.GetPixel(0, 8), kTrack);
  EXPECT_EQ(c.GetPixel(149, 8), kTrack);
  // Disabled: no knob, so no fill colour anywhere.
  EXPECT_EQ(BoxOf(c, 0xF1F1F1), Rect{});
}

TEST_F(TrackFixture, KnobFillLeavesTheOutline) {
  bar.SetSize(150, 24);
  bar.SetPosition(40);
  RasterCanvas c = PaintOf(bar);
  const int kx = bar.KnobLead();  // 7 + 48
  ASSERT_EQ(kx, 55);
  // The outline alone, drawn on an empty canvas the same way.
  RasterCanvas outline(150, 24, kWhite);
  outline.RoundRect({kx, 2, kx + 17, 21}, 10, 10, {kBlack, 1}, 0xF1F1F1);
  for (int y = 0; y < 24; ++y)
    for (int x = kx; x < kx + 17; ++x)
      if (outline.GetPixel(x, y) == kBlack) {
        ASSERT_EQ(c.GetPixel(x, y), kBlack) << x << "," << y;
      }
  // Rows 4..20 of the inside are filled, each in one colour; the gradient
  // lightens upwards; row 3 keeps the plain fill.
  Color below = 0;
  for (int y = 20; y >= 4; --y) {
    Color row = Canvas::kNoPixel;
    for (int x = kx; x < kx + 17; ++x) {
      if (outline.GetPixel(x, y) != 0xF1F1F1) continue;
      if (row == Canvas::kNoPixel) row = c.GetPixel(x, y);
      ASSERT_EQ(c.GetPixel(x, y), row) << x << "," << y;
    }
    if (row == Canvas::kNoPixel) continue;
    if (below != 0) {
      EXPECT_GE(RedOf(row), RedOf(below)) << y;
    }
    below = row;
  }
  EXPECT_EQ(c.GetPixel(kx + 8, 3), 0xF1F1F1u);
  // Base 200 - 84, two steps of 150 / 10.5 up from row 21.
  EXPECT_EQ(c.GetPixel(kx + 8, 19), Rgb(144, 144, 144));
}

TEST_F(TrackFixture, VerticalKnobFillLeavesTheOutline) {
  bar.SetOrientation(pbVertical);
  bar.SetSize(28, 200);
  RasterCanvas c = PaintOf(bar);
  const int k = 28 * 70 / 100, x = 14 - k / 2, ky = bar.KnobLead();
  RasterCanvas outline(28, 200, kWhite);
  outline.RoundRect({x, ky, x + k, ky + 17}, 10, 10, {kBlack, 1}, 0xF1F1F1);
  int filled = 0;
  for (int y = ky; y < ky + 17; ++y)
    for (int cx = x; cx < x + k; ++cx) {
      if (outline.GetPixel(cx, y) == kBlack) {
        ASSERT_EQ(c.GetPixel(cx, y), kBlack);
      }
      if (outline.GetPixel(cx, y) == 0xF1F1F1 && c.GetPixel(cx, y) != 0xF1F1F1) ++filled;
    }
  EXPECT_GT(filled, 14 * 10);
}

}  // namespace
}  // namespace plexi::controls
