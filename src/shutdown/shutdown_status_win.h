// StaticText2 on the main window's toolbar: the name of the action chosen
// for the end of the erase, white in a single border, hidden while none is.
#pragma once
#include <windows.h>

#include <string>

#include "platform/win/win_handles.h"

namespace plexi {

class ShutdownStatusText {
 public:
  static constexpr wchar_t kClassName[] = L"TStaticText";
  static constexpr int kWidth = 99;
  static constexpr int kHeight = 16;

  ShutdownStatusText() = default;
  ShutdownStatusText(const ShutdownStatusText&) = delete;
  ShutdownStatusText& operator=(const ShutdownStatusText&) = delete;

  // A hidden child of `parent` at (x, y), in `face` at 13 pixels.
  bool Create(HWND parent, int x, int y, const std::wstring& face);
  void Set(const std::string& text, bool visible);
  HWND hwnd() const { return window_.get(); }

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void Paint();

  plexi::win::UniqueWindow window_;  // destroyed with the parent too
  plexi::win::UniqueFont font_;
  std::wstring text_;
};

}  // namespace plexi
