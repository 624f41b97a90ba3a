// Erase reports in the program: the operator set in its dialog, an erase
// that files its report in the machine's files folder and names it in the
// status bar, and the list of past reports from the window menu.
#include <windows.h>

#include <gtest/gtest.h>

#include <commctrl.h>

#include "driver_config.h"
#include "gui_actions.h"
#include "platform/win/utf.h"
#include "scenario_support.h"

namespace plexi::gui {
namespace {

constexpr char kMachine[] = R"(disk 0 sectors=2097152 bus=sata product="System SSD" ata=yes
volume C: disk=0 offset=1M label="Windows"
disk 1 sectors=20480 bus=usb vendor="Kioxia" product="Report Stick" serial="RS-0042" removable=yes media=ssd
volume G: disk=1 offset=1M type=removable label="STICK"
)";

// The window menu's commands and the dialogs' controls.
constexpr WPARAM kReportsCommand = 0x0110, kOperatorCommand = 0x0120;
enum : int {
  kConfirmWordEdit = 101,
  kReportList = 501, kReportClose = 504,
  kOperatorEdit = 601, kOrganisationEdit = 602, kOperatorOk = 603,
};

bool Gone(HWND form, Duration timeout = kStepTimeout) {
  return WaitUntil([&] { return !IsWindow(form) || !IsWindowVisible(form); }, timeout);
}

std::vector<std::wstring> FilesIn(const std::wstring& folder, const std::wstring& pattern) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found{};
  HANDLE find = FindFirstFileW((folder + pattern).c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return names;
  do names.push_back(found.cFileName);
  while (FindNextFileW(find, &found));
  FindClose(find);
  return names;
}

class ReportScenario : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ScenarioMachine::WriteText(machine_.file(), kMachine));
    program_ = RunningProgram::Start(machine_.file());
    ASSERT_TRUE(program_) << "the program did not start";
    ASSERT_TRUE(program_->WaitForRowCount(2, 30s));
    program_->MoveTo(0, 0);
  }
  void TearDown() override {
    if (program_) {
      EXPECT_EQ(program_->Close(), std::optional<DWORD>(0));
    }
  }
  DWORD pid() const { return program_->pid(); }
  std::wstring Reports() const { return machine_.files_folder() + L"reports\\"; }

  ScenarioMachine machine_;
  std::unique_ptr<RunningProgram> program_;
};

TEST_F(ReportScenario, TheOperatorTheErasesReportAndTheListOfReports) {
  // 作業者の設定: kept in the settings like the program's other values.
  PostMessageW(program_->window(), WM_SYSCOMMAND, kOperatorCommand, 0);
  HWND names = WaitForForm(pid(), L"TOperatorDlg", kStepTimeout);
  ASSERT_NE(names, nullptr);
  SendMessageW(GetDlgItem(names, kOperatorEdit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"山田 太郎"));
  SendMessageW(GetDlgItem(names, kOrganisationEdit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"総務部"));
  PostMessageW(GetDlgItem(names, kOperatorOk), BM_CLICK, 0, 0);
  ASSERT_TRUE(Gone(names));
  EXPECT_TRUE(WaitFor("the operator in the settings", [&] {
    return ScenarioMachine::ReadText(machine_.settings_file()).find("山田 太郎") != std::string::npos;
  }));

  // An erase of G: with zeros.
  HWND confirm = program_->OpenEraseConfirmation("G:");
  ASSERT_NE(confirm, nullptr);
  HWND edit = GetDlgItem(confirm, kConfirmWordEdit);
  for (wchar_t c : std::wstring(L"del")) PostMessageW(edit, WM_CHAR, c, 1);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(confirm, IDOK)) != FALSE; }, kStepTimeout));
  PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
  ASSERT_TRUE(Gone(confirm));

  // The report is filed and named in the status bar.
  HWND status = FindWindowExW(program_->window(), nullptr, STATUSCLASSNAMEW, nullptr);
  ASSERT_TRUE(WaitFor("the report in the status bar", [&] {
    const std::optional<std::wstring> text = StatusBarText(status);
    return text && text->find(L"消去報告書を保存しました。") != std::wstring::npos &&
           FilesIn(Reports(), L"*.json").size() == 1 && FilesIn(Reports(), L"*.html").size() == 1;
  }, 60s, [&] { return Utf8(StatusBarText(status).value_or(L"")); }));
  const std::wstring json = FilesIn(Reports(), L"*.json").front();
  EXPECT_EQ(json.find(L"_RS-0042.json"), json.size() - 13) << Utf8(json);
  const std::string facts = ScenarioMachine::ReadText(Reports() + json);
  EXPECT_NE(facts.find("\"outcome\": \"completed\""), std::string::npos) << facts;
  EXPECT_NE(facts.find("\"operator\": \"山田 太郎\""), std::string::npos);
  EXPECT_NE(facts.find("\"organisation\": \"総務部\""), std::string::npos);
  EXPECT_NE(facts.find("\"media\": \"ssd\""), std::string::npos);
  EXPECT_NE(facts.find("\"first_sector_record\": \"completion\""), std::string::npos);

  // 消去報告書: the list of past reports.
  PostMessageW(program_->window(), WM_SYSCOMMAND, kReportsCommand, 0);
  HWND list_form = WaitForForm(pid(), L"TReportListDlg", kStepTimeout);
  ASSERT_NE(list_form, nullptr);
  HWND list = GetDlgItem(list_form, kReportList);
  std::optional<ListViewContent> content;
  ASSERT_TRUE(WaitFor("one report in the list", [&] {
    content = ReadListView(list, 5);
    return content && content->rows.size() == 1 && content->rows[0].size() == 5;
  }));
  const std::vector<std::wstring>& cells = content->rows[0];
  EXPECT_EQ(Utf8(cells[1]), "Kioxia Report Stick");
  EXPECT_EQ(Utf8(cells[2]), "RS-0042");
  EXPECT_EQ(Utf8(cells[3]), "ゼロ(0x00)");
  EXPECT_EQ(Utf8(cells[4]), "消去完了");
  EXPECT_EQ(Utf8(content->headings[0]), "日時");
  SaveScreenshot(list_form, "report-list");
  PostMessageW(GetDlgItem(list_form, kReportClose), BM_CLICK, 0, 0);
  EXPECT_TRUE(Gone(list_form));
}

}  // namespace
}  // namespace plexi::gui
