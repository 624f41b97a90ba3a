// Dialog behaviour for windows made of our own controls: the modal result a
// colour button hands to its form, showing a form modally, and the message
// filter that gives Enter and Escape to the Default and Cancel buttons and
// Tab to the tab order.
#pragma once
#include <windows.h>

#include <functional>
#include <optional>

#include "platform/win/app_messages.h"

namespace plexi::win {

// A colour button takes Enter or Escape offered by its form (returns 1
// when it did).
constexpr UINT kCmDialogKey = plexi::win::kMsgDialogKey;

// The form is the top-level window that holds `control`.
HWND FormOf(HWND control);
void SetFormModalResult(HWND form, int result);
int FormModalResult(HWND form);

// What a modal loop does when the program is asked to end (WM_QUIT) while
// it runs: end at once, or go on until `done` holds. Either way the quit is
// passed on to the outer loop when the form is put away.
enum class QuitPolicy { kEndNow, kRunUntilDone };

struct ModalRun {
  HWND focus = nullptr;         // the control that gets the focus
  std::function<bool()> done;   // checked before each message
  QuitPolicy on_quit = QuitPolicy::kEndNow;
  std::function<void()> quit_seen;  // runs when the quit arrives
};

// Shows `form` with its owner disabled and runs messages until `run.done`
// holds, the form is destroyed or the quit ends it; then enables and
// activates the owner and hides the form. True when `done` ended it.
bool ShowModal(HWND form, const ModalRun& run);

// The same for forms that finish by setting a modal result: runs until one
// other than 0 is set, and returns it; a destroyed form or a quit counts as
// cancel (2).
int ShowModal(HWND form, HWND active_control = nullptr);

// Waits for and runs one message of a loop that holds `form`; the exit code
// when it was the program's quit (which the caller passes on).
std::optional<int> RunOneMessage(HWND form);

// The program's message loop: runs until the quit and returns its exit
// code (1 when the system fails to give a message). With `form`, Enter,
// Escape and Tab go to that form's controls first.
int RunMessageLoop(HWND form = nullptr);

// The main window's loop: Tab and Shift+Tab move between its controls,
// Enter presses a focused push button (Space does by itself), every other
// key stays with the focused control (the list's arrows, the menus, the
// memo's paging).
int RunMainWindowLoop(HWND main);

// For the message loop of any window holding our controls: true when the
// message was used (do not translate and dispatch it).
bool PreTranslateFormMessage(HWND form, MSG& msg);

// Tab and Shift+Tab in `window`: the focus goes to the next or previous
// tab stop (into WS_EX_CONTROLPARENT children too), to the checked button
// of a radio group, with a single-line edit's text selected, and focus
// marks are shown from then on. False when the message is not such a key
// or the focused control takes Tab itself.
bool MoveFocusOnTab(HWND window, const MSG& msg);

// Makes the focus marks of `window` and its controls visible (they may be
// hidden until the keyboard is used).
void ShowFocusCues(HWND window);

}  // namespace plexi::win
