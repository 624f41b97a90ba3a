// The firmware purge from the main window on simulated drives: chosen in
// the confirmation of an NVMe drive that can sanitize, its dialog without
// cancel while the drive works, the zero pass and verification after it,
// and a drive that cannot purge showing the choice disabled with why.
#include <windows.h>

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <functional>

#include "driver_config.h"
#include "gui_actions.h"
#include "platform/win/utf.h"
#include "scenario_support.h"

namespace plexi::gui {
namespace {

// An NVMe drive kept in an image file that sanitizes in eight status
// polls (about a second each), and a USB stick that passes no firmware
// command.
constexpr char kMachine[] = R"(disk 0 sectors=2097152 bus=sata product="System SSD" ata=yes
volume C: disk=0 offset=1M label="Windows"
disk 1 sectors=20480 bus=nvme product="Purge NVMe" image=nvme.img sanitize=crypto,block sanitize-steps=8
volume N: disk=1 offset=1M label="DATA"
disk 2 sectors=20480 bus=usb product="Plain Stick" removable=yes
volume P: disk=2 offset=1M type=removable label="STICK"
)";
constexpr uint64_t kNvmeBytes = 20480ull * 512;

enum : int {
  kConfirmWordEdit = 101, kPurgeNote = 103, kPurgeFacts = 104, kMethodItem0 = 111, kPurgeRadio = 114,
  kVerifyCheck = 120,
  kPurgeDrive = 251, kPurgeNoteLine = 252, kPurgeCommand = 253, kPurgeBar = 254,
};
constexpr char kWarning[] =
    "ファームウェア消去はドライブ自身が行うため、開始すると途中で中止できません。"
    "終わるまでパソコンの電源を切ったり、ドライブを取り外したりしないで下さい。";

std::string TextOf(HWND window) { return Utf8(WindowText(window)); }

bool Gone(HWND form, Duration timeout = kStepTimeout) {
  return WaitUntil([&] { return !IsWindow(form) || !IsWindowVisible(form); }, timeout);
}

bool Checked(HWND button) { return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// Every visible child lies inside the form's client area.
::testing::AssertionResult ChildrenInside(HWND form) {
  RECT client{};
  GetClientRect(form, &client);
  for (HWND child = GetWindow(form, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    RECT place{};
    GetWindowRect(child, &place);
    MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&place), 2);
    if (place.left < 0 || place.top < 0 || place.right > client.right || place.bottom > client.bottom)
      return ::testing::AssertionFailure() << "control " << GetDlgCtrlID(child) << " outside the form";
  }
  return ::testing::AssertionSuccess();
}

class PurgeScenario : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ScenarioMachine::WriteText(machine_.file(), kMachine));
    ASSERT_TRUE(ScenarioMachine::WriteText(Image(), std::string(kNvmeBytes, '\x5A')));
    program_ = RunningProgram::Start(machine_.file());
    ASSERT_TRUE(program_) << "the program did not start";
    ASSERT_TRUE(program_->WaitForRowCount(3, 30s));
    program_->MoveTo(0, 0);
  }
  void TearDown() override {
    if (program_) {
      EXPECT_EQ(program_->Close(), std::optional<DWORD>(0));
    }
  }
  std::wstring Image() const {
    const std::wstring& file = machine_.file();
    return file.substr(0, file.find_last_of(L'\\') + 1) + L"nvme.img";
  }
  HWND OpenConfirmation(const std::string& letters) { return program_->OpenEraseConfirmation(letters); }
  // Chooses the purge with verification, types the word and starts; the
  // purge's dialog. `before_start` runs with everything chosen.
  HWND StartPurge(HWND confirm, const std::function<void()>& before_start = {}) {
    HWND radio = GetDlgItem(confirm, kPurgeRadio);
    PostMessageW(radio, BM_CLICK, 0, 0);
    PostMessageW(GetDlgItem(confirm, kVerifyCheck), BM_CLICK, 0, 0);
    HWND edit = GetDlgItem(confirm, kConfirmWordEdit);
    for (wchar_t c : std::wstring(L"del")) PostMessageW(edit, WM_CHAR, c, 1);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(confirm, IDOK)) != FALSE; }, kStepTimeout));
    EXPECT_TRUE(WaitUntil([&] { return Checked(radio) && !Checked(GetDlgItem(confirm, kMethodItem0)); },
                          kStepTimeout));
    if (before_start) before_start();
    PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_TRUE(Gone(confirm));
    return WaitForForm(pid(), L"TPurgeDlg", kStepTimeout);
  }
  DWORD pid() const { return program_->pid(); }

  ScenarioMachine machine_;
  std::unique_ptr<RunningProgram> program_;
};

TEST_F(PurgeScenario, TheDrivesOwnSanitizeThenTheZeroPassAndItsVerification) {
  HWND confirm = OpenConfirmation("N:");
  ASSERT_NE(confirm, nullptr);
  HWND radio = GetDlgItem(confirm, kPurgeRadio);
  EXPECT_EQ(TextOf(radio), "ファームウェア消去");
  EXPECT_TRUE(IsWindowEnabled(radio));
  EXPECT_TRUE(Checked(GetDlgItem(confirm, kMethodItem0))) << "zeros stay the preset";
  EXPECT_EQ(TextOf(GetDlgItem(confirm, kPurgeNote)), kWarning);
  const std::string facts = TextOf(GetDlgItem(confirm, kPurgeFacts));
  EXPECT_NE(facts.find("NVMe サニタイズ: 暗号消去 可 / ブロック消去 可 / 上書き 不可"), std::string::npos) << facts;
  EXPECT_NE(facts.find("実行するコマンド: NVMe サニタイズ（暗号消去）"), std::string::npos) << facts;

  HWND purge = StartPurge(confirm, [&] {
    EXPECT_TRUE(ChildrenInside(confirm));
    SaveScreenshot(confirm, "purge-confirmation");
  });
  ASSERT_NE(purge, nullptr);
  EXPECT_EQ(TextOf(purge), "ドライブのデータを消去中 ・・・");
  EXPECT_EQ(TextOf(GetDlgItem(purge, kPurgeDrive)), "ドライブ > Purge NVMe （N:）");
  EXPECT_EQ(TextOf(GetDlgItem(purge, kPurgeNoteLine)), "ファームウェア消去中（中止できません）");
  EXPECT_EQ(TextOf(GetDlgItem(purge, kPurgeCommand)), "実行中のコマンド： NVMe サニタイズ（暗号消去）");
  EXPECT_EQ(GetWindowLongW(purge, GWL_STYLE) & WS_SYSMENU, 0) << "no close box";
  EXPECT_FALSE(IsWindowEnabled(program_->window())) << "modal over the main window";
  // The drive's progress reaches the bar while the window keeps answering.
  HWND bar = GetDlgItem(purge, kPurgeBar);
  EXPECT_TRUE(WaitFor("progress on the bar", [&] {
    DWORD_PTR position = 0;
    return SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_BLOCK, 500, &position) && position > 0;
  }));
  DWORD_PTR answered = 0;
  EXPECT_TRUE(SendMessageTimeoutW(purge, WM_NULL, 0, 0, SMTO_BLOCK, 1000, &answered)) << "the window answers";
  EXPECT_TRUE(ChildrenInside(purge));
  SaveScreenshot(purge, "purge-progress");
  // Nothing closes it while the drive works.
  PostMessageW(purge, WM_CLOSE, 0, 0);
  PostMessageW(purge, WM_KEYDOWN, VK_ESCAPE, 1);
  EXPECT_FALSE(Gone(purge, 500ms));

  ASSERT_TRUE(Gone(purge, 60s)) << "the purge dialog closes by itself";
  // The zero pass and the verification follow under the erase's own dialog.
  HWND progress = WaitForForm(pid(), L"TConditionsOnDlg", kStepTimeout);
  ASSERT_NE(progress, nullptr);
  ASSERT_TRUE(Gone(progress, 120s));
  // The list shows the method once the record is on the drive.
  const std::optional<int> row = program_->RowOf("N:");
  ASSERT_TRUE(row);
  EXPECT_TRUE(WaitUntil([&] { return program_->ListRows()[size_t(*row)][4] == "ファームウェア消去"; }, kStepTimeout))
      << program_->ListRows()[size_t(*row)][4];
  const std::string image = ScenarioMachine::ReadText(Image());
  ASSERT_EQ(image.size(), kNvmeBytes);
  EXPECT_EQ(image.substr(0, 14), "plexi scrub ok");
  EXPECT_EQ(int(image[15]), 3) << "the purge's method code";
  EXPECT_TRUE(std::all_of(image.begin() + 512, image.end(), [](char c) { return c == 0; })) << "bytes left";
}

TEST_F(PurgeScenario, ADriveThatCannotPurgeShowsTheChoiceDisabledWithWhy) {
  HWND confirm = OpenConfirmation("P:");
  ASSERT_NE(confirm, nullptr);
  HWND radio = GetDlgItem(confirm, kPurgeRadio);
  EXPECT_FALSE(IsWindowEnabled(radio));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(confirm, kMethodItem0 + 2))) << "the other methods stay";
  EXPECT_EQ(TextOf(GetDlgItem(confirm, kPurgeNote)),
            "USB 変換アダプタがファームウェア消去のコマンドを通さないため、使用できません。");
  EXPECT_TRUE(ChildrenInside(confirm));
  SaveScreenshot(confirm, "purge-confirmation-unavailable");
  PostMessageW(confirm, WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(Gone(confirm));
}

// The session's end is held off while the drive works (the command cannot
// be stopped), and the purge goes on to its end under its dialog.
TEST_F(PurgeScenario, TheSessionEndIsHeldOffWhileTheDriveWorks) {
  HWND confirm = OpenConfirmation("N:");
  ASSERT_NE(confirm, nullptr);
  HWND purge = StartPurge(confirm);
  ASSERT_NE(purge, nullptr);
  auto query_end = [&]() -> std::optional<LRESULT> {
    DWORD_PTR reply = 0;
    if (!SendMessageTimeoutW(program_->window(), WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 5000, &reply))
      return std::nullopt;
    return LRESULT(reply);
  };
  const std::optional<LRESULT> answer = query_end();
  ASSERT_TRUE(answer) << "the main window did not answer during the purge";
  EXPECT_EQ(*answer, 0);
  EXPECT_FALSE(Gone(purge, 1s)) << "the purge goes on";
  ASSERT_TRUE(Gone(purge, 60s));
  // Afterwards the session may end.
  EXPECT_TRUE(WaitUntil([&] { return query_end().value_or(0) != 0; }, 60s));
  const std::string image = ScenarioMachine::ReadText(Image());
  EXPECT_NE(image.substr(512, 512), std::string(512, '\x5A')) << "the drive's contents went with the sanitize";
}

}  // namespace
}  // namespace plexi::gui
