#include "app/drive_view_dlg_win.h"

#include <commctrl.h>

#include "app/ui_font_win.h"
#include "platform/win/utf.h"

namespace plexi::app {

const wchar_t kMainWindowClass[] = L"TDriveViewDlg";

namespace {

constexpr int kWidth = 730;
constexpr int kHeight = 409;
constexpr int kMinHeight = 230;
constexpr int kMaxHeight = 600;
constexpr int kFontHeight = 12;
constexpr wchar_t kFontFace[] = L"ＭＳ Ｐゴシック";

struct Column {
  const wchar_t* heading;
  int width;  // 0: whatever the others leave
  int format;
};
constexpr Column kColumns[] = {
    {L"製品名", 0, LVCFMT_LEFT},
    {L"タイプ", 50, LVCFMT_LEFT},
    {L"ドライブ文字", 100, LVCFMT_LEFT},
    {L"容量", 80, LVCFMT_RIGHT},
    {L"消去方式", 80, LVCFMT_LEFT},
};

int FixedColumnsWidth() {
  int total = 0;
  for (const Column& column : kColumns) total += column.width;
  return total;
}

RECT CentredOnScreen(int width, int height) {
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  return {x, y, x + width, y + height};
}

void SetItemText(HWND list, int item, int sub_item, const std::string& text) {
  std::wstring wide = win::Utf8ToWide(text);
  LVITEMW entry{};
  entry.iSubItem = sub_item;
  entry.pszText = wide.data();
  SendMessageW(list, LVM_SETITEMTEXTW, WPARAM(item), reinterpret_cast<LPARAM>(&entry));
}

}  // namespace

TDriveViewDlg::TDriveViewDlg(HINSTANCE instance, platform::Machine& machine,
                             platform::Settings& settings, platform::FileStore& files)
    : instance_(instance),
      machine_(machine),
      settings_(settings),
      files_(files),
      discovery_(machine, notifier_) {}

TDriveViewDlg::~TDriveViewDlg() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

bool TDriveViewDlg::RegisterWindowClass(HINSTANCE instance) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = instance;
  window_class.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  window_class.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kMainWindowClass;
  return RegisterClassExW(&window_class) != 0;
}

bool TDriveViewDlg::Create() {
  // Caption, system menu and minimise box; the height can change, the
  // width cannot (see WM_GETMINMAXINFO), and there is no maximise.
  constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_THICKFRAME |
                           WS_CLIPCHILDREN;
  const RECT frame = CentredOnScreen(kWidth, kHeight);
  CreateWindowExW(0, kMainWindowClass, kAppTitle, kStyle, frame.left, frame.top, kWidth, kHeight,
                  nullptr, nullptr, instance_, this);
  if (hwnd_ == nullptr) return false;
  SpeedButton3Click();
  return true;
}

void TDriveViewDlg::Show(int show_command) {
  ShowWindow(hwnd_, show_command);
  UpdateWindow(hwnd_);
}

LRESULT CALLBACK TDriveViewDlg::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<TDriveViewDlg*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<TDriveViewDlg*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    self->list_ = nullptr;
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  return self->WndProc(message, wparam, lparam);
}

LRESULT TDriveViewDlg::WndProc(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      FormCreate();
      return 0;
    case WM_SIZE:
      LayoutControls();
      return 0;
    case WM_GETMINMAXINFO: {
      auto* limits = reinterpret_cast<MINMAXINFO*>(lparam);
      limits->ptMinTrackSize = {kWidth, kMinHeight};
      limits->ptMaxTrackSize = {kWidth, kMaxHeight};
      return 0;
    }
    case WM_QUERYENDSESSION:
      return 1;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd_, message, wparam, lparam);
  }
}

void TDriveViewDlg::FormCreate() {
  notifier_.SetOwner(hwnd_);
  font_ = MakeUiFont(kFontFace, kFontHeight);
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  CreateListView();
}

void TDriveViewDlg::CreateListView() {
  constexpr DWORD kStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL |
                           LVS_SHOWSELALWAYS;
  list_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", kStyle, 0, 0, 0, 0, hwnd_, nullptr,
                          instance_, nullptr);
  if (list_ == nullptr) return;
  SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
               LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  for (int i = 0; i < int(std::size(kColumns)); ++i) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    column.fmt = kColumns[i].format;
    column.cx = kColumns[i].width;
    column.pszText = const_cast<wchar_t*>(kColumns[i].heading);
    column.iSubItem = i;
    SendMessageW(list_, LVM_INSERTCOLUMNW, WPARAM(i), reinterpret_cast<LPARAM>(&column));
  }
}

// The list fills the client area; the product column takes the width the
// fixed columns leave.
void TDriveViewDlg::LayoutControls() {
  if (list_ == nullptr) return;
  RECT client;
  GetClientRect(hwnd_, &client);
  MoveWindow(list_, 0, 0, client.right, client.bottom, TRUE);
  RECT list_client;
  GetClientRect(list_, &list_client);
  const int remaining = list_client.right - FixedColumnsWidth();
  SendMessageW(list_, LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(remaining > 40 ? remaining : 40, 0));
}

void TDriveViewDlg::SpeedButton3Click() {
  rows_ = discovery_.Refresh(view_);
  FillList();
}

void TDriveViewDlg::FillList() {
  if (list_ == nullptr) return;
  SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
  for (int i = 0; i < int(rows_.size()); ++i) AddRow(i, rows_[size_t(i)]);
  SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  LayoutControls();  // a vertical scroll bar may have come or gone
  InvalidateRect(list_, nullptr, TRUE);
}

void TDriveViewDlg::AddRow(int index, const DriveRow& row) {
  std::wstring caption = win::Utf8ToWide(row.caption);
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = index;
  item.pszText = caption.data();
  item.lParam = index;  // the row in rows_
  const int at = int(SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  if (at < 0) return;
  SetItemText(list_, at, 1, row.bus_type);
  SetItemText(list_, at, 2, row.letters);
  SetItemText(list_, at, 3, row.size_text);
  SetItemText(list_, at, 4, row.method_text);
}

}  // namespace plexi::app
