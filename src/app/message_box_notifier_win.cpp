#include "app/message_box_notifier_win.h"

#include "platform/win/utf.h"

namespace plexi::app {

const wchar_t kAppTitle[] = L"プレキシスクラブ";

void ShowPlainMessage(HWND owner, const std::string& text) {
  MessageBoxW(owner, win::Utf8ToWide(text).c_str(), kAppTitle, MB_OK);
}

}  // namespace plexi::app
