#include "report/report_window_win.h"

#include <commctrl.h>
#include <commdlg.h>

#include "platform/win/shell_open_win.h"
#include "platform/win/utf.h"
#include "report/report_export.h"
#include "shell/shell_commands.h"
#include "window/form_win.h"

namespace plexi::report {

namespace {

constexpr int kListWidth = 640;
constexpr int kListHeight = 260;
constexpr int kMargin = 8;
constexpr int kButtonWidth = 110;
constexpr int kButtonHeight = 25;

struct Column {
  const char* title;
  int width;
};
constexpr Column kColumns[] = {
    {"日時", 130}, {"ドライブ", 180}, {"シリアル番号", 130}, {"消去方式", 90}, {"結果", 105}};

std::string DateWords(const std::string& iso) {
  if (iso.size() != 19) return iso;
  std::string t = iso;
  t[4] = t[7] = '/';
  t[10] = ' ';
  return t;
}

void SetItem(HWND list, int row, int column, const std::string& text) {
  std::wstring wide = win::Utf8ToWide(text);
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.iSubItem = column;
  item.pszText = wide.data();
  if (column == 0)
    SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  else
    SendMessageW(list, LVM_SETITEMTEXTW, WPARAM(row), reinterpret_cast<LPARAM>(&item));
}

// The CSV file to write, from the Save As dialog: nothing when cancelled.
// (Microsoft Learn: GetSaveFileNameW, OPENFILENAMEW: OFN_OVERWRITEPROMPT
// asks before an existing file is replaced.)
std::optional<std::string> AskCsvPath(HWND owner) {
  wchar_t path[MAX_PATH] = L"plexiscrub-reports.csv";
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = L"CSV (*.csv)\0*.csv\0\0";
  ofn.lpstrFile = path;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrDefExt = L"csv";
  ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
  if (!GetSaveFileNameW(&ofn)) return std::nullopt;
  return win::WideToUtf8(path);
}

}  // namespace

ReportListDlg::ReportListDlg(const win::FormResources& resources, platform::FileStore& files,
                             std::vector<std::string> folders)
    : resources_(resources), files_(files), reports_(ListReports(files, folders)), folders_(std::move(folders)),
      folder_(folders_.empty() ? std::string() : folders_.front()) {}

ReportListDlg::~ReportListDlg() { DestroyForm(); }

bool ReportListDlg::Create() {
  face_ = resources_.face;
  win::FormSpec desc;
  desc.class_name = kClassName;
  desc.caption = "消去報告書";
  desc.client_width = kListWidth + 2 * kMargin;
  desc.client_height = kListHeight + 3 * kMargin + kButtonHeight + 18;
  desc.owner = resources_.owner;
  desc.centre_on = resources_.owner;
  if (!CreateForm(desc)) return false;
  folder_text_.Create({.parent = hwnd(), .id = kFolderText, .bounds = Place(kMargin, kMargin, kListWidth, 16),
                       .text = folder_, .style = SS_PATHELLIPSIS});
  CreateList();
  CreateButtons();
  Fill();
  return true;
}

// A double click opens the row's page, as 「開く」 does.
void ReportListDlg::CreateList() {
  list_.Create(hwnd(), {WC_LISTVIEWW, L"", WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                        WS_EX_CLIENTEDGE, Place(kMargin, kMargin + 18, kListWidth, kListHeight), kList});
  list_.HookNotifications([this](UINT message, WPARAM, LPARAM lparam) -> std::optional<LRESULT> {
    if (message != WM_NOTIFY || reinterpret_cast<const NMHDR*>(lparam)->code != NM_DBLCLK) return std::nullopt;
    OpenSelected();
    return 0;
  });
  HWND list = list_.hwnd();
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  for (int k = 0; k < int(std::size(kColumns)); ++k) {
    std::wstring title = win::Utf8ToWide(kColumns[k].title);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = Px(kColumns[k].width);
    column.pszText = title.data();
    SendMessageW(list, LVM_INSERTCOLUMNW, WPARAM(k), reinterpret_cast<LPARAM>(&column));
  }
}

void ReportListDlg::CreateButtons() {
  const int top = kMargin * 2 + 18 + kListHeight;
  open_.Create({.parent = hwnd(), .id = kOpenButton, .bounds = Place(kMargin, top, kButtonWidth, kButtonHeight),
                .text = "開く", .style = BS_DEFPUSHBUTTON});
  open_.on_click = [this] { OpenSelected(); };
  open_folder_.Create({.parent = hwnd(), .id = kFolderButton,
                       .bounds = Place(kMargin * 2 + kButtonWidth, top, kButtonWidth, kButtonHeight),
                       .text = "フォルダーを開く"});
  open_folder_.on_click = [this] { win::RunShellCommand(hwnd(), OpenFolderCommand(folder_)); };
  export_.Create({.parent = hwnd(), .id = kExportButton,
                  .bounds = Place(kMargin * 3 + kButtonWidth * 2, top, kButtonWidth + 20, kButtonHeight),
                  .text = "CSVに書き出す..."});
  export_.on_click = [this] { ExportCsv(); };
  close_.Create({.parent = hwnd(), .id = kCloseButton,
                 .bounds = Place(kMargin + kListWidth - kButtonWidth, top, kButtonWidth, kButtonHeight),
                 .text = "閉じる"});
  close_.on_click = [this] { OnCancel(); };
}

// Newest first: the report just written is the one looked for.
void ReportListDlg::Fill() {
  HWND list = list_.hwnd();
  int row = 0;
  for (auto it = reports_.rbegin(); it != reports_.rend(); ++it, ++row) {
    SetItem(list, row, 0, DateWords(it->start));
    SetItem(list, row, 1, it->drive);
    SetItem(list, row, 2, it->serial);
    SetItem(list, row, 3, it->method);
    SetItem(list, row, 4, OutcomeWords(it->outcome) + (it->unchanged ? "" : "（改変あり）"));
  }
  if (row > 0) {
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
  }
  open_.SetEnabled(row > 0);
}

void ReportListDlg::OpenSelected() {
  const int row = int(SendMessageW(list_.hwnd(), LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
  if (row < 0 || row >= int(reports_.size())) return;
  const ReportSummary& chosen = reports_[reports_.size() - 1 - size_t(row)];
  const std::string page = JoinPath(chosen.folder, chosen.file.substr(0, chosen.file.size() - 5) + ".html");
  win::RunShellCommand(hwnd(), {"open", page, "", platform::kShowNormal});
}

// The file is chosen in the system's Save As dialog and written whole or
// not at all; a failure is said with the system's words.
void ReportListDlg::ExportCsv() {
  std::optional<std::string> path = AskCsvPath(hwnd());
  if (!path) return;
  platform::Result<> written = files_.Replace(*path, ReportsCsv(ReadFolderReports(files_, folders_)));
  if (!written.ok()) {
    const std::wstring text = win::Utf8ToWide("CSVファイルを書き込めませんでした。\n" + *path + "\nエラー " +
                                              std::to_string(written.error()));
    MessageBoxW(hwnd(), text.c_str(), L"消去報告書", MB_OK | MB_ICONERROR);
  }
}

void ReportListDlg::Run() {
  if (!Create()) return;
  static_cast<void>(win::ShowModal(hwnd(), list_.hwnd()));
}

// Enter not taken by a button opens the selected report.
LRESULT ReportListDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_COMMAND && LOWORD(wp) == IDOK) {
    OpenSelected();
    return 0;
  }
  return DialogForm::OnMessage(msg, wp, lp);
}

}  // namespace plexi::report
