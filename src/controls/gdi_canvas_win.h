// The canvas of the Windows build: GDI drawing into a 32-bit DIB section
// held by a memory DC. A control paints its whole picture here and the
// window copies it to the screen with one BitBlt, so nothing flickers. The
// bitmap is kept until the size changes.
#pragma once
#include <windows.h>

#include <cstdint>

#include "controls/canvas.h"
#include "platform/win/win_handles.h"
#include "window/memory_bitmap_win.h"

namespace plexi::win {

// The system colours as they are now.
controls::SystemColorTable CurrentSystemColors();

class GdiCanvas : public controls::Canvas {
 public:
  GdiCanvas();
  ~GdiCanvas() override;
  GdiCanvas(const GdiCanvas&) = delete;
  GdiCanvas& operator=(const GdiCanvas&) = delete;

  // Makes the bitmap width x height; the picture is kept when the size is
  // already right.
  bool Resize(int width, int height);
  // The same for a control drawn in design pixels on a denser screen: the
  // bitmap is `pixels` large, the control draws `design` large and every
  // figure it draws is stretched to fill the bitmap (lines, shapes and text
  // are drawn at the bitmap's own resolution).
  bool Resize(SIZE pixels, SIZE design);
  // Copies the whole picture to `dest` at (x, y).
  void BlitTo(HDC dest, int x, int y) const;
  HDC dc() const { return surface_.dc(); }

  int Width() const override { return design_.cx; }
  int Height() const override { return design_.cy; }
  controls::Color SystemColorValue(int index) const override;

  void FillRect(const controls::Rect& r, controls::Color c) override;
  void FrameRect(const controls::Rect& r, controls::Color c) override;
  void Line(controls::Point from, controls::Point to, const controls::Pen& pen) override;
  void Rectangle(const controls::Rect& r, const controls::Pen& pen, std::optional<controls::Color> brush) override;
  void Ellipse(const controls::Rect& r, const controls::Pen& pen, std::optional<controls::Color> brush) override;
  void RoundRect(const controls::Rect& r, int corner_width, int corner_height, const controls::Pen& pen,
                 std::optional<controls::Color> brush) override;
  controls::Color GetPixel(int x, int y) const override;
  void SetPixel(int x, int y, controls::Color c) override;

  void SetFont(const controls::Font& font) override;
  controls::Size TextExtent(std::string_view text) override;
  void WriteText(int x, int y, std::string_view text, controls::Color c) override;

 private:
  template <class Draw>
  void WithPenAndBrush(const controls::Pen& pen, std::optional<controls::Color> brush, Draw draw);
  std::uint32_t* PixelAt(int x, int y) const;
  bool Scaled() const { return design_.cx != surface_.width() || design_.cy != surface_.height(); }

  SIZE design_{};
  MemoryBitmap surface_;
  HGDIOBJ original_font_ = nullptr;
  plexi::win::UniqueFont font_;
  controls::Font font_spec_;
  bool has_font_ = false;
};

}  // namespace plexi::win
