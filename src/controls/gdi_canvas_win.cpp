#include "controls/gdi_canvas_win.h"

#include <algorithm>

#include "platform/win/gdi_scope.h"
#include "platform/win/utf.h"
#include "window/window_helpers_win.h"

namespace plexi::win {
namespace {

using plexi::win::UniqueBitmap;
using plexi::win::UniqueBrush;
using plexi::win::UniqueFont;
using plexi::win::UniquePen;

using plexi::win::SelectInto;

RECT ToRect(const controls::Rect& r) { return {r.left, r.top, r.right, r.bottom}; }

}  // namespace

controls::SystemColorTable CurrentSystemColors() {
  std::array<controls::Color, controls::kSystemColorCount> colors{};
  for (int i = 0; i < controls::kSystemColorCount; ++i)
    colors[static_cast<std::size_t>(i)] = GetSysColor(i);
  return controls::SystemColorTable(colors);
}

GdiCanvas::GdiCanvas() { static_cast<void>(surface_.DibDc()); }  // no DC: nothing is drawn

GdiCanvas::~GdiCanvas() {
  // The DC must let go of our font before it is deleted.
  if (surface_.dc() && original_font_) SelectObject(surface_.dc(), original_font_);
}

bool GdiCanvas::Resize(int width, int height) { return Resize({width, height}, {width, height}); }

bool GdiCanvas::Resize(SIZE pixels, SIZE design) {
  pixels = {std::max<LONG>(pixels.cx, 1), std::max<LONG>(pixels.cy, 1)};
  design = {std::max<LONG>(design.cx, 1), std::max<LONG>(design.cy, 1)};
  const bool same_surface = surface_ && pixels.cx == surface_.width() && pixels.cy == surface_.height();
  if (!same_surface && !surface_.MakeDib(pixels.cx, pixels.cy)) return false;
  if (same_surface && design.cx == design_.cx && design.cy == design_.cy) return true;
  design_ = design;
  HDC dc = surface_.dc();
  if (!Scaled()) {
    ModifyWorldTransform(dc, nullptr, MWT_IDENTITY);
    SetGraphicsMode(dc, GM_COMPATIBLE);
    return true;
  }
  SetGraphicsMode(dc, GM_ADVANCED);
  XFORM stretch{};
  stretch.eM11 = FLOAT(double(pixels.cx) / design.cx);
  stretch.eM22 = FLOAT(double(pixels.cy) / design.cy);
  SetWorldTransform(dc, &stretch);
  return true;
}

void GdiCanvas::BlitTo(HDC dest, int x, int y) const {
  if (!Scaled()) {
    surface_.BlitTo(dest, x, y, surface_.width(), surface_.height());
    return;
  }
  // A copy from a stretched DC would be stretched again: the pixels go as
  // they are.
  XFORM stretch{};
  GetWorldTransform(surface_.dc(), &stretch);
  ModifyWorldTransform(surface_.dc(), nullptr, MWT_IDENTITY);
  surface_.BlitTo(dest, x, y, surface_.width(), surface_.height());
  SetWorldTransform(surface_.dc(), &stretch);
}

controls::Color GdiCanvas::SystemColorValue(int index) const { return GetSysColor(index); }

void GdiCanvas::FillRect(const controls::Rect& r, controls::Color c) {
  if (r.right <= r.left || r.bottom <= r.top) return;
  UniqueBrush brush(CreateSolidBrush(Resolve(c)));
  const RECT rect = ToRect(r);
  ::FillRect(surface_.dc(), &rect, brush.get());
}

void GdiCanvas::FrameRect(const controls::Rect& r, controls::Color c) {
  if (r.right <= r.left || r.bottom <= r.top) return;
  UniqueBrush brush(CreateSolidBrush(Resolve(c)));
  const RECT rect = ToRect(r);
  ::FrameRect(surface_.dc(), &rect, brush.get());
}

template <class Draw>
void GdiCanvas::WithPenAndBrush(const controls::Pen& pen, std::optional<controls::Color> brush, Draw draw) {
  UniquePen gdi_pen(CreatePen(PS_SOLID, pen.width, Resolve(pen.color)));
  UniqueBrush gdi_brush(brush ? CreateSolidBrush(Resolve(*brush)) : nullptr);
  auto select_pen = SelectInto(surface_.dc(), gdi_pen.get());
  auto select_brush = SelectInto(surface_.dc(), brush ? gdi_brush.get() : GetStockObject(NULL_BRUSH));
  draw(surface_.dc());
}

void GdiCanvas::Line(controls::Point from, controls::Point to, const controls::Pen& pen) {
  WithPenAndBrush(pen, std::nullopt, [&](HDC dc) {
    MoveToEx(dc, from.x, from.y, nullptr);
    LineTo(dc, to.x, to.y);
  });
}

void GdiCanvas::Rectangle(const controls::Rect& r, const controls::Pen& pen, std::optional<controls::Color> brush) {
  WithPenAndBrush(pen, brush,
                  [&](HDC dc) { ::Rectangle(dc, r.left, r.top, r.right, r.bottom); });
}

void GdiCanvas::Ellipse(const controls::Rect& r, const controls::Pen& pen, std::optional<controls::Color> brush) {
  WithPenAndBrush(pen, brush, [&](HDC dc) { ::Ellipse(dc, r.left, r.top, r.right, r.bottom); });
}

void GdiCanvas::RoundRect(const controls::Rect& r, int corner_width, int corner_height, const controls::Pen& pen,
                          std::optional<controls::Color> brush) {
  WithPenAndBrush(pen, brush, [&](HDC dc) {
    ::RoundRect(dc, r.left, r.top, r.right, r.bottom, corner_width, corner_height);
  });
}

// Pixels are read and written in the DIB's memory, after GDI has finished
// what it queued: 0x00RRGGBB there, 0x00BBGGRR in a Color.
std::uint32_t* GdiCanvas::PixelAt(int x, int y) const {
  if (!surface_.pixels() || x < 0 || y < 0 || x >= design_.cx || y >= design_.cy) return nullptr;
  if (Scaled()) {
    // The middle of the design pixel's stretched cell.
    x = int((2 * x + 1) * std::int64_t(surface_.width()) / (2 * design_.cx));
    y = int((2 * y + 1) * std::int64_t(surface_.height()) / (2 * design_.cy));
  }
  GdiFlush();
  return surface_.pixels() + static_cast<std::ptrdiff_t>(y) * surface_.width() + x;
}

controls::Color GdiCanvas::GetPixel(int x, int y) const {
  const std::uint32_t* p = PixelAt(x, y);
  if (!p) return kNoPixel;
  return controls::ColorOfDibPixel(*p);
}

void GdiCanvas::SetPixel(int x, int y, controls::Color c) {
  if (Scaled()) {
    // The whole stretched cell, where GDI puts a design pixel's fill.
    if (x >= 0 && y >= 0 && x < design_.cx && y < design_.cy) FillRect({x, y, x + 1, y + 1}, c);
    return;
  }
  std::uint32_t* p = PixelAt(x, y);
  if (!p) return;
  *p = controls::DibPixelOf(Resolve(c));
}

void GdiCanvas::SetFont(const controls::Font& font) {
  if (has_font_ && font == font_spec_) return;
  UniqueFont created = MakeFont({Utf8ToWide(font.face), font.height, font.bold ? FW_BOLD : FW_NORMAL});
  if (!created) return;
  HGDIOBJ previous = SelectObject(surface_.dc(), created.get());
  if (!original_font_) original_font_ = previous;
  font_ = std::move(created);
  font_spec_ = font;
  has_font_ = true;
}

controls::Size GdiCanvas::TextExtent(std::string_view text) {
  const std::wstring wide = plexi::win::Utf8ToWide(text);
  SIZE size{};
  if (wide.empty()) {
    GetTextExtentPoint32W(surface_.dc(), L" ", 1, &size);
    return {0, size.cy};
  }
  GetTextExtentPoint32W(surface_.dc(), wide.c_str(), static_cast<int>(wide.size()), &size);
  return {size.cx, size.cy};
}

void GdiCanvas::WriteText(int x, int y, std::string_view text, controls::Color c) {
  const std::wstring wide = plexi::win::Utf8ToWide(text);
  if (wide.empty()) return;
  SetBkMode(surface_.dc(), TRANSPARENT);
  SetTextColor(surface_.dc(), Resolve(c));
  ::TextOutW(surface_.dc(), x, y, wide.c_str(), static_cast<int>(wide.size()));
}

}  // namespace plexi::win
