#include "about/about_dialog.h"

#include "platform/app_identity.h"
#include "plexiscrub_version.h"

#include <utility>

namespace plexi::about {

VersionBoxSetup TAboutDialog::MakeSetup(int bits_per_pixel, const std::string& site_address) const {
  VersionBoxSetup setup;
  setup.message_caption = ApplicationTitle;
  setup.title_line = ApplicationTitle + "  " + VerNo;
  setup.credit_line = "Programming by " + ProgramerName;
  setup.version_line = VerNoMain;
  setup.years_line = Year;
  setup.maker = Corp;
  setup.home_page = site_address;
  setup.title_color = TitleFontColor;
  setup.version_color = VerFontColor;
  setup.date_color = DateColor;
  // Few colours: a plain white panel rather than a dithered tint.
  setup.panel_color = bits_per_pixel <= 10 ? controls::kWhite : BackColor;
  setup.jump_xy = JumpXY;
  setup.stretch_max = StretchMax;
  setup.update.base_address = site_address;
  setup.update.page_name = UpdateFileName.empty() ? std::string(kDefaultUpdatePage) : UpdateFileName;
  setup.update.update_name = UpdateName;
  setup.update.page_folder = UpdateFolderName;
  setup.update.down_folder = UpdateDownFolder;
  setup.update.own_version = VerStr;
  return setup;
}

bool TAboutDialog::Execute(int bits_per_pixel, const std::string& site_address,
                           const std::function<void(const VersionBoxSetup&)>& show_form) {
  if (busy_) return false;
  busy_ = true;
  show_form(MakeSetup(bits_per_pixel, site_address));
  busy_ = false;
  return true;
}

TAboutDialog PlexiscrubAboutDialog() {
  TAboutDialog about;
  about.ApplicationTitle = kAppTitle;
  about.VerNoMain = "[ " PLEXISCRUB_VERSION_TEXT " ]";
  about.ProgramerName = "Ｑ＆Ｚ";
  about.Year = "Copyright (C) 2009-2024";
  about.Corp = "Ｑ＆Ｚ";
  about.UpdateName = "Plexiscrub_Up";
  about.VerStr = PLEXISCRUB_VERSION_DIGITS;
  about.UpdateFolderName = "DownLoadHtml";
  about.UpdateDownFolder = "UpdateFile";
  about.BackColor = 0xBFFFF1;
  about.TitleFontColor = controls::kBlack;
  return about;
}

std::string SiteAddressFromSetting(const std::string& value) {
  std::string address = TrimBlanks(value);
  const auto starts_with = [&](std::string_view prefix) {
    if (address.size() <= prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
      const char c = address[i];
      const char lower = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
      if (lower != prefix[i]) return false;
    }
    return true;
  };
  if (!starts_with("http://") && !starts_with("https://")) return {};
  if (address.back() != '/') address += '/';
  return address;
}

}  // namespace plexi::about
