// The program's pictures are in the program's one colour layout
// (0x00BBGGRR), so a strip's deepest colour is red where it should be.
#include "app/artwork.h"

#include <gtest/gtest.h>

namespace plexi::app {
namespace {

TEST(Artwork, PixelsAreColorsWithRedInTheLowByte) {
  const std::vector<Pixmap> strips = HeaderStrips();
  ASSERT_EQ(strips.size(), 3u);
  EXPECT_EQ(strips[2].At(0, 42), controls::Rgb(0x60, 0x0C, 0x0C));  // Red, at its deepest
  EXPECT_EQ(strips[1].At(0, 11), controls::Rgb(0x24, 0x40, 0x8C));  // Navy's base
  EXPECT_EQ(strips[0].At(0, 0), controls::kWhite);
  EXPECT_EQ(kClear, 0xFF00FFu);
}

TEST(Artwork, DisabledGlyphsWeighGreenMostAndKeepTheClearPixels) {
  Pixmap glyph(2, 1);
  glyph.Set(0, 0, controls::Rgb(0, 0xFF, 0));
  const Pixmap grey = Disabled(glyph);
  EXPECT_EQ(grey.At(0, 0), controls::Rgb(204, 204, 204));  // 128 + (255 * 6 / 10) / 2
  EXPECT_EQ(grey.At(1, 0), kClear);
}

TEST(Artwork, DibPixelsAreTheOnlyOtherLayout) {
  EXPECT_EQ(controls::DibPixelOf(controls::Rgb(0x12, 0x34, 0x56)), 0x123456u);
  EXPECT_EQ(controls::ColorOfDibPixel(0x123456u), controls::Rgb(0x12, 0x34, 0x56));
  EXPECT_EQ(controls::ColorOfDibPixel(0xFF123456u), controls::Rgb(0x12, 0x34, 0x56)) << "alpha dropped";
}

// The progress dialog's settings button takes image 7 of the toolbar list:
// a ring open at the top with a bar through the gap.
TEST(Artwork, PowerImageIsARingOpenAtTheTopWithABar) {
  const std::vector<Pixmap> images = ToolbarImages();
  ASSERT_GT(images.size(), size_t(kImagePower));
  const Pixmap& power = images[kImagePower];
  EXPECT_NE(power.At(8, 3), kClear) << "the bar";
  EXPECT_NE(power.At(8, 13), kClear) << "the ring's bottom";
  EXPECT_NE(power.At(3, 8), kClear) << "the ring's left";
  EXPECT_EQ(power.At(6, 4), kClear) << "the gap beside the bar";
  EXPECT_EQ(power.At(8, 9), kClear) << "the middle";
  EXPECT_EQ(power.At(0, 0), kClear);
}

// Glyphs for denser screens: every target pixel is one of the source's, the
// clear colour stays exact (the image list masks by it), and the corners
// and the middle land where they were.
TEST(ArtworkScaled, NearestPixelsKeepShapeAndClearColour) {
  Pixmap source(16, 16);
  source.Set(0, 0, controls::Rgb(1, 2, 3));
  source.Set(15, 15, controls::Rgb(4, 5, 6));
  source.Set(8, 8, controls::Rgb(7, 8, 9));
  for (int size : {16, 20, 24, 32}) {
    const Pixmap scaled = Scaled(source, size, size);
    ASSERT_EQ(scaled.width, size);
    ASSERT_EQ(scaled.height, size);
    EXPECT_EQ(scaled.At(0, 0), controls::Rgb(1, 2, 3)) << size;
    EXPECT_EQ(scaled.At(size - 1, size - 1), controls::Rgb(4, 5, 6)) << size;
    EXPECT_EQ(scaled.At(size / 2, size / 2), controls::Rgb(7, 8, 9)) << size;
    for (Color c : scaled.pixels)
      EXPECT_TRUE(c == kClear || c == controls::Rgb(1, 2, 3) || c == controls::Rgb(4, 5, 6) ||
                  c == controls::Rgb(7, 8, 9));
  }
  // At the design size the picture is unchanged.
  const Pixmap same = Scaled(EraseMark(), 32, 32);
  EXPECT_EQ(same.pixels, EraseMark().pixels);
  EXPECT_TRUE(Scaled(Pixmap(0, 0), 4, 4).pixels == Pixmap(4, 4).pixels);
}

}  // namespace
}  // namespace plexi::app
