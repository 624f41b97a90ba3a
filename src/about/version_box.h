// The version form's picture: a two-frame 64 x 64 drawing that alternates
// every step, jitters on one frame and slowly breathes (grows and shrinks)
// on the other, and reacts to the mouse.
#pragma once
#include <cstdint>
#include <functional>

#include "controls/canvas.h"

namespace plexi::about {

inline constexpr int kPictureSize = 64;
// The frame strip: two pictures side by side; this colour marks the
// pixels the panel shows through (0xFF0000 as a COLORREF, pure blue).
inline constexpr int kStripWidth = 2 * kPictureSize;
inline constexpr controls::Color kStripTransparent = 0xFF0000;

// Our drawing of the two frames on a canvas of at least 128 x 64.
void PaintFrameStrip(controls::Canvas& strip);

// Frame `frame` of the strip onto the 64 x 64 `picture`, the transparent
// pixels in the panel's colour.
void CopyFrame(const controls::Canvas& strip, int frame, controls::Color panel, controls::Canvas& picture);

class PictureAnimation {
 public:
  // `random` gives non-negative pseudo-random numbers.
  PictureAnimation(std::int32_t jump_xy, std::int32_t stretch_max, controls::Point rest,
                   std::function<std::uint32_t()> random);

  // One step: returns the frame to draw now, then moves the picture
  // (after frame 0) or changes its size (after frame 1).
  int Step();

  // Where the picture is and how big, in the panel's coordinates.
  controls::Rect PictureRect() const;
  int SizeChange() const { return size_change_; }
  int NextFrame() const { return frame_; }

  void MouseMoveOnPicture();
  void MouseDownOnPicture();
  void MouseMoveOnPanel();

 private:
  int RandomOffset();
  void Jitter();
  void Breathe();

  std::int32_t jump_xy_;
  std::int32_t stretch_max_;
  controls::Point rest_;
  controls::Point offset_;
  std::function<std::uint32_t()> random_;
  int frame_ = 0;
  int size_change_ = 0;
  bool pressed_ = false;
};

}  // namespace plexi::about
