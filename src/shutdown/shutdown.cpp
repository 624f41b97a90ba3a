#include "shutdown/shutdown.h"

#include <limits>

#include "platform/app_identity.h"
#include "platform/winconst.h"

namespace plexi {

namespace {


bool IsKnownMode(int32_t mode) { return mode >= kShutdownLogoff && mode <= kShutdownNone; }

// A forced logoff or shutdown ends only the applications that stop
// answering; the others still close as usual. Windows outside the NT family
// knows only the plain force.
uint32_t ForceFlag(bool force, bool is_nt_family) {
  if (!force) return 0;
  return is_nt_family ? winconst::kEwxForceIfHung : winconst::kEwxForce;
}

// Recorded in the system's event log with the shutdown.
constexpr uint32_t kPlannedReason = winconst::kShtdnReasonMajorOther |
                                    winconst::kShtdnReasonMinorOther |
                                    winconst::kShtdnReasonFlagPlanned;

// Applications can hold back a logoff or shutdown; standby and hibernation
// are refused only by the system itself.
std::string FailureText(int32_t mode, uint32_t error) {
  const std::string name = ShutdownModeName(mode);
  if (mode == kShutdownLogoff || mode == kShutdownPowerOff)
    return "他のアプリケーションの要求により" + name + "が中止されました。";
  if (error == winconst::kErrorNotSupported) return "このコンピュータでは" + name + "を使用できません。";
  return "システムにより" + name + "が中止されました。";
}

}  // namespace

std::string ShutdownModeName(int32_t mode) {
  switch (mode) {
    case kShutdownLogoff: return "ログオフ";
    case kShutdownPowerOff: return "シャットダウン";
    case kShutdownStandby: return "スタンバイ";
    case kShutdownHibernate: return "休止状態";
    default: return "";
  }
}

ErrorRouting ErrorRoutingFor(int32_t shutdown_mode, bool session_ending) {
  return ErrorRouting{.unattended = shutdown_mode != kShutdownNone || session_ending};
}

std::string CountdownModel::LabelText(const std::string& mode_name) {
  return "15秒後に、" + mode_name + "を実行します。\n\n取り消す場合は、キャンセルを押して下さい。";
}

bool CountdownModel::Tick() {
  // A timer message already queued when the dialog closed must not count.
  if (elapsed_ticks_ >= kSeconds) return false;
  ++elapsed_ticks_;
  return elapsed_ticks_ == kSeconds;
}

ShutdownController::ShutdownController(platform::Power& power, platform::Settings& settings,
                                       ShutdownUi& ui, Notifier& notifier, bool is_nt_family)
    : power_(power), settings_(settings), ui_(ui), notifier_(notifier),
      is_nt_family_(is_nt_family) {}

std::string ShutdownController::SelectShutdownMode(const std::string& caption, void* owner) {
  std::optional<ShutdownChoice> choice = ui_.ShowModeDialog(shutdown_mode_, caption, owner);
  if (!choice) return "";
  // A dialog with no item selected means no action, not an unknown one.
  shutdown_mode_ = IsKnownMode(choice->mode) ? choice->mode : kShutdownNone;
  force_shutdown_ = choice->force;
  std::string name = ShutdownModeName(shutdown_mode_);
  ui_.SetStatusText(name, shutdown_mode_ != kShutdownNone);
  return name;
}

int32_t ShutdownController::UpdateEraseCount(EraseCountOp op) {
  // Missing, of another type, or negative after a damaged write: no erase
  // is under way.
  int32_t count = settings_.ReadInt(kEraseCountValue).value_or(0);
  if (count < 0) count = 0;
  switch (op) {
    case EraseCountOp::kBegin:
      // Best effort: the count only tells the copies whether one of them is
      // still erasing; a value that cannot be written reads as no erase.
      if (count < std::numeric_limits<int32_t>::max())
        static_cast<void>(settings_.WriteInt(kEraseCountValue, count + 1));
      return count;
    case EraseCountOp::kEnd:
      count = count > 0 ? count - 1 : 0;
      static_cast<void>(settings_.WriteInt(kEraseCountValue, count));  // best effort, as above
      return count;
    case EraseCountOp::kRead:
      break;
  }
  return count;
}

void ShutdownController::ShutdownAfterErase() {
  if (shutdown_mode_ == kShutdownNone) return;
  // Another copy is still erasing; its own end runs the action.
  if (UpdateEraseCount(EraseCountOp::kRead) > 0) return;
  if (ConfirmShutdown(shutdown_mode_)) ExecuteShutdown(shutdown_mode_, force_shutdown_);
  force_shutdown_ = false;
}

bool ShutdownController::ConfirmShutdown(int32_t mode) {
  const std::string name = ShutdownModeName(mode);
  const std::string caption = std::string(kAppTitle) + " [ " + name + " ] 確認";
  if (ui_.ShowCountdown(caption, name)) return true;
  ClearMode();
  return false;
}

void ShutdownController::ClearMode() {
  shutdown_mode_ = kShutdownNone;
  ui_.SetStatusText("", false);
}

bool ShutdownController::ExecuteShutdown(int32_t mode, bool force) {
  const uint32_t force_flag = ForceFlag(force, is_nt_family_);
  platform::Result<> status = platform::Result<>::Success();
  if (mode == kShutdownLogoff) {
    status = power_.ExitWindowsEx(winconst::kEwxLogoff | force_flag, kPlannedReason);
  } else if (mode == kShutdownPowerOff || mode == kShutdownStandby || mode == kShutdownHibernate) {
    // The failure has been shown; nothing was ended.
    if (!EnablePrivilege(platform::kShutdownPrivilege)) return false;
    if (mode == kShutdownPowerOff) {
      status = power_.ExitWindowsEx(winconst::kEwxPoweroff | force_flag, kPlannedReason);
    } else {
      status = power_.SetSystemPowerState(mode == kShutdownStandby, force);
    }
    DisablePrivilege(platform::kShutdownPrivilege);
  } else {
    return false;  // no action chosen
  }
  if (!status.ok()) notifier_.ShowMessage(FailureText(mode, status.error()));
  return status.ok();
}

bool ShutdownController::EnablePrivilege(const std::string& name) {
  return AdjustPrivilege(name, platform::kSePrivilegeEnabled, "特権の有効に失敗しました。");
}

bool ShutdownController::DisablePrivilege(const std::string& name) {
  return AdjustPrivilege(name, platform::kSePrivilegeDisabled, "特権の無効に失敗しました。");
}

bool ShutdownController::AdjustPrivilege(const std::string& name, uint32_t attributes,
                                         const char* adjust_failure) {
  // Windows outside the NT family has no tokens; the power calls need none.
  if (!is_nt_family_) return true;
  using Step = platform::PrivilegeResult::Step;
  platform::PrivilegeResult result = power_.AdjustPrivilege(name, attributes);
  switch (result.failed_step) {
    case Step::kNone: return true;
    case Step::kOpenToken: notifier_.ShowMessage("OpenProcessToken Error"); break;
    case Step::kLookup: notifier_.ShowMessage("LookupPrivilegeValue Error"); break;
    case Step::kAdjust: notifier_.ShowMessage(adjust_failure); break;
  }
  return false;
}

}  // namespace plexi
