#include "controls/ui_font_win.h"

#include "platform/win/gdi_scope.h"

namespace plexi::app {
namespace {

int CALLBACK NoteFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;  // one match is enough
}

bool HasFace(HDC dc, const std::wstring& face, BYTE charset = DEFAULT_CHARSET) {
  LOGFONTW query{};
  query.lfCharSet = charset;
  lstrcpynW(query.lfFaceName, face.c_str(), LF_FACESIZE);
  bool found = false;
  EnumFontFamiliesExW(dc, &query, NoteFound, reinterpret_cast<LPARAM>(&found), 0);
  return found;
}

}  // namespace

std::wstring AvailableFace(const std::wstring& face) {
  static const wchar_t* const kStandIns[] = {L"MS PGothic", L"MS UI Gothic", L"Meiryo UI",
                                             L"Yu Gothic UI", L"Noto Sans CJK JP",
                                             L"Noto Sans JP", L"Droid Sans Fallback"};
  auto screen = win::GetWindowDc(nullptr);
  if (HasFace(screen.get(), face)) return face;
  for (const wchar_t* stand_in : kStandIns)
    if (HasFace(screen.get(), stand_in)) return stand_in;
  return face;  // let the font mapper pick by character set
}

std::wstring SystemFaceOr(const std::wstring& fallback) {
  auto screen = win::GetWindowDc(nullptr);
  if (HasFace(screen.get(), L"System", SHIFTJIS_CHARSET)) return L"System";
  return AvailableFace(fallback);
}

std::wstring AvailableSerifFace(const std::wstring& face) {
  static const wchar_t* const kStandIns[] = {L"MS PMincho", L"MS Mincho", L"Yu Mincho",
                                             L"Noto Serif CJK JP", L"Noto Serif JP"};
  auto screen = win::GetWindowDc(nullptr);
  if (HasFace(screen.get(), face)) return face;
  for (const wchar_t* stand_in : kStandIns)
    if (HasFace(screen.get(), stand_in)) return stand_in;
  return AvailableFace(face);
}

win::UniqueFont MakeUiFont(const std::wstring& face, int height) {
  LOGFONTW font{};
  font.lfHeight = -height;
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = SHIFTJIS_CHARSET;
  font.lfQuality = DEFAULT_QUALITY;
  lstrcpynW(font.lfFaceName, AvailableFace(face).c_str(), LF_FACESIZE);
  return win::UniqueFont(CreateFontIndirectW(&font));
}

}  // namespace plexi::app
