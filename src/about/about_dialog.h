// The about box component: the texts, colours and update settings the
// version form shows, and Execute, which shows that form once at a time.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "about/update_check.h"
#include "controls/canvas.h"

namespace plexi::about {

// Everything the version form is built from.
struct VersionBoxSetup {
  std::string caption = "ﾊﾞｰｼﾞｮﾝ情報";
  std::string message_caption;  // the application's title, on the check's messages
  std::string title_line;    // title + "  " + version
  std::string credit_line;   // "Programming by " + programmer
  std::string version_line;
  std::string years_line;
  std::string maker;         // the home-page link's text
  std::string home_page;     // the address the link opens
  controls::Color title_color = controls::kBlack;
  controls::Color version_color = 0x606060;
  controls::Color date_color = 0x606060;
  controls::Color panel_color = 0xBFFFF1;
  std::int32_t jump_xy = 2;
  std::int32_t stretch_max = 5;
  UpdateConfig update;

  // The maker's link is live only with a site to open.
  bool HasHomePage() const { return !maker.empty() && !home_page.empty(); }
};

class TAboutDialog {
 public:
  std::string ApplicationTitle;
  std::string VerNo;
  std::string VerNoMain;
  std::string ProgramerName;
  std::string Year;
  std::string Corp;
  std::string UpdateName;
  std::string VerStr;
  std::string UpdateFileName;  // empty: "UpdateFilePage.html"
  std::string UpdateFolderName = "DownLoadHtml";
  std::string UpdateDownFolder = "UpdateFile";
  controls::Color BackColor = 0xBFFFF1;
  controls::Color DateColor = 0x606060;
  controls::Color TitleFontColor = 0x000000;
  controls::Color VerFontColor = 0x606060;
  std::int32_t JumpXY = 2;
  std::int32_t StretchMax = 5;

  // The form's setup for a screen of `bits_per_pixel` and the maker's site
  // at `site_address` (ending in "/"; empty when none is configured).
  VersionBoxSetup MakeSetup(int bits_per_pixel, const std::string& site_address) const;

  // Shows the form through `show_form` (which returns when the form is
  // closed). A call while a form is shown does nothing and returns false.
  bool Execute(int bits_per_pixel, const std::string& site_address,
               const std::function<void(const VersionBoxSetup&)>& show_form);

 private:
  bool busy_ = false;
};

// The application's own about box: title, version, credits, update name.
TAboutDialog PlexiscrubAboutDialog();

// The settings value that holds the maker's site address, and that address
// made usable: blanks trimmed, a "/" added at the end; empty when the value
// is absent or is not an http:// or https:// address.
inline constexpr char kSiteAddressSetting[] = "updatebase";
std::string SiteAddressFromSetting(const std::string& value);

}  // namespace plexi::about
