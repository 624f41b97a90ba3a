#include "platform/win/windows_host.h"

#include <windows.h>

namespace plexi::win {
namespace {

// Windows PE has the MiniNT key under the control set; a full Windows does
// not. Opening it is the whole test ("RegOpenKeyExW function",
// https://learn.microsoft.com/en-us/windows/win32/api/winreg/nf-winreg-regopenkeyexw).
bool IsWindowsPe(WinApi& api) {
  ApiRegKey key(api);
  return api.RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\MiniNT", 0, KEY_READ,
                           key.put()) == ERROR_SUCCESS;
}

}  // namespace

// The version from RtlGetVersion: GetVersionEx answers with the newest
// version the program's manifest names, not the system's ("RtlGetVersion
// function",
// https://learn.microsoft.com/en-us/windows-hardware/drivers/ddi/wdm/nf-wdm-rtlgetversion).
platform::HostSystem ReadWindowsHost(WinApi& api) {
  platform::HostSystem host;
  host.windows = true;
  host.windows_pe = IsWindowsPe(api);
  OSVERSIONINFOEXW version{};
  version.dwOSVersionInfoSize = sizeof version;
  if (api.RtlGetVersion(&version) == 0) {
    host.major = version.dwMajorVersion;
    host.minor = version.dwMinorVersion;
    host.build = version.dwBuildNumber;
  }
  return host;
}

}  // namespace plexi::win
