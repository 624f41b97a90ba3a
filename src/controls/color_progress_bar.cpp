#include "controls/color_progress_bar.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace plexi::controls {
namespace {

constexpr Color kSunkenDark = 0x505050;

// The gradient styles start from a darker base: channels above 84 lose 84.
int DarkenForGradient(int channel) { return channel > 84 ? channel - 84 : channel; }

// Rows or columns of a gradient: the pen colour starts at the base and each
// channel grows by `step` per line while it stays below 255.
class GradientPen {
 public:
  GradientPen(int red, int green, int blue, float step)
      : base_{red, green, blue}, step_(step < 1.0f ? 1.0f : step) {}

  Pen Current() const {
    auto channel = [this](int i) { return static_cast<int>(base_[i] + acc_[i]) & 0xFF; };
    return {Rgb(channel(0), channel(1), channel(2)), 1};
  }
  void Grow() {
    for (int i = 0; i < 3; ++i)
      if (base_[i] + acc_[i] + step_ < 255.0f) acc_[i] += step_;
  }

 private:
  int base_[3];
  float acc_[3] = {0, 0, 0};
  float step_;
};

// A rectangle between two rows given in either order.
Rect RowSpan(int left, int right, int row_a, int row_b) {
  return {left, std::min(row_a, row_b), right, std::max(row_a, row_b)};
}

}  // namespace

TColorProgressBar::TColorProgressBar(const SystemColorTable& colors)
    : colors_(colors),
      box_color_(ChkSysColorToColor(SystemColor(kColorBtnFace), colors)),
      bar_color_(ChkSysColorToColor(SystemColor(kColorHighlight), colors)),
      line_color_(ChkSysColorToColor(SystemColor(kColorBtnFace), colors)) {
  bar_tint_color_ = GetAlphaColor(static_cast<std::int32_t>(bar_color_), kWhite, 100);
}

void TColorProgressBar::Repaint() {
  if (host_) host_->Invalidate();
}

void TColorProgressBar::MarkColorsStale() {
  colors_stale_ = true;
  Repaint();
}

void TColorProgressBar::SetSize(int width, int height) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  Repaint();
}

void TColorProgressBar::SetMin(std::uint64_t value) { min_ = std::min(value, max_); }

void TColorProgressBar::SetMax(std::uint64_t value) {
  max_ = std::max(value, min_);
  if (max_ == 0) max_ = 1;
}

void TColorProgressBar::SetPosition(std::uint64_t value) { MoveTo(value); }

void TColorProgressBar::SetStep(std::int32_t value) {
  if (value >= 0 && static_cast<std::uint64_t>(value) > max_)
    value = static_cast<std::int32_t>(max_ & 0xFFFFFFFFu);
  step_ = value;
}

void TColorProgressBar::SetSmooth(bool value) {
  smooth_ = value;
  Repaint();
}

void TColorProgressBar::SetBlockCount(std::int32_t value) {
  block_count_ = value >= 1 && width_ / value >= 1 ? value : 1;
  Repaint();
}

void TColorProgressBar::SetBlockSpace(std::int32_t value) {
  const int extent = orientation_ == pbHorizontal ? width_ : height_;
  if (value < ((extent - 1) / block_count_) / 2) block_space_ = value;
  Repaint();
}

void TColorProgressBar::SetBoxColor(Color value) {
  box_color_ = value;
  MarkColorsStale();
}

void TColorProgressBar::SetBarColor(Color value) {
  bar_color_ = value;
  bar_tint_color_ =
      GetAlphaColor(static_cast<std::int32_t>(ChkSysColorToColor(value, colors_)), kWhite, 100);
  MarkColorsStale();
}

void TColorProgressBar::SetLineColor(Color value) {
  line_color_ = value;
  MarkColorsStale();
}

void TColorProgressBar::SetBarStyle(PAINTTYPE value) {
  bar_style_ = value;
  Repaint();
}

void TColorProgressBar::SetWhiteLevel(std::int32_t value) {
  white_level_ = std::clamp(value, 10, 255);
  MarkColorsStale();
}

void TColorProgressBar::SetPrsLevel(std::int32_t value) {
  prs_level_ = value;
  MarkColorsStale();
}

void TColorProgressBar::SetOrientation(TOrientation value) {
  orientation_ = value;
  Repaint();
}

void TColorProgressBar::SetTextSwitch(bool value) {
  text_switch_ = value;
  Repaint();
}

void TColorProgressBar::SetFlat(bool value) {
  flat_ = value;
  Repaint();
}

void TColorProgressBar::SetFont(const Font& value) {
  font_ = value;
  Repaint();
}

void TColorProgressBar::SetShadow(bool value) {
  shadow_ = value;
  Repaint();
}

void TColorProgressBar::SetLineParVisible(bool value) {
  line_par_visible_ = value;
  Repaint();
}

void TColorProgressBar::SetLinePar(std::int32_t value) {
  line_par_ = std::min(value, 100);
  Repaint();
}

void TColorProgressBar::SetLineParColor(Color value) {
  line_par_color_ = value;
  MarkColorsStale();
}

void TColorProgressBar::SetColor(Color value) {
  color_ = value;
  Repaint();
}

std::int64_t TColorProgressBar::GetPercentDone() const {
  if (max_ == min_) return 0;
  const long double done = static_cast<long double>(position_) - static_cast<long double>(min_);
  const long double range = static_cast<long double>(max_) - static_cast<long double>(min_);
  return static_cast<std::int64_t>(std::floor(done * 100.0L / range));
}

void TColorProgressBar::MoveTo(std::uint64_t value) {
  value = std::max(value, min_);
  value = std::min(value, max_);
  const std::int64_t old_percent = GetPercentDone();
  if (value == position_) return;
  position_ = value;
  par_value_ = static_cast<std::int32_t>(static_cast<std::uint32_t>(100 * position_ / max_));
  // Byte positions arrive many times a second: draw only when the whole
  // percentage moves.
  if (GetPercentDone() != old_percent && host_) host_->PaintNow();
}

// A step below zero stops at Min, one past the 64-bit range at Max.
void TColorProgressBar::MoveBy(std::int64_t delta) {
  if (delta < 0) {
    const std::uint64_t back = static_cast<std::uint64_t>(-delta);
    MoveTo(back > position_ ? min_ : position_ - back);
    return;
  }
  const std::uint64_t ahead = static_cast<std::uint64_t>(delta);
  const std::uint64_t room = std::numeric_limits<std::uint64_t>::max() - position_;
  MoveTo(ahead > room ? max_ : position_ + ahead);
}

void TColorProgressBar::StepIt() { MoveBy(step_); }

void TColorProgressBar::StepBy(std::int32_t delta) { MoveBy(delta); }

void TColorProgressBar::RefreshColorCache(const Canvas& canvas) {
  cache_.box = canvas.Resolve(box_color_);
  cache_.bar = canvas.Resolve(bar_color_);
  cache_.line = canvas.Resolve(line_color_);
  cache_.line_par = canvas.Resolve(line_par_color_);
  const auto bar = static_cast<std::int32_t>(cache_.bar);
  cache_.light1 = GetAlphaColor(bar, kWhite, white_level_);
  cache_.light2 = GetAlphaColor(bar, kWhite, white_level_ + prs_level_);
  cache_.box_shade = GetAlphaColor(static_cast<std::int32_t>(cache_.box), kBlack, 150);
  colors_stale_ = false;
}

void TColorProgressBar::BarDraw(Canvas& canvas) {
  if (colors_stale_) RefreshColorCache(canvas);
  const int w = width_, h = height_;
  canvas.FillRect({0, 0, w, h}, cache_.box);

  if (max_ != 0 && position_ != 0) {
    auto reduce = [](int c) { return c > 64 ? c - 64 : c; };
    const int red = reduce(RedOf(cache_.bar));
    const int green = reduce(GreenOf(cache_.bar));
    const int blue = reduce(BlueOf(cache_.bar));
    const int s = smooth_ ? 1 : 0;
    const auto percent = static_cast<std::int32_t>(100 * position_ / max_);
    const long double fraction =
        static_cast<long double>(position_) / static_cast<long double>(max_);

    if (orientation_ == pbHorizontal) {
      const int length = w - 3 - s;
      long double bar = length * fraction;
      if (flat_) bar += 1.0L;
      const float block = static_cast<float>(length) / static_cast<float>(block_count_);
      if (!smooth_) {
        DrawShape(canvas, 2, static_cast<int>(bar), blue, green, red);
      } else {
        float x = 2.0f;
        for (int i = 1; i <= block_count_; ++i) {
          if (i * 100 / block_count_ <= percent)
            DrawShape(canvas, static_cast<int>(x),
                      static_cast<int>(x + block - static_cast<float>(block_space_)), blue, green,
                      red);
          x += block;
        }
      }
    } else {
      const int length = h - 2 - s;
      const long double bar = length * fraction;
      const float block = static_cast<float>(length) / static_cast<float>(block_count_);
      if (!smooth_) {
        DrawShape(canvas, h - 2, static_cast<int>(h - bar), blue, green, red);
      } else {
        float y = static_cast<float>(h - 2);
        for (int i = 1; i <= block_count_; ++i) {
          if (i * 100 / block_count_ <= percent)
            DrawShape(canvas, static_cast<int>(y),
                      static_cast<int>(y - block + static_cast<float>(block_space_)), blue, green,
                      red);
          y -= block;
        }
      }
    }
  }

  DrawFrame(canvas);
  if (line_par_visible_) DrawTick(canvas);
  if (max_ != 0 && text_switch_) DrawPercentText(canvas);
}

void TColorProgressBar::DrawShape(Canvas& canvas, int from, int to, int blue, int green,
                                  int red) {
  const int w = width_, h = height_;
  if (orientation_ == pbHorizontal) {
    switch (bar_style_) {
      case btSolid: canvas.FillRect({from, 2, to, h - 2}, cache_.bar); break;
      case btSolid2: SolidBarDrawH(canvas, {from, 2, to, h - 2}); break;
      case btGradetion:
      case btGradetion2: DrawHorizontal(canvas, blue, green, red, from, to); break;
      case btWin7: Win7BarDrawH(canvas, blue, green, red, from, to); break;
    }
    return;
  }
  // Vertical: `from` is the bottom end, `to` the leading end; the bar
  // covers the leading end's row and stops above the bottom end's.
  switch (bar_style_) {
    case btSolid: canvas.FillRect(RowSpan(2, w - 2, from, to), cache_.bar); break;
    case btSolid2: SolidBarDrawV(canvas, RowSpan(2, w - 2, from, to)); break;
    case btGradetion:
    case btGradetion2: DrawVertical(canvas, blue, green, red, from, to); break;
    case btWin7: Win7BarDrawV(canvas, blue, green, red, from, to); break;
  }
}

void TColorProgressBar::SolidBarDrawH(Canvas& canvas, const Rect& r) {
  const int h = r.bottom - r.top;
  const int mid = h / 2;  // a row of the canvas, not an offset from r.top
  const int shade = h * 20 / 100;
  const auto bar = static_cast<std::int32_t>(cache_.bar);
  canvas.FillRect({r.left, r.top, r.right, mid}, GetAlphaColor(bar, kWhite, 100));
  canvas.FillRect({r.left, mid, r.right, r.bottom - shade}, cache_.bar);
  canvas.FillRect({r.left, r.bottom - shade, r.right, r.bottom}, GetAlphaColor(bar, kBlack, 240));
  canvas.Line({r.left, r.top}, {r.right, r.top}, {bar_tint_color_, 1});
}

void TColorProgressBar::SolidBarDrawV(Canvas& canvas, const Rect& r) {
  const int w = r.right - r.left;
  const int mid = w / 2;  // a column of the canvas
  const int shade = w * 20 / 100;
  const auto bar = static_cast<std::int32_t>(cache_.bar);
  canvas.FillRect({r.left, r.top, mid, r.bottom}, GetAlphaColor(bar, kWhite, 100));
  canvas.FillRect({mid, r.top, r.right - shade, r.bottom}, cache_.bar);
  canvas.FillRect({r.right - shade, r.top, r.right, r.bottom}, GetAlphaColor(bar, kBlack, 240));
  canvas.Line({r.left, r.bottom}, {r.left, r.top}, {bar_tint_color_, 1});
}

void TColorProgressBar::DrawHorizontal(Canvas& canvas, int blue, int green, int red, int left,
                                       int right) {
  const int h = height_;
  GradientPen pen(DarkenForGradient(red), DarkenForGradient(green), DarkenForGradient(blue),
                  150.0f / (static_cast<float>(h) * 0.5f));
  const int rows = std::max(1, h - 4);
  const bool gloss = bar_style_ == btGradetion2;
  const int gloss_end = gloss ? (40 * h - 160) / 100 : 0;
  const int held_rows = gloss ? rows * 10 / 100 : 0;
  int y = h - 3;
  for (int i = 0; i < rows && y >= gloss_end; ++i) {
    canvas.Line({left, y}, {right, y}, pen.Current());
    --y;
    if (i >= held_rows) pen.Grow();
  }
  if (gloss) {
    canvas.FillRect({left, 2, right, gloss_end}, cache_.light1);
    canvas.Line({left, 2}, {right, 2}, {kWhite, 1});
    canvas.Line({right, 3}, {right, h - 2}, {cache_.box_shade, 1});
  }
}

void TColorProgressBar::DrawVertical(Canvas& canvas, int blue, int green, int red, int start_y,
                                     int end_y) {
  const int w = width_;
  GradientPen pen(DarkenForGradient(red), DarkenForGradient(green), DarkenForGradient(blue),
                  150.0f / (static_cast<float>(w) * 0.5f));
  const int columns = std::max(1, w - 4);
  const bool gloss = bar_style_ == btGradetion2;
  const int gloss_end = gloss ? (40 * w - 160) / 100 : 0;
  const int held_columns = gloss ? columns * 10 / 100 : 0;
  int x = w - 3;
  for (int i = 0; i < columns; ++i) {
    canvas.Line({x, end_y}, {x, start_y}, pen.Current());
    --x;
    if (i >= held_columns) pen.Grow();
  }
  if (gloss) {
    canvas.FillRect(RowSpan(1, gloss_end, start_y, end_y), cache_.light1);
    canvas.Line({1, start_y}, {1, end_y}, {kWhite, 1});
  }
  canvas.Line({1, end_y}, {w - 2, end_y}, {cache_.light2, 1});
}

void TColorProgressBar::Win7BarDrawH(Canvas& canvas, int blue, int green, int red, int left,
                                     int right) {
  const int h = height_;
  GradientPen pen(DarkenForGradient(red), DarkenForGradient(green), DarkenForGradient(blue),
                  150.0f / (static_cast<float>(h) * 0.5f));
  const int lower = (40 * h - 160) / 100 + 2;  // first row of the lower part
  const int rows = std::max(1, h - lower);
  for (int i = 0, y = lower; i < rows; ++i, ++y) {
    canvas.Line({left, y}, {right, y}, pen.Current());
    pen.Grow();
  }
  const int half = (lower - 2) / 2;
  if (half > 1) {
    canvas.FillRect({left, 2, right, half + 2}, cache_.light1);
    canvas.FillRect({left, half + 2, right, lower}, cache_.light2);
  } else {
    canvas.FillRect({left, 2, right, lower}, cache_.light1);
  }
  canvas.Line({right, 3}, {right, h - 2}, {cache_.box_shade, 1});
}

void TColorProgressBar::Win7BarDrawV(Canvas& canvas, int blue, int green, int red, int start_y,
                                     int end_y) {
  const int w = width_;
  GradientPen pen(DarkenForGradient(red), DarkenForGradient(green), DarkenForGradient(blue),
                  150.0f / (static_cast<float>(w) * 0.5f));
  const int lower = (40 * w - 160) / 100 + 2;  // first column of the gradient part
  const int columns = std::max(1, w - lower);
  for (int i = 0, x = lower; i < columns; ++i, ++x) {
    canvas.Line({x, end_y}, {x, start_y}, pen.Current());
    pen.Grow();
  }
  const int half = (lower - 2) / 2;
  if (half > 1) {
    canvas.FillRect(RowSpan(2, half + 2, start_y, end_y), cache_.light1);
    canvas.FillRect(RowSpan(half + 2, lower, start_y, end_y), cache_.light2);
  } else {
    canvas.FillRect(RowSpan(2, lower, start_y, end_y), cache_.light1);
  }
  canvas.Line({2, end_y}, {w - 2, end_y}, {cache_.light2, 1});
}

void TColorProgressBar::DrawFrame(Canvas& canvas) {
  const int w = width_, h = height_;
  if (flat_) {
    canvas.FrameRect({0, 0, w, h}, cache_.line);
    return;
  }
  canvas.Polyline({{0, h - 1}, {0, 0}, {w - 1, 0}}, {kSunkenDark, 1});
  canvas.Polyline({{w - 1, 0}, {w - 1, h - 1}, {0, h - 1}}, {kWhite, 1});
  const Pen inner{canvas.Resolve(color_), 1};
  if (orientation_ == pbHorizontal)
    canvas.Line({w - 2, 1}, {w - 2, h - 2}, inner);
  else
    canvas.Line({1, 1}, {w - 2, 1}, inner);
}

void TColorProgressBar::DrawTick(Canvas& canvas) {
  const int w = width_, h = height_;
  const Pen pen{cache_.line_par, 1};
  if (orientation_ == pbHorizontal) {
    const int x = (w - 1) * line_par_ / 100;
    canvas.Line({x, 1}, {x, 5}, pen);
    canvas.Line({x, h - 6}, {x, h - 2}, pen);
  } else {
    const int y = (h - 1) * line_par_ / 100;
    canvas.Line({1, y}, {5, y}, pen);
    canvas.Line({w - 6, y}, {w - 2, y}, pen);
  }
}

void TColorProgressBar::DrawPercentText(Canvas& canvas) {
  const std::string text = std::to_string(par_value_) + "%";
  canvas.SetFont(font_);
  const int text_width = canvas.TextExtent(text).cx;
  const int text_height = canvas.TextExtent("H").cy;
  const int x = width_ / 2 - text_width / 2;
  const int y = height_ / 2 - text_height / 2;
  if (shadow_) {
    canvas.WriteText(x + 1, y + 1, text, cache_.bar);
    canvas.WriteText(x, y, text, cache_.box);
  } else {
    canvas.WriteText(x, y, text, canvas.Resolve(font_.color));
  }
}

}  // namespace plexi::controls
