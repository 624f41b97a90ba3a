// The about box as the main window uses it: the about button calls
// AboutBox::Execute, which shows the version form modally.
#pragma once
#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "about/about_dialog.h"
#include "platform/internet.h"
#include "platform/platform.h"

namespace plexi::win {

// Where the version form gets its network, files and shell dialogs: the
// network and the files are handed in (they must outlive the box); empty
// dialog members mean the system's own, tests put their own in.
struct AboutServices {
  platform::Internet* internet = nullptr;
  platform::DownloadFiles* files = nullptr;
  std::function<std::optional<std::string>(HWND owner, const std::string& caption)> choose_folder;
  std::function<void(HWND owner, const std::string& folder)> open_folder;
};

// Window class of the version form.
inline constexpr wchar_t kVersionBoxClass[] = L"TVersionBox";
// Control ids on the version form.
inline constexpr int kUpdateButtonId = 101;

// The main window owns one; it holds the application's about texts.
class AboutBox {
 public:
  explicit AboutBox(AboutServices services = {});

  // The about button: the site address comes from the settings value
  // "updatebase". A call while the form is shown does nothing.
  void Execute(HWND owner, platform::Settings& settings);

  about::TAboutDialog& dialog() { return about_; }

 private:
  about::TAboutDialog about_;
  AboutServices services_;
};

}  // namespace plexi::win
