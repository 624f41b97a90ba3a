#include "window/form_win.h"


namespace plexi::win {
namespace {

constexpr wchar_t kModalResultProp[] = L"PlexiscrubModalResult";
// The controls' cancel result (IDCANCEL, as a dialog's).
constexpr int kCancelResult = IDCANCEL;

struct DialogKeyOffer {
  WPARAM key;
  bool taken = false;
};

BOOL CALLBACK OfferDialogKey(HWND child, LPARAM param) {
  auto* offer = reinterpret_cast<DialogKeyOffer*>(param);
  if (SendMessageW(child, kCmDialogKey, offer->key, 0) == 1) {
    offer->taken = true;
    return FALSE;
  }
  return TRUE;
}

// Enter and Escape go to the form's buttons first, unless the focused
// control handles the key itself.
bool OfferToButtons(HWND form, const MSG& msg) {
  if (msg.message != WM_KEYDOWN || (msg.wParam != VK_RETURN && msg.wParam != VK_ESCAPE))
    return false;
  HWND focus = GetFocus();
  if (focus && (focus == form || IsChild(form, focus))) {
    MSG copy = msg;
    const LRESULT code =
        SendMessageW(focus, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&copy));
    if (code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) return false;
  }
  DialogKeyOffer offer{msg.wParam};
  EnumChildWindows(form, OfferDialogKey, reinterpret_cast<LPARAM>(&offer));
  return offer.taken;
}

}  // namespace

HWND FormOf(HWND control) {
  HWND root = GetAncestor(control, GA_ROOT);
  return root ? root : control;
}

void SetFormModalResult(HWND form, int result) {
  SetPropW(form, kModalResultProp, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(result)));
}

int FormModalResult(HWND form) {
  return static_cast<int>(reinterpret_cast<INT_PTR>(GetPropW(form, kModalResultProp)));
}

bool PreTranslateFormMessage(HWND form, MSG& msg) {
  if (!form || !IsWindow(form)) return false;
  if (OfferToButtons(form, msg)) return true;
  return IsDialogMessageW(form, &msg) != FALSE;
}

int RunMessageLoop(HWND form) {
  for (;;) {
    if (std::optional<int> quit = RunOneMessage(form)) return *quit;
  }
}

std::optional<int> RunOneMessage(HWND form) {
  MSG msg;
  const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
  if (got <= 0) return got == 0 ? static_cast<int>(msg.wParam) : 1;
  if (!PreTranslateFormMessage(form, msg)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return std::nullopt;
}

bool ShowModal(HWND form, const ModalRun& run) {
  HWND owner = GetWindow(form, GW_OWNER);
  if (owner) EnableWindow(owner, FALSE);
  ShowWindow(form, SW_SHOW);
  SetForegroundWindow(form);
  if (run.focus) SetFocus(run.focus);
  std::optional<int> quit_code;
  bool done = false;
  while (IsWindow(form) && !(done = run.done())) {
    if (quit_code && run.on_quit == QuitPolicy::kEndNow) break;
    if (std::optional<int> quit = RunOneMessage(form)) {
      quit_code = quit;
      if (run.quit_seen) run.quit_seen();
    }
  }
  if (owner) {
    EnableWindow(owner, TRUE);
    SetActiveWindow(owner);
  }
  if (IsWindow(form)) ShowWindow(form, SW_HIDE);
  if (quit_code) PostQuitMessage(*quit_code);
  return done;
}

int ShowModal(HWND form, HWND active_control) {
  SetFormModalResult(form, 0);
  ModalRun run;
  run.focus = active_control;
  run.done = [form] { return FormModalResult(form) != 0; };
  const bool done = ShowModal(form, run);
  const int result = done ? FormModalResult(form) : kCancelResult;
  if (IsWindow(form)) RemovePropW(form, kModalResultProp);
  return result;
}

}  // namespace plexi::win
