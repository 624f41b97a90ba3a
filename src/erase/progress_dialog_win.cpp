#include "erase/progress_dialog_win.h"

#include "window/form_win.h"
#include "platform/win/app_messages.h"
#include "platform/win/gdi_scope.h"
#include "platform/win/utf.h"

namespace plexi {
namespace {

constexpr int kClientWidth = 499;
constexpr int kClientHeight = 167;
constexpr int kLineHeight = 16;  // the design's 12 clips the stand-in face's characters
constexpr UINT kFormShow = win::kMsgFormShown;

RECT Bounds(int x, int y, int w, int h) { return {x, y, x + w, y + h}; }

}  // namespace

TConditionsOnDlg::TConditionsOnDlg(const win::FormResources& resources, Hooks hooks)
    : resources_(resources), hooks_(std::move(hooks)) {}

TConditionsOnDlg::~TConditionsOnDlg() { DestroyForm(); }

bool TConditionsOnDlg::Create(const ProgressRequest& request) {
  face_ = resources_.face;
  win::FormSpec desc;
  desc.class_name = kClassName;
  desc.caption = "処理状況の表示";
  desc.client_width = kClientWidth;
  desc.client_height = kClientHeight;
  desc.style = WS_POPUP | WS_CAPTION;  // no close box
  desc.owner = resources_.owner;
  if (!CreateForm(desc)) return false;
  static_brush_.reset(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));

  CreateLines();
  bar1_.Place(hwnd(), Px(Bounds(19, 29, 462, 21)), dpi());
  bar2_.Place(hwnd(), Px(Bounds(19, 52, 462, 10)), dpi());
  StyleWriteBar(bar1_.bar(), 32);
  StyleVerifyBar(bar2_.bar(), 32);
  bar2_.bar().SetPosition(0);
  bar2_.SetVisible(request.show_verify_bar);

  const int button_left = kClientWidth / 2 - 75 / 2;
  button1_.Create({hwnd(), kCancelButton, Px(Bounds(button_left, 135, 75, 25))}, "ColorButton1");
  button1_.button().SetCaption("キャンセル");
  button1_.button().SetCancel(true);
  button1_.button().SetModalResult(controls::msCancel);
  button1_.button().SetFont({.face = win::WideToUtf8(resources_.face), .height = -12,
                             .color = controls::SystemColor(controls::kColorBtnText)});
  button1_.button().OnClick = [this] { ColorButton1Click(); };

  settings_.Create({.parent = hwnd(), .id = kSettingsButton, .bounds = Place(304, 137, 23, 22),
                    .visible = bool(hooks_.select_shutdown_mode)},
                   resources_.images, kPowerImage);
  settings_.on_click = [this] { SpeedButton1Click(); };
  AddHint(settings_.hwnd(), "Windowsの終了設定");
  return true;
}

void TConditionsOnDlg::CreateLines() {
  drive_line_.Create({.parent = hwnd(), .id = kDriveLine, .bounds = Place(16, 8, kClientWidth - 20, kLineHeight)});
  shutdown_text_.Create(
      {.parent = hwnd(), .id = kShutdownLine, .bounds = Place(16, 72, kClientWidth - 20, kLineHeight)});
  pass_line_.Create({.parent = hwnd(), .id = kPassLine, .bounds = Place(16, 88, kClientWidth - 20, kLineHeight)});
  estimate_line_.Create(
      {.parent = hwnd(), .id = kEstimateLine, .bounds = Place(16, 113, kClientWidth - 32, kLineHeight)});
}

WorkerReport TConditionsOnDlg::Run(const ProgressRequest& request, const WorkerFactory& make_worker) {
  // The worker's GUI steps need the dispatcher's window: without it no
  // worker is started, and the erase ends as one that wrote nothing.
  dispatcher_ = std::make_unique<WindowDispatcher>();
  if (!dispatcher_->Ready()) {
    WorkerReport never_ran;
    never_ran.error_code = dispatcher_->CreationError();
    return never_ran;
  }
  if (!Create(request)) return WorkerReport{};
  SetCaption(request.caption);
  SetDriveLine(request.first_line);
  bar1_.bar().SetMax(request.bar_maximum);
  bar2_.bar().SetMax(request.bar_maximum);
  make_worker_ = &make_worker;
  PostMessageW(hwnd(), kFormShow, 0, 0);
  return ModalLoop();
}

// The dialog's life is the worker's: messages run until the worker's end
// step has run, so a cancel waits there with the dialog still showing.
WorkerReport TConditionsOnDlg::ModalLoop() {
  win::ModalRun run;
  run.focus = button1_.hwnd();
  // Until FormShow has started the worker, and then until it has ended.
  run.done = [this] { return run_.Started() && run_.Ended(); };
  // The program is asked to end: stop the worker; the quit is passed on
  // once it has ended.
  run.on_quit = win::QuitPolicy::kRunUntilDone;
  run.quit_seen = [this] {
    if (hooks_.cancel) *hooks_.cancel = true;
    if (!run_.Started()) FormShow();
  };
  static_cast<void>(win::ShowModal(hwnd(), run));
  // Normally the end step has run and only the join is left; should the
  // dialog have gone first, messages run until the worker's end.
  std::optional<int> quit;
  WorkerReport outcome = run_.WaitForEnd([&] {
    if (std::optional<int> asked = win::RunOneMessage(hwnd())) {
      quit = asked;
      if (hooks_.cancel) *hooks_.cancel = true;
    }
  });
  if (quit) PostQuitMessage(*quit);
  return outcome;
}

// The bars from zero, their looks for the screen, and the worker.
void TConditionsOnDlg::FormShow() {
  if (run_.Started() || !make_worker_) return;
  bar1_.bar().SetPosition(0);
  bar2_.bar().SetPosition(0);
  StyleWriteBar(bar1_.bar(), resources_.colour_depth);
  StyleVerifyBar(bar2_.bar(), resources_.colour_depth);
  HWND self = hwnd();
  run_.Start(*make_worker_, *this, *dispatcher_, [self] {
    // Wakes the loop, which then sees the end.
    PostMessageW(self, WM_NULL, 0, 0);
  });
}

void TConditionsOnDlg::ColorButton1Click() {
  if (hooks_.cancel) *hooks_.cancel = true;
  button1_.SetEnabled(false);
}

// The end-of-erase action chosen during the erase; the worker holds still
// meanwhile.
void TConditionsOnDlg::SpeedButton1Click() {
  if (!hooks_.select_shutdown_mode) return;
  if (hooks_.pause) hooks_.pause->Pause();
  const std::string name = hooks_.select_shutdown_mode(hwnd());
  SetShutdownLine(ShutdownLineText(name));
  if (hooks_.pause) hooks_.pause->Resume();
}

void TConditionsOnDlg::SetDriveLine(const std::string& text) { drive_line_.SetText(text); }

void TConditionsOnDlg::SetShutdownLine(const std::string& text) {
  if (shutdown_line_.Update(text)) shutdown_text_.SetText(text);
}

void TConditionsOnDlg::SetPassLine(const std::string& text) { pass_line_.SetText(text); }

void TConditionsOnDlg::SetWriteMaximum(uint64_t max) { bar1_.bar().SetMax(max); }

void TConditionsOnDlg::SetWritePosition(uint64_t position) { bar1_.bar().SetPosition(position); }

void TConditionsOnDlg::SetVerifyPosition(uint64_t position) { bar2_.bar().SetPosition(position); }

void TConditionsOnDlg::SetEstimateText(const std::string& text) { estimate_line_.SetText(text); }

void TConditionsOnDlg::OnPaint(HDC dc) {
  bar1_.ExcludeFrom(dc);
  bar2_.ExcludeFrom(dc);
  RECT client;
  GetClientRect(hwnd(), &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  SelectClipRgn(dc, nullptr);
  bar1_.PaintOn(dc);
  bar2_.PaintOn(dc);
}

LRESULT TConditionsOnDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case kFormShow:
      FormShow();
      return 0;
    case WM_CTLCOLORSTATIC:
      SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
      return reinterpret_cast<LRESULT>(static_brush_.get());
    default:
      break;
  }
  return DialogForm::OnMessage(msg, wp, lp);
}

}  // namespace plexi
