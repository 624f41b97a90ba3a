// The about box component and its animated picture.
#include "about/about_dialog.h"

#include <gtest/gtest.h>

#include <deque>

#include "about/version_box.h"
#include "controls/raster_canvas.h"

namespace plexi::about {
namespace {

TEST(AboutDialog, ExecuteShowsOneFormAtATime) {
  TAboutDialog about = PlexiscrubAboutDialog();
  int shown = 0;
  bool inner_result = true;
  const bool outer_result = about.Execute(32, "http://h/", [&](const VersionBoxSetup&) {
    ++shown;
    inner_result = about.Execute(32, "http://h/", [&](const VersionBoxSetup&) { ++shown; });
  });
  EXPECT_TRUE(outer_result);
  EXPECT_FALSE(inner_result);
  EXPECT_EQ(shown, 1);
  // Once closed, it can be shown again.
  EXPECT_TRUE(about.Execute(32, "", [&](const VersionBoxSetup&) { ++shown; }));
  EXPECT_EQ(shown, 2);
}

TEST(AboutDialog, SetupOfTheApplicationsAboutBox) {
  const TAboutDialog about = PlexiscrubAboutDialog();
  const VersionBoxSetup setup = about.MakeSetup(32, "http://h/");
  EXPECT_EQ(setup.title_line, "プレキシスクラブ  ");
  EXPECT_EQ(setup.version_line, "[ 1.1.0.2 ]");
  EXPECT_EQ(setup.credit_line, "Programming by Ｑ＆Ｚ");
  EXPECT_EQ(setup.maker, "Ｑ＆Ｚ");
  EXPECT_EQ(setup.panel_color, 0xBFFFF1u);
  EXPECT_EQ(setup.update.page_name, "UpdateFilePage.html");
  EXPECT_EQ(setup.update.update_name, "Plexiscrub_Up");
  EXPECT_EQ(setup.update.own_version, "1102");
  EXPECT_EQ(setup.update.base_address, "http://h/");
  EXPECT_EQ(setup.home_page, "http://h/");
  EXPECT_TRUE(setup.HasHomePage());
  EXPECT_FALSE(about.MakeSetup(32, "").HasHomePage()) << "no site: the maker's link is dead";

  // Few colours: white whatever the panel colour says.
  EXPECT_EQ(about.MakeSetup(10, "").panel_color, controls::kWhite);
  EXPECT_EQ(about.MakeSetup(16, "").panel_color, 0xBFFFF1u);

  TAboutDialog named = about;
  named.UpdateFileName = "Other.html";
  EXPECT_EQ(named.MakeSetup(32, "").update.page_name, "Other.html");
}

TEST(AboutDialog, SiteAddressSetting) {
  EXPECT_EQ(SiteAddressFromSetting("http://www.example.com/soft"), "http://www.example.com/soft/");
  EXPECT_EQ(SiteAddressFromSetting("  HTTPS://h/ "), "HTTPS://h/");
  EXPECT_EQ(SiteAddressFromSetting(""), "");
  EXPECT_EQ(SiteAddressFromSetting("ftp://h/"), "");
  EXPECT_EQ(SiteAddressFromSetting("file:///C:/x/"), "");
  EXPECT_EQ(SiteAddressFromSetting("http://"), "");
}

// Random numbers from a list, so every step is known.
std::function<std::uint32_t()> Numbers(std::deque<std::uint32_t> values) {
  auto shared = std::make_shared<std::deque<std::uint32_t>>(std::move(values));
  return [shared] {
    EXPECT_FALSE(shared->empty());
    if (shared->empty()) return 0u;
    const std::uint32_t v = shared->front();
    shared->pop_front();
    return v;
  };
}

TEST(PictureAnimationTest, FramesAlternateWithJitterThenBreath) {
  // jump 3: remainders 0, 1, 2 give offsets 0, 1, -1.
  PictureAnimation animation(3, 5, {8, 8}, Numbers({2, 4, 7, 0, 0, 3}));
  EXPECT_EQ(animation.Step(), 0);  // jitter: 2 % 3 = 2 -> -1, 4 % 3 = 1
  EXPECT_EQ(animation.PictureRect(), (controls::Rect{7, 9, 71, 73}));
  EXPECT_EQ(animation.Step(), 1);  // breath: 7 > 5 grows
  EXPECT_EQ(animation.SizeChange(), 1);
  EXPECT_EQ(animation.PictureRect(), (controls::Rect{7, 9, 72, 74}));
  EXPECT_EQ(animation.Step(), 0);  // jitter back to rest
  EXPECT_EQ(animation.PictureRect(), (controls::Rect{8, 8, 73, 73}));
  EXPECT_EQ(animation.Step(), 1);  // 3 <= 4 shrinks
  EXPECT_EQ(animation.SizeChange(), 0);
}

TEST(PictureAnimationTest, BreathStaysWithinTheLimit) {
  std::deque<std::uint32_t> grow, shrink;
  for (int i = 0; i < 20; ++i) grow.insert(grow.end(), {0, 0, 9});
  PictureAnimation growing(2, 5, {8, 8}, Numbers(grow));
  for (int i = 0; i < 40; ++i) growing.Step();
  EXPECT_EQ(growing.SizeChange(), 5);

  for (int i = 0; i < 20; ++i) shrink.insert(shrink.end(), {0, 0, 1});
  PictureAnimation shrinking(2, 5, {8, 8}, Numbers(shrink));
  for (int i = 0; i < 40; ++i) shrinking.Step();
  EXPECT_EQ(shrinking.SizeChange(), -5);

  // A remainder of 5 leaves the size alone; no jitter range, no random draw.
  PictureAnimation still(0, 5, {8, 8}, Numbers({5}));
  still.Step();
  still.Step();
  EXPECT_EQ(still.SizeChange(), 0);
  EXPECT_EQ(still.PictureRect(), (controls::Rect{8, 8, 72, 72}));
}

TEST(PictureAnimationTest, MouseGrowsAndPressShrinks) {
  PictureAnimation animation(2, 5, {8, 8}, Numbers({}));
  animation.MouseMoveOnPicture();
  EXPECT_EQ(animation.SizeChange(), 10);
  animation.MouseDownOnPicture();
  EXPECT_EQ(animation.SizeChange(), -10);
  animation.MouseMoveOnPicture();  // still pressed: stays small
  EXPECT_EQ(animation.SizeChange(), -10);
  animation.MouseMoveOnPanel();
  animation.MouseMoveOnPicture();
  EXPECT_EQ(animation.SizeChange(), 10);
}

TEST(PictureAnimationTest, FramesDifferAndShowThePanelThroughTheKey) {
  controls::RasterCanvas strip(kStripWidth, kPictureSize);
  PaintFrameStrip(strip);
  controls::RasterCanvas frame0(kPictureSize, kPictureSize), frame1(kPictureSize, kPictureSize);
  CopyFrame(strip, 0, 0xBFFFF1, frame0);
  CopyFrame(strip, 1, 0xBFFFF1, frame1);
  EXPECT_EQ(frame0.GetPixel(0, 0), 0xBFFFF1u);  // a corner outside the platter
  EXPECT_EQ(frame1.GetPixel(63, 0), 0xBFFFF1u);
  int differing = 0, keyed = 0;
  for (int y = 0; y < kPictureSize; ++y) {
    for (int x = 0; x < kPictureSize; ++x) {
      differing += frame0.GetPixel(x, y) != frame1.GetPixel(x, y);
      keyed += frame0.GetPixel(x, y) == kStripTransparent;
    }
  }
  EXPECT_GT(differing, 50);
  EXPECT_EQ(keyed, 0);
}

}  // namespace
}  // namespace plexi::about
