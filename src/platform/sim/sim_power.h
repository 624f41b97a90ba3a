// Power calls that end nothing: every call is recorded with its arguments, in
// order, and any step can be told to fail with a Windows error code. Used by
// the tests and by --simulate, so no simulated erase can log anyone off.
#pragma once
#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "platform/power.h"

namespace plexi::sim {

enum class PowerStep {
  kExitWindows,
  kSetSystemPowerState,
  kOpenProcessToken,
  kLookupPrivilegeValue,
  kAdjustTokenPrivileges,
  kCloseToken,
};

// One recorded call; fields a call does not have stay at their defaults.
struct PowerCall {
  PowerStep step = PowerStep::kExitWindows;
  uint32_t flags = 0;       // ExitWindowsEx flags; token access of OpenProcessToken
  uint32_t reason = 0;      // ExitWindowsEx reason
  bool suspend = false;     // SetSystemPowerState
  bool force = false;       // SetSystemPowerState
  std::string privilege;    // LookupPrivilegeValue
  uint32_t attributes = 0;  // AdjustTokenPrivileges

  static PowerCall ExitWindowsEx(uint32_t flags, uint32_t reason) {
    PowerCall call = Of(PowerStep::kExitWindows);
    call.flags = flags;
    call.reason = reason;
    return call;
  }
  static PowerCall PowerState(bool suspend, bool force) {
    PowerCall call = Of(PowerStep::kSetSystemPowerState);
    call.suspend = suspend;
    call.force = force;
    return call;
  }
  static PowerCall OpenToken(uint32_t access) {
    PowerCall call = Of(PowerStep::kOpenProcessToken);
    call.flags = access;
    return call;
  }
  static PowerCall Lookup(std::string name) {
    PowerCall call = Of(PowerStep::kLookupPrivilegeValue);
    call.privilege = std::move(name);
    return call;
  }
  static PowerCall Adjust(uint32_t attributes) {
    PowerCall call = Of(PowerStep::kAdjustTokenPrivileges);
    call.attributes = attributes;
    return call;
  }
  static PowerCall CloseToken() { return Of(PowerStep::kCloseToken); }
  static PowerCall Of(PowerStep step) {
    PowerCall call;
    call.step = step;
    return call;
  }

  bool operator==(const PowerCall&) const = default;
};

// Readable test failures.
std::ostream& operator<<(std::ostream& out, const PowerCall& call);

class SimPower : public platform::Power {
 public:
  platform::Result<> ExitWindowsEx(uint32_t flags, uint32_t reason) override;
  platform::Result<> SetSystemPowerState(bool suspend, bool force) override;
  platform::PrivilegeResult AdjustPrivilege(const std::string& name, uint32_t attributes) override;

  // The step answers `error` from now on (0 makes it succeed again). For
  // kAdjustTokenPrivileges the call itself succeeds and leaves `error` as the
  // last error, the way ERROR_NOT_ALL_ASSIGNED is reported.
  void FailStep(PowerStep step, uint32_t error);

  // Every call is also appended, one line each, to this file (for a test
  // that watches the program from outside); empty: none.
  void SetJournal(std::string path) { journal_ = std::move(path); }

  const std::vector<PowerCall>& Calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }
  // Tokens opened and not closed.
  int OpenTokens() const { return open_tokens_; }

 private:
  uint32_t ErrorOf(PowerStep step) const;
  void Record(const PowerCall& call);

  std::vector<PowerCall> calls_;
  std::map<PowerStep, uint32_t> failures_;
  int open_tokens_ = 0;
  std::string journal_;
};

}  // namespace plexi::sim
