// The window font, with a stand-in where the system lacks the Japanese
// face (Wine ships no "ＭＳ Ｐゴシック").
#pragma once
#include <windows.h>

#include <string>

#include "platform/win/win_handles.h"

namespace plexi::win {

// The first of `face` and its usual replacements that the system has.
std::wstring AvailableFace(const std::wstring& face);
// "System" when the system's font of that name has Japanese letters (as on
// a Japanese Windows), else the first available of `fallback` and its
// replacements.
std::wstring SystemFaceOr(const std::wstring& fallback);
// The same for a serif (Mincho) face.
std::wstring AvailableSerifFace(const std::wstring& face);
// A font of the given character height in pixels.
win::UniqueFont MakeUiFont(const std::wstring& face, int height);

}  // namespace plexi::win
