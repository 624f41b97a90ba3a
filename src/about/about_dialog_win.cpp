#include "about/about_dialog_win.h"

#include "about/version_box_win.h"
#include "platform/win/gdi_scope.h"

namespace plexi::win {

AboutBox::AboutBox(AboutServices services)
    : about_(about::PlexiscrubAboutDialog()), services_(std::move(services)) {}

void AboutBox::Execute(HWND owner, platform::Settings& settings) {
  const std::string site =
      about::SiteAddressFromSetting(settings.ReadText(about::kSiteAddressSetting).value_or(""));
  const int bits = [] {
    auto screen = plexi::win::GetWindowDc(nullptr);
    return GetDeviceCaps(screen.get(), BITSPIXEL) * GetDeviceCaps(screen.get(), PLANES);
  }();
  about_.Execute(bits, site, [&](const about::VersionBoxSetup& setup) {
    TVersionBox box(setup, services_);
    box.ShowModal(owner);
  });
}

}  // namespace plexi::win
