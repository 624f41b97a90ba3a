#include "app/header_band_win.h"

#include "app/window_settings.h"
#include "window/ui_font_win.h"

namespace plexi::app {

namespace {
constexpr wchar_t kMakerMark[] = L"Ｑ＆Ｚ";
constexpr int kMarkPoints = 11;
constexpr int kLabelPoints = 10;
constexpr COLORREF kNoStripText = RGB(0x80, 0x80, 0x80);
}  // namespace

HeaderBand::HeaderBand(const Artwork& art) : art_(art) { SetDpi(win::Dpi()); }

void HeaderBand::SetDpi(win::Dpi dpi) {
  // Sizes in points, as the design gives them: at the window's density.
  dpi_ = dpi;
  font_ = win::MakeUiFont(win::AvailableSerifFace(L"ＭＳ Ｐ明朝"), MulDiv(kMarkPoints, dpi.value(), 72));
  label_font_ = win::MakeUiFont(L"ＭＳ Ｐゴシック", MulDiv(kLabelPoints, dpi.value(), 72));
}

COLORREF HeaderBand::Pixel(int x, int y) const {
  if (bitmap_.dc() == nullptr || width_ == 0) return GetSysColor(COLOR_BTNFACE);
  return GetPixel(bitmap_.dc(), dpi_.Scale(x), dpi_.Scale(y));
}

void HeaderBand::SetColour(int32_t index) {
  colour_index_ = index;
  painted_ = true;
}

void HeaderBand::Render(HDC reference, int width, int window_width) {
  width_ = width;
  const int height = Height();
  HDC dc = bitmap_.Prepare(reference, width, height);
  if (dc == nullptr) return;
  const RECT band{0, 0, width, height};
  const bool strip = painted_ && colour_index_ >= 0 && colour_index_ < kHeaderNone &&
                     size_t(colour_index_) < art_.header_strips.size();
  if (!strip) {
    FillRect(dc, &band, GetSysColorBrush(COLOR_BTNFACE));
    if (!painted_) return;
  }
  COLORREF text = kNoStripText;
  if (strip) {
    win::UniqueDc source(CreateCompatibleDC(reference));
    auto strip_bitmap = win::SelectInto(source.get(), art_.header_strips[size_t(colour_index_)].get());
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, 0, 0, width, height, source.get(), 0, 0, 1, 43, SRCCOPY);
    // The maker's mark takes the strip's own colour near its top.
    text = Pixel(2, 5);
  }
  SetBkMode(dc, TRANSPARENT);
  if (text_label_) {
    auto label_font = win::SelectInto(dc, label_font_.get());
    SetTextColor(dc, strip ? RGB(0xFF, 0xFF, 0xFF) : RGB(0, 0, 0));
    TextOutW(dc, text_label_->x, text_label_->y, L"Text", 4);
  }
  auto font = win::SelectInto(dc, font_.get());
  SetTextColor(dc, text);
  TextOutW(dc, window_width - dpi_.Scale(60), dpi_.Scale(5), kMakerMark, int(wcslen(kMakerMark)));
}

void HeaderBand::DrawTextLabelFocus(HDC dc) const {
  if (!text_label_) return;
  auto font = win::SelectInto(dc, label_font_.get());
  SIZE extent{};
  GetTextExtentPoint32W(dc, L"Text", 4, &extent);
  RECT mark{text_label_->x - 2, text_label_->y - 1, text_label_->x + extent.cx + 2,
            text_label_->y + extent.cy + 1};
  SetTextColor(dc, RGB(0, 0, 0));
  SetBkColor(dc, RGB(0xFF, 0xFF, 0xFF));
  DrawFocusRect(dc, &mark);
}

void HeaderBand::CopyPart(HDC dc, const RECT& part) const {
  if (bitmap_.dc() == nullptr || width_ == 0) {
    const RECT area{0, 0, part.right - part.left, part.bottom - part.top};
    FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
    return;
  }
  BitBlt(dc, 0, 0, part.right - part.left, part.bottom - part.top, bitmap_.dc(), part.left,
         part.top, SRCCOPY);
}

std::optional<int32_t> ShowColourMenu(HWND owner, POINT screen, int32_t current) {
  win::UniqueMenu menu(CreatePopupMenu());
  if (!menu) return std::nullopt;
  const wchar_t* const items[] = {L"Gray(&G)", L"Navy(&N)", L"Red(&R)", L"なし"};
  for (int i = 0; i < 4; ++i) {
    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
    item.fType = MFT_RADIOCHECK;
    item.wID = UINT(kColourMenuFirstId + i);
    item.dwTypeData = const_cast<wchar_t*>(items[i]);
    InsertMenuItemW(menu.get(), UINT(i), TRUE, &item);
  }
  if (current >= 0 && current <= 3)
    CheckMenuRadioItem(menu.get(), 0, 3, UINT(current), MF_BYPOSITION);
  SetForegroundWindow(owner);
  const int chosen = TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y,
                                    0, owner, nullptr);
  if (chosen < kColourMenuFirstId || chosen > kColourMenuFirstId + 3) return std::nullopt;
  return chosen - kColourMenuFirstId;
}

}  // namespace plexi::app
