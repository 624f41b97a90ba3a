#include "controls/about_dialog_win.h"

#include "controls/version_box_win.h"

namespace plexi::controls::win {

AboutBox::AboutBox(AboutServices services)
    : about_(PlexiscrubAboutDialog()), services_(std::move(services)) {}

void AboutBox::Execute(HWND owner, platform::Settings& settings) {
  const std::string site =
      SiteAddressFromSetting(settings.ReadText(kSiteAddressSetting).value_or(""));
  HDC screen = GetDC(nullptr);
  const int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
  ReleaseDC(nullptr, screen);
  about_.Execute(bits, site, [&](const VersionBoxSetup& setup) {
    TVersionBox box(setup, services_);
    box.ShowModal(owner);
  });
}

}  // namespace plexi::controls::win
