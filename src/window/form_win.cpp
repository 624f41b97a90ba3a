#include "window/form_win.h"

#include <cwchar>

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

bool IsButtonClass(HWND window) {
  wchar_t name[16] = {};
  return GetClassNameW(window, name, 16) > 0 && _wcsicmp(name, L"Button") == 0;
}

LONG ButtonType(HWND button) { return GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK; }

// A radio group is entered at its checked button, as in a dialog.
HWND CheckedRadioOfGroup(HWND form, HWND radio) {
  if (!IsButtonClass(radio) || ButtonType(radio) != BS_AUTORADIOBUTTON) return radio;
  if (SendMessageW(radio, BM_GETCHECK, 0, 0) == BST_CHECKED) return radio;
  HWND item = radio;
  do {
    if (IsButtonClass(item) && ButtonType(item) == BS_AUTORADIOBUTTON && IsWindowVisible(item) &&
        IsWindowEnabled(item) && SendMessageW(item, BM_GETCHECK, 0, 0) == BST_CHECKED)
      return item;
    item = GetNextDlgGroupItem(form, item, FALSE);
  } while (item && item != radio);
  return radio;
}

// Enter on a focused push button presses that button, as in a dialog,
// where the focused push button is the default one.
bool PressFocusedButton(HWND form, const MSG& msg) {
  if (msg.message != WM_KEYDOWN || msg.wParam != VK_RETURN) return false;
  HWND focus = GetFocus();
  if (!focus || !IsChild(form, focus) || !IsButtonClass(focus) || !IsWindowEnabled(focus))
    return false;
  const LONG type = ButtonType(focus);
  if (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON && type != BS_OWNERDRAW) return false;
  SendMessageW(GetParent(focus), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(focus), BN_CLICKED),
               reinterpret_cast<LPARAM>(focus));
  return true;
}

}  // namespace

void ShowFocusCues(HWND window) {
  SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
}

bool MoveFocusOnTab(HWND window, const MSG& msg) {
  if (msg.message != WM_KEYDOWN || msg.wParam != VK_TAB || !window) return false;
  if (msg.hwnd != window && !IsChild(window, msg.hwnd)) return false;
  if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) return false;
  HWND focus = GetFocus();
  if (focus == window) focus = nullptr;
  // Asked without the message: a multi-line edit told that it sits in a
  // dialog would close its window on Escape.
  if (focus && (SendMessageW(focus, WM_GETDLGCODE, VK_TAB, 0) & DLGC_WANTTAB)) return false;
  const bool back = GetKeyState(VK_SHIFT) < 0;
  HWND next = GetNextDlgTabItem(window, focus, back ? TRUE : FALSE);
  if (next) next = CheckedRadioOfGroup(window, next);
  ShowFocusCues(window);
  if (!next || next == focus) return true;
  SetFocus(next);
  const LONG_PTR style = GetWindowLongPtrW(next, GWL_STYLE);
  if ((SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) && !(style & ES_MULTILINE))
    SendMessageW(next, EM_SETSEL, 0, -1);
  return true;
}

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
  if (MoveFocusOnTab(form, msg)) return true;
  if (msg.hwnd != form && !IsChild(form, msg.hwnd)) return false;
  if (PressFocusedButton(form, msg)) return true;
  if (OfferToButtons(form, msg)) return true;
  return IsDialogMessageW(form, &msg) != FALSE;
}

int RunMainWindowLoop(HWND main) {
  for (;;) {
    MSG msg;
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) return got == 0 ? static_cast<int>(msg.wParam) : 1;
    if (MoveFocusOnTab(main, msg) || PressFocusedButton(main, msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
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
  // Taken before the owner is disabled, which drops the focus.
  HWND owner_focus = GetFocus();
  if (owner) EnableWindow(owner, FALSE);
  ShowWindow(form, SW_SHOW);
  SetForegroundWindow(form);
  if (run.focus) {
    SetFocus(run.focus);
    // The control the form opens on shows that it has the focus.
    ShowFocusCues(form);
  }
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
    // The keyboard goes on where it was before the form came.
    if (owner_focus && IsChild(owner, owner_focus) && IsWindowVisible(owner_focus) &&
        IsWindowEnabled(owner_focus))
      SetFocus(owner_focus);
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
