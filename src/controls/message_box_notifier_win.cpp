#include "controls/message_box_notifier_win.h"

#include "platform/app_identity.h"
#include "platform/win/utf.h"

namespace plexi::app {


void ShowPlainMessage(HWND owner, const std::string& text) {
  MessageBoxW(owner, win::Utf8ToWide(text).c_str(), kAppTitleWide, MB_OK);
}

}  // namespace plexi::app
