#include "report/report_window_win.h"

#include <commctrl.h>

#include "platform/win/shell_open_win.h"
#include "platform/win/utf.h"
#include "shell/shell_commands.h"
#include "window/form_win.h"

namespace plexi::report {

namespace {

constexpr int kListWidth = 640;
constexpr int kListHeight = 260;
constexpr int kMargin = 8;
constexpr int kButtonWidth = 110;
constexpr int kButtonHeight = 25;
constexpr int kModalOk = 1;
constexpr int kModalCancel = 2;

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

std::string TextOf(HWND edit) {
  const int length = GetWindowTextLengthW(edit);
  std::wstring text(size_t(length) + 1, L'\0');
  text.resize(size_t(GetWindowTextW(edit, text.data(), length + 1)));
  return win::WideToUtf8(text);
}

}  // namespace

ReportListDlg::ReportListDlg(const win::FormResources& resources, std::vector<ReportSummary> reports,
                             std::string folder)
    : resources_(resources), reports_(std::move(reports)), folder_(std::move(folder)) {}

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
  AddChild(L"STATIC", folder_, WS_VISIBLE | SS_PATHELLIPSIS | SS_NOPREFIX, kMargin, kMargin, kListWidth, 16,
           kFolderText);
  HWND list = AddChild(WC_LISTVIEWW, "", WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                       kMargin, kMargin + 18, kListWidth, kListHeight, kList, nullptr, WS_EX_CLIENTEDGE);
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  for (int k = 0; k < int(std::size(kColumns)); ++k) {
    std::wstring title = win::Utf8ToWide(kColumns[k].title);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = Px(kColumns[k].width);
    column.pszText = title.data();
    SendMessageW(list, LVM_INSERTCOLUMNW, WPARAM(k), reinterpret_cast<LPARAM>(&column));
  }
  const int buttons_top = kMargin * 2 + 18 + kListHeight;
  AddChild(L"BUTTON", "開く", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, kMargin, buttons_top, kButtonWidth,
           kButtonHeight, kOpenButton);
  AddChild(L"BUTTON", "フォルダーを開く", WS_VISIBLE | WS_TABSTOP, kMargin * 2 + kButtonWidth, buttons_top,
           kButtonWidth, kButtonHeight, kFolderButton);
  AddChild(L"BUTTON", "閉じる", WS_VISIBLE | WS_TABSTOP, kMargin + kListWidth - kButtonWidth, buttons_top,
           kButtonWidth, kButtonHeight, kCloseButton);
  Fill();
  return true;
}

// Newest first: the report just written is the one looked for.
void ReportListDlg::Fill() {
  HWND list = Child(kList);
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
  EnableWindow(Child(kOpenButton), row > 0);
}

void ReportListDlg::OpenSelected() {
  const int row = int(SendMessageW(Child(kList), LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
  if (row < 0 || row >= int(reports_.size())) return;
  const ReportSummary& chosen = reports_[reports_.size() - 1 - size_t(row)];
  const std::string page = JoinPath(folder_, chosen.file.substr(0, chosen.file.size() - 5) + ".html");
  win::RunShellCommand(hwnd(), {"open", page, "", platform::kShowNormal});
}

void ReportListDlg::Run() {
  if (!Create()) return;
  static_cast<void>(win::ShowModal(hwnd(), Child(kList)));
}

LRESULT ReportListDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case IDOK:
        case kOpenButton: OpenSelected(); return 0;
        case kFolderButton: win::RunShellCommand(hwnd(), OpenFolderCommand(folder_)); return 0;
        case IDCANCEL:
        case kCloseButton: win::SetFormModalResult(hwnd(), kModalCancel); return 0;
        default: break;
      }
      break;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lp);
      if (header->idFrom == UINT_PTR(kList) && header->code == NM_DBLCLK) {
        OpenSelected();
        return 0;
      }
      break;
    }
    default:
      break;
  }
  return DialogForm::OnMessage(msg, wp, lp);
}

OperatorDlg::OperatorDlg(const win::FormResources& resources) : resources_(resources) {}

OperatorDlg::~OperatorDlg() { DestroyForm(); }

bool OperatorDlg::Create() {
  face_ = resources_.face;
  win::FormSpec desc;
  desc.class_name = kClassName;
  desc.caption = "作業者の設定";
  desc.client_width = 360;
  desc.client_height = 132;
  desc.owner = resources_.owner;
  desc.centre_on = resources_.owner;
  if (!CreateForm(desc)) return false;
  AddChild(L"STATIC", "消去報告書に記載する作業者と組織", WS_VISIBLE | SS_NOPREFIX, 8, 8, 344, 16);
  AddChild(L"STATIC", "作業者", WS_VISIBLE | SS_NOPREFIX, 8, 37, 60, 16);
  AddChild(L"EDIT", "", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 72, 34, 280, 22, kOperatorEdit, nullptr,
           WS_EX_CLIENTEDGE);
  AddChild(L"STATIC", "組織", WS_VISIBLE | SS_NOPREFIX, 8, 67, 60, 16);
  AddChild(L"EDIT", "", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 72, 64, 280, 22, kOrganisationEdit, nullptr,
           WS_EX_CLIENTEDGE);
  AddChild(L"BUTTON", "OK", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 196, 99, 75, 25, kOkButton);
  AddChild(L"BUTTON", "キャンセル", WS_VISIBLE | WS_TABSTOP, 277, 99, 75, 25, kCancelButton);
  return true;
}

std::optional<OperatorNames> OperatorDlg::Run(const OperatorNames& current) {
  if (!Create()) return std::nullopt;
  win::SetText(Child(kOperatorEdit), current.operator_name);
  win::SetText(Child(kOrganisationEdit), current.organisation);
  if (win::ShowModal(hwnd(), Child(kOperatorEdit)) != kModalOk) return std::nullopt;
  return OperatorNames{TextOf(Child(kOperatorEdit)), TextOf(Child(kOrganisationEdit))};
}

LRESULT OperatorDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == DM_GETDEFID) return MAKELRESULT(kOkButton, DC_HASDEFID);
  if (msg == WM_COMMAND) {
    switch (LOWORD(wp)) {
      case IDOK:
      case kOkButton: win::SetFormModalResult(hwnd(), kModalOk); return 0;
      case IDCANCEL:
      case kCancelButton: win::SetFormModalResult(hwnd(), kModalCancel); return 0;
      default: break;
    }
  }
  return DialogForm::OnMessage(msg, wp, lp);
}

}  // namespace plexi::report
