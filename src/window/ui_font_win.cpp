#include "window/ui_font_win.h"

#include <algorithm>

#include "platform/win/gdi_scope.h"
#include "window/window_helpers_win.h"

namespace plexi::win {

std::wstring AvailableFace(const std::wstring& face) {
  static const wchar_t* const kStandIns[] = {L"MS PGothic", L"MS UI Gothic", L"Meiryo UI",
                                             L"Yu Gothic UI", L"Noto Sans CJK JP",
                                             L"Noto Sans JP", L"Droid Sans Fallback"};
  if (win::HasFace(face)) return face;
  for (const wchar_t* stand_in : kStandIns)
    if (win::HasFace(stand_in)) return stand_in;
  return face;  // let the font mapper pick by character set
}

std::wstring SystemFaceOr(const std::wstring& fallback) {
  if (win::HasFace(L"System", SHIFTJIS_CHARSET)) return L"System";
  return AvailableFace(fallback);
}

std::wstring AvailableSerifFace(const std::wstring& face) {
  static const wchar_t* const kStandIns[] = {L"MS PMincho", L"MS Mincho", L"Yu Mincho",
                                             L"Noto Serif CJK JP", L"Noto Serif JP"};
  if (win::HasFace(face)) return face;
  for (const wchar_t* stand_in : kStandIns)
    if (win::HasFace(stand_in)) return stand_in;
  return AvailableFace(face);
}

win::UniqueFont MakeUiFont(const std::wstring& face, int height) {
  return win::MakeFont({AvailableFace(face), -height});
}

int LinePitch(HFONT font) {
  auto screen = win::GetWindowDc(nullptr);
  auto selected = win::SelectInto(screen.get(), font);
  TEXTMETRICW metrics{};
  GetTextMetricsW(screen.get(), &metrics);
  return metrics.tmHeight;
}

win::UniqueFont FontForBox(const std::wstring& face, int height, int lines, int room, LONG weight) {
  const std::wstring available = AvailableFace(face);
  const int smallest = std::max(1, (2 * height + 2) / 3);
  win::UniqueFont font = win::MakeFont({available, -height, weight});
  for (int h = height - 1; h >= smallest && font && LinePitch(font.get()) * lines > room; --h)
    font = win::MakeFont({available, -h, weight});
  return font;
}

// No lower limit, unlike FontForBox: a stand-in face's line distance does
// not shrink evenly with its height (Noto Sans CJK at 16 pixels is 24
// apart, at 15 only 21), so a limit can still cut off the last line, which
// is often the one that says what to do.
win::UniqueFont FontForText(const std::wstring& face, int height, const std::wstring& text, SIZE box) {
  const std::wstring available = AvailableFace(face);
  auto screen = win::GetWindowDc(nullptr);
  const auto fits = [&](HFONT font) {
    auto selected = win::SelectInto(screen.get(), font);
    RECT needed{0, 0, box.cx, 0};
    DrawTextW(screen.get(), text.c_str(), int(text.size()), &needed,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
    return needed.bottom <= box.cy;
  };
  win::UniqueFont font = win::MakeFont({available, -height});
  for (int h = height - 1; h >= 1 && font && !fits(font.get()); --h) font = win::MakeFont({available, -h});
  return font;
}

}  // namespace plexi::win
