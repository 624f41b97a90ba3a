// Logoff, shutdown and suspension of Windows, and the token privilege they
// need. The Windows backend makes the real calls; the simulated one records
// them so that the logic can be checked without ending anything.
#pragma once
#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace plexi::platform {

// Token access and privilege attributes (winnt.h).
inline constexpr uint32_t kTokenAdjustPrivileges = 0x0020;
inline constexpr uint32_t kTokenQuery = 0x0008;
inline constexpr uint32_t kSePrivilegeEnabled = 0x00000002;
inline constexpr uint32_t kSePrivilegeDisabled = 0;
inline constexpr char kShutdownPrivilege[] = "SeShutdownPrivilege";

// Which step of a privilege change failed, with the Windows error code.
struct [[nodiscard]] PrivilegeResult {
  enum class Step { kNone, kOpenToken, kLookup, kAdjust };
  Step failed_step = Step::kNone;
  uint32_t error = 0;
  bool ok() const { return failed_step == Step::kNone; }
};

class Power {
 public:
  virtual ~Power() = default;
  // EWX_* flags and a shutdown reason code. (Not "ExitWindows": winuser.h
  // defines that name as a macro.)
  virtual Result<> ExitWindowsEx(uint32_t flags, uint32_t reason) = 0;
  // suspend true: standby; false: hibernation. force: do not ask the
  // applications first. Returns after the machine has woken up again. A
  // state the machine does not offer (hibernation turned off, no standby
  // support) fails with ERROR_NOT_SUPPORTED.
  virtual Result<> SetSystemPowerState(bool suspend, bool force) = 0;
  // Opens the process token with TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, looks
  // `name` up on the local system and sets its attributes (one entry, no
  // previous state). An adjustment the system took only in part (last error
  // not 0 afterwards) fails at kAdjust.
  virtual PrivilegeResult AdjustPrivilege(const std::string& name, uint32_t attributes) = 0;
};

}  // namespace plexi::platform
