#include "erase/confirm_dialog_win.h"
#include "record/erase_method.h"

#include <shellapi.h>

#include "controls/color_button.h"
#include "window/form_win.h"
#include "drives/drive_types.h"
#include "erase/erase_dialogs.h"
#include "erase/purge_panel.h"
#include "window/ui_font_win.h"
#include "platform/win/gdi_scope.h"
#include "platform/win/shell_link_win.h"
#include "platform/win/utf.h"

namespace plexi {
namespace {

using win::SetFormModalResult;

// The firmware purge's frame sits below the other methods' frame; the
// buttons move down by its height, everything else keeps its place.
constexpr int kPurgeHeight = 181;
constexpr int kClientWidth = 398;
constexpr int kClientHeight = 405 + kPurgeHeight;
constexpr int kPanelHeight = 361 + kPurgeHeight;
constexpr int kButtonTop = 373 + kPurgeHeight;
constexpr UINT_PTR kAccessLampTimer = 1;  // Timer1
constexpr UINT kBlinkIntervalMs = 1000;
constexpr RECT kBevel1{8, 254, 8 + 385, 254 + 99};
constexpr RECT kBevel2{8, 358, 8 + 385, 358 + 176};
constexpr RECT kPurgeNoteBox{38, 382, 38 + 347, 382 + 54};
constexpr RECT kPurgeFactsBox{38, 440, 38 + 347, 440 + 90};
constexpr int kPurgeMethod = 3;
constexpr COLORREF kWarningRed = RGB(255, 0, 0);

}  // namespace

TDriveDelInfoDlg::TDriveDelInfoDlg(const win::FormResources& resources,
                                   platform::Device* drive, uint32_t bytes_per_sector)
    : resources_(resources), drive_(drive), bytes_per_sector_(bytes_per_sector) {
  if (drive_ && bytes_per_sector_ > 0)
    blink_buffer_ = std::make_unique<AlignedBuffer>(bytes_per_sector_);
}

TDriveDelInfoDlg::~TDriveDelInfoDlg() {
  if (hwnd() && timer_on_) KillTimer(hwnd(), kAccessLampTimer);
  DestroyForm();
}

bool TDriveDelInfoDlg::Create() {
  face_ = resources_.face;
  win::FormSpec desc;
  desc.class_name = kClassName;
  desc.client_width = kClientWidth;
  desc.client_height = kClientHeight;
  desc.owner = resources_.owner;
  if (!CreateForm(desc)) return false;
  edit_font_ = FormFont(16, true);
  CreateControls();
  if (blink_buffer_) {
    SetTimer(hwnd(), kAccessLampTimer, kBlinkIntervalMs, nullptr);
    timer_on_ = true;
  }
  return true;
}

void TDriveDelInfoDlg::CreateControls() {
  AddChild(L"STATIC", "", WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 8, 8, 383, 209, 100);
  AddChild(L"EDIT", "", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 24, 222, 73, 23, kConfirmWordEdit,
           edit_font_.get(), WS_EX_CLIENTEDGE);
  AddChild(L"STATIC", "※消去後は、復元できません。", WS_VISIBLE | SS_LEFT, 118, 227, 200, 14, 102);

  // RadioGroup1: a frame with the three methods in three columns, their
  // names from the same table as the list's method column.
  AddChild(L"BUTTON", "消去方式", WS_VISIBLE | BS_GROUPBOX, 14, 259, 373, 40, kMethodGroup);
  const int column = (373 - 16) / 3;
  for (int method = 0; method < 3; ++method) {
    DWORD style = WS_VISIBLE | BS_AUTORADIOBUTTON | (method == 0 ? WS_GROUP | WS_TABSTOP : 0);
    AddChild(L"BUTTON", EraseMethodText(method, MethodTextForm::kLong), style,
             14 + 8 + method * column, 277, column - 4, 16, kMethodItem0 + method);
  }
  // The firmware purge in its own frame below, but made right after the
  // other three so that it is one radio group with them (arrow keys move
  // through all four, Tab stops once).
  AddChild(L"BUTTON", EraseMethodText(kPurgeMethod, MethodTextForm::kLong), WS_VISIBLE | BS_AUTORADIOBUTTON, 22,
           364, 160, 16, kMethodItem0 + kPurgeMethod);
  const DWORD note = WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
  AddChild(L"STATIC", "", note, kPurgeNoteBox.left, kPurgeNoteBox.top, kPurgeNoteBox.right - kPurgeNoteBox.left,
           kPurgeNoteBox.bottom - kPurgeNoteBox.top, kPurgeNote);
  AddChild(L"STATIC", "", note, kPurgeFactsBox.left, kPurgeFactsBox.top,
           kPurgeFactsBox.right - kPurgeFactsBox.left, kPurgeFactsBox.bottom - kPurgeFactsBox.top, kPurgeFacts);
  AddChild(L"BUTTON", "データの消去を確認する", WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_AUTOCHECKBOX,
           17, 306, 220, 17, kVerifyCheck);
  AddChild(L"BUTTON", "消去履歴をドライブに保存する", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 17,
           327, 220, 17, kHistoryCheck);
  SendMessageW(Child(kHistoryCheck), BM_SETCHECK, BST_CHECKED, 0);

  AddChild(L"BUTTON", "消去開始", WS_VISIBLE | WS_TABSTOP | WS_DISABLED | BS_DEFPUSHBUTTON, 117, kButtonTop,
           75, 25, IDOK);
  AddChild(L"BUTTON", "キャンセル", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 197, kButtonTop, 75, 25,
           IDCANCEL);
  AddGlyphButton({283, kButtonTop + 1, 283 + 25, kButtonTop + 1 + 22}, kHelpButton, resources_.images, 0, "Help");
}

ConfirmChoice TDriveDelInfoDlg::Run(const ConfirmRequest& request) {
  if (!Create()) return ReadConfirmChoice(request, false, false, true, MethodCode(request.method));
  SetCaption(request.caption);
  // Characters 15 pixels high; a stand-in face with more room between
  // lines is made just small enough for the whole text to show.
  text_font_ = win::FontForText(face_, Px(15), win::Utf8ToWide(request.text), {Px(383), Px(209)});
  SendMessageW(Child(100), WM_SETFONT, reinterpret_cast<WPARAM>(text_font_.get()), FALSE);
  win::SetMultilineText(Child(100), request.text);
  const int preset = MethodCode(request.method);
  CheckRadioButton(hwnd(), kMethodItem0, kMethodItem0 + kPurgeMethod, kMethodItem0 + preset);
  for (int id = kMethodGroup; id <= kMethodItem0 + 2; ++id)
    EnableWindow(Child(id), request.method_enabled ? TRUE : FALSE);
  ShowPurge(request);
  if (request.verify_preset) SendMessageW(Child(kVerifyCheck), BM_SETCHECK, BST_CHECKED, 0);

  const int result = win::ShowModal(hwnd(), Child(kConfirmWordEdit));
  // FormClose: the lamp stops with the dialog.
  if (timer_on_) KillTimer(hwnd(), kAccessLampTimer);
  timer_on_ = false;
  return ReadConfirmChoice(request, result == controls::msOk, Checked(kVerifyCheck),
                           Checked(kHistoryCheck), SelectedMethod());
}

// The purge's radio is enabled only where the drive can purge now; beside
// it either why not, or the warning that it cannot be interrupted (red),
// and under that what the drive said it can do. Each text gets the largest
// characters up to 12 pixels at which all of it fits its box.
void TDriveDelInfoDlg::ShowPurge(const ConfirmRequest& request) {
  const bool offered = request.method_enabled && request.purge_offered;
  EnableWindow(Child(kMethodItem0 + kPurgeMethod), offered ? TRUE : FALSE);
  const PurgePanelText panel = PurgePanelOf(request);
  warning_shown_ = !panel.warning.empty();
  const std::string& note = warning_shown_ ? panel.warning : panel.reason;
  auto fill = [this](int id, win::UniqueFont& font, const std::string& text, const RECT& box) {
    font = win::FontForText(face_, Px(12), win::Utf8ToWide(text),
                            {Px(box.right - box.left), Px(box.bottom - box.top)});
    SendMessageW(Child(id), WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    win::SetMultilineText(Child(id), text);
  };
  fill(kPurgeNote, note_font_, note, kPurgeNoteBox);
  fill(kPurgeFacts, facts_font_, panel.facts, kPurgeFactsBox);
}

int TDriveDelInfoDlg::SelectedMethod() const {
  for (int method = 0; method <= kPurgeMethod; ++method)
    if (Checked(kMethodItem0 + method)) return method;
  return -1;
}

bool TDriveDelInfoDlg::Checked(int id) const {
  return SendMessageW(Child(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TDriveDelInfoDlg::Edit1Change() {
  wchar_t text[16] = {};
  const int length = GetWindowTextLengthW(Child(kConfirmWordEdit));
  // Anything longer than the word cannot arm the button.
  const bool armed = length == 3 && GetWindowTextW(Child(kConfirmWordEdit), text, 16) == 3 &&
                     ConfirmWordTyped(win::WideToUtf8(text));
  EnableWindow(Child(IDOK), armed ? TRUE : FALSE);
}

void TDriveDelInfoDlg::Timer1Timer() {
  KillTimer(hwnd(), kAccessLampTimer);
  if (drive_ && blink_buffer_) BlinkAccessLamp(*drive_, blink_buffer_->data(), bytes_per_sector_);
  if (timer_on_) SetTimer(hwnd(), kAccessLampTimer, kBlinkIntervalMs, nullptr);
}

void TDriveDelInfoDlg::SpeedButton1Click() {
  if (resources_.help_path.empty()) return;
  win::ScopedComInit com;  // the shell may hand the file to an extension
  ShellExecuteW(hwnd(), L"open", win::Utf8ToWide(resources_.help_path).c_str(), nullptr, nullptr,
                SW_SHOWNORMAL);
}

void TDriveDelInfoDlg::OnPaint(HDC dc) {
  RECT client;
  GetClientRect(hwnd(), &client);
  const RECT panel{0, 0, client.right, Px(kPanelHeight)};
  FillRect(dc, &panel, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  RECT below{0, Px(kPanelHeight), client.right, client.bottom};
  FillRect(dc, &below, GetSysColorBrush(COLOR_BTNFACE));
  RECT bevel = Px(kBevel1);
  DrawEdge(dc, &bevel, EDGE_ETCHED, BF_RECT);
  RECT purge = Px(kBevel2);
  DrawEdge(dc, &purge, EDGE_ETCHED, BF_RECT);
}

LRESULT TDriveDelInfoDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CTLCOLORSTATIC: {
      // Everything on the white panel is white behind; the warnings are red.
      HDC dc = reinterpret_cast<HDC>(wp);
      SetBkColor(dc, RGB(255, 255, 255));
      const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lp));
      const bool red = id == 102 || (id == kPurgeNote && warning_shown_);
      SetTextColor(dc, red ? kWarningRed : GetSysColor(COLOR_WINDOWTEXT));
      return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    }
    case DM_GETDEFID:
      return MAKELRESULT(IDOK, DC_HASDEFID);
    case WM_TIMER:
      if (wp == kAccessLampTimer) Timer1Timer();
      return 0;
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case kConfirmWordEdit:
          if (HIWORD(wp) == EN_CHANGE) Edit1Change();
          return 0;
        case IDOK:
          // Enter reaches here too; only an armed button starts the erase.
          if (IsWindowEnabled(Child(IDOK))) SetFormModalResult(hwnd(), controls::msOk);
          return 0;
        case kHelpButton:
          SpeedButton1Click();
          return 0;
        default:
          break;
      }
      break;
    default:
      break;
  }
  return DialogForm::OnMessage(msg, wp, lp);
}

}  // namespace plexi
