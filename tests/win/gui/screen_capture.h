// Screenshots of the program's windows, taken from the screen as a user
// sees them, kept as pixels for checks and saved as PNG files.
#pragma once
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace plexi::gui {

struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, rows top to bottom

  // The pixel as a COLORREF (0x00BBGGRR), for comparing with the program's
  // colours; CLR_INVALID outside the picture.
  COLORREF At(int x, int y) const;
  bool operator==(const Image&) const = default;
};

// The window's rectangle on the screen.
std::optional<Image> CaptureWindow(HWND window);
// A rectangle in `window`'s client coordinates.
std::optional<Image> CaptureClient(HWND window, const RECT& area);

bool SavePng(const Image& image, const std::wstring& path);

}  // namespace plexi::gui
