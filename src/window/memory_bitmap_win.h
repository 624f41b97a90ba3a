// A memory DC with a bitmap selected into it: the one off-screen surface
// the windows paint into before one BitBlt to the screen. The DC's own
// bitmap goes back into it before either is deleted.
#pragma once
#include <windows.h>

#include <cstdint>

#include "platform/win/win_handles.h"

namespace plexi::win {

class MemoryBitmap {
 public:
  MemoryBitmap() = default;
  ~MemoryBitmap() { Release(); }
  MemoryBitmap(const MemoryBitmap&) = delete;
  MemoryBitmap& operator=(const MemoryBitmap&) = delete;

  // A bitmap like the screen's (`reference` is a DC of it).
  bool MakeCompatible(HDC reference, int width, int height);
  // A 32-bit bitmap whose rows run top down, its pixels at pixels(); the
  // DC stays, with whatever else is selected into it, and keeps the old
  // bitmap when a new one cannot be made.
  bool MakeDib(int width, int height);
  // The DC of MakeDib, made now so that fonts can be selected beforehand.
  HDC DibDc();
  void Release();

  HDC dc() const { return dc_.get(); }
  std::uint32_t* pixels() const { return pixels_; }
  int width() const { return width_; }
  int height() const { return height_; }
  explicit operator bool() const { return static_cast<bool>(bitmap_); }
  // Copies width x height from the top left to (x, y) of `target`.
  void BlitTo(HDC target, int x, int y, int width, int height) const;

 private:
  void Select(UniqueBitmap bitmap, int width, int height);

  UniqueDc dc_;
  UniqueBitmap bitmap_;
  HGDIOBJ original_bitmap_ = nullptr;
  std::uint32_t* pixels_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace plexi::win
