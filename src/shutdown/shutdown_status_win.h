// StaticText2 on the main window's toolbar: the name of the action chosen
// for the end of the erase, white in a single border, hidden while none is.
#pragma once
#include <windows.h>

#include <string>

#include "platform/win/win_handles.h"
#include "window/window_win.h"

namespace plexi {

class ShutdownStatusText : public win::Window {
 public:
  static constexpr wchar_t kClassName[] = L"TStaticText";
  static constexpr int kWidth = 99;
  static constexpr int kHeight = 16;

  // A hidden child of `parent` at (x, y), in `face` at 13 pixels (design
  // pixels, scaled to the parent's DPI).
  bool Create(HWND parent, int x, int y, const std::wstring& face);
  void Set(const std::string& text, bool visible);
  // Moves the field to (x, y) of the parent (design pixels), sized for the
  // parent's DPI.
  void MoveTo(int x, int y);

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  bool PaintsEveryPixel() const override { return true; }
  void OnPaint(HDC dc) override;

  plexi::win::UniqueFont font_;
  win::Dpi font_dpi_;
  std::wstring face_;
  std::wstring text_;
};

}  // namespace plexi
