// Which Windows the program runs on: its version and whether it is Windows
// PE, asked through the storage seam so that a model of the system can
// answer as the Windows whose storage rules it enforces.
#pragma once
#include "platform/platform.h"
#include "platform/win/win_api.h"

namespace plexi::win {

platform::HostSystem ReadWindowsHost(WinApi& api);

}  // namespace plexi::win
