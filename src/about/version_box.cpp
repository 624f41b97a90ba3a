#include "about/version_box.h"

#include <utility>

namespace plexi::about {

namespace {

constexpr controls::Color kPlatter = controls::Rgb(208, 212, 220);
constexpr controls::Color kPlatterEdge = controls::Rgb(96, 100, 112);
constexpr controls::Color kTrack = controls::Rgb(176, 182, 194);
constexpr controls::Color kHub = controls::Rgb(64, 68, 80);
constexpr controls::Color kArm = controls::Rgb(120, 84, 40);
constexpr controls::Color kData = controls::Rgb(210, 60, 40);
constexpr controls::Color kClean = controls::Rgb(40, 170, 90);
constexpr controls::Color kSpark = controls::Rgb(255, 210, 40);

// A platter seen from above with its read arm; `x0` is the frame's left.
void PaintPlatter(controls::Canvas& c, int x0) {
  const controls::Pen edge{kPlatterEdge, 1};
  c.Ellipse({x0 + 4, 4, x0 + 60, 60}, edge, kPlatter);
  c.Ellipse({x0 + 12, 12, x0 + 52, 52}, controls::Pen{kTrack, 1}, std::nullopt);
  c.Ellipse({x0 + 20, 20, x0 + 44, 44}, controls::Pen{kTrack, 1}, std::nullopt);
  c.Ellipse({x0 + 27, 27, x0 + 37, 37}, controls::Pen{kHub, 1}, kHub);
}

void PaintArm(controls::Canvas& c, int x0, controls::Point head) {
  const controls::Pen arm{kArm, 3};
  c.Line({x0 + 58, 58}, {x0 + head.x, head.y}, arm);
  c.Ellipse({x0 + 54, 54, x0 + 62, 62}, controls::Pen{kHub, 1}, kArm);
}

// Data marks on the outer tracks; `kept` of them are still there.
void PaintData(controls::Canvas& c, int x0, int kept) {
  static constexpr controls::Point kMarks[] = {{16, 22}, {22, 14}, {44, 14}, {50, 24},
                                     {48, 44}, {40, 52}, {18, 46}};
  int index = 0;
  for (const controls::Point& p : kMarks) {
    const controls::Color color = index++ < kept ? kData : kClean;
    c.FillRect({x0 + p.x - 2, p.y - 2, x0 + p.x + 2, p.y + 2}, color);
  }
}

void PaintSpark(controls::Canvas& c, int x, int y) {
  const controls::Pen pen{kSpark, 1};
  c.Line({x - 4, y}, {x + 5, y}, pen);
  c.Line({x, y - 4}, {x, y + 5}, pen);
  c.Line({x - 2, y - 2}, {x + 3, y + 3}, pen);
  c.Line({x - 2, y + 2}, {x + 3, y - 3}, pen);
}

}  // namespace

void PaintFrameStrip(controls::Canvas& strip) {
  strip.FillRect({0, 0, kStripWidth, kPictureSize}, kStripTransparent);
  // Frame 0: the arm over the outer track, most marks still red.
  PaintPlatter(strip, 0);
  PaintData(strip, 0, 5);
  PaintArm(strip, 0, {20, 18});
  // Frame 1: the arm moved on, the track wiped green, a spark where it was.
  const int x1 = kPictureSize;
  PaintPlatter(strip, x1);
  PaintData(strip, x1, 2);
  PaintArm(strip, x1, {46, 16});
  PaintSpark(strip, x1 + 14, 10);
}

void CopyFrame(const controls::Canvas& strip, int frame, controls::Color panel, controls::Canvas& picture) {
  const int left = kPictureSize * frame;
  for (int y = 0; y < kPictureSize; ++y) {
    for (int x = 0; x < kPictureSize; ++x) {
      const controls::Color pixel = strip.GetPixel(left + x, y);
      picture.SetPixel(x, y, pixel == kStripTransparent ? panel : pixel);
    }
  }
}

PictureAnimation::PictureAnimation(std::int32_t jump_xy, std::int32_t stretch_max, controls::Point rest,
                                   std::function<std::uint32_t()> random)
    : jump_xy_(jump_xy), stretch_max_(stretch_max), rest_(rest), random_(std::move(random)) {}

int PictureAnimation::Step() {
  const int drawn = frame_;
  frame_ = 1 - frame_;
  if (frame_ == 1) {
    Jitter();
  } else {
    Breathe();
  }
  return drawn;
}

int PictureAnimation::RandomOffset() {
  if (jump_xy_ == 0) return 0;
  const std::int64_t j = jump_xy_;
  std::int64_t d = std::int64_t(random_()) % j;
  // More than half the range: the same distance the other way.
  if (2 * d > j) d -= j;
  return static_cast<int>(d);
}

void PictureAnimation::Jitter() {
  const int dx = RandomOffset();
  const int dy = RandomOffset();
  offset_ = {dx, dy};
}

void PictureAnimation::Breathe() {
  const std::uint32_t r = random_() % 10;
  if (r > 5 && size_change_ < stretch_max_) {
    ++size_change_;
  } else if (r <= 4 && size_change_ > -stretch_max_) {
    --size_change_;
  }
}

controls::Rect PictureAnimation::PictureRect() const {
  const int size = kPictureSize + size_change_;
  const int x = rest_.x + offset_.x, y = rest_.y + offset_.y;
  return {x, y, x + size, y + size};
}

void PictureAnimation::MouseMoveOnPicture() {
  if (!pressed_) size_change_ = 10;
}

void PictureAnimation::MouseDownOnPicture() {
  size_change_ = -10;
  pressed_ = true;
}

void PictureAnimation::MouseMoveOnPanel() { pressed_ = false; }

}  // namespace plexi::about
