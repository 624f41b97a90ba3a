// The program's icon: its picture at every size, and the .ico file that the
// Windows build puts into the resources.
#include "app/program_icon.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

#include "platform/posix_test_support.h"

namespace plexi::app {
namespace {

std::uint32_t At(const IconImage& image, double x, double y) {
  const int px = int(x * image.size), py = int(y * image.size);
  return image.argb[size_t(py) * size_t(image.size) + size_t(px)];
}
int Alpha(std::uint32_t argb) { return int(argb >> 24); }
int Red(std::uint32_t argb) { return int(argb >> 16 & 0xFF); }
int Green(std::uint32_t argb) { return int(argb >> 8 & 0xFF); }

TEST(ProgramIcon, EverySizeShowsTheDriveAndTheEraserOnAClearGround) {
  for (int size : kProgramIconSizes) {
    SCOPED_TRACE(size);
    const IconImage image = DrawProgramIcon(size);
    ASSERT_EQ(image.argb.size(), size_t(size) * size_t(size));
    EXPECT_EQ(Alpha(At(image, 0.0, 0.0)), 0) << "corners let the desktop show";
    EXPECT_EQ(Alpha(At(image, 0.97, 0.02)), 0);
    const std::uint32_t body = At(image, 0.25, 0.40);
    EXPECT_EQ(Alpha(body), 255);
    EXPECT_LT(Red(body), 0xA0) << "the drive is grey-blue";
    const std::uint32_t rubber = At(image, 0.30, 0.72);
    EXPECT_EQ(Alpha(rubber), 255);
    EXPECT_GT(Red(rubber), 2 * Green(rubber)) << "the eraser is red";
  }
}

std::uint32_t Load16(const std::string& b, size_t at) {
  return std::uint32_t(std::uint8_t(b[at])) | std::uint32_t(std::uint8_t(b[at + 1])) << 8;
}
std::uint32_t Load32(const std::string& b, size_t at) { return Load16(b, at) | Load16(b, at + 2) << 16; }

std::vector<IconImage> EverySize() {
  std::vector<IconImage> images;
  for (int size : kProgramIconSizes) images.push_back(DrawProgramIcon(size));
  return images;
}

TEST(ProgramIcon, IconFileHoldsEverySizeWhereItsDirectorySays) {
  const std::vector<IconImage> images = EverySize();
  const std::string file = IconFileBytes(images);
  ASSERT_GE(file.size(), 6u);
  EXPECT_EQ(Load16(file, 0), 0u);
  EXPECT_EQ(Load16(file, 2), 1u) << "an icon, not a cursor";
  ASSERT_EQ(Load16(file, 4), images.size());
  size_t expected_offset = 6 + 16 * images.size();
  for (size_t i = 0; i < images.size(); ++i) {
    SCOPED_TRACE(images[i].size);
    const size_t entry = 6 + 16 * i;
    const int size = images[i].size;
    EXPECT_EQ(std::uint8_t(file[entry]), size >= 256 ? 0 : size) << "0 stands for 256";
    EXPECT_EQ(Load16(file, entry + 6), 32u);
    const std::uint32_t bytes = Load32(file, entry + 8), offset = Load32(file, entry + 12);
    EXPECT_EQ(offset, expected_offset);
    const std::uint32_t mask_row = std::uint32_t((size + 31) / 32 * 4);
    EXPECT_EQ(bytes, 40 + std::uint32_t(size * size * 4) + mask_row * std::uint32_t(size));
    ASSERT_LE(size_t(offset) + bytes, file.size());
    EXPECT_EQ(Load32(file, offset + 8), std::uint32_t(2 * size)) << "colour and mask";
    // The bottom row comes first: its middle pixel is the image's.
    const std::uint32_t first = Load32(file, offset + 40 + std::uint32_t(size / 2) * 4);
    EXPECT_EQ(first, images[i].argb[size_t(size - 1) * size_t(size) + size_t(size / 2)]);
    expected_offset += bytes;
  }
  EXPECT_EQ(expected_offset, file.size());
}

// The Windows build embeds the icon file kept with the sources; it must be
// what the drawing makes today.
TEST(ProgramIcon, KeptIconFileIsTheDrawing) {
  const char* source = std::getenv("PLEXISCRUB_SOURCE");
  if (!source) GTEST_SKIP() << "PLEXISCRUB_SOURCE is not set (ctest sets it)";
  const std::string kept = posix::test::ReadFileBytes(std::string(source) + "/src/app/plexiscrub.ico");
  EXPECT_TRUE(kept == IconFileBytes(EverySize()))
      << "src/app/plexiscrub.ico differs from the drawing; write it anew with "
         "build/linux/tools/plexiscrub_make_icon src/app/plexiscrub.ico";
}

}  // namespace
}  // namespace plexi::app
