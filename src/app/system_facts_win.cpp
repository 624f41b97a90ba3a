#include "app/system_facts_win.h"

#include <shellapi.h>

#include "window/gdi_win.h"
#include "platform/win/utf.h"

namespace plexi::app {

bool LacksAdministratorRights() {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr || GetProcAddress(kernel, "QueryFullProcessImageNameW") == nullptr) return false;
  win::UniqueModule shell(LoadLibraryW(L"shell32.dll"));
  if (!shell) return false;
  using AdminTest = BOOL(WINAPI*)();
  auto is_admin = reinterpret_cast<AdminTest>(
      reinterpret_cast<void*>(GetProcAddress(shell.get(), MAKEINTRESOURCEA(680))));
  return is_admin != nullptr && !is_admin();
}

WindowsVersion ReadWindowsVersion() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (!GetVersionExW(&info)) return {};
  return {info.dwPlatformId == VER_PLATFORM_WIN32_NT, info.dwMajorVersion, info.dwMinorVersion};
}

int ScreenColourDepth() {
  auto screen = win::GetWindowDc(nullptr);
  return GetDeviceCaps(screen.get(), BITSPIXEL) * GetDeviceCaps(screen.get(), PLANES);
}

HIMAGELIST SystemImageList(const std::string& root) {
  SHFILEINFOW info{};
  return reinterpret_cast<HIMAGELIST>(SHGetFileInfoW(win::Utf8ToWide(root).c_str(), 0, &info,
                                                     sizeof(info), SHGFI_SYSICONINDEX));
}

int DriveIconIndex(const std::string& root) {
  if (root.empty()) {
    // A disk without a lettered volume: the shell's plain fixed-drive icon.
    SHSTOCKICONINFO stock{};
    stock.cbSize = sizeof stock;
    return SUCCEEDED(SHGetStockIconInfo(SIID_DRIVEFIXED, SHGSI_SYSICONINDEX, &stock)) ? stock.iSysImageIndex : 0;
  }
  SHFILEINFOW info{};
  if (!SHGetFileInfoW(win::Utf8ToWide(root).c_str(), 0, &info, sizeof(info), SHGFI_SYSICONINDEX))
    return 0;
  return info.iIcon;
}

}  // namespace plexi::app
