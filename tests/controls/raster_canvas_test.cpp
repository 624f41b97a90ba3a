// The software canvas: the drawing conventions the controls rely on.
#include "controls/raster_canvas.h"

#include <gtest/gtest.h>

#include "controls/control_test_support.h"

namespace plexi::controls {
namespace {

using test::BoxOf;

TEST(RasterCanvas, LinesLeaveOutTheirEndPoint) {
  RasterCanvas c(10, 10, kWhite);
  c.Line({2, 3}, {7, 3}, {kBlack, 1});
  EXPECT_EQ(BoxOf(c, kBlack), (Rect{2, 3, 7, 4}));
  c.Line({5, 9}, {5, 5}, {0x0000FF, 1});
  EXPECT_EQ(BoxOf(c, 0x0000FF), (Rect{5, 6, 6, 10}));
  c.Line({1, 1}, {1, 1}, {0x00FF00, 1});
  EXPECT_EQ(BoxOf(c, 0x00FF00), Rect{});
}

TEST(RasterCanvas, RectanglesCoverLeftToRightMinusOne) {
  RasterCanvas c(10, 10, kWhite);
  c.FillRect({2, 2, 5, 4}, kBlack);
  EXPECT_EQ(BoxOf(c, kBlack), (Rect{2, 2, 5, 4}));
  c.FillRect({6, 6, 6, 9}, 0x0000FF);  // empty
  c.FillRect({8, 8, 7, 9}, 0x0000FF);  // inverted
  EXPECT_EQ(BoxOf(c, 0x0000FF), Rect{});
  c.Rectangle({1, 5, 9, 9}, {0x0000FF, 1}, 0x00FF00);
  EXPECT_EQ(BoxOf(c, 0x0000FF), (Rect{1, 5, 9, 9}));
  EXPECT_EQ(BoxOf(c, 0x00FF00), (Rect{2, 6, 8, 8}));
}

TEST(RasterCanvas, ShapesAreMirrorSymmetric) {
  RasterCanvas c(30, 20, kWhite);
  c.RoundRect({3, 2, 20, 17}, 10, 10, {kBlack, 1}, 0xF1F1F1);
  c.Ellipse({21, 2, 29, 18}, {kBlack, 1}, 0xF1F1F1);
  for (int y = 2; y < 17; ++y)
    for (int x = 3; x < 20; ++x) {
      ASSERT_EQ(c.GetPixel(x, y), c.GetPixel(22 - x, y)) << x << "," << y;
      ASSERT_EQ(c.GetPixel(x, y), c.GetPixel(x, 18 - y)) << x << "," << y;
    }
  EXPECT_EQ(c.GetPixel(3, 2), kWhite);  // rounded corner
  EXPECT_EQ(c.GetPixel(11, 2), kBlack);
  EXPECT_EQ(c.GetPixel(11, 3), 0xF1F1F1u);
  EXPECT_EQ(BoxOf(c, kBlack).right, 29);
}

TEST(RasterCanvas, SystemColoursAndOutsidePixels) {
  RasterCanvas c(4, 4, SystemColor(kColorWindow));
  EXPECT_EQ(c.GetPixel(0, 0), kWhite);
  c.FillRect({0, 0, 4, 4}, SystemColor(kColorBtnFace));
  EXPECT_EQ(c.GetPixel(3, 3), Rgb(240, 240, 240));
  EXPECT_EQ(c.GetPixel(4, 0), Canvas::kNoPixel);
  c.SetPixel(-1, 0, kBlack);  // ignored
}

TEST(RasterCanvas, BuiltInFontMeasures) {
  RasterCanvas c(10, 10);
  c.SetFont(Font{.height = -12});
  EXPECT_EQ(c.TextExtent("50%"), (Size{18, 12}));
  EXPECT_EQ(c.TextExtent("キャンセル"), (Size{60, 12}));
  EXPECT_EQ(c.TextExtent(""), (Size{0, 12}));
  c.SetFont(Font{.height = 20});
  EXPECT_EQ(c.TextExtent("H"), (Size{10, 20}));
  EXPECT_EQ(DecodeUtf8("a\xE3\x82"), (std::u32string{U'a', U'\uFFFD', U'\uFFFD'}));
}

}  // namespace
}  // namespace plexi::controls
