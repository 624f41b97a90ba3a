#include "controls/color_button.h"

namespace plexi::controls {
namespace {

constexpr Color kGrey = 0x808080;

}  // namespace

void TColorButton::Repaint() {
  if (host_) host_->Invalidate();
}

void TColorButton::SetSize(int width, int height) {
  width_ = width < 0 ? 0 : width;
  height_ = height < 0 ? 0 : height;
  Repaint();
}

void TColorButton::CreateWnd() {
  if (caption_.empty()) caption_ = name_;
}

void TColorButton::SetCaption(std::string value) {
  caption_ = std::move(value);
  Repaint();
}

void TColorButton::SetEnabled(bool value) {
  enabled_ = value;
  Repaint();
}

void TColorButton::SetDefault(bool value) {
  default_ = value;
  Repaint();
}

void TColorButton::SetCaptionAlign(ALIGN value) {
  caption_align_ = value;
  caption_top_ = -1;
  Repaint();
}

void TColorButton::SetCaptionLeft(std::int32_t value) {
  caption_left_ = value > 0 && value < width_ ? value : -1;
  Repaint();
}

void TColorButton::SetCaptionTop(std::int32_t value) {
  caption_top_ = value > 0 && value < height_ ? value : -1;
  Repaint();
}

void TColorButton::SetLineAlfLevel(std::int32_t value) {
  line_alf_level_ = value;
  Repaint();
}

void TColorButton::SetGlyph(const Image& value) {
  glyph_ = value;
  Repaint();
}

void TColorButton::SetIndent(std::int32_t value) {
  indent_ = value;
  Repaint();
}

void TColorButton::SetIconSize(std::int32_t value) {
  icon_size_ = value;
  Repaint();
}

void TColorButton::SetColor(Color value) {
  color_ = value;
  Repaint();
}

void TColorButton::SetFont(const Font& value) {
  font_ = value;
  Repaint();
}

void TColorButton::SetFocusCues(bool shown) {
  if (focus_cues_ == shown) return;
  focus_cues_ = shown;
  Repaint();
}

void TColorButton::SetPressed(bool value) {
  pressed_ = value;
  Repaint();
}

void TColorButton::Click() {
  if (OnClick) OnClick();
  if (host_) host_->SetModalResult(modal_result_);
}

void TColorButton::MouseDown(MouseButton button, int x, int y) {
  if (button == MouseButton::mbLeft) {
    click_armed_ = true;
    slid_off_ = false;
    if (!pressed_) {
      pressed_ = true;
      if (host_) host_->TakeFocus();
      Repaint();
    }
  }
  if (OnMouseDown) OnMouseDown(button, x, y);
}

// While the left button is held the look follows the pointer at once: pressed
// over the button, released off it.
void TColorButton::MouseMove(bool left_held, int x, int y) {
  if (left_held && pressed_) {
    const bool inside = x > 0 && x < width_ && y > 0 && y < height_;
    if (inside == slid_off_) {
      slid_off_ = !inside;
      if (host_) host_->PaintNow();
    }
  }
  if (OnMouseMove) OnMouseMove(x, y);
}

void TColorButton::MouseUp(MouseButton button, int x, int y) {
  const bool left = button == MouseButton::mbLeft;
  const bool clicked = left && click_armed_ && x >= 0 && x < width_ && y >= 0 && y < height_;
  if (left) {
    pressed_ = false;
    slid_off_ = false;
    click_armed_ = false;
    Repaint();
  }
  if (OnMouseUp) OnMouseUp(button, x, y);
  if (clicked) Click();
}

bool TColorButton::AnswersKey(int key) const {
  return (default_ && key == keys::kReturn) || (cancel_ && key == keys::kEscape);
}

bool TColorButton::WantsKey(int key) const { return AnswersKey(key); }

// Space presses the focused button as it does a Windows button: down on the
// key, the click on its release.
void TColorButton::KeyDown(int key) {
  if (key == keys::kSpace && enabled_ && !pressed_) {
    pressed_ = true;
    pressed_by_space_ = true;
    Repaint();
  }
  if (AnswersKey(key)) {
    if (!pressed_) {
      pressed_ = true;
      pressed_by_key_ = true;
      Repaint();
    }
    Click();
  }
  if (OnKeyDown) OnKeyDown(key);
}

void TColorButton::KeyUp(int key) {
  if ((key == keys::kReturn || key == keys::kEscape) && pressed_by_key_) {
    pressed_ = false;
    pressed_by_key_ = false;
    Repaint();
  }
  const bool space_click = key == keys::kSpace && pressed_by_space_;
  if (space_click) {
    pressed_ = false;
    pressed_by_space_ = false;
    Repaint();
  }
  if (OnKeyUp) OnKeyUp(key);
  if (space_click && enabled_) Click();
}

bool TColorButton::CmDialogKey(int key) {
  if (!enabled_ || !visible_ || !AnswersKey(key)) return false;
  Click();
  return true;
}

void TColorButton::DoEnter() {
  focused_ = true;
  Repaint();
  if (OnEnter) OnEnter();
}

void TColorButton::DoExit() {
  focused_ = false;
  // A press by Space that loses the focus before the release is no click.
  if (pressed_by_space_) {
    pressed_ = false;
    pressed_by_space_ = false;
  }
  Repaint();
  if (OnExit) OnExit();
}

void TColorButton::Paint(Canvas& canvas) {
  if (pressed_ && !slid_off_)
    BtnDown(canvas);
  else
    BtnUp(canvas);
}

void TColorButton::BtnUp(Canvas& canvas) {
  canvas.FillRect({0, 0, width_, height_}, color_);
  RoundButtonUp(canvas, focused_ ? 1 : 0);
  CaptionPaint(canvas, 0, 0);
}

void TColorButton::BtnDown(Canvas& canvas) {
  canvas.FillRect({0, 0, width_, height_}, color_);
  RoundButtonDown(canvas);
  CaptionPaint(canvas, 1, 1);
}

void TColorButton::RoundButtonUp(Canvas& canvas, int f) {
  const int w = width_, h = height_;
  const Color face = canvas.Resolve(color_);
  const auto face_value = static_cast<std::int32_t>(face);
  canvas.Rectangle({f + 2, f + 1, w - (f + 1), h - (f + 1)}, {kGrey, 1}, std::nullopt);
  canvas.Polyline({{1, h - 2}, {w - 2, h - 2}, {w - 2, 1}}, {kBlack, 1});
  if (!default_) canvas.Rectangle({f, f, w - (f + 2), h - (f + 2)}, {kWhite, 1}, std::nullopt);
  canvas.Rectangle({f + 1, f + 1, w - (f + 2), h - (f + 2)}, {face, 1}, face);
  const Pen dark{GetAlphaColor(face_value, kBlack, 200), 1};
  if (default_) {
    canvas.FrameRect({0, 0, w - 1, h - 1}, kBlack);
    canvas.Polyline({{2, h - 3}, {w - 3, h - 3}, {w - 3, 2}}, dark);
    canvas.Polyline({{w - 3, 1}, {1, 1}, {1, h - 3}}, {kWhite, 1});
  } else {
    canvas.Polyline({{2, h - 3}, {w - 3, h - 3}, {w - 3, 2}}, dark);
    canvas.Polyline({{w - (f + 3), f + 1}, {f + 1, f + 1}, {f + 1, h - (f + 3)}},
                    {GetAlphaColor(face_value, kBlack, line_alf_level_), 1});
  }
  if (default_ || focused_) canvas.Rectangle({0, 0, w, h}, {kBlack, 1}, std::nullopt);
}

void TColorButton::RoundButtonDown(Canvas& canvas) {
  const int w = width_, h = height_;
  const Color face = canvas.Resolve(color_);
  canvas.Rectangle({0, 0, w - 1, h - 1}, {kBlack, 2}, face);
  canvas.Rectangle({2, 2, w - 2, h - 2}, {kGrey, 2}, face);
  canvas.Rectangle({3, 3, w - 2, h - 2}, {face, 2}, face);
}

void TColorButton::CaptionPaint(Canvas& canvas, int dx, int dy) {
  const int w = width_, h = height_;
  canvas.SetFont(font_);
  int x = 0, available = w;
  if (!glyph_.empty()) {
    x = icon_size_ + indent_ + 3;
    available -= x;
  }
  if (caption_left_ == -1)
    x += available / 2 - canvas.TextExtent(caption_).cx / 2;
  else
    x += caption_left_;

  int y = caption_top_;
  if (y == -1) {
    // The font height is negative for a character height, so adding half of
    // it lifts the text by half its height.
    const int q = h / 4, half = font_.height / 2;
    y = caption_align_ == psTop ? q + half : caption_align_ == psCenter ? h / 2 + half : 3 * q + half;
  }

  Color text_color = canvas.Resolve(font_.color);
  if (!enabled_) {
    canvas.WriteText(x + dx + 1, y + dy + 1, caption_, kWhite);
    text_color = kGrey;
  }
  if (!glyph_.empty()) {
    const int s = h - 8;
    canvas.DrawImage(glyph_, {3, h / 2 - s / 2, 3 + s, h / 2 - s / 2 + s});
  }
  canvas.WriteText(x + dx, y + dy, caption_, text_color);

  if (focused_ && focus_cues_) {
    for (int i = 3; i < w - 5; i += 2) {
      canvas.SetPixel(i, 3, kBlack);
      canvas.SetPixel(i, h - 5, kBlack);
    }
    for (int i = 3; i < h - 5; i += 2) {
      canvas.SetPixel(3, i, kBlack);
      canvas.SetPixel(w - 5, i, kBlack);
    }
  }
}

}  // namespace plexi::controls
