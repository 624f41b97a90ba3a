// Owner-drawn progress bar with 64-bit positions, five drawing styles, an
// optional look of separate blocks, a percentage text and a marker tick.
// Windowless: it paints its own rectangle on its parent, every pixel of it.
#pragma once
#include <cstdint>

#include "controls/canvas.h"
#include "controls/control_host.h"

namespace plexi::controls {

enum PAINTTYPE { btSolid, btSolid2, btGradetion, btGradetion2, btWin7 };

class TColorProgressBar {
 public:
  explicit TColorProgressBar(const SystemColorTable& colors = SystemColorTable());

  void SetHost(ControlHost* host) { host_ = host; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetSize(int width, int height);

  std::uint64_t Min() const { return min_; }
  void SetMin(std::uint64_t value);
  std::uint64_t Max() const { return max_; }
  void SetMax(std::uint64_t value);
  std::uint64_t Position() const { return position_; }
  void SetPosition(std::uint64_t value);
  std::int32_t Step() const { return step_; }
  void SetStep(std::int32_t value);
  bool Smooth() const { return smooth_; }
  void SetSmooth(bool value);
  std::int32_t BlockCount() const { return block_count_; }
  void SetBlockCount(std::int32_t value);
  std::int32_t BlockSpace() const { return block_space_; }
  void SetBlockSpace(std::int32_t value);
  Color BoxColor() const { return box_color_; }
  void SetBoxColor(Color value);
  Color BarColor() const { return bar_color_; }
  void SetBarColor(Color value);
  Color LineColor() const { return line_color_; }
  void SetLineColor(Color value);
  PAINTTYPE BarStyle() const { return bar_style_; }
  void SetBarStyle(PAINTTYPE value);
  std::int32_t WhiteLevel() const { return white_level_; }
  void SetWhiteLevel(std::int32_t value);
  std::int32_t PrsLevel() const { return prs_level_; }
  void SetPrsLevel(std::int32_t value);
  TOrientation Orientation() const { return orientation_; }
  void SetOrientation(TOrientation value);
  bool TextSwitch() const { return text_switch_; }
  void SetTextSwitch(bool value);
  bool Flat() const { return flat_; }
  void SetFlat(bool value);
  const Font& GetFont() const { return font_; }
  void SetFont(const Font& value);
  bool Shadow() const { return shadow_; }
  void SetShadow(bool value);
  bool LineParVisible() const { return line_par_visible_; }
  void SetLineParVisible(bool value);
  std::int32_t LinePar() const { return line_par_; }
  void SetLinePar(std::int32_t value);
  Color LineParColor() const { return line_par_color_; }
  void SetLineParColor(Color value);
  // The parent's colour, used for the inner edge of the sunken frame.
  Color GetColor() const { return color_; }
  void SetColor(Color value);
  std::int32_t ParValue() const { return par_value_; }
  Color BarTintColor() const { return bar_tint_color_; }

  void StepIt();
  void StepBy(std::int32_t delta);
  std::int64_t GetPercentDone() const;

  void Paint(Canvas& canvas) { BarDraw(canvas); }
  void BarDraw(Canvas& canvas);

  // Style painters; blue, green and red are the gradient's base channels.
  void SolidBarDrawH(Canvas& canvas, const Rect& r);
  void SolidBarDrawV(Canvas& canvas, const Rect& r);
  void DrawHorizontal(Canvas& canvas, int blue, int green, int red, int left, int right);
  void DrawVertical(Canvas& canvas, int blue, int green, int red, int start_y, int end_y);
  void Win7BarDrawH(Canvas& canvas, int blue, int green, int red, int left, int right);
  void Win7BarDrawV(Canvas& canvas, int blue, int green, int red, int start_y, int end_y);

 private:
  struct ColorCache {
    Color box = 0, bar = 0, line = 0, line_par = 0;
    Color light1 = 0, light2 = 0, box_shade = 0;
  };

  void Repaint();
  void MarkColorsStale();
  void RefreshColorCache(const Canvas& canvas);
  void MoveTo(std::uint64_t value);
  void MoveBy(std::int64_t delta);
  // Draws the chosen style's shape between two bar ends: columns in the
  // horizontal orientation, rows (bottom end first) in the vertical one.
  void DrawShape(Canvas& canvas, int from, int to, int blue, int green, int red);
  void DrawFrame(Canvas& canvas);
  void DrawTick(Canvas& canvas);
  void DrawPercentText(Canvas& canvas);

  ControlHost* host_ = nullptr;
  SystemColorTable colors_;
  int width_ = 150;
  int height_ = 16;
  std::uint64_t min_ = 0;
  std::uint64_t max_ = 100;
  std::uint64_t position_ = 0;
  std::int32_t step_ = 10;
  bool smooth_ = false;
  std::int32_t block_count_ = 10;
  std::int32_t block_space_ = 1;
  Color box_color_;
  Color bar_color_;
  Color line_color_;
  PAINTTYPE bar_style_ = btSolid;
  std::int32_t white_level_ = 60;
  std::int32_t prs_level_ = 20;
  TOrientation orientation_ = pbHorizontal;
  bool text_switch_ = false;
  bool flat_ = false;
  Font font_;
  bool shadow_ = false;
  bool line_par_visible_ = false;
  std::int32_t line_par_ = 50;
  Color line_par_color_ = 0x0000FF;
  Color color_ = SystemColor(kColorBtnFace);
  std::int32_t par_value_ = 0;
  Color bar_tint_color_ = 0;
  bool colors_stale_ = true;
  ColorCache cache_;
};

}  // namespace plexi::controls
