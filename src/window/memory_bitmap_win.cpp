#include "window/memory_bitmap_win.h"

#include <utility>

namespace plexi::win {

bool MemoryBitmap::MakeCompatible(HDC reference, int width, int height) {
  Release();
  dc_.reset(CreateCompatibleDC(reference));
  UniqueBitmap bitmap(CreateCompatibleBitmap(reference, width, height));
  if (!dc_ || !bitmap) {
    dc_.reset();
    return false;
  }
  Select(std::move(bitmap), width, height);
  return true;
}

HDC MemoryBitmap::DibDc() {
  if (!dc_) dc_.reset(CreateCompatibleDC(nullptr));
  return dc_.get();
}

bool MemoryBitmap::MakeDib(int width, int height) {
  if (!DibDc()) return false;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // rows top down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  UniqueBitmap bitmap(CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap) return false;
  Select(std::move(bitmap), width, height);
  pixels_ = static_cast<std::uint32_t*>(bits);
  return true;
}

void MemoryBitmap::Select(UniqueBitmap bitmap, int width, int height) {
  HGDIOBJ previous = SelectObject(dc_.get(), bitmap.get());
  if (!original_bitmap_) original_bitmap_ = previous;
  bitmap_ = std::move(bitmap);  // the old one is no longer selected
  pixels_ = nullptr;
  width_ = width;
  height_ = height;
}

void MemoryBitmap::Release() {
  if (dc_ && original_bitmap_) SelectObject(dc_.get(), original_bitmap_);
  original_bitmap_ = nullptr;
  bitmap_.reset();
  dc_.reset();
  pixels_ = nullptr;
  width_ = height_ = 0;
}

void MemoryBitmap::BlitTo(HDC target, int x, int y, int width, int height) const {
  if (bitmap_) BitBlt(target, x, y, width, height, dc_.get(), 0, 0, SRCCOPY);
}

}  // namespace plexi::win
