// The whole erase from the main window on simulated drives, worked through
// window messages: the questions, the confirmation, the progress dialog in
// each pass, the outcome in the list and on the drive, a second copy that
// hears of it, the action after the erase with its countdown, and failures.
#include <windows.h>

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "driver_config.h"
#include "gui_actions.h"
#include "platform/win/utf.h"
#include "scenario_support.h"

namespace plexi::gui {
namespace {

// A system disk nobody may erase, a stick kept in an image file (so that
// its bytes can be checked afterwards; slow enough that each pass stays on
// the screen for a while, however busy the machine running the test), a
// stick full of old data whose writes are silently lost at one sector, and
// one whose writes fail.
constexpr char kMachine[] = R"(trace reads
disk 0 sectors=2097152 bus=sata product="System SSD" ata=yes
volume C: disk=0 offset=1M label="Windows"
disk 1 sectors=61440 bus=usb product="Erase Stick" removable=yes image=stick.img write-delay=100
volume G: disk=1 offset=1M type=removable label="STICK"
disk 2 sectors=20480 bus=usb product="Forgetful Stick" removable=yes image=forgetful.img
volume K: disk=2 offset=1M type=removable
fault disk=2 op=drop-write sector=5000
disk 3 sectors=20480 bus=usb product="Failing Stick" removable=yes
volume L: disk=3 offset=1M type=removable
fault disk=3 op=write sector=6000
)";
constexpr uint64_t kStickBytes = 61440ull * 512;

constexpr char kFirstQuestion[] = "データの消去確認";
constexpr char kConfirmCaption[] = "ドライブ消去の最終確認";
constexpr Duration kEraseTimeout = 120s;

// Control ids of the erase's dialogs.
enum : int {
  kConfirmWordEdit = 101, kMethodItem0 = 111, kVerifyCheck = 120, kHistoryCheck = 121,
  kPassLine = 203, kShutdownLine = 202, kEstimateLine = 204, kProgressCancel = 205, kSettingsButton = 206,
  kModeItem0 = 310, kForceBox = 320, kExitOk = 330, kExitCancel = 331,
  kCountdownCancel = 403,
};
constexpr COLORREF kCompletedGreen = 0x7BFDB3;
constexpr COLORREF kInterruptedPink = 0xCECEFF;

class EraseMachine {
 public:
  EraseMachine() {
    EXPECT_TRUE(ScenarioMachine::WriteText(machine_.file(), kMachine));
    EXPECT_TRUE(ScenarioMachine::WriteText(StickImage(), ""));
    // Old data, which a lost write leaves in place.
    EXPECT_TRUE(ScenarioMachine::WriteText(Folder() + L"forgetful.img", std::string(20480 * 512, '\x5A')));
  }
  const std::wstring& file() const { return machine_.file(); }
  std::wstring StickImage() const { return Folder() + L"stick.img"; }
  std::string Stick() const { return ScenarioMachine::ReadText(StickImage()); }
  std::string PowerLog() const {
    return ScenarioMachine::ReadText(machine_.files_folder() + L"power.log");
  }
  // The device trace with its lines ended by "\n" alone.
  std::string Trace() const {
    std::string trace = ScenarioMachine::ReadText(file() + L".trace");
    trace.erase(std::remove(trace.begin(), trace.end(), '\r'), trace.end());
    return trace;
  }
  std::string ErrorLog() const {
    return ScenarioMachine::ReadText(machine_.files_folder() + L"errlog.log");
  }

 private:
  std::wstring Folder() const {
    const std::wstring& file = machine_.file();
    return file.substr(0, file.find_last_of(L'\\') + 1);
  }
  ScenarioMachine machine_;
};

std::string TextOf(HWND window) { return Utf8(WindowText(window)); }

bool Gone(HWND form, Duration timeout) {
  return WaitUntil([&] { return !IsWindow(form) || !IsWindowVisible(form); }, timeout);
}

bool Checked(HWND button) { return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void Type(HWND edit, const std::wstring& keys) {
  for (wchar_t c : keys) PostMessageW(edit, WM_CHAR, c, 1);
}

// Answers the question with this caption, whose text must contain `part`.
void Answer(DWORD pid, const std::string& caption, const std::string& part, int button) {
  HWND box = WaitForDialog(pid, caption, kStepTimeout);
  ASSERT_NE(box, nullptr) << "no question " << caption;
  EXPECT_NE(DialogText(box).find(part), std::string::npos) << DialogText(box);
  PressDialogButton(box, button);
  EXPECT_TRUE(Gone(box, kStepTimeout));
}

struct EraseChoice {
  int method = 0;
  bool verify = false;
  bool save_history = true;
};

class EraseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = RunningProgram::Start(machine_.file());
    ASSERT_TRUE(program_) << "the program did not start";
    ASSERT_TRUE(program_->WaitForRowCount(4, 30s));
    program_->MoveTo(0, 0);
  }
  void TearDown() override {
    if (program_) {
      EXPECT_EQ(program_->Close(), std::optional<DWORD>(0));
    }
  }

  // With a mode set: opens and closes the sector view, checking where the
  // mode's field `status` goes.
  void ExpectModeBesideTheSectorView(HWND status);

  int RowOf(const std::string& letters) {
    const std::optional<int> row = program_->RowOf(letters);
    EXPECT_TRUE(row) << "no row " << letters;
    return row.value_or(0);
  }
  std::string MethodColumn(const std::string& letters) {
    return program_->ListRows()[size_t(RowOf(letters))][4];
  }
  enum class Earlier { kNothing, kResumeRecord, kCompletionRecord };
  // The erase button for the drive, up to its final confirmation; a record
  // found on the drive brings a question first, answered yes.
  HWND OpenConfirmation(const std::string& letters, Earlier earlier = Earlier::kNothing) {
    program_->PressRow(RowOf(letters), 100);
    EXPECT_TRUE(WaitUntil([&] { return program_->Enabled(kEraseButton); }, kStepTimeout));
    program_->ClickButton(kEraseButton);
    Answer(pid(), kFirstQuestion, "このドライブの内容を全て消去しますか？", IDOK);
    if (earlier == Earlier::kResumeRecord)
      Answer(pid(), "確認", "前回の処理情報が見つかりました。途中から続行しますか？", IDYES);
    if (earlier == Earlier::kCompletionRecord)
      Answer(pid(), "再消去の確認", "で消去が完了したドライブです。もう一度消去しますか？", IDYES);
    return WaitForForm(pid(), L"TDriveDelInfoDlg", kStepTimeout);
  }
  // Chooses in the confirmation and starts; the progress dialog.
  HWND StartErase(HWND confirm, const EraseChoice& choice, bool method_enabled = true) {
    if (method_enabled) PostMessageW(GetDlgItem(confirm, kMethodItem0 + choice.method), BM_CLICK, 0, 0);
    // Set, not clicked: a resumed erase comes with the read-back preset.
    PostMessageW(GetDlgItem(confirm, kVerifyCheck), BM_SETCHECK, choice.verify ? BST_CHECKED : BST_UNCHECKED, 0);
    if (!choice.save_history) PostMessageW(GetDlgItem(confirm, kHistoryCheck), BM_CLICK, 0, 0);
    HWND edit = GetDlgItem(confirm, kConfirmWordEdit);
    Type(edit, L"Del");
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(confirm, IDOK)) != FALSE; }, kStepTimeout));
    EXPECT_TRUE(WaitUntil([&] { return Checked(GetDlgItem(confirm, kMethodItem0 + choice.method)); },
                          kStepTimeout));
    // Enter in the edit presses the armed default button.
    PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_TRUE(Gone(confirm, kStepTimeout));
    return WaitForForm(pid(), L"TConditionsOnDlg", kStepTimeout);
  }
  // Deselects by pressing the system drive's row, then the colour a row's
  // background shows.
  COLORREF RowBackground(const std::string& letters) {
    program_->PressRow(RowOf("C:"), 100);
    WaitUntil([&] { return program_->SelectedRow() == std::optional<size_t>(RowOf("C:")); }, kStepTimeout);
    const RECT row = program_->RowBounds(RowOf(letters));
    const std::optional<Image> list = program_->CaptureList();
    if (!list) return CLR_INVALID;
    return list->At(300, (row.top + row.bottom) / 2);
  }
  DWORD pid() const { return program_->pid(); }

  EraseMachine machine_;
  std::unique_ptr<RunningProgram> program_;
};

// The stick's bytes: all zero but for a completion record of `method` in
// its first sector.
void ExpectErasedWithRecord(const std::string& stick, int method) {
  ASSERT_EQ(stick.size(), kStickBytes);
  EXPECT_EQ(stick.substr(0, 14), "plexi scrub ok");
  EXPECT_EQ(int(stick[15]), method);
  const bool rest_zero = std::all_of(stick.begin() + 512, stick.end(), [](char c) { return c == 0; });
  EXPECT_TRUE(rest_zero) << "bytes left unerased";
}

TEST_F(EraseTest, StartStaysDisabledUntilDelIsTypedAndEscapeErasesNothing) {
  HWND confirm = OpenConfirmation("G:");
  ASSERT_NE(confirm, nullptr);
  EXPECT_EQ(TextOf(confirm), kConfirmCaption);
  const std::string text = TextOf(GetDlgItem(confirm, 100));
  EXPECT_NE(text.find("ドライブ > Erase Stick （G:）"), std::string::npos) << text;
  EXPECT_NE(text.find("総セクタ数 > 61440"), std::string::npos) << text;
  HWND ok = GetDlgItem(confirm, IDOK), edit = GetDlgItem(confirm, kConfirmWordEdit);
  EXPECT_EQ(TextOf(ok), "消去開始");
  EXPECT_FALSE(IsWindowEnabled(ok));
  // The defaults: zeros, no verification, history saved, method choosable.
  EXPECT_TRUE(Checked(GetDlgItem(confirm, kMethodItem0)));
  EXPECT_FALSE(Checked(GetDlgItem(confirm, kVerifyCheck)));
  EXPECT_TRUE(Checked(GetDlgItem(confirm, kHistoryCheck)));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(confirm, kMethodItem0 + 2)));

  auto armed_after = [&](const std::wstring& keys, bool armed) {
    Type(edit, keys);
    // The edit has taken the keys once it answers after them.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(edit, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &ignored);
    return WaitUntil([&] { return (IsWindowEnabled(ok) != FALSE) == armed; }, 3s);
  };
  // The access lamp: bursts of ten sector reads once a second from where
  // the handle stands, which is byte 0 after every burst (the first one
  // starts where the erase's record read left it).
  std::string burst;
  for (int sector = 0; sector < 10; ++sector)
    burst += "read \\\\.\\PHYSICALDRIVE1 at=" + std::to_string(sector * 512) + " bytes=512\n";
  const std::string eleventh = "read \\\\.\\PHYSICALDRIVE1 at=5120 bytes=512\n";
  // A whole burst from byte 0, and the next one from byte 0 again.
  EXPECT_TRUE(WaitUntil([&] {
    const std::string trace = machine_.Trace();
    for (size_t at = trace.find(burst); at != std::string::npos; at = trace.find(burst, at + 1)) {
      if (trace.compare(at + burst.size(), burst.size(), burst) == 0) return true;
    }
    return false;
  }, kStepTimeout)) << machine_.Trace();
  EXPECT_EQ(machine_.Trace().find(eleventh, machine_.Trace().find(burst + burst)), std::string::npos)
      << "no burst reads more than ten sectors";

  EXPECT_TRUE(armed_after(L"de", false));
  EXPECT_TRUE(armed_after(L"L", true)) << "any letter case";
  SaveScreenshot(confirm, "erase-confirmation");
  EXPECT_TRUE(armed_after(L"e", false)) << "nothing more";
  EXPECT_TRUE(armed_after(L"\b", true));
  // Enter on a disarmed button does nothing; Escape cancels.
  Type(edit, L"x");
  EXPECT_TRUE(armed_after(L"", false));
  PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
  PostMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 1);
  EXPECT_TRUE(Gone(confirm, kStepTimeout));
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(program_->window()) != FALSE; }, kStepTimeout));
  EXPECT_EQ(FindTopWindow(L"TConditionsOnDlg", pid()), nullptr);
  EXPECT_EQ(machine_.Stick().size(), 0u) << "nothing was written";
  // The lamp stopped with the dialog: nothing reads the second sector any more.
  auto lamp_reads = [&] {
    const std::string trace = machine_.Trace();
    size_t count = 0;
    for (size_t at = trace.find("PHYSICALDRIVE1 at=512 "); at != std::string::npos;
         at = trace.find("PHYSICALDRIVE1 at=512 ", at + 1))
      ++count;
    return count;
  };
  const size_t reads = lamp_reads();
  EXPECT_FALSE(WaitUntil([&] { return lamp_reads() != reads; }, 2500ms)) << "reads after the close";
  EXPECT_EQ(MethodColumn("G:"), "");
}

// A disk whose letters go after its erase (its partition table was
// overwritten) stays listed, with its record, until the user refreshes.
TEST_F(EraseTest, AnErasedDiskWhoseLettersGoStaysListedUntilTheRefresh) {
  HWND confirm = OpenConfirmation("G:");
  ASSERT_NE(confirm, nullptr);
  HWND progress = StartErase(confirm, {0, false, true});
  ASSERT_NE(progress, nullptr);
  ASSERT_TRUE(Gone(progress, kEraseTimeout));
  ASSERT_TRUE(WaitUntil([&] { return MethodColumn("G:") == "ゼロ"; }, kStepTimeout));
  ASSERT_TRUE(ScenarioMachine::WriteText(machine_.file() + L".changes", "hide G:\r\n"));
  auto kept_row = [&] {
    const Rows rows = program_->ListRows();
    return rows.size() == 4 && std::any_of(rows.begin(), rows.end(), [](const std::vector<std::string>& row) {
             return row[0] == "Erase Stick" && row[2] == "―" && row[4] == "ゼロ";
           });
  };
  // The watch sees the letter go within about a second.
  EXPECT_TRUE(WaitFor("the erased stick listed without letters", kept_row, 5s));
  program_->Screenshot("erased-disk-kept");
  program_->ClickButton(kRefreshButton);
  EXPECT_TRUE(WaitFor("the refresh lets it go", [&] { return program_->ListRows().size() == 3; }));
}

TEST_F(EraseTest, EachMethodErasesTheStickAndASecondCopyHearsOfIt) {
  std::unique_ptr<RunningProgram> second = RunningProgram::Start(machine_.file());
  ASSERT_TRUE(second);
  ASSERT_TRUE(second->WaitForRowCount(4, 30s));
  const char* const names[] = {"ゼロ", "255,ゼロ", "米国陸軍"};
  for (int method = 0; method < 3; ++method) {
    SCOPED_TRACE(method);
    const bool verify = method != 0;
    HWND confirm = OpenConfirmation("G:", method == 0 ? Earlier::kNothing : Earlier::kCompletionRecord);
    ASSERT_NE(confirm, nullptr);
    EXPECT_TRUE(Checked(GetDlgItem(confirm, kMethodItem0 + (method == 0 ? 0 : method - 1))))
        << "the recorded method is preset";
    HWND progress = StartErase(confirm, {method, verify, true});
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(TextOf(progress), "ドライブのデータを消去中 ・・・");
    EXPECT_EQ(TextOf(GetDlgItem(progress, 201)), "ドライブ > Erase Stick （G:）");
    EXPECT_FALSE(IsWindowEnabled(program_->window())) << "modal over the main window";
    ASSERT_TRUE(Gone(progress, kEraseTimeout));
    EXPECT_TRUE(WaitUntil([&] { return MethodColumn("G:") == names[method]; }, kStepTimeout))
        << MethodColumn("G:");
    ExpectErasedWithRecord(machine_.Stick(), method);
    EXPECT_TRUE(WaitUntil([&] { return RowBackground("G:") == kCompletedGreen; }, kStepTimeout));
    // The other copy changed its row from the message alone.
    EXPECT_TRUE(WaitUntil([&] { return second->ListRows()[size_t(RowOf("G:"))][4] == names[method]; },
                          kStepTimeout));
  }
  program_->Screenshot("erase-completed-row");
  EXPECT_EQ(second->Close(), std::optional<DWORD>(0));
}

// The progress dialog through all passes of the third method with
// verification, answering while it works; a screenshot of each pass. The
// first pass is held by the shutdown settings dialog, moved aside, so that
// its picture is taken before it is over.
TEST_F(EraseTest, ProgressDialogShowsEachPassAndStaysResponsive) {
  HWND progress = StartErase(OpenConfirmation("G:"), {2, true, false});
  ASSERT_NE(progress, nullptr);
  HWND pass = GetDlgItem(progress, kPassLine);
  std::vector<std::string> seen;
  auto note_step = [&] {
    const std::string text = TextOf(pass);
    const std::string step = TextOf(progress).find("確認中") != std::string::npos ? "verify" : text;
    if (text.empty() || (!seen.empty() && seen.back() == step)) return;
    seen.push_back(step);
    SaveScreenshot(progress, "erase-progress-" + std::to_string(seen.size()));
  };
  PostClick(GetDlgItem(progress, kSettingsButton), 5, 5);
  HWND settings = WaitForForm(pid(), L"TExitDlg", kStepTimeout);
  ASSERT_NE(settings, nullptr);
  SetWindowPos(settings, HWND_BOTTOM, 900, 700, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
  EXPECT_TRUE(WaitUntil([&] {
    RECT r;
    GetWindowRect(settings, &r);
    return r.left == 900;
  }, kStepTimeout));
  note_step();
  PostMessageW(settings, WM_CLOSE, 0, 0);
  EXPECT_TRUE(Gone(settings, kStepTimeout));

  bool answered = true;
  WaitUntil(
      [&] {
        note_step();
        // Both windows answer at once while the worker writes.
        for (HWND window : {progress, program_->window()}) {
          DWORD_PTR ignored = 0;
          const auto asked = std::chrono::steady_clock::now();
          const bool answer = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &ignored) != 0;
          if (!answer && IsWindow(window)) {
            ADD_FAILURE() << (window == progress ? "progress" : "main") << " silent for "
                          << std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - asked).count()
                          << " ms, error " << GetLastError() << " at " << (seen.empty() ? "" : seen.back());
            answered = false;
          }
        }
        return !IsWindow(progress) || !IsWindowVisible(progress);
      },
      kEraseTimeout);
  EXPECT_TRUE(answered);
  const std::vector<std::string> expected = {"現在の工程 1 / 3", "現在の工程 2 / 3", "現在の工程 3 / 3", "verify"};
  EXPECT_EQ(seen, expected);
  EXPECT_TRUE(WaitUntil([&] { return MethodColumn("G:") == "米国陸軍"; }, kStepTimeout));
  // Without history the first sector is left blank.
  const std::string stick = machine_.Stick();
  ASSERT_EQ(stick.size(), kStickBytes);
  EXPECT_TRUE(std::all_of(stick.begin(), stick.end(), [](char c) { return c == 0; }));
}

// A cancel in the second pass, held still by the shutdown settings dialog;
// the resume point saved, the row pink; the resumed erase ends zeroed with
// a completion record.
TEST_F(EraseTest, CancelSavesAResumePointAndTheResumedEraseCompletes) {
  HWND progress = StartErase(OpenConfirmation("G:"), {2, false, true});
  ASSERT_NE(progress, nullptr);
  HWND pass = GetDlgItem(progress, kPassLine);
  ASSERT_TRUE(WaitUntil([&] { return TextOf(pass) == "現在の工程 2 / 3"; }, kEraseTimeout));
  PostClick(GetDlgItem(progress, kSettingsButton), 5, 5);
  HWND settings = WaitForForm(pid(), L"TExitDlg", kStepTimeout);
  ASSERT_NE(settings, nullptr);
  // The worker waits while the dialog is open: the cancel takes effect at
  // its next chunk, once the dialog closes.
  PostMessageW(GetDlgItem(progress, kProgressCancel), BM_CLICK, 0, 0);
  PostMessageW(settings, WM_CLOSE, 0, 0);
  const auto cancelled_at = std::chrono::steady_clock::now();
  ASSERT_TRUE(Gone(progress, 30s));
  EXPECT_LT(std::chrono::steady_clock::now() - cancelled_at, 10s);
  Answer(pid(), "確認", "途中で中断されました。", IDYES);
  EXPECT_TRUE(WaitUntil([&] { return MethodColumn("G:") == "米国陸軍"; }, kStepTimeout));
  EXPECT_TRUE(WaitUntil([&] { return RowBackground("G:") == kInterruptedPink; }, kStepTimeout));
  std::string stick = machine_.Stick();
  ASSERT_GE(stick.size(), 28u);
  EXPECT_EQ(stick.substr(0, 11), "plexi scrub");
  EXPECT_NE(stick.substr(0, 14), "plexi scrub ok");
  EXPECT_EQ(int(stick[20]), 2) << "method";
  EXPECT_GE(int(stick[24]), 1) << "pass";
  program_->Screenshot("erase-interrupted-row");

  HWND confirm = OpenConfirmation("G:", Earlier::kResumeRecord);
  ASSERT_NE(confirm, nullptr);
  EXPECT_EQ(TextOf(confirm), std::string(kConfirmCaption) + " （継続消去）");
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(confirm, kMethodItem0 + 2))) << "the method stays";
  EXPECT_TRUE(Checked(GetDlgItem(confirm, kMethodItem0 + 2)));
  EXPECT_NE(TextOf(GetDlgItem(confirm, 100)).find("消去方式 > 米国陸軍方式"), std::string::npos);
  EXPECT_TRUE(Checked(GetDlgItem(confirm, kVerifyCheck))) << "only a read-back checks the earlier part";
  SaveScreenshot(confirm, "erase-confirmation-resumed");
  progress = StartErase(confirm, {2, true, true}, false);
  ASSERT_NE(progress, nullptr);
  ASSERT_TRUE(Gone(progress, kEraseTimeout));
  EXPECT_TRUE(WaitUntil([&] { return RowBackground("G:") == kCompletedGreen; }, kStepTimeout));
  ExpectErasedWithRecord(machine_.Stick(), 2);
}

// The erase's dialogs by keys alone, pressed as on a keyboard. Enter on the
// focused cancel button cancels, whatever the start button's state; the
// confirmation is armed and started from the keyboard; the progress dialog
// opens on its cancel button, which shows its focus; Tab and Space reach
// the shutdown settings, whose choice the arrows move and Escape leaves
// unmade; Escape then cancels the erase.
TEST_F(EraseTest, TheErasesDialogsWorkByKeysAlone) {
  auto focus_becomes = [&](HWND form, int id) {
    return WaitUntil([&] { return FocusOf(form) == GetDlgItem(form, id); }, kStepTimeout);
  };
  HWND confirm = OpenConfirmation("G:");
  ASSERT_NE(confirm, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return InFront(pid()); }, kStepTimeout));
  ASSERT_TRUE(focus_becomes(confirm, kConfirmWordEdit));
  TypeText(L"del");
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(confirm, IDOK)) != FALSE; }, kStepTimeout));
  for (int id : {int(kMethodItem0), int(kVerifyCheck), int(kHistoryCheck), IDOK, IDCANCEL}) {
    PressKey(VK_TAB);
    ASSERT_TRUE(focus_becomes(confirm, id)) << "Tab to " << id;
  }
  PressKey(VK_RETURN);
  EXPECT_TRUE(Gone(confirm, kStepTimeout));
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(program_->window()) != FALSE; }, kStepTimeout));
  EXPECT_EQ(FindTopWindow(L"TConditionsOnDlg", pid()), nullptr);
  EXPECT_EQ(machine_.Stick().size(), 0u) << "nothing was written";

  confirm = OpenConfirmation("G:");
  ASSERT_NE(confirm, nullptr);
  ASSERT_TRUE(focus_becomes(confirm, kConfirmWordEdit));
  TypeText(L"Del");
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(confirm, IDOK)) != FALSE; }, kStepTimeout));
  PressKey(VK_TAB);
  ASSERT_TRUE(focus_becomes(confirm, kMethodItem0));
  PressKey(VK_RIGHT);
  ASSERT_TRUE(WaitUntil([&] { return Checked(GetDlgItem(confirm, kMethodItem0 + 1)); }, kStepTimeout));
  EXPECT_TRUE(focus_becomes(confirm, kMethodItem0 + 1));
  PressKey(VK_TAB);
  ASSERT_TRUE(focus_becomes(confirm, kVerifyCheck));
  PressKey(VK_SPACE);
  ASSERT_TRUE(WaitUntil([&] { return Checked(GetDlgItem(confirm, kVerifyCheck)); }, kStepTimeout));
  // Enter on a check box is the default button's: the start.
  PressKey(VK_RETURN);
  ASSERT_TRUE(Gone(confirm, kStepTimeout));
  HWND progress = WaitForForm(pid(), L"TConditionsOnDlg", kStepTimeout);
  ASSERT_NE(progress, nullptr);

  // Opened on the cancel button, which shows its focus: the black frame
  // and the dots every second pixel inside it.
  HWND cancel = GetDlgItem(progress, kProgressCancel);
  ASSERT_TRUE(focus_becomes(progress, kProgressCancel));
  std::optional<Image> face;
  EXPECT_TRUE(WaitUntil([&] {
    RECT client;
    GetClientRect(cancel, &client);
    face = CaptureClient(cancel, client);
    return face && face->At(0, 0) == RGB(0, 0, 0) && face->At(74, 24) == RGB(0, 0, 0) &&
           face->At(3, 3) == RGB(0, 0, 0) && face->At(5, 3) == RGB(0, 0, 0) &&
           face->At(3, 20) == RGB(0, 0, 0) && face->At(4, 3) != RGB(0, 0, 0) &&
           face->At(70, 5) == RGB(0, 0, 0);
  }, kStepTimeout)) << "the cancel button's focus look";
  SaveScreenshot(progress, "erase-progress-cancel-focused");

  PressKey(VK_TAB);
  ASSERT_TRUE(focus_becomes(progress, kSettingsButton));
  PressKey(VK_SPACE);
  HWND settings = WaitForForm(pid(), L"TExitDlg", kStepTimeout);
  ASSERT_NE(settings, nullptr);
  ASSERT_TRUE(focus_becomes(settings, kExitOk));
  PressKey(VK_TAB, true);
  ASSERT_TRUE(focus_becomes(settings, kForceBox));
  // Back into the modes at the checked one, "なし".
  PressKey(VK_TAB, true);
  ASSERT_TRUE(focus_becomes(settings, kModeItem0 + 4));
  PressKey(VK_UP);
  EXPECT_TRUE(WaitUntil([&] { return Checked(GetDlgItem(settings, kModeItem0 + 3)); }, kStepTimeout));
  PressKey(VK_ESCAPE);
  ASSERT_TRUE(Gone(settings, kStepTimeout));
  EXPECT_EQ(TextOf(GetDlgItem(progress, kShutdownLine)), "") << "no mode chosen";
  // The keyboard goes on where it was.
  ASSERT_TRUE(focus_becomes(progress, kSettingsButton));

  PressKey(VK_ESCAPE);
  ASSERT_TRUE(Gone(progress, 30s));
  Answer(pid(), "確認", "途中で中断されました。", IDYES);
  EXPECT_TRUE(WaitUntil([&] { return RowBackground("G:") == kInterruptedPink; }, kStepTimeout));
  EXPECT_EQ(machine_.Stick().substr(0, 11), "plexi scrub");
}

TEST_F(EraseTest, LostWritesFailTheVerificationAndNothingIsRecorded) {
  HWND progress = StartErase(OpenConfirmation("K:"), {0, true, true});
  ASSERT_NE(progress, nullptr);
  ASSERT_TRUE(Gone(progress, kEraseTimeout));
  HWND box = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] {
        box = FindTopWindow(L"#32770", pid());
        return box != nullptr && IsWindowVisible(box);
      },
      kStepTimeout));
  EXPECT_NE(DialogText(box).find("照合の結果、未消去個所が見つかりました。"), std::string::npos)
      << DialogText(box);
  PressDialogButton(box, IDOK);
  EXPECT_TRUE(Gone(box, kStepTimeout));
  EXPECT_EQ(MethodColumn("K:"), "") << "a failed erase leaves the row";
}

RECT PlaceIn(HWND parent, HWND child) {
  RECT place{};
  GetWindowRect(child, &place);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&place), 2);
  return place;
}

bool Overlap(const RECT& a, const RECT& b) {
  RECT both;
  return IntersectRect(&both, &a, &b) != FALSE;
}

// The mode's field and the sector view's fields share the toolbar: the
// mode moves right of them while the view is open, and back after.
void EraseTest::ExpectModeBesideTheSectorView(HWND status) {
  constexpr int kSectorNumber = 405, kTextCheckBox = 406;
  const HWND window = program_->window();
  const RECT closed_place = PlaceIn(window, status);
  program_->PressRow(RowOf("G:"), 200);
  ASSERT_TRUE(WaitUntil([&] { return program_->Enabled(kDumpButton); }, kStepTimeout));
  program_->ClickButton(kDumpButton);
  const HWND number = GetDlgItem(window, kSectorNumber), check_box = GetDlgItem(window, kTextCheckBox);
  ASSERT_TRUE(WaitUntil([&] {
    return IsWindowVisible(number) && IsWindowVisible(check_box) && IsWindowVisible(status) &&
           PlaceIn(window, status).left != closed_place.left;
  }, kStepTimeout));
  const RECT mode = PlaceIn(window, status);
  EXPECT_FALSE(Overlap(mode, PlaceIn(window, number)));
  // Right of the check box and of the "Text" the band writes beside it.
  EXPECT_GE(mode.left, PlaceIn(window, check_box).right + 30);
  RECT client;
  GetClientRect(window, &client);
  EXPECT_LE(mode.right, client.right - 52) << "left of the maker's mark";
  program_->Screenshot("sector-view-with-shutdown-mode");

  program_->ClickButton(kDumpButton);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(program_->list()) && !IsWindowVisible(number); },
                        kStepTimeout));
  const RECT back = PlaceIn(window, status);
  EXPECT_EQ(back.left, closed_place.left);
  EXPECT_EQ(back.top, closed_place.top);
}

// The action chosen during the erase: its dialog, the line in the progress
// dialog and StaticText2, the countdown, and the power-off recorded with
// the force flag. Chosen, it also makes the next erase unattended: its
// write failure goes to the error log, and that countdown is cancelled.
TEST_F(EraseTest, ShutdownChosenDuringTheEraseCountsDownAndPowersOff) {
  HWND progress = StartErase(OpenConfirmation("G:"), {2, true, true});
  ASSERT_NE(progress, nullptr);
  // The settings button shows the toolbar's power image: blue on the face.
  HWND settings_button = GetDlgItem(progress, kSettingsButton);
  EXPECT_TRUE(WaitUntil([&] {
    const std::optional<Image> shot = CaptureClient(settings_button, RECT{0, 0, 23, 22});
    if (!shot) return false;
    for (int y = 0; y < 22; ++y)
      for (int x = 0; x < 23; ++x)
        if (GetBValue(shot->At(x, y)) > 150 && GetRValue(shot->At(x, y)) < 100) return true;
    return false;
  }, kStepTimeout)) << "no power image on the settings button";
  PostClick(settings_button, 5, 5);
  HWND settings = WaitForForm(pid(), L"TExitDlg", kStepTimeout);
  ASSERT_NE(settings, nullptr);
  EXPECT_EQ(TextOf(settings), "Windows 終了設定");
  EXPECT_TRUE(Checked(GetDlgItem(settings, kModeItem0 + 4))) << "none chosen yet";
  PostMessageW(GetDlgItem(settings, kModeItem0 + 1), BM_CLICK, 0, 0);
  PostMessageW(GetDlgItem(settings, kForceBox), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitUntil([&] { return Checked(GetDlgItem(settings, kForceBox)); }, kStepTimeout));
  SaveScreenshot(settings, "shutdown-settings");
  PostClick(GetDlgItem(settings, kExitOk), 10, 10);
  EXPECT_TRUE(Gone(settings, kStepTimeout));
  EXPECT_TRUE(WaitUntil(
      [&] { return TextOf(GetDlgItem(progress, kShutdownLine)) == "Windows終了設定 ： シャットダウン"; },
      kStepTimeout));
  HWND status = FindChild(program_->window(), L"TStaticText");
  ASSERT_NE(status, nullptr);
  EXPECT_TRUE(IsWindowVisible(status));
  EXPECT_EQ(TextOf(status), "シャットダウン");
  SaveScreenshot(progress, "erase-progress-with-shutdown");
  ASSERT_TRUE(Gone(progress, kEraseTimeout));

  HWND countdown = WaitForForm(pid(), L"TShutDownMsgDlg", kStepTimeout);
  ASSERT_NE(countdown, nullptr);
  EXPECT_EQ(TextOf(countdown), "プレキシスクラブ [ シャットダウン ] 確認");
  EXPECT_NE(TextOf(GetDlgItem(countdown, 401)).find("15秒後に、シャットダウンを実行します。"), std::string::npos);
  // The picture once the red bar has grown a little.
  EXPECT_TRUE(WaitUntil([&] {
    const std::optional<Image> shot = CaptureClient(countdown, RECT{0, 0, 313, 117});
    return shot && GetRValue(shot->At(40, 67)) > 2 * GetGValue(shot->At(40, 67));
  }, kStepTimeout));
  SaveScreenshot(countdown, "shutdown-countdown");
  EXPECT_EQ(machine_.PowerLog(), "") << "nothing before the 15 seconds";
  // Nobody answers: after 15 ticks the power-off, forced for hung
  // applications (8 | 0x10), planned (SHTDN_REASON_FLAG_PLANNED).
  ASSERT_TRUE(Gone(countdown, 30s));
  EXPECT_TRUE(WaitUntil([&] { return machine_.PowerLog().find("ExitWindowsEx") != std::string::npos; }, kStepTimeout));
  EXPECT_NE(machine_.PowerLog().find("ExitWindowsEx(flags=24, reason=2147483648)"), std::string::npos)
      << machine_.PowerLog();
  ExpectErasedWithRecord(machine_.Stick(), 2);
  const std::string calls = machine_.PowerLog();
  EXPECT_TRUE(IsWindowVisible(status)) << "the mode stays after the action";
  program_->Screenshot("erase-shutdown-mode-on-toolbar");
  ExpectModeBesideTheSectorView(status);

  // Still set: the failing stick's erase reports to the log, not a box.
  // (The write fails at once: the progress dialog may be gone before it is seen.)
  HWND confirm = OpenConfirmation("L:");
  ASSERT_NE(confirm, nullptr);
  Type(GetDlgItem(confirm, kConfirmWordEdit), L"del");
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(confirm, IDOK)) != FALSE; }, kStepTimeout));
  PostMessageW(GetDlgItem(confirm, IDOK), BM_CLICK, 0, 0);
  countdown = WaitForForm(pid(), L"TShutDownMsgDlg", kEraseTimeout);
  ASSERT_NE(countdown, nullptr);
  EXPECT_EQ(FindTopWindow(L"#32770", pid()), nullptr) << "no message box";
  PostMessageW(GetDlgItem(countdown, kCountdownCancel), BM_CLICK, 0, 0);
  ASSERT_TRUE(Gone(countdown, kStepTimeout));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(status); }, kStepTimeout)) << "mode back to none";
  EXPECT_EQ(machine_.PowerLog(), calls) << "the cancelled countdown called nothing more";
  // The error log is kept in memory and written when the program ends.
  EXPECT_EQ(program_->Close(), std::optional<DWORD>(0));
  program_.reset();
  EXPECT_NE(machine_.ErrorLog().find("Failing Stick"), std::string::npos) << machine_.ErrorLog();
}

}  // namespace
}  // namespace plexi::gui
