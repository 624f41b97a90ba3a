// The progress dialog never runs the erase worker's GUI steps on the
// worker's thread: when the window that carries them cannot be made, no
// worker starts, and the erase ends as one that wrote nothing, saying so.
#include "erase/progress_dialog_win.h"

#include <gtest/gtest.h>

#include <cwchar>

#include "erase/erase_test_support.h"
#include "platform/sim/sim_machine.h"

namespace plexi {
namespace {

constexpr char kMachine[] = R"(disk 0 size=1G bus=sata product="System"
volume C: disk=0 offset=1M length=900M
disk 1 sectors=4096 bus=sata product="Target"
)";

// While it lives, the system refuses to make the dispatcher's window on
// this thread, as it would when out of window resources: a CBT hook that
// answers HCBT_CREATEWND with a nonzero value makes CreateWindowEx fail
// ("CBTProc callback function",
// https://learn.microsoft.com/en-us/windows/win32/winmsg/cbtproc).
class DispatcherWindowRefused {
 public:
  DispatcherWindowRefused() : hook_(SetWindowsHookExW(WH_CBT, Refuse, nullptr, GetCurrentThreadId())) {}
  ~DispatcherWindowRefused() {
    if (hook_) UnhookWindowsHookEx(hook_);
  }
  DispatcherWindowRefused(const DispatcherWindowRefused&) = delete;
  DispatcherWindowRefused& operator=(const DispatcherWindowRefused&) = delete;
  bool Active() const { return hook_ != nullptr; }

 private:
  static LRESULT CALLBACK Refuse(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HCBT_CREATEWND) {
      wchar_t name[64] = {};
      GetClassNameW(reinterpret_cast<HWND>(wparam), name, 64);
      if (std::wcscmp(name, WindowDispatcher::kClassName) == 0) return 1;
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
  }

  HHOOK hook_;
};

// The erase's windows, with the real progress dialog.
class DialogEraseUi : public test::ScriptedEraseUi {
 public:
  WorkerReport RunProgress(const ProgressRequest& request, const WorkerFactory& make_worker) override {
    progress_requests.push_back(request);
    TConditionsOnDlg dialog(win::FormResources{}, TConditionsOnDlg::Hooks{});
    return dialog.Run(request, make_worker);
  }
};

TEST(ProgressDialog, NoWindowForTheWorkersStepsMeansNothingIsWritten) {
  std::string error;
  std::unique_ptr<sim::SimMachine> machine = sim::SimMachine::Parse(kMachine, ".", &error);
  ASSERT_TRUE(machine) << error;
  const std::vector<uint8_t> before = machine->PeekDisk(1, 0, 512);
  DispatcherWindowRefused refused;
  ASSERT_TRUE(refused.Active());
  ASSERT_FALSE(WindowDispatcher().Ready());

  DialogEraseUi ui;
  test::FakeEnvironment env;
  EstimateState estimate;
  EraseWorkflow workflow(*machine, ui, env, estimate, Pacing{0, 0, 20, 0, 0, 0});
  EXPECT_EQ(workflow.RunErase(DriveDesignator::Physical(1), "Target", ViewMode::kPhysical), RecordLeft::kNone);
  ASSERT_EQ(ui.progress_requests.size(), 1u);
  EXPECT_EQ(workflow.Outcome(), EraseOutcome::kFailedUnwritten);
  EXPECT_EQ(machine->DiskCounters(1).writes, 0u);
  EXPECT_EQ(machine->PeekDisk(1, 0, 512), before);
  ASSERT_EQ(env.reported.size(), 1u);
  EXPECT_EQ(env.reported[0].rfind("Target|消去の処理を開始できなかったため、消去を中止しました。"
                                  "ドライブには何も書き込んでいません。", 0),
            0u)
      << env.reported[0];
}

}  // namespace
}  // namespace plexi
