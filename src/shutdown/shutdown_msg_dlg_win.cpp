#include "shutdown/shutdown_msg_dlg_win.h"

#include "window/ui_font_win.h"

#include "controls/color_button.h"
#include "window/form_win.h"
#include "platform/win/gdi_scope.h"
#include "platform/win/utf.h"

namespace plexi {
namespace {

constexpr int kClientWidth = 313;
constexpr int kClientHeight = 117;
constexpr UINT_PTR kCountdownTimer = 1;  // Timer1
constexpr UINT kTickMs = 1000;
constexpr controls::Color kSilver = 0xC0C0C0;
constexpr controls::Color kRed = 0x0000FF;

}  // namespace

TShutDownMsgDlg::TShutDownMsgDlg(const win::FormResources& resources)
    : resources_(resources) {}

TShutDownMsgDlg::~TShutDownMsgDlg() { DestroyForm(); }

bool TShutDownMsgDlg::Create() {
  if (hwnd()) return true;
  face_ = resources_.face;
  win::FormSpec desc;
  desc.class_name = kClassName;
  desc.client_width = kClientWidth;
  desc.client_height = kClientHeight;
  desc.style = WS_POPUP | WS_CAPTION;  // no system menu, no close box
  desc.ex_style = WS_EX_DLGMODALFRAME | WS_EX_TOPMOST;
  desc.owner = nullptr;  // the desktop's
  if (!CreateForm(desc)) return false;

  // CancelBtn first in the tab order: it has the focus when shown.
  cancel_.Create({.parent = hwnd(), .id = kCancelButton, .bounds = Place(164, 84, 75, 25), .text = "キャンセル"});
  cancel_.on_click = [this] { win::SetFormModalResult(hwnd(), controls::msCancel); };
  run_.Create({.parent = hwnd(), .id = kRunNowButton, .bounds = Place(76, 84, 75, 25), .text = "実行"});
  run_.on_click = [this] { win::SetFormModalResult(hwnd(), controls::msOk); };
  AddHint(run_.hwnd(), "即実行");
  AddHint(cancel_.hwnd(), "中止");
  label_font_ = win::FontForBox(face_, Px(13), 3, Px(45));
  label_.Create({.parent = hwnd(), .id = kCountdownLabel, .bounds = Place(32, 10, 249, 45),
                 .font = label_font_.get()});

  bar_.Place(hwnd(), Px(RECT{32, 60, 32 + 249, 60 + 14}), dpi());
  controls::TColorProgressBar& bar = bar_.bar();
  bar.SetMax(CountdownModel::kSeconds);
  bar.SetBoxColor(kSilver);
  bar.SetLineColor(kSilver);
  bar.SetBarColor(kRed);
  bar.SetBarStyle(controls::btGradetion);
  bar.SetFlat(true);
  return true;
}

bool TShutDownMsgDlg::Run(const std::string& caption, const std::string& mode_name) {
  if (!Create()) return false;
  SetCaption(caption);
  mode_name_ = mode_name;
  FormShow();
  // Modal over the whole program, though owned by the desktop.
  HWND main = resources_.owner;
  if (main) EnableWindow(main, FALSE);
  const int result = win::ShowModal(hwnd(), cancel_.hwnd());
  FormClose();
  if (main) {
    EnableWindow(main, TRUE);
    SetActiveWindow(main);
  }
  return result != controls::msCancel;
}

void TShutDownMsgDlg::FormShow() {
  SetTimer(hwnd(), kCountdownTimer, kTickMs, nullptr);
  bar_.bar().SetMax(CountdownModel::kSeconds);
  bar_.bar().SetPosition(0);
  countdown_.Start();
  // Characters 13 pixels high; a stand-in face with more room between
  // lines is made just small enough for the three lines to show.
  const std::string text = CountdownModel::LabelText(mode_name_);
  label_font_ = win::FontForText(face_, Px(13), win::Utf8ToWide(text), {Px(249), Px(45)});
  label_.SetFont(label_font_.get());
  label_.SetMultilineText(text);
}

void TShutDownMsgDlg::Timer1Timer() {
  const bool time_is_up = countdown_.Tick();
  bar_.bar().StepBy(1);
  if (time_is_up) win::SetFormModalResult(hwnd(), controls::msOk);
}

void TShutDownMsgDlg::FormClose() { KillTimer(hwnd(), kCountdownTimer); }

void TShutDownMsgDlg::OnPaint(HDC dc) {
  bar_.ExcludeFrom(dc);
  RECT client;
  GetClientRect(hwnd(), &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  SelectClipRgn(dc, nullptr);
  bar_.PaintOn(dc);
}

LRESULT TShutDownMsgDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_TIMER:
      if (wp == kCountdownTimer) Timer1Timer();
      return 0;
    case DM_GETDEFID:
      return MAKELRESULT(kCancelButton, DC_HASDEFID);
    case WM_COMMAND:
      // IDOK, from the system or posted, runs it now as 実行 does.
      if (LOWORD(wp) == IDOK) {
        win::SetFormModalResult(hwnd(), controls::msOk);
        return 0;
      }
      break;
    case WM_CLOSE:
      return 0;  // no close box: Alt+F4 does not pick an answer
    default:
      break;
  }
  return DialogForm::OnMessage(msg, wp, lp);
}

}  // namespace plexi
