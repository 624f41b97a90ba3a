// Owner-drawn slider: a rounded track with a groove and a gradient knob,
// 64-bit positions, dragging, click paging (finer with Shift), arrow and
// page keys. A windowed control: it takes the focus and receives keys.
#pragma once
#include <cstdint>

#include "controls/canvas.h"
#include "controls/control_host.h"

namespace plexi::controls {

class TMyTrackBar {
 public:
  TMyTrackBar();

  void SetHost(ControlHost* host) { host_ = host; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Resize: the travel of the knob follows the size.
  void SetSize(int width, int height);

  std::int64_t Min() const { return min_; }
  void SetMin(std::int64_t value);
  std::int64_t Max() const { return max_; }
  void SetMax(std::int64_t value);
  std::int64_t Position() const { return position_; }
  void SetPosition(std::int64_t value);
  std::int32_t Step() const { return step_; }
  void SetStep(std::int32_t value);
  std::int32_t LineSize() const { return line_size_; }
  void SetLineSize(std::int32_t value);
  std::int32_t PageSize() const { return page_size_; }
  void SetPageSize(std::int32_t value);
  Color BoxColor() const { return box_color_; }
  void SetBoxColor(Color value);
  Color BtnColor() const { return btn_color_; }
  void SetBtnColor(Color value);
  Color BtnFocusColor() const { return btn_focus_color_; }
  void SetBtnFocusColor(Color value);
  Color FocusColor() const { return focus_color_; }
  void SetFocusColor(Color value);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  bool KeyDownEvent() const { return key_down_event_; }
  void SetKeyDownEvent(bool value) { key_down_event_ = value; }
  TOrientation Orientation() const { return orientation_; }
  void SetOrientation(TOrientation value);
  Color GetColor() const { return color_; }
  void SetColor(Color value);

  NotifyEvent OnChange;
  NotifyEvent OnClick;
  NotifyEvent OnEnter;
  NotifyEvent OnExit;
  KeyEvent OnKeyDown;
  KeyEvent OnKeyUp;
  MouseEvent OnMouseDown;
  MouseMoveEvent OnMouseMove;
  MouseEvent OnMouseUp;

  // Input, as the window delivers it.
  void MouseDown(MouseButton button, bool shift, int x, int y);
  void MouseMove(bool left_held, int x, int y);
  void MouseUp(MouseButton button, int x, int y);
  void KeyDown(int key);
  void KeyUp(int key);
  void DoEnter();
  void DoExit();
  // The arrow keys belong to the control, not to the dialog's focus moves.
  static bool WantsArrows() { return true; }

  bool Focused() const { return focused_; }
  bool Dragging() const { return dragging_; }
  // The knob's base colour as it would be drawn now.
  Color KnobColor() const;
  // Leading edge of the knob as last drawn (column or row).
  int KnobLead() const { return knob_lead_; }

  void Paint(Canvas& canvas) { BarDraw(canvas); }
  void BarDraw(Canvas& canvas);
  void RoundDraw(Canvas& canvas, Color color, int x, int y);

 private:
  void Redraw();
  void Repaint();
  int KnobWidth() const { return width_ * 70 / 100; }  // vertical orientation
  int KnobColumn() const { return width_ / 2 - KnobWidth() / 2; }
  bool InKnobBox(int x, int y) const;
  int Travel() const { return orientation_ == pbHorizontal ? width_ - 30 : height_ - 30; }

  ControlHost* host_ = nullptr;
  int width_ = 150;
  int height_ = 16;
  std::int64_t min_ = 0;
  std::int64_t max_ = 100;
  std::int64_t position_ = 0;
  std::int32_t step_ = 10;
  std::int32_t line_size_ = 1;
  std::int32_t page_size_ = 1;
  Color box_color_ = 0x808080;
  Color btn_color_ = SystemColor(kColorBtnFace);
  Color btn_focus_color_ = 0x00FFFF;
  Color focus_color_ = 0xFF0000;
  bool enabled_ = true;
  bool key_down_event_ = true;
  TOrientation orientation_ = pbHorizontal;
  Color color_ = SystemColor(kColorWindow);

  Color knob_color_ = SystemColor(kColorBtnFace);
  bool focused_ = false;
  bool dragging_ = false;
  int drag_start_ = 0;
  int knob_lead_ = 7;
};

}  // namespace plexi::controls
