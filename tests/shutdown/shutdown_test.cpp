// The action after an erase: the exact power calls and flags, the privilege
// steps and their messages, the countdown, and the erase counter that holds
// the action back while another copy is erasing.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/sim/file_settings.h"
#include "platform/sim/sim_power.h"
#include "platform/winconst.h"
#include "shutdown/shutdown.h"
#include "support/test_support.h"

namespace plexi {
namespace {

using sim::PowerCall;
using sim::PowerStep;
using Calls = std::vector<PowerCall>;

class RecordingShutdownUi : public ShutdownUi {
 public:
  std::optional<ShutdownChoice> ShowModeDialog(int32_t current_mode, const std::string& caption,
                                               void*) override {
    dialog_modes.push_back(current_mode);
    dialog_captions.push_back(caption);
    return mode_answer;
  }
  bool ShowCountdown(const std::string& caption, const std::string& mode_name) override {
    countdowns.push_back(caption + "|" + mode_name);
    return countdown_answer;
  }
  void SetStatusText(const std::string& text, bool visible) override {
    status_text = text;
    status_visible = visible;
  }

  std::optional<ShutdownChoice> mode_answer;
  bool countdown_answer = true;
  std::vector<int32_t> dialog_modes;
  std::vector<std::string> dialog_captions;
  std::vector<std::string> countdowns;
  std::string status_text = "unset";
  bool status_visible = false;
};

// SHTDN_REASON_MAJOR_OTHER | SHTDN_REASON_MINOR_OTHER | SHTDN_REASON_FLAG_PLANNED.
constexpr uint32_t kPlanned = 0x80000000;

// The privilege steps around a shutdown call, as the Windows backend makes them.
Calls Privileged(const PowerCall& call) {
  const uint32_t access = platform::kTokenAdjustPrivileges | platform::kTokenQuery;
  return {PowerCall::OpenToken(access), PowerCall::Lookup("SeShutdownPrivilege"),
          PowerCall::Adjust(2), PowerCall::CloseToken(), call, PowerCall::OpenToken(access),
          PowerCall::Lookup("SeShutdownPrivilege"), PowerCall::Adjust(0), PowerCall::CloseToken()};
}

class ShutdownTest : public ::testing::Test {
 protected:
  ShutdownController MakeController(bool nt = true) {
    return ShutdownController(power_, settings_, ui_, notifier_, nt);
  }
  // Chooses a mode through the dialog, as the progress dialog's button does.
  void Choose(ShutdownController& control, int32_t mode, bool force) {
    ui_.mode_answer = ShutdownChoice{mode, force};
    control.SelectShutdownMode("");
  }

  test::TempDir dir_;
  sim::FileSettings settings_{dir_.file("settings.txt")};
  sim::SimPower power_;
  RecordingShutdownUi ui_;
  test::RecordingNotifier notifier_;
};

TEST_F(ShutdownTest, EachModeMakesItsCallWithTheExactFlags) {
  ShutdownController control = MakeController();
  struct Case {
    int32_t mode;
    bool force;
    Calls expected;
  };
  const Case cases[] = {
      // No privilege for a logoff; forcing ends only hung applications, and
      // the reason says the shutdown was planned.
      {kShutdownLogoff, false, {PowerCall::ExitWindowsEx(0, kPlanned)}},
      {kShutdownLogoff, true, {PowerCall::ExitWindowsEx(0x10, kPlanned)}},
      {kShutdownPowerOff, false, Privileged(PowerCall::ExitWindowsEx(8, kPlanned))},
      {kShutdownPowerOff, true, Privileged(PowerCall::ExitWindowsEx(8 | 0x10, kPlanned))},
      {kShutdownStandby, true, Privileged(PowerCall::PowerState(true, true))},
      {kShutdownHibernate, false, Privileged(PowerCall::PowerState(false, false))},
      {kShutdownNone, true, {}},
  };
  for (const Case& c : cases) {
    power_.ClearCalls();
    EXPECT_EQ(control.ExecuteShutdown(c.mode, c.force), c.mode != kShutdownNone);
    EXPECT_EQ(power_.Calls(), c.expected) << "mode " << c.mode << " force " << c.force;
  }
  EXPECT_TRUE(notifier_.messages.empty());
}

TEST_F(ShutdownTest, OutsideTheNtFamilyNoTokenIsOpened) {
  ShutdownController control = MakeController(/*nt=*/false);
  EXPECT_TRUE(control.ExecuteShutdown(kShutdownPowerOff, false));
  EXPECT_TRUE(control.ExecuteShutdown(kShutdownStandby, false));
  EXPECT_TRUE(control.ExecuteShutdown(kShutdownLogoff, true));  // no EWX_FORCEIFHUNG there
  EXPECT_EQ(power_.Calls(), (Calls{PowerCall::ExitWindowsEx(8, kPlanned), PowerCall::PowerState(true, false),
                                   PowerCall::ExitWindowsEx(4, kPlanned)}));
}

TEST_F(ShutdownTest, ARefusedStandbyOrHibernationIsBlamedOnTheSystem) {
  ShutdownController control = MakeController();
  power_.FailStep(PowerStep::kSetSystemPowerState, winconst::kErrorNotSupported);
  EXPECT_FALSE(control.ExecuteShutdown(kShutdownHibernate, false));
  EXPECT_FALSE(control.ExecuteShutdown(kShutdownStandby, true));
  power_.FailStep(PowerStep::kSetSystemPowerState, winconst::kErrorAccessDenied);
  EXPECT_FALSE(control.ExecuteShutdown(kShutdownHibernate, false));
  EXPECT_EQ(notifier_.messages,
            (std::vector<std::string>{"このコンピュータでは休止状態を使用できません。",
                                      "このコンピュータではスタンバイを使用できません。",
                                      "システムにより休止状態が中止されました。"}));
  EXPECT_EQ(power_.OpenTokens(), 0);
}

TEST_F(ShutdownTest, ARefusedCallIsReportedWithTheModeName) {
  ShutdownController control = MakeController();
  power_.FailStep(PowerStep::kExitWindows, winconst::kErrorAccessDenied);
  EXPECT_FALSE(control.ExecuteShutdown(kShutdownLogoff, false));
  EXPECT_FALSE(control.ExecuteShutdown(kShutdownPowerOff, true));
  EXPECT_EQ(notifier_.messages,
            (std::vector<std::string>{"他のアプリケーションの要求によりログオフが中止されました。",
                                      "他のアプリケーションの要求によりシャットダウンが中止されました。"}));
  // The privilege is given back even though the shutdown did not happen.
  EXPECT_EQ(power_.Calls().back(), PowerCall::CloseToken());
  EXPECT_EQ(power_.Calls()[power_.Calls().size() - 2], PowerCall::Adjust(0));
}

TEST_F(ShutdownTest, EachFailedPrivilegeStepHasItsMessageAndStopsTheAction) {
  struct Case {
    PowerStep step;
    std::string message;
  };
  const Case cases[] = {
      {PowerStep::kOpenProcessToken, "OpenProcessToken Error"},
      {PowerStep::kLookupPrivilegeValue, "LookupPrivilegeValue Error"},
      {PowerStep::kAdjustTokenPrivileges, "特権の有効に失敗しました。"},
  };
  for (const Case& c : cases) {
    sim::SimPower power;
    power.FailStep(c.step, winconst::kErrorNotAllAssigned);
    test::RecordingNotifier notifier;
    ShutdownController control(power, settings_, ui_, notifier, true);
    EXPECT_FALSE(control.ExecuteShutdown(kShutdownPowerOff, false));
    EXPECT_EQ(notifier.messages, std::vector<std::string>{c.message});
    for (const PowerCall& call : power.Calls()) EXPECT_NE(call.step, PowerStep::kExitWindows);
    EXPECT_EQ(power.OpenTokens(), 0) << c.message;  // closed on every path

    notifier.messages.clear();
    EXPECT_FALSE(control.DisablePrivilege("SeShutdownPrivilege"));
    if (c.step == PowerStep::kAdjustTokenPrivileges) {
      EXPECT_EQ(notifier.messages, std::vector<std::string>{"特権の無効に失敗しました。"});
    }
  }
}

TEST_F(ShutdownTest, ChoosingAModeShowsItAndNoneHidesIt) {
  ShutdownController control = MakeController();
  ui_.mode_answer = ShutdownChoice{kShutdownPowerOff, true};
  EXPECT_EQ(control.SelectShutdownMode("own caption"), "シャットダウン");
  EXPECT_EQ(ui_.dialog_modes.back(), kShutdownNone);  // the dialog opens on the current mode
  EXPECT_EQ(ui_.dialog_captions.back(), "own caption");
  EXPECT_EQ(control.ShutdownMode(), kShutdownPowerOff);
  EXPECT_TRUE(control.ForceShutdown());
  EXPECT_TRUE(ui_.status_visible);
  EXPECT_EQ(ui_.status_text, "シャットダウン");
  // Unattended from now on: errors go to the log.
  EXPECT_TRUE(control.Routing(false).unattended);

  ui_.mode_answer.reset();  // cancel changes nothing
  EXPECT_EQ(control.SelectShutdownMode(""), "");
  EXPECT_EQ(ui_.dialog_modes.back(), kShutdownPowerOff);
  EXPECT_EQ(control.ShutdownMode(), kShutdownPowerOff);

  ui_.mode_answer = ShutdownChoice{kShutdownNone, false};
  EXPECT_EQ(control.SelectShutdownMode(""), "");
  EXPECT_EQ(control.ShutdownMode(), kShutdownNone);
  EXPECT_FALSE(ui_.status_visible);
}

TEST_F(ShutdownTest, TheActionWaitsForTheCountdownAndForOtherCopies) {
  ShutdownController control = MakeController();
  control.ShutdownAfterErase();  // no mode chosen: nothing at all
  EXPECT_TRUE(ui_.countdowns.empty());

  Choose(control, kShutdownPowerOff, true);
  control.UpdateEraseCount(EraseCountOp::kBegin);  // another copy is erasing
  control.ShutdownAfterErase();
  EXPECT_TRUE(ui_.countdowns.empty());
  EXPECT_TRUE(power_.Calls().empty());
  EXPECT_TRUE(control.ForceShutdown());  // kept for the erase that ends last

  control.UpdateEraseCount(EraseCountOp::kEnd);
  control.ShutdownAfterErase();
  EXPECT_EQ(ui_.countdowns,
            std::vector<std::string>{"プレキシスクラブ [ シャットダウン ] 確認|シャットダウン"});
  EXPECT_EQ(power_.Calls(), Privileged(PowerCall::ExitWindowsEx(8 | 0x10, kPlanned)));
  EXPECT_FALSE(control.ForceShutdown());
  EXPECT_EQ(control.ShutdownMode(), kShutdownPowerOff);  // a standby would count down again
}

TEST_F(ShutdownTest, CancellingTheCountdownDropsTheMode) {
  ShutdownController control = MakeController();
  Choose(control, kShutdownLogoff, true);
  ui_.countdown_answer = false;
  control.ShutdownAfterErase();
  EXPECT_TRUE(power_.Calls().empty());
  EXPECT_EQ(control.ShutdownMode(), kShutdownNone);
  EXPECT_FALSE(control.ForceShutdown());
  EXPECT_FALSE(ui_.status_visible);
  EXPECT_EQ(ui_.status_text, "");

  control.ShutdownAfterErase();  // the next erase ends without a countdown
  EXPECT_EQ(ui_.countdowns.size(), 1u);
}

TEST_F(ShutdownTest, TheEraseCounterIsSharedAndNeverNegative) {
  ShutdownController first = MakeController();
  ShutdownController second = MakeController();  // another running copy
  EXPECT_EQ(first.UpdateEraseCount(EraseCountOp::kRead), 0);  // no value yet
  EXPECT_EQ(first.UpdateEraseCount(EraseCountOp::kBegin), 0);
  EXPECT_EQ(second.UpdateEraseCount(EraseCountOp::kBegin), 1);
  EXPECT_EQ(first.UpdateEraseCount(EraseCountOp::kEnd), 1);
  EXPECT_EQ(second.UpdateEraseCount(EraseCountOp::kEnd), 0);
  EXPECT_EQ(second.UpdateEraseCount(EraseCountOp::kEnd), 0);
  EXPECT_EQ(settings_.ReadInt("exitct"), 0);

  ASSERT_TRUE(settings_.WriteText("exitct", "3").ok());  // a value of the wrong type counts as none
  EXPECT_EQ(first.UpdateEraseCount(EraseCountOp::kRead), 0);
  ASSERT_TRUE(settings_.WriteInt("exitct", -5).ok());
  EXPECT_EQ(first.UpdateEraseCount(EraseCountOp::kBegin), 0);
  EXPECT_EQ(settings_.ReadInt("exitct"), 1);
  ASSERT_TRUE(settings_.WriteInt("exitct", INT32_MAX).ok());
  EXPECT_EQ(first.UpdateEraseCount(EraseCountOp::kBegin), INT32_MAX);
  EXPECT_EQ(settings_.ReadInt("exitct"), INT32_MAX);
}

TEST(ErrorRoutingFor, AnActionOrAnEndingSessionMakesTheEraseUnattended) {
  EXPECT_FALSE(ErrorRoutingFor(kShutdownNone, false).unattended);
  EXPECT_TRUE(ErrorRoutingFor(kShutdownNone, true).unattended);
  EXPECT_TRUE(ErrorRoutingFor(kShutdownLogoff, false).unattended);
  EXPECT_TRUE(ErrorRoutingFor(kShutdownHibernate, false).unattended);
}

TEST(Countdown, FillsTheBarAndSaysOkOnTheFifteenthTickOnly) {
  CountdownModel countdown;
  countdown.Start();
  for (int i = 1; i < 15; ++i) ASSERT_FALSE(countdown.Tick()) << i;
  EXPECT_TRUE(countdown.Tick());
  EXPECT_EQ(countdown.BarPosition(), countdown.BarMax());
  EXPECT_FALSE(countdown.Tick());  // a late timer message
  EXPECT_EQ(countdown.ElapsedTicks(), 15);
  countdown.Start();
  EXPECT_EQ(countdown.BarPosition(), 0);
  EXPECT_EQ(CountdownModel::LabelText("休止状態"),
            "15秒後に、休止状態を実行します。\n\n取り消す場合は、キャンセルを押して下さい。");
}

}  // namespace
}  // namespace plexi
