// Dialog behaviour for windows made of our own controls: the modal result a
// colour button hands to its form, showing a form modally, and the message
// filter that gives Enter and Escape to the Default and Cancel buttons and
// Tab to the tab order.
#pragma once
#include <windows.h>

#include "platform/win/app_messages.h"

namespace plexi::win {

// A colour button takes Enter or Escape offered by its form (returns 1
// when it did).
constexpr UINT kCmDialogKey = plexi::win::kMsgDialogKey;

// The form is the top-level window that holds `control`.
HWND FormOf(HWND control);
void SetFormModalResult(HWND form, int result);
int FormModalResult(HWND form);

// Shows `form` with its owner disabled, gives `active_control` the focus
// and runs messages until a modal result other than 0 is set; a destroyed
// form counts as cancel (2). The form is hidden, not destroyed, when this
// returns.
int ShowModal(HWND form, HWND active_control = nullptr);

// For the message loop of any window holding our controls: true when the
// message was used (do not translate and dispatch it).
bool PreTranslateFormMessage(HWND form, MSG& msg);

}  // namespace plexi::win
