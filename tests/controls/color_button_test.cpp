// The colour button: borders of its looks, caption placement, mouse and key
// presses, dialog keys and the modal result it hands to its form.
#include "controls/color_button.h"

#include <gtest/gtest.h>

#include "controls/control_test_support.h"

namespace plexi::controls {
namespace {

using test::BoxOf;
using test::CountingHost;
using test::PaintOf;

constexpr Color kFace = Rgb(240, 240, 240);
constexpr Color kGrey = 0x808080;
constexpr Color kText = 0x00AA00;

struct ButtonFixture : ::testing::Test {
  ButtonFixture() {
    button.SetColor(kFace);
    button.SetFont(Font{.height = -12, .color = kText});
    button.OnClick = [this] {
      ++clicks;
      modal_result_at_click = host.modal_result;
    };
  }
  Color Dark(int level) const {
    return GetAlphaColor(static_cast<std::int32_t>(kFace), kBlack, level);
  }

  TColorButton button;  // 75 x 25
  CountingHost<TColorButton> host{button};
  int clicks = 0;
  std::optional<int> modal_result_at_click;
};

TEST_F(ButtonFixture, PlainBorder) {
  RasterCanvas c = PaintOf(button);
  EXPECT_EQ(c.GetPixel(0, 0), kWhite);
  EXPECT_EQ(c.GetPixel(0, 22), kWhite);
  EXPECT_EQ(c.GetPixel(72, 0), kWhite);
  EXPECT_EQ(c.GetPixel(73, 1), kGrey);
  EXPECT_EQ(c.GetPixel(73, 10), kBlack);
  EXPECT_EQ(c.GetPixel(10, 23), kBlack);
  EXPECT_EQ(c.GetPixel(10, 22), Dark(200));
  EXPECT_EQ(c.GetPixel(72, 10), Dark(200));
  EXPECT_EQ(c.GetPixel(10, 1), Dark(220));
  EXPECT_EQ(c.GetPixel(1, 10), Dark(220));
  EXPECT_EQ(c.GetPixel(74, 10), kFace);
  EXPECT_EQ(c.GetPixel(10, 24), kFace);
  EXPECT_EQ(c.GetPixel(30, 12), kFace);
}

TEST_F(ButtonFixture, DefaultBorder) {
  button.SetDefault(true);
  RasterCanvas c = PaintOf(button);
  for (auto [x, y] : {std::pair{0, 0}, {74, 12}, {12, 24}, {74, 24}, {73, 10}, {10, 23}})
    EXPECT_EQ(c.GetPixel(x, y), kBlack) << x << "," << y;
  EXPECT_EQ(c.GetPixel(1, 10), kWhite);
  EXPECT_EQ(c.GetPixel(10, 1), kWhite);
  EXPECT_EQ(c.GetPixel(72, 10), Dark(200));
  EXPECT_EQ(c.GetPixel(10, 22), Dark(200));
  EXPECT_EQ(c.GetPixel(3, 3), kFace);  // no focus dots
}

TEST_F(ButtonFixture, FocusedBorderAndDots) {
  button.DoEnter();
  RasterCanvas c = PaintOf(button);
  EXPECT_EQ(c.GetPixel(0, 0), kBlack);
  EXPECT_EQ(c.GetPixel(74, 24), kBlack);
  EXPECT_EQ(c.GetPixel(1, 1), kWhite);
  EXPECT_EQ(c.GetPixel(2, 2), Dark(220));
  EXPECT_EQ(c.GetPixel(71, 2), Dark(220));
  EXPECT_EQ(c.GetPixel(2, 20), Dark(220));
  // Dots every second pixel along rows 3 and 20, columns 3 and 70.
  EXPECT_EQ(c.GetPixel(3, 3), kBlack);
  EXPECT_EQ(c.GetPixel(4, 3), kFace);
  EXPECT_EQ(c.GetPixel(69, 3), kBlack);
  EXPECT_EQ(c.GetPixel(71, 3), kFace);  // i < W - 5 ends the row at 69
  EXPECT_EQ(c.GetPixel(72, 3), Dark(200));
  EXPECT_EQ(c.GetPixel(3, 19), kBlack);
  EXPECT_EQ(c.GetPixel(70, 19), kBlack);
  EXPECT_EQ(c.GetPixel(41, 20), kBlack);
}

TEST_F(ButtonFixture, PressedBorderAndCaptionOffset) {
  button.SetCaption("OK");
  Rect up = BoxOf(PaintOf(button), kText);
  button.SetPressed(true);
  RasterCanvas c = PaintOf(button);
  Rect down = BoxOf(c, kText);
  EXPECT_EQ(down.left, up.left + 1);
  EXPECT_EQ(down.top, up.top + 1);
  // Two-pixel pens centred on the outline's path: black outside, one grey
  // line inside it on the left and top, the face over the rest.
  EXPECT_EQ(c.GetPixel(0, 12), kBlack);
  EXPECT_EQ(c.GetPixel(12, 0), kBlack);
  EXPECT_EQ(c.GetPixel(1, 12), kGrey);
  EXPECT_EQ(c.GetPixel(12, 1), kGrey);
  EXPECT_EQ(c.GetPixel(2, 12), kFace);
  EXPECT_EQ(c.GetPixel(73, 12), kBlack);
  EXPECT_EQ(c.GetPixel(72, 12), kFace);
  EXPECT_EQ(c.GetPixel(12, 23), kBlack);
  EXPECT_EQ(c.GetPixel(74, 24), kFace);
}

TEST_F(ButtonFixture, CaptionPlacement) {
  button.SetCaption("OK");  // 12 x 12 in the built-in font; glyphs start 3 rows down
  EXPECT_EQ(BoxOf(PaintOf(button), kText), (Rect{31, 9, 42, 16}));  // y = 12 - 6
  button.SetCaptionAlign(psTop);  // 6 - 6
  EXPECT_EQ(BoxOf(PaintOf(button), kText).top, 3);
  button.SetCaptionAlign(psBottom);  // 18 - 6
  EXPECT_EQ(BoxOf(PaintOf(button), kText).top, 15);
  button.SetCaptionLeft(5);
  button.SetCaptionTop(2);
  EXPECT_EQ(BoxOf(PaintOf(button), kText).left, 5);
  EXPECT_EQ(BoxOf(PaintOf(button), kText).top, 5);
  button.SetCaptionAlign(psCenter);  // drops the explicit top
  EXPECT_EQ(button.CaptionTop(), -1);
  EXPECT_EQ(BoxOf(PaintOf(button), kText).top, 9);
}

TEST_F(ButtonFixture, CaptionBesideAnIcon) {
  button.SetCaption("OK");
  Image icon{2, 2, std::vector<std::uint32_t>(4, 0xFF0000FFu)};  // opaque blue
  button.SetGlyph(icon);
  RasterCanvas c = PaintOf(button);
  // Centred in the 56 pixels right of x = 19: 19 + 28 - 6.
  EXPECT_EQ(BoxOf(c, kText).left, 41);
  // The icon is drawn H - 8 = 17 pixels square at (3, 12 - 8).
  EXPECT_EQ(BoxOf(c, Rgb(0, 0, 255)), (Rect{3, 4, 20, 21}));
}

TEST_F(ButtonFixture, CoordinatesOutsideTheButtonMeanCentred) {
  for (int bad : {0, 75, 200, -3}) {
    button.SetCaptionLeft(bad);
    EXPECT_EQ(button.CaptionLeft(), -1) << bad;
  }
  button.SetCaptionLeft(74);
  EXPECT_EQ(button.CaptionLeft(), 74);
  button.SetCaptionTop(25);
  EXPECT_EQ(button.CaptionTop(), -1);
  button.SetCaptionTop(24);
  EXPECT_EQ(button.CaptionTop(), 24);
}

TEST_F(ButtonFixture, DisabledCaptionIsEmbossed) {
  button.SetCaption("O");
  button.SetEnabled(false);
  RasterCanvas c = PaintOf(button);
  EXPECT_EQ(BoxOf(c, kText), Rect{});
  // "O" at (34, 6): its first row is grey at 35..37, and the white copy one
  // pixel down and right shows where the grey does not cover it.
  EXPECT_EQ(c.GetPixel(35, 9), kGrey);
  EXPECT_EQ(c.GetPixel(34, 10), kGrey);
  EXPECT_EQ(c.GetPixel(36, 10), kWhite);
  EXPECT_EQ(c.GetPixel(38, 10), kGrey);
  EXPECT_EQ(c.GetPixel(39, 11), kWhite);
}

TEST_F(ButtonFixture, ClickHandsModalResultAfterOnClick) {
  button.SetModalResult(msCancel);
  button.MouseDown(MouseButton::mbLeft, 10, 10);
  EXPECT_TRUE(button.Pressed());
  EXPECT_TRUE(button.Focused());
  button.MouseUp(MouseButton::mbLeft, 10, 10);
  EXPECT_FALSE(button.Pressed());
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(modal_result_at_click, std::nullopt);
  EXPECT_EQ(host.modal_result, 2);
  button.SetModalResult(msNone);
  button.Click();
  EXPECT_EQ(host.modal_result, 0);
}

TEST_F(ButtonFixture, SlidingOffShowsReleasedAndDoesNotClick) {
  button.MouseDown(MouseButton::mbLeft, 10, 10);
  const int painted = host.painted;
  button.MouseMove(true, 30, 12);
  EXPECT_EQ(host.painted, painted);  // already showing pressed
  button.MouseMove(true, 80, 12);
  ASSERT_EQ(host.painted, painted + 1);
  EXPECT_EQ(host.canvas->GetPixel(0, 0), kBlack);  // focused released look
  EXPECT_EQ(host.canvas->GetPixel(1, 1), kWhite);
  button.MouseMove(true, 40, 0);  // the edge counts as outside
  EXPECT_EQ(host.painted, painted + 1);
  button.MouseMove(true, 40, 10);
  ASSERT_EQ(host.painted, painted + 2);
  EXPECT_EQ(host.canvas->GetPixel(1, 12), kGrey);  // pressed again
  button.MouseMove(true, -5, 10);
  button.MouseUp(MouseButton::mbLeft, -5, 10);
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(host.modal_result, std::nullopt);
}

TEST_F(ButtonFixture, EnterAndEscapeOnTheFocusedButton) {
  button.SetDefault(true);
  button.KeyDown(keys::kEscape);
  EXPECT_EQ(clicks, 0);
  button.KeyDown(keys::kReturn);
  EXPECT_TRUE(button.Pressed());
  EXPECT_EQ(clicks, 1);
  button.KeyUp(keys::kReturn);
  EXPECT_FALSE(button.Pressed());
  button.SetCancel(true);
  button.KeyDown(keys::kEscape);
  EXPECT_EQ(clicks, 2);
  EXPECT_TRUE(button.WantsKey(keys::kReturn));
  EXPECT_TRUE(button.WantsKey(keys::kEscape));
  button.SetDefault(false);
  EXPECT_FALSE(button.WantsKey(keys::kReturn));
}

// Focus marks hidden by the system (until the keyboard is used): the
// focused button keeps its black frame, without the dots.
TEST_F(ButtonFixture, HiddenFocusCuesDropOnlyTheDots) {
  button.DoEnter();
  button.SetFocusCues(false);
  RasterCanvas c = PaintOf(button);
  EXPECT_EQ(c.GetPixel(0, 0), kBlack);
  EXPECT_EQ(c.GetPixel(74, 24), kBlack);
  EXPECT_EQ(c.GetPixel(3, 3), kFace);
  EXPECT_EQ(c.GetPixel(3, 5), kFace);
  button.SetFocusCues(true);
  EXPECT_EQ(PaintOf(button).GetPixel(3, 3), kBlack);
}

// Space works any focused button as on a Windows button: pressed while
// held, the click on release; a focus lost in between is no click.
TEST_F(ButtonFixture, SpacePressesAndClicksOnRelease) {
  button.SetModalResult(msCancel);
  button.DoEnter();
  button.KeyDown(keys::kSpace);
  EXPECT_TRUE(button.Pressed());
  EXPECT_EQ(clicks, 0);
  button.KeyUp(keys::kSpace);
  EXPECT_FALSE(button.Pressed());
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(host.modal_result, std::optional<int>(msCancel));

  button.KeyDown(keys::kSpace);
  button.DoExit();
  EXPECT_FALSE(button.Pressed());
  button.KeyUp(keys::kSpace);
  EXPECT_EQ(clicks, 1);

  button.SetEnabled(false);
  button.DoEnter();
  button.KeyDown(keys::kSpace);
  button.KeyUp(keys::kSpace);
  EXPECT_FALSE(button.Pressed());
  EXPECT_EQ(clicks, 1);
}

TEST_F(ButtonFixture, DialogKeysReachOnlyEnabledVisibleMatchingButtons) {
  EXPECT_FALSE(button.CmDialogKey(keys::kReturn));
  button.SetDefault(true);
  EXPECT_FALSE(button.CmDialogKey(keys::kEscape));
  EXPECT_TRUE(button.CmDialogKey(keys::kReturn));
  EXPECT_EQ(clicks, 1);
  button.SetEnabled(false);
  EXPECT_FALSE(button.CmDialogKey(keys::kReturn));
  button.SetEnabled(true);
  button.SetVisible(false);
  EXPECT_FALSE(button.CmDialogKey(keys::kReturn));
  EXPECT_EQ(clicks, 1);
}

TEST_F(ButtonFixture, EmptyCaptionTakesTheNameWhenTheWindowIsMade) {
  button.SetName("ColorButton1");
  button.CreateWnd();
  EXPECT_EQ(button.Caption(), "ColorButton1");
  button.SetCaption("OK");
  button.CreateWnd();
  EXPECT_EQ(button.Caption(), "OK");
}

TEST_F(ButtonFixture, RepaintsAreRequestedNotDrawn) {
  button.SetCaption("x");
  button.SetDefault(true);
  button.DoEnter();
  button.DoExit();
  button.MouseDown(MouseButton::mbLeft, 5, 5);
  button.MouseUp(MouseButton::mbLeft, 5, 5);
  EXPECT_EQ(host.painted, 0);
  EXPECT_GE(host.invalidated, 6);
}

}  // namespace
}  // namespace plexi::controls
