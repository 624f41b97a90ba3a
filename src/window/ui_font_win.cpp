#include "window/ui_font_win.h"

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

}  // namespace plexi::win
