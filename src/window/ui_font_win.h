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
// The distance between lines of `font` in pixels.
int LinePitch(HFONT font);
// Text that must fit a box of the design: characters `height` pixels high,
// where the designed face has no room between lines beyond that. A
// stand-in face that needs more is made just small enough for `lines`
// lines to fit in `room` pixels (never below two thirds of `height`).
win::UniqueFont FontForBox(const std::wstring& face, int height, int lines, int room,
                           LONG weight = FW_NORMAL);
// The same for a known text word-wrapped in a box of `box` pixels: the
// largest character height up to `height` at which all of it shows, however
// small that is.
win::UniqueFont FontForText(const std::wstring& face, int height, const std::wstring& text, SIZE box);

}  // namespace plexi::win
