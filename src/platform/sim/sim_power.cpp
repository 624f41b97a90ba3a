#include "platform/sim/sim_power.h"

#include <fstream>

#include "platform/sim/file_util.h"

namespace plexi::sim {

namespace {

const char* StepName(PowerStep step) {
  switch (step) {
    case PowerStep::kExitWindows: return "ExitWindowsEx";
    case PowerStep::kSetSystemPowerState: return "SetSystemPowerState";
    case PowerStep::kOpenProcessToken: return "OpenProcessToken";
    case PowerStep::kLookupPrivilegeValue: return "LookupPrivilegeValue";
    case PowerStep::kAdjustTokenPrivileges: return "AdjustTokenPrivileges";
    case PowerStep::kCloseToken: return "CloseHandle(token)";
  }
  return "?";
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const PowerCall& call) {
  out << StepName(call.step);
  switch (call.step) {
    case PowerStep::kExitWindows:
      return out << "(flags=" << call.flags << ", reason=" << call.reason << ")";
    case PowerStep::kSetSystemPowerState:
      return out << "(suspend=" << call.suspend << ", force=" << call.force << ")";
    case PowerStep::kOpenProcessToken: return out << "(access=0x" << std::hex << call.flags << std::dec << ")";
    case PowerStep::kLookupPrivilegeValue: return out << "(" << call.privilege << ")";
    case PowerStep::kAdjustTokenPrivileges: return out << "(attributes=" << call.attributes << ")";
    case PowerStep::kCloseToken: return out;
  }
  return out;
}

uint32_t SimPower::ErrorOf(PowerStep step) const {
  auto found = failures_.find(step);
  return found == failures_.end() ? 0 : found->second;
}

void SimPower::Record(const PowerCall& call) {
  calls_.push_back(call);
  if (journal_.empty()) return;
  std::ofstream out(PathFromUtf8(journal_), std::ios::binary | std::ios::app);
  out << call << "\n";
}

void SimPower::FailStep(PowerStep step, uint32_t error) { failures_[step] = error; }

platform::Result<> SimPower::ExitWindowsEx(uint32_t flags, uint32_t reason) {
  Record(PowerCall::ExitWindowsEx(flags, reason));
  return platform::Result<>::FromCode(ErrorOf(PowerStep::kExitWindows));
}

platform::Result<> SimPower::SetSystemPowerState(bool suspend, bool force) {
  Record(PowerCall::PowerState(suspend, force));
  return platform::Result<>::FromCode(ErrorOf(PowerStep::kSetSystemPowerState));
}

// The same steps as the Windows backend, so the record shows the token is
// closed on every path.
platform::PrivilegeResult SimPower::AdjustPrivilege(const std::string& name, uint32_t attributes) {
  using Step = platform::PrivilegeResult::Step;
  Record(PowerCall::OpenToken(platform::kTokenAdjustPrivileges | platform::kTokenQuery));
  if (uint32_t error = ErrorOf(PowerStep::kOpenProcessToken)) return {Step::kOpenToken, error};
  ++open_tokens_;

  platform::PrivilegeResult result;
  Record(PowerCall::Lookup(name));
  if (uint32_t error = ErrorOf(PowerStep::kLookupPrivilegeValue)) {
    result = {Step::kLookup, error};
  } else {
    Record(PowerCall::Adjust(attributes));
    if (uint32_t error = ErrorOf(PowerStep::kAdjustTokenPrivileges)) result = {Step::kAdjust, error};
  }
  Record(PowerCall::CloseToken());
  --open_tokens_;
  return result;
}

}  // namespace plexi::sim
