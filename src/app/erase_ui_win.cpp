#include "app/erase_ui_win.h"

#include "app/message_box_notifier_win.h"
#include "platform/win/utf.h"

namespace plexi::app {

void MessageBoxEraseUi::ShowMessage(const std::string& text) { ShowPlainMessage(owner_, text); }

bool MessageBoxEraseUi::AskOkCancel(const std::string& text, const std::string& caption) {
  return MessageBoxW(owner_, win::Utf8ToWide(text).c_str(), win::Utf8ToWide(caption).c_str(),
                     MB_OKCANCEL) == IDOK;
}

bool MessageBoxEraseUi::AskYesNo(const std::string& text, const std::string& caption, Icon icon) {
  const UINT style = MB_YESNO | (icon == Icon::kQuestion ? MB_ICONQUESTION : 0);
  return MessageBoxW(owner_, win::Utf8ToWide(text).c_str(), win::Utf8ToWide(caption).c_str(),
                     style) == IDYES;
}

}  // namespace plexi::app
