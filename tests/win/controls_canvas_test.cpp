// The GDI canvas against the software canvas: scenes of rectangles, lines
// and single pixels come out pixel for pixel the same, so what the Linux
// pixel tests check is what the program shows.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "controls/color_button.h"
#include "controls/color_progress_bar.h"
#include "controls/gdi_canvas_win.h"
#include "controls/my_track_bar.h"
#include "controls/raster_canvas.h"

namespace plexi::controls {
namespace {

using win::GdiCanvas;

// Paints the scene on both canvases (same size, same starting colour) and
// names the first pixel that differs.
std::string Compare(int w, int h, const std::function<void(Canvas&)>& scene) {
  GdiCanvas gdi;
  if (!gdi.Resize(w, h)) return "no DIB section";
  gdi.FillRect({0, 0, w, h}, 0x123456);
  RasterCanvas raster(w, h, 0x123456, win::CurrentSystemColors());
  scene(gdi);
  scene(raster);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (gdi.GetPixel(x, y) != raster.GetPixel(x, y)) {
        char text[120];
        snprintf(text, sizeof text, "(%d,%d): GDI %06X, raster %06X", x, y, gdi.GetPixel(x, y),
                 raster.GetPixel(x, y));
        return text;
      }
  return "";
}

TEST(ControlsCanvas, PrimitivesMatch) {
  EXPECT_EQ(Compare(40, 30,
                    [](Canvas& c) {
                      c.FillRect({2, 3, 17, 9}, 0x0000FF);
                      c.FillRect({5, 5, 3, 9}, 0x00FF00);  // inverted: nothing
                      c.FrameRect({20, 2, 38, 12}, SystemColor(kColorHighlight));
                      c.Line({1, 20}, {30, 20}, {kWhite, 1});
                      c.Line({30, 22}, {1, 22}, {kBlack, 1});
                      c.Line({35, 29}, {35, 14}, {0xFF00FF, 1});
                      c.Line({37, 14}, {37, 29}, {0xFF00FF, 1});
                      c.Line({3, 24}, {9, 30}, {0x00FFFF, 1});
                      c.Polyline({{12, 25}, {12, 28}, {20, 28}, {20, 25}}, {0xABCDEF, 1});
                      c.SetPixel(39, 0, 0x010203);
                      c.SetPixel(40, 0, 0x010203);
                    }),
            "");
}

TEST(ControlsCanvas, RectanglesMatchForBothPenWidths) {
  EXPECT_EQ(Compare(40, 30,
                    [](Canvas& c) {
                      c.Rectangle({1, 1, 15, 12}, {kBlack, 1}, 0x00FF00);
                      c.Rectangle({17, 1, 30, 12}, {0x0000FF, 1}, std::nullopt);
                      c.Rectangle({1, 14, 20, 29}, {kBlack, 2}, 0x00FF00);
                      c.Rectangle({3, 16, 19, 28}, {0x808080, 2}, 0x00FF00);
                      c.Rectangle({22, 14, 39, 29}, {0x808080, 2}, std::nullopt);
                    }),
            "");
}

TEST(ControlsCanvas, ProgressBarStylesMatch) {
  for (int style = btSolid; style <= btWin7; ++style)
    for (TOrientation orientation : {pbHorizontal, pbVertical})
      for (bool smooth : {false, true})
        for (bool flat : {false, true}) {
          const bool horizontal = orientation == pbHorizontal;
          TColorProgressBar bar(win::CurrentSystemColors());
          bar.SetSize(horizontal ? 150 : 21, horizontal ? 21 : 150);
          bar.SetOrientation(orientation);
          bar.SetBarStyle(static_cast<PAINTTYPE>(style));
          bar.SetSmooth(smooth);
          bar.SetFlat(flat);
          bar.SetBlockCount(7);
          bar.SetLineParVisible(true);
          bar.SetBarColor(0x20A040);
          bar.SetPosition(73);
          EXPECT_EQ(Compare(bar.Width(), bar.Height(), [&](Canvas& c) { bar.Paint(c); }), "")
              << "style " << style << (horizontal ? " horizontal" : " vertical")
              << (smooth ? " blocks" : "") << (flat ? " flat" : "");
        }
}

TEST(ControlsCanvas, ButtonBordersMatch) {
  for (int look = 0; look < 5; ++look) {
    TColorButton button;
    button.SetDefault(look == 1);
    if (look == 2) button.DoEnter();
    button.SetPressed(look == 3);
    button.SetEnabled(look != 4);
    EXPECT_EQ(Compare(75, 25, [&](Canvas& c) { button.Paint(c); }), "") << "look " << look;
  }
}

// GDI's own rounded corners: the knob's fill, read back from the DIB, must
// still stop at the black outline.
TEST(ControlsCanvas, KnobFillKeepsGdisOutline) {
  for (TOrientation orientation : {pbHorizontal, pbVertical}) {
    const bool horizontal = orientation == pbHorizontal;
    TMyTrackBar bar;
    bar.SetOrientation(orientation);
    bar.SetSize(horizontal ? 200 : 28, horizontal ? 24 : 200);
    bar.SetPosition(35);
    GdiCanvas painted, outline;
    ASSERT_TRUE(painted.Resize(bar.Width(), bar.Height()));
    ASSERT_TRUE(outline.Resize(bar.Width(), bar.Height()));
    bar.Paint(painted);
    outline.FillRect({0, 0, bar.Width(), bar.Height()}, kWhite);
    const int lead = bar.KnobLead();
    const int k = bar.Width() * 70 / 100, x = bar.Width() / 2 - k / 2;
    const Rect knob = horizontal ? Rect{lead, 2, lead + 17, bar.Height() - 3}
                                 : Rect{x, lead, x + k, lead + 17};
    outline.RoundRect(knob, 10, 10, {kBlack, 1}, 0xF1F1F1);
    int outline_pixels = 0, filled = 0;
    for (int y = knob.top; y < knob.bottom; ++y)
      for (int cx = knob.left; cx < knob.right; ++cx) {
        if (outline.GetPixel(cx, y) == kBlack) {
          ++outline_pixels;
          EXPECT_EQ(painted.GetPixel(cx, y), kBlack) << cx << "," << y;
        } else if (outline.GetPixel(cx, y) == 0xF1F1F1 && painted.GetPixel(cx, y) != 0xF1F1F1) {
          ++filled;
        }
      }
    EXPECT_GT(outline_pixels, 40);
    EXPECT_GT(filled, 100);
  }
}

}  // namespace
}  // namespace plexi::controls
