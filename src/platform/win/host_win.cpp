#include "platform/host.h"

#include <windows.h>

#include "platform/win/utf.h"

#include "platform/win/win_machine.h"
#include "platform/win/windows_host.h"

namespace plexi::platform {

std::unique_ptr<Machine> MakeHostMachine() { return std::make_unique<win::WinMachine>(); }

// Windows says "in use" through the lock that the erase asks for.
std::string DescribeHostDeviceUse(const std::string&, Language) { return {}; }

// The version as the kernel tells it: GetVersionEx answers with the
// version the program's manifest declares it knows.
HostDescription DescribeHost() {
  HostDescription host;
  wchar_t name[256] = {};
  DWORD length = 256;
  if (GetComputerNameExW(ComputerNameDnsHostname, name, &length)) host.computer_name = win::WideToUtf8(name);
  const HostSystem system = win::ReadWindowsHost(*win::SystemWinApi());
  if (system.build != 0)
    host.operating_system = "Windows " + std::to_string(system.major) + "." + std::to_string(system.minor) + "." +
                            std::to_string(system.build);
  return host;
}

// The user's interface language, as Windows chooses it: the user's own, else
// the system's preferred, else the install language ("GetUserDefaultUILanguage",
// https://learn.microsoft.com/en-us/windows/win32/api/winnls/nf-winnls-getuserdefaultuilanguage).
Language HostUserLanguage() {
  return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE ? Language::kJapanese : Language::kEnglish;
}

}  // namespace plexi::platform
