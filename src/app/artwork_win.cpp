#include "app/artwork_win.h"

#include <cstdint>

namespace plexi::app {
namespace {

win::UniqueImageList ImageListOf(const std::vector<Pixmap>& images) {
  if (images.empty()) return {};
  win::UniqueImageList list(ImageList_Create(images[0].width, images[0].height, ILC_COLOR32 | ILC_MASK,
                                        int(images.size()), 0));
  if (!list) return list;
  for (const Pixmap& image : images) {
    win::UniqueBitmap bitmap = BitmapOf(image);
    // The list copies the bitmap; ours is freed at the end of the loop.
    ImageList_AddMasked(list.get(), bitmap.get(), COLORREF(kClear));
  }
  return list;
}

}  // namespace

win::UniqueBitmap BitmapOf(const Pixmap& pixmap) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = pixmap.width;
  info.bmiHeader.biHeight = -pixmap.height;  // top-down, like the pixmap
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  win::UniqueBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  // A DIB's 32-bit pixel is 0x00RRGGBB: the one place the pixmap's colours
  // change their layout.
  if (bitmap && bits != nullptr) {
    auto* out = static_cast<uint32_t*>(bits);
    for (Color c : pixmap.pixels) *out++ = controls::DibPixelOf(c);
  }
  return bitmap;
}

Artwork Artwork::Make(win::Dpi dpi) {
  // Each picture drawn at the window's density, not stretched to it.
  const int glyph = dpi.Scale(16);
  Artwork art;
  const std::vector<Pixmap> toolbar = ToolbarImages(glyph);
  std::vector<Pixmap> disabled;
  for (const Pixmap& image : toolbar) disabled.push_back(Disabled(image));
  art.toolbar = ImageListOf(toolbar);
  art.toolbar_disabled = ImageListOf(disabled);
  const Pixmap physical = ViewToggleGlyph(false, glyph), partition = ViewToggleGlyph(true, glyph);
  art.view_toggle = ImageListOf({physical, partition, Disabled(physical), Disabled(partition)});
  for (const Pixmap& strip : HeaderStrips()) art.header_strips.push_back(BitmapOf(strip));
  art.erase_mark = ImageListOf({EraseMark(dpi.Scale(32))});
  return art;
}

}  // namespace plexi::app
