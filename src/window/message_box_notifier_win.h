// The plain message box: the text, the application title, one OK button.
#pragma once
#include <windows.h>

#include <string>

#include "errors/error_report.h"
#include "platform/app_identity.h"

namespace plexi::win {


void ShowPlainMessage(HWND owner, const std::string& text);

class MessageBoxNotifier : public Notifier {
 public:
  void SetOwner(HWND owner) { owner_ = owner; }
  void ShowMessage(const std::string& text) override { ShowPlainMessage(owner_, text); }

 private:
  HWND owner_ = nullptr;
};

}  // namespace plexi::win
