#include "controls/form_win.h"

#include "controls/color_button.h"

namespace plexi::win {
namespace {

constexpr wchar_t kModalResultProp[] = L"PlexiscrubModalResult";
constexpr int kCancelResult = controls::msCancel;

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

int ShowModal(HWND form, HWND active_control) {
  HWND owner = GetWindow(form, GW_OWNER);
  if (owner) EnableWindow(owner, FALSE);
  SetFormModalResult(form, 0);
  ShowWindow(form, SW_SHOW);
  SetForegroundWindow(form);
  if (active_control) SetFocus(active_control);
  int result = 0;
  MSG msg;
  while (IsWindow(form) && (result = FormModalResult(form)) == 0) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));  // for the outer loop
      result = kCancelResult;
      break;
    }
    if (!PreTranslateFormMessage(form, msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  if (!IsWindow(form)) result = kCancelResult;
  if (owner) {
    EnableWindow(owner, TRUE);
    SetActiveWindow(owner);
  }
  if (IsWindow(form)) {
    ShowWindow(form, SW_HIDE);
    RemovePropW(form, kModalResultProp);
  }
  return result;
}

}  // namespace plexi::win
