// Helpers of the control tests: a host that counts what the controls ask of
// their window and paints into a raster canvas, and pixel searches.
#pragma once
#include <gtest/gtest.h>

#include <optional>

#include "controls/control_host.h"
#include "controls/raster_canvas.h"

namespace plexi::test {

using controls::Color;
using controls::RasterCanvas;
using controls::Rect;

template <class Control>
class CountingHost : public controls::ControlHost {
 public:
  explicit CountingHost(Control& control) : control_(control) { control.SetHost(this); }

  void Invalidate() override { ++invalidated; }
  void PaintNow() override {
    ++painted;
    canvas.emplace(control_.Width(), control_.Height());
    control_.Paint(*canvas);
  }
  void TakeFocus() override {
    ++focus_requests;
    if constexpr (requires { control_.DoEnter(); })
      if (!control_.Focused()) control_.DoEnter();
  }
  void SetModalResult(int result) override { modal_result = result; }

  int invalidated = 0;
  int painted = 0;
  int focus_requests = 0;
  std::optional<int> modal_result;
  std::optional<RasterCanvas> canvas;  // the last picture painted at once

 private:
  Control& control_;
};

template <class Control>
RasterCanvas PaintOf(Control& control, Color background = 0x123456) {
  RasterCanvas canvas(control.Width(), control.Height(), background);
  control.Paint(canvas);
  return canvas;
}

// Bounding box of the pixels of one colour, empty when there are none.
inline Rect BoxOf(const RasterCanvas& canvas, Color color) {
  Rect box{canvas.Width(), canvas.Height(), 0, 0};
  for (int y = 0; y < canvas.Height(); ++y)
    for (int x = 0; x < canvas.Width(); ++x)
      if (canvas.GetPixel(x, y) == color) {
        box.left = std::min(box.left, x);
        box.top = std::min(box.top, y);
        box.right = std::max(box.right, x + 1);
        box.bottom = std::max(box.bottom, y + 1);
      }
  if (box.right == 0) return {};
  return box;
}

// Runs of one colour along a row: how many separate stretches it forms.
inline int RunsInRow(const RasterCanvas& canvas, int y, Color color) {
  int runs = 0;
  bool inside = false;
  for (int x = 0; x < canvas.Width(); ++x) {
    const bool hit = canvas.GetPixel(x, y) == color;
    if (hit && !inside) ++runs;
    inside = hit;
  }
  return runs;
}

}  // namespace plexi::test
