#include "controls/my_track_bar.h"

#include <algorithm>
#include <limits>

namespace plexi::controls {
namespace {

constexpr Color kKnobFill = 0xF1F1F1;
constexpr int kKnobBox = 18;  // hit box of the knob along the track

std::int64_t SaturatingAdd(std::int64_t a, std::int64_t b) {
  if (b > 0 && a > std::numeric_limits<std::int64_t>::max() - b)
    return std::numeric_limits<std::int64_t>::max();
  if (b < 0 && a < std::numeric_limits<std::int64_t>::min() - b)
    return std::numeric_limits<std::int64_t>::min();
  return a + b;
}

std::int32_t ClampToInt32(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

TMyTrackBar::TMyTrackBar() : knob_color_(btn_color_) {}

void TMyTrackBar::Redraw() {
  if (host_) host_->PaintNow();
}

void TMyTrackBar::Repaint() {
  if (host_) host_->Invalidate();
}

void TMyTrackBar::SetSize(int width, int height) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  Repaint();
}

void TMyTrackBar::SetMin(std::int64_t value) { min_ = std::min(value, max_); }

void TMyTrackBar::SetMax(std::int64_t value) { max_ = std::max(value, min_); }

void TMyTrackBar::SetPosition(std::int64_t value) {
  position_ = std::clamp(value, min_, max_);
  Redraw();
  if (OnChange) OnChange();
}

void TMyTrackBar::SetStep(std::int32_t value) {
  if (value > max_ || (value < 0 && max_ >= 0)) value = ClampToInt32(max_);
  step_ = value;
}

void TMyTrackBar::SetLineSize(std::int32_t value) {
  if (value < 1) value = 1;
  if (value > max_) value = ClampToInt32(max_);
  line_size_ = value;
}

void TMyTrackBar::SetPageSize(std::int32_t value) {
  if (value < 1) value = 1;
  if (value > max_) value = ClampToInt32(max_);
  page_size_ = value;
}

void TMyTrackBar::SetBoxColor(Color value) {
  box_color_ = value;
  Repaint();
}

void TMyTrackBar::SetBtnColor(Color value) {
  btn_color_ = value;
  knob_color_ = value;
  Repaint();
}

void TMyTrackBar::SetBtnFocusColor(Color value) {
  btn_focus_color_ = value;
  Repaint();
}

void TMyTrackBar::SetFocusColor(Color value) {
  focus_color_ = value;
  Repaint();
}

void TMyTrackBar::SetEnabled(bool value) {
  enabled_ = value;
  knob_color_ = btn_color_;
  Redraw();
}

void TMyTrackBar::SetOrientation(TOrientation value) {
  orientation_ = value;
  Repaint();
}

void TMyTrackBar::SetColor(Color value) {
  color_ = value;
  Repaint();
}

Color TMyTrackBar::KnobColor() const {
  return focused_ && !dragging_ ? focus_color_ : knob_color_;
}

void TMyTrackBar::BarDraw(Canvas& canvas) {
  const int w = width_, h = height_;
  const Color box = canvas.Resolve(box_color_);
  const Pen box_pen{box, 1};
  canvas.FillRect({0, 0, w, h}, color_);
  int x = 0, y = 0;
  if (orientation_ == pbHorizontal) {
    canvas.FillRect({h / 2 + 2, 0, w - h / 2 - 2, h}, box);
    canvas.Ellipse({0, 0, h, h}, box_pen, box);
    canvas.Ellipse({w - h, 0, w, h}, box_pen, box);
    const int g = h / 3;
    canvas.Line({15, g}, {w - 15, g}, {kBlack, 1});
    canvas.Line({15, g + 1}, {w - 15, g + 1}, {kBlack, 1});
    canvas.Line({15, g + 2}, {w - 15, g + 2}, {kWhite, 1});
    x = max_ == 0 ? 0 : static_cast<int>((w - 30) * position_ / max_);
    y = 2;
  } else {
    canvas.FillRect({0, w / 2 + 2, w, h - w / 2 - 2}, box);
    canvas.Ellipse({0, 0, w, w}, box_pen, box);
    canvas.Ellipse({0, h - w, w, h}, box_pen, box);
    const int c = w / 2;
    canvas.Line({c, 15}, {c, h - 15}, {kBlack, 1});
    canvas.Line({c + 1, 15}, {c + 1, h - 15}, {kBlack, 1});
    canvas.Line({c + 2, 15}, {c + 2, h - 15}, {kWhite, 1});
    x = KnobColumn();
    y = max_ == 0 ? 0 : static_cast<int>((h - 30) * position_ / max_);
  }
  if (enabled_) RoundDraw(canvas, KnobColor(), x, y);
}

void TMyTrackBar::RoundDraw(Canvas& canvas, Color color, int x, int y) {
  const Color base = canvas.Resolve(color);
  auto darken = [](int c) { return c > 84 ? c - 84 : c; };
  const int red = darken(RedOf(base)), green = darken(GreenOf(base)), blue = darken(BlueOf(base));

  int bottom_row, rows, scan_start, mirror;
  float step;
  if (orientation_ == pbHorizontal) {
    const int kx = x + 7;
    knob_lead_ = kx;
    canvas.RoundRect({kx, y, kx + 17, height_ - 3}, 10, 10, {kBlack, 1}, kKnobFill);
    step = 150.0f / (static_cast<float>(height_ - 3) * 0.5f);
    bottom_row = height_ - 3;
    rows = std::max(1, (height_ - 3) - (y + 1));
    scan_start = kx + 1;
    mirror = kx + 15;
  } else {
    const int ky = y + 7;
    const int k = KnobWidth();
    knob_lead_ = ky;
    canvas.RoundRect({x, ky, x + k, ky + 17}, 10, 10, {kBlack, 1}, kKnobFill);
    step = 50.0f / 3.0f;
    bottom_row = ky + 15;
    rows = 14;
    scan_start = x + 1;
    mirror = x + k;
  }
  if (step < 1.0f) step = 1.0f;

  // Fill what is still the knob's plain fill, row by row from the bottom,
  // each run mirrored about the knob's middle, so the outline stays as drawn.
  float acc[3] = {0, 0, 0};
  const int channels[3] = {red, green, blue};
  for (int i = 0; i < rows; ++i) {
    const int row = bottom_row - i;
    const Pen pen{Rgb(static_cast<int>(red + acc[0]) & 0xFF, static_cast<int>(green + acc[1]) & 0xFF,
                      static_cast<int>(blue + acc[2]) & 0xFF),
                  1};
    for (int c = scan_start; c < width_; ++c)
      if (canvas.GetPixel(c, row) == kKnobFill)
        canvas.Line({c, row}, {mirror - (c - scan_start) - 1, row}, pen);
    for (int ch = 0; ch < 3; ++ch)
      if (channels[ch] + acc[ch] + step < 255.0f) acc[ch] += step;
  }
}

bool TMyTrackBar::InKnobBox(int x, int y) const {
  if (orientation_ == pbHorizontal)
    return x >= knob_lead_ && x < knob_lead_ + kKnobBox && y < height_ - 4;
  const int left = KnobColumn();
  return y >= knob_lead_ && y < knob_lead_ + kKnobBox && x > left && x < left + KnobWidth();
}

void TMyTrackBar::MouseDown(MouseButton button, bool shift, int x, int y) {
  if (host_) host_->TakeFocus();
  if (OnMouseDown) OnMouseDown(button, x, y);
  if (button != MouseButton::mbLeft) return;
  const int divisor = shift ? 30 : 1;
  const int along = orientation_ == pbHorizontal ? x : y;
  knob_color_ = btn_focus_color_;
  if (InKnobBox(x, y)) {
    dragging_ = true;
    drag_start_ = along;
  } else if (along < knob_lead_) {
    const std::int64_t target = position_ - step_ / divisor;
    SetPosition(target > 0 ? target : 0);
  } else if (along > knob_lead_ + kKnobBox) {
    const std::int64_t target = SaturatingAdd(position_, step_ / divisor);
    SetPosition(target < max_ ? target : max_);
  }
  Redraw();
}

void TMyTrackBar::MouseMove(bool left_held, int x, int y) {
  if (left_held && dragging_) {
    const int travel = Travel();
    if (travel <= 0) {
      // No room to travel: nothing to scale by, the knob sits at the start.
      SetPosition(min_);
    } else {
      const int along = (orientation_ == pbHorizontal ? x : y) - 15;
      const std::int64_t p = std::clamp(along, 0, travel);
      const std::int64_t target = max_ * p / travel;
      if (target >= 0 && target <= max_) SetPosition(target);
    }
  } else if (!dragging_) {
    const bool over = orientation_ == pbHorizontal
                          ? x >= knob_lead_ && x < knob_lead_ + kKnobBox && y > 4 && y < height_ - 4
                          : InKnobBox(x, y);
    knob_color_ = over ? btn_focus_color_ : btn_color_;
    Redraw();
  }
  if (OnMouseMove) OnMouseMove(x, y);
}

void TMyTrackBar::MouseUp(MouseButton button, int x, int y) {
  if (button == MouseButton::mbLeft) {
    dragging_ = false;
    knob_color_ = btn_color_;
    Redraw();
  }
  if (OnMouseUp) OnMouseUp(button, x, y);
  if (button == MouseButton::mbLeft && OnClick) OnClick();
}

void TMyTrackBar::KeyDown(int key) {
  if (key_down_event_) {
    switch (key) {
      case keys::kLeft:
      case keys::kUp: SetPosition(SaturatingAdd(position_, -line_size_)); break;
      case keys::kRight:
      case keys::kDown: SetPosition(SaturatingAdd(position_, line_size_)); break;
      case keys::kPageUp: SetPosition(SaturatingAdd(position_, -page_size_)); break;
      case keys::kPageDown: SetPosition(SaturatingAdd(position_, page_size_)); break;
      default: break;
    }
  }
  if (OnKeyDown) OnKeyDown(key);
}

void TMyTrackBar::KeyUp(int key) {
  if (OnKeyUp) OnKeyUp(key);
}

void TMyTrackBar::DoEnter() {
  focused_ = true;
  Repaint();
  if (OnEnter) OnEnter();
}

void TMyTrackBar::DoExit() {
  focused_ = false;
  dragging_ = false;
  Repaint();
  if (OnExit) OnExit();
}

}  // namespace plexi::controls
