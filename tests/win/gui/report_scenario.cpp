// Erase reports in the program: the people and the report folder set in
// the operator settings, an erase that asks for the drive's asset number
// and files its report in that folder, named in the status bar, and the
// list of past reports from the window menu with its CSV export.
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
  kReportList = 501, kReportClose = 504, kReportExport = 506,
  kOperatorEdit = 601, kOrganisationEdit = 602, kValidatorEdit = 611, kDestinationList = 622,
  kAskAssetCheck = 623, kReportFolderEdit = 624, kOperatorOk = 631,
  kAssetEdit = 651, kAssetOk = 653,
  kSaveAsFileCombo = 1148, kSaveAsFileEdit = 1152,  // cmb13, edt1 of the Save As dialog
  kSigningKeyButton = 633, kKeyState = 641, kKeyFingerprint = 642, kKeyCreate = 644, kKeyClose = 645,
};

void SetText(HWND form, int id, const std::wstring& text) {
  SendMessageW(GetDlgItem(form, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// The Save As dialog the program opened over `owner`.
HWND WaitForSaveAs(HWND owner) {
  struct Search {
    HWND owner;
    HWND found;
  } search{owner, nullptr};
  WaitUntil([&] {
    EnumWindows([](HWND w, LPARAM p) -> BOOL {
      auto& s = *reinterpret_cast<Search*>(p);
      wchar_t name[16] = {};
      GetClassNameW(w, name, 16);
      if (std::wstring(name) == L"#32770" && GetWindow(w, GW_OWNER) == s.owner && IsWindowVisible(w)) s.found = w;
      return TRUE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr;
  }, kStepTimeout);
  return search.found;
}

// Types the file name into the Save As dialog and saves.
void SaveAs(HWND dialog, const std::wstring& path) {
  HWND name = GetDlgItem(dialog, kSaveAsFileEdit);
  if (!name) name = GetDlgItem(dialog, kSaveAsFileCombo);
  SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

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
  // The report folder the operator settings name: another than the
  // program's own.
  std::wstring Reports() const { return machine_.files_folder() + L"share\\reports\\"; }

  ScenarioMachine machine_;
  std::unique_ptr<RunningProgram> program_;
};

TEST_F(ReportScenario, TheOperatorTheErasesReportAndTheListOfReports) {
  // 作業者の設定: kept in the settings like the program's other values.
  PostMessageW(program_->window(), WM_SYSCOMMAND, kOperatorCommand, 0);
  HWND names = WaitForForm(pid(), L"TOperatorDlg", kStepTimeout);
  ASSERT_NE(names, nullptr);

  // 署名鍵: made in the simulated machine's files folder, shown by its fingerprint.
  PostMessageW(GetDlgItem(names, kSigningKeyButton), BM_CLICK, 0, 0);
  HWND key_form = WaitForForm(pid(), L"TSigningKeyDlg", kStepTimeout);
  ASSERT_NE(key_form, nullptr);
  auto fingerprint = [&] {
    wchar_t text[128] = {};  // an edit of another process answers WM_GETTEXT, not GetWindowTextW
    SendMessageW(GetDlgItem(key_form, kKeyFingerprint), WM_GETTEXT, 128, reinterpret_cast<LPARAM>(text));
    return Utf8(text);
  };
  EXPECT_EQ(fingerprint(), "");
  PostMessageW(GetDlgItem(key_form, kKeyCreate), BM_CLICK, 0, 0);
  auto state = [&] {
    wchar_t text[256] = {};
    GetWindowTextW(GetDlgItem(key_form, kKeyState), text, 256);
    return Utf8(text);
  };
  ASSERT_TRUE(WaitFor("the key's fingerprint", [&] { return fingerprint().size() == 71; }, kStepTimeout, state));
  const std::string key = fingerprint();
  EXPECT_EQ(key.rfind("SHA256:", 0), 0u);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(key_form, kKeyCreate)));
  EXPECT_NE(GetFileAttributesW((machine_.files_folder() + L"signing-key.private").c_str()), INVALID_FILE_ATTRIBUTES);
  SaveScreenshot(key_form, "signing-key");
  PostMessageW(GetDlgItem(key_form, kKeyClose), BM_CLICK, 0, 0);
  ASSERT_TRUE(Gone(key_form));

  SetText(names, kOperatorEdit, L"山田 太郎");
  SetText(names, kOrganisationEdit, L"総務部");
  SetText(names, kValidatorEdit, L"佐藤 花子");
  SetText(names, kReportFolderEdit, Reports().substr(0, Reports().size() - 1));
  SendMessageW(GetDlgItem(names, kDestinationList), CB_SETCURSEL, 3, 0);  // 破壊
  SendMessageW(GetDlgItem(names, kAskAssetCheck), BM_SETCHECK, BST_CHECKED, 0);
  SaveScreenshot(names, "operator-settings");
  PostMessageW(GetDlgItem(names, kOperatorOk), BM_CLICK, 0, 0);
  ASSERT_TRUE(Gone(names));
  EXPECT_TRUE(WaitFor("the operator in the settings", [&] {
    return ScenarioMachine::ReadText(machine_.settings_file()).find("山田 太郎") != std::string::npos;
  }));

  // An erase of G: with zeros: the asset number is asked after the first
  // question, before the confirmation.
  const std::optional<int> row = program_->RowOf("G:");
  ASSERT_TRUE(row);
  program_->PressRow(*row, 100);
  ASSERT_TRUE(WaitUntil([&] { return program_->Enabled(kEraseButton); }, kStepTimeout));
  program_->ClickButton(kEraseButton);
  HWND question = WaitForDialog(pid(), "データの消去確認", kStepTimeout);
  ASSERT_NE(question, nullptr);
  PressDialogButton(question, IDOK);
  HWND asset = WaitForForm(pid(), L"TAssetDlg", kStepTimeout);
  ASSERT_NE(asset, nullptr);
  SetText(asset, kAssetEdit, L"PC-0042");
  SaveScreenshot(asset, "asset-number");
  PostMessageW(GetDlgItem(asset, kAssetOk), BM_CLICK, 0, 0);
  ASSERT_TRUE(Gone(asset));
  HWND confirm = WaitForForm(pid(), L"TDriveDelInfoDlg", kStepTimeout);
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
  EXPECT_NE(facts.find("\"asset_number\": \"PC-0042\""), std::string::npos);
  EXPECT_NE(facts.find("\"destination\": \"destruction\""), std::string::npos);
  EXPECT_NE(facts.find("\"name\": \"佐藤 花子\""), std::string::npos);
  EXPECT_NE(facts.find("\"type\": \"USB removable media\""), std::string::npos);
  EXPECT_NE(facts.find("\"first_sector_record\": \"completion\""), std::string::npos);
  // Signed by that key: the command-line tool verifies it.
  EXPECT_NE(facts.find("\"fingerprint\": \"" + key + "\""), std::string::npos) << facts;
  const std::optional<std::string> checked = CliOutput(L"report check \"" + Reports() + json + L"\"");
  if (checked) {
    // In Japanese, as Wine passes LANG on.
    EXPECT_NE(checked->find("署名: 有効、署名した鍵 " + key), std::string::npos) << *checked;
  }

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

  // 「CSVに書き出す...」: the file chosen in the Save As dialog, with a byte
  // order mark for Excel.
  const std::wstring csv = machine_.files_folder() + L"reports.csv";
  PostMessageW(GetDlgItem(list_form, kReportExport), BM_CLICK, 0, 0);
  HWND save_as = WaitForSaveAs(list_form);
  ASSERT_NE(save_as, nullptr);
  SaveAs(save_as, csv);
  std::string table;
  EXPECT_TRUE(WaitFor("the CSV file", [&] {
    table = ScenarioMachine::ReadText(csv);
    return table.find("PC-0042") != std::string::npos;
  }));
  EXPECT_EQ(table.rfind("\xEF\xBB\xBF" "date,asset,serial,model,capacity,method,outcome,category,signer,check\r\n", 0), 0u)
      << table;
  EXPECT_NE(table.find(",PC-0042,RS-0042,Kioxia Report Stick,10485760,ゼロ(0x00),completed,Clear,"), std::string::npos)
      << table;
  PostMessageW(GetDlgItem(list_form, kReportClose), BM_CLICK, 0, 0);
  EXPECT_TRUE(Gone(list_form));
}

}  // namespace
}  // namespace plexi::gui
