#include "platform/host.h"

#include <windows.h>

#include "platform/win/utf.h"

#include "platform/win/win_machine.h"

namespace plexi::platform {

std::unique_ptr<Machine> MakeHostMachine() { return std::make_unique<win::WinMachine>(); }

// Windows says "in use" through the lock that the erase asks for.
std::string DescribeHostDeviceUse(const std::string&) { return {}; }

// The version as the kernel tells it: GetVersionEx answers with the
// version the program's manifest declares it knows.
HostDescription DescribeHost() {
  HostDescription host;
  wchar_t name[256] = {};
  DWORD length = 256;
  if (GetComputerNameExW(ComputerNameDnsHostname, name, &length)) host.computer_name = win::WideToUtf8(name);
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");  // always loaded; not ours to free
  auto get_version = ntdll ? reinterpret_cast<RtlGetVersionFn>(
                                 reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
                           : nullptr;
  if (get_version && get_version(&version) == 0)
    host.operating_system = "Windows " + std::to_string(version.dwMajorVersion) + "." +
                            std::to_string(version.dwMinorVersion) + "." + std::to_string(version.dwBuildNumber);
  return host;
}

}  // namespace plexi::platform
