// The header band across the top of the main window: a colour strip
// stretched over its width (or the plain panel colour) with "Ｑ＆Ｚ" at its
// right end, and the "本体の色" menu that picks the colour.
#pragma once
#include <windows.h>

#include <cstdint>
#include <optional>

#include "app/artwork_win.h"
#include "window/gdi_win.h"
#include "window/window_win.h"

namespace plexi::app {

class HeaderBand {
 public:
  static constexpr int kHeight = 24;
  // While the sector viewer is open: the dump's header line lies at the
  // band's bottom.
  static constexpr int kViewerHeight = 43;

  explicit HeaderBand(const Artwork& art);

  // The band's figures (its heights, the mark's place and fonts) are design
  // pixels scaled by `dpi`; the fonts are made again when it changes.
  void SetDpi(win::Dpi dpi);

  // The header colour index (0 Gray, 1 Navy, 2 Red, 3 none); 0 until one is
  // read from the settings or chosen.
  int32_t ColourIndex() const { return colour_index_; }
  // Sets the index and paints the band in it from now on.
  void SetColour(int32_t index);
  bool Painted() const { return painted_; }
  // In the window's pixels; SetHeight takes design pixels.
  int Height() const { return dpi_.Scale(height_); }
  void SetHeight(int height) { height_ = height; }
  // Where the word "Text" is written beside the viewer's text display check
  // box; nothing while the check box is hidden.
  void SetTextLabel(std::optional<POINT> at) { text_label_ = at; }
  // The check box's focus mark around "Text", drawn over the copied band
  // on `dc` (client coordinates), while the label is shown.
  void DrawTextLabelFocus(HDC dc) const;
  // A pixel of the band as last rendered, at a design place (the viewer's
  // controls take their colours from it).
  COLORREF Pixel(int x, int y) const;

  // Paints the band `width` wide; the text's place follows the window's
  // outer width.
  void Render(HDC reference, int width, int window_width);
  // Copies a part of the band (band coordinates) to (0, 0) of `dc`.
  void CopyPart(HDC dc, const RECT& part) const;

 private:
  const Artwork& art_;
  int32_t colour_index_ = 0;
  bool painted_ = false;  // nothing is painted until a colour is known
  win::OffscreenBitmap bitmap_;
  int width_ = 0;
  int height_ = kHeight;
  std::optional<POINT> text_label_;
  win::UniqueFont font_;
  win::UniqueFont label_font_;
  win::Dpi dpi_;
};

// Menu ids of "本体の色": 201 + colour index.
inline constexpr int kColourMenuFirstId = 201;

// Shows the colour menu at a screen point with `current` checked; the
// chosen colour index, or nothing when the menu was dismissed.
std::optional<int32_t> ShowColourMenu(HWND owner, POINT screen, int32_t current);

}  // namespace plexi::app
