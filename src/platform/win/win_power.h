// The real power calls. Standby and hibernation go through SetSuspendState of
// powrprof.dll, which current SDKs offer in place of SetSystemPowerState:
//   standby   = SetSuspendState(FALSE, force, FALSE)
//   hibernate = SetSuspendState(TRUE,  force, FALSE)
// (the last argument keeps the wake-up events enabled, as the old call did).
#pragma once
#include "platform/power.h"

namespace plexi::win {

class WinPower : public platform::Power {
 public:
  platform::Result<> ExitWindowsEx(uint32_t flags, uint32_t reason) override;
  platform::Result<> SetSystemPowerState(bool suspend, bool force) override;
  platform::PrivilegeResult AdjustPrivilege(const std::string& name, uint32_t attributes) override;
};

}  // namespace plexi::win
