#include "window/message_box_notifier_win.h"

#include "platform/app_identity.h"
#include "platform/win/utf.h"

namespace plexi::win {


void ShowPlainMessage(HWND owner, const std::string& text) {
  MessageBoxW(owner, win::Utf8ToWide(text).c_str(), kAppTitleWide, MB_OK);
}

}  // namespace plexi::win
