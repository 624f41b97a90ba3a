#include "erase/purge_dlg_win.h"

#include <commctrl.h>

#include <algorithm>
#include <exception>

#include "platform/win/app_messages.h"
#include "platform/win/utf.h"
#include "window/form_win.h"

namespace plexi {
namespace {

constexpr int kClientWidth = 499;
constexpr int kClientHeight = 110;
// Room for the stand-in face's characters, which need more than the 12 of the design.
constexpr int kLineHeight = 18;
constexpr int kProgressScale = 65536;
constexpr UINT kMarqueeStepMs = 30;
constexpr char kCommandPrefix[] = "実行中のコマンド： ";

}  // namespace

void TPurgeDlg::PostingView::SetPurgeProgress(std::optional<uint32_t> progress) {
  PostMessageW(dialog_, win::kMsgPurgeProgress, progress ? 1 : 0, progress ? LPARAM(*progress) : 0);
}

TPurgeDlg::TPurgeDlg(const win::FormResources& resources) : resources_(resources) {}

TPurgeDlg::~TPurgeDlg() {
  if (worker_.joinable()) worker_.join();
  DestroyForm();
}

bool TPurgeDlg::Create(const PurgeRequest& request) {
  face_ = resources_.face;
  win::FormSpec desc;
  desc.class_name = kClassName;
  desc.caption = request.caption;
  desc.client_width = kClientWidth;
  desc.client_height = kClientHeight;
  desc.style = WS_POPUP | WS_CAPTION;  // no close box
  desc.owner = resources_.owner;
  if (!CreateForm(desc)) return false;
  const int width = kClientWidth - 20;
  drive_line_.Create({.parent = hwnd(), .id = kDriveLine, .bounds = Place(16, 8, width, kLineHeight),
                      .text = request.first_line});
  note_line_.Create({.parent = hwnd(), .id = kNoteLine, .bounds = Place(16, 30, width, kLineHeight),
                     .text = request.note});
  command_line_.Create({.parent = hwnd(), .id = kCommandLine, .bounds = Place(16, 52, width, kLineHeight),
                        .text = kCommandPrefix + request.command});
  progress_bar_.Create(hwnd(), {PROGRESS_CLASSW, L"", WS_VISIBLE | PBS_SMOOTH, 0, Place(19, 79, 462, 21),
                                kProgressBar});
  SendMessageW(progress_bar_.hwnd(), PBM_SETRANGE32, 0, kProgressScale);
  ShowProgress(std::nullopt);
  return true;
}

PurgeRun TPurgeDlg::Run(const PurgeRequest& request, const PurgeTask& task) {
  if (!Create(request)) {
    // No window: the command is still carried out, only without its dialog.
    struct SilentView : PurgeView {
      void SetPurgeProgress(std::optional<uint32_t>) override {}
    } view;
    return task(view);
  }
  HWND self = hwnd();
  worker_ = std::thread([this, self, &task] {
    PostingView view(self);
    try {
      result_ = task(view);
    } catch (const std::exception&) {
      // Whether the drive took the command is not known: its contents may
      // be gone, so this counts as a failure after the command, not before.
      result_ = PurgeRun{};
      result_.accepted = true;
      result_.error_text = purge_text::kFailed;
    }
    ended_ = true;
    PostMessageW(self, win::kMsgPurgeEnded, 0, 0);  // wakes the loop, which then sees the end
  });
  win::ModalRun modal;
  modal.done = [this] { return ended_.load(); };
  // A quit (the session ends, the program is told to close) waits for the
  // drive; the loop passes it on afterwards.
  modal.on_quit = win::QuitPolicy::kRunUntilDone;
  static_cast<void>(win::ShowModal(self, modal));
  // Should the window have gone early, the worker's end is still awaited.
  worker_.join();
  return result_;
}

void TPurgeDlg::ShowProgress(std::optional<uint32_t> progress) {
  HWND bar = progress_bar_.hwnd();
  const bool marquee = !progress.has_value();
  if (marquee != marquee_) {
    const LONG_PTR style = GetWindowLongPtrW(bar, GWL_STYLE);
    SetWindowLongPtrW(bar, GWL_STYLE, marquee ? style | PBS_MARQUEE : style & ~LONG_PTR(PBS_MARQUEE));
    SendMessageW(bar, PBM_SETMARQUEE, marquee ? TRUE : FALSE, kMarqueeStepMs);
    marquee_ = marquee;
  }
  if (progress) SendMessageW(bar, PBM_SETPOS, WPARAM(std::min<uint32_t>(*progress, kProgressScale)), 0);
}

LRESULT TPurgeDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case win::kMsgPurgeProgress:
      ShowProgress(wp != 0 ? std::optional<uint32_t>(uint32_t(lp)) : std::nullopt);
      return 0;
    case win::kMsgPurgeEnded:
      return 0;
    case WM_CLOSE:
      return 0;  // Alt+F4 too: the purge cannot be stopped
    default:
      break;
  }
  return DialogForm::OnMessage(msg, wp, lp);
}

}  // namespace plexi
