// What Windows does when an erase is over: log off, shut down, standby or
// hibernate, after a 15-second countdown the user can cancel. A counter in
// the settings, shared by all running copies, holds the action back while
// another copy is still erasing.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "errors/error_report.h"
#include "platform/platform.h"
#include "platform/power.h"

namespace plexi {

// ShutdownMode values, in the order of the mode dialog's radio items.
enum ShutdownModeValue : int32_t {
  kShutdownLogoff = 0,
  kShutdownPowerOff = 1,
  kShutdownStandby = 2,
  kShutdownHibernate = 3,
  kShutdownNone = 4,
};

// "ログオフ", "シャットダウン", "スタンバイ", "休止状態"; empty for anything else.
std::string ShutdownModeName(int32_t mode);

// Errors of an unattended erase (an action follows it, or the session is
// ending) go to the error log instead of a message box.
ErrorRouting ErrorRoutingFor(int32_t shutdown_mode, bool session_ending);

struct ShutdownChoice {
  int32_t mode = kShutdownNone;
  bool force = false;
};

// The windows this logic needs; the GUI implements them, tests record.
class ShutdownUi {
 public:
  virtual ~ShutdownUi() = default;
  // The mode dialog, modal over `owner` (null: the main window), with
  // `current_mode` selected and the force box unchecked; an empty caption
  // keeps the dialog's own. nullopt when cancelled or closed.
  virtual std::optional<ShutdownChoice> ShowModeDialog(int32_t current_mode,
                                                       const std::string& caption,
                                                       void* owner) = 0;
  // The countdown dialog, modal; true when it ended with OK (pressed or
  // after the countdown), false when cancelled.
  virtual bool ShowCountdown(const std::string& caption, const std::string& mode_name) = 0;
  // The chosen mode's name on the main window's toolbar.
  virtual void SetStatusText(const std::string& text, bool visible) = 0;
};

// State of the countdown dialog between timer ticks: the dialog shows it and
// closes with OK when Tick says the time is up.
class CountdownModel {
 public:
  static constexpr int32_t kSeconds = 15;

  // "15秒後に、<name>を実行します。" and the cancel hint, on three lines.
  static std::string LabelText(const std::string& mode_name);

  void Start() { elapsed_ticks_ = 0; }
  // One second passed. True exactly once: on the tick that fills the bar.
  bool Tick();
  int32_t ElapsedTicks() const { return elapsed_ticks_; }
  int32_t BarMax() const { return kSeconds; }
  int32_t BarPosition() const { return elapsed_ticks_; }

 private:
  int32_t elapsed_ticks_ = 0;
};

enum class EraseCountOp : int32_t { kRead = 0, kBegin = 1, kEnd = 2 };

class ShutdownController {
 public:
  static constexpr char kEraseCountValue[] = "exitct";

  ShutdownController(platform::Power& power, platform::Settings& settings, ShutdownUi& ui,
                            Notifier& notifier, bool is_nt_family);

  int32_t ShutdownMode() const { return shutdown_mode_; }
  bool ForceShutdown() const { return force_shutdown_; }
  bool IsNtFamily() const { return is_nt_family_; }
  ErrorRouting Routing(bool session_ending) const {
    return ErrorRoutingFor(shutdown_mode_, session_ending);
  }

  // Opens the mode dialog; returns the chosen mode's name (empty after
  // cancel and for "なし").
  std::string SelectShutdownMode(const std::string& caption, void* owner = nullptr);
  // Begin: raises the count and returns the value before; End: lowers it,
  // never below 0, and returns the new value; Read: returns it.
  int32_t UpdateEraseCount(EraseCountOp op);
  // Runs the chosen action after an erase, unless none is chosen or another
  // copy is still erasing.
  void ShutdownAfterErase();
  // The countdown; a cancel also drops the chosen mode.
  bool ConfirmShutdown(int32_t mode);
  // True only when the system accepted the call.
  bool ExecuteShutdown(int32_t mode, bool force);
  bool EnablePrivilege(const std::string& name);
  bool DisablePrivilege(const std::string& name);

 private:
  bool AdjustPrivilege(const std::string& name, uint32_t attributes, const char* adjust_failure);
  void ClearMode();

  platform::Power& power_;
  platform::Settings& settings_;
  ShutdownUi& ui_;
  Notifier& notifier_;
  bool is_nt_family_;
  int32_t shutdown_mode_ = kShutdownNone;
  bool force_shutdown_ = false;
};

}  // namespace plexi
