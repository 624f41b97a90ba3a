#include "platform/win/windows_host.h"

#include <windows.h>

#include "platform/win/win_handles.h"

namespace plexi::win {
namespace {

// RtlGetVersion, from ntdll (always loaded; not ours to free): GetVersionEx
// answers with the newest version the program's manifest names, not the
// system's ("RtlGetVersion function",
// https://learn.microsoft.com/en-us/windows-hardware/drivers/ddi/wdm/nf-wdm-rtlgetversion).
bool KernelVersion(OSVERSIONINFOW& version) {
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  version = {};
  version.dwOSVersionInfoSize = sizeof version;
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  auto get_version =
      ntdll ? reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
            : nullptr;
  return get_version && get_version(&version) == 0;
}

// Windows PE has the MiniNT key under the control set; a full Windows does
// not. Opening it is the whole test ("RegOpenKeyExW function",
// https://learn.microsoft.com/en-us/windows/win32/api/winreg/nf-winreg-regopenkeyexw).
bool IsWindowsPe() {
  UniqueRegKey key;
  return RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\MiniNT", 0, KEY_READ,
                       key.put()) == ERROR_SUCCESS;
}

}  // namespace

platform::HostSystem ReadWindowsHost() {
  platform::HostSystem host;
  host.windows = true;
  host.windows_pe = IsWindowsPe();
  OSVERSIONINFOW version;
  if (KernelVersion(version)) {
    host.major = version.dwMajorVersion;
    host.minor = version.dwMinorVersion;
    host.build = version.dwBuildNumber;
  }
  return host;
}

}  // namespace plexi::win
