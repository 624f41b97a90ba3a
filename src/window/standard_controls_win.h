// The system's standard controls as objects of the program, each made from
// an argument struct: a push button with its click, a check box, a radio
// group, an edit with its change, a label, and a control of any other class
// whose messages the program hooks. The window base adopts each of them, so
// that what its parent hears about it (a click, a change, a notification,
// its colours) comes back to it.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win/win_handles.h"
#include "window/window_helpers_win.h"
#include "window/window_win.h"

namespace plexi::win {

// What a standard control is made with.
struct ControlArgs {
  HWND parent = nullptr;
  int id = 0;
  RECT bounds{};  // in the parent's pixels
  std::string text{};
  HFONT font = nullptr;  // null: the parent's (WM_GETFONT, which forms answer)
  // Beyond the kind's own: BS_DEFPUSHBUTTON, WS_GROUP (a check box ending
  // the radio group before it), ES_*, SS_*, WS_BORDER.
  DWORD style = 0;
  bool visible = true;
  bool enabled = true;
};

class StandardControl : public Window {
 public:
  // A control of any class; `control.font` null takes the parent's font.
  bool Create(HWND parent, const ChildControl& control);

  int id() const { return GetDlgCtrlID(hwnd()); }
  void SetText(std::string_view text) const;
  std::string Text() const;
  void SetEnabled(bool enabled) const;
  bool Enabled() const;
  void SetVisible(bool visible) const;
  void SetFont(HFONT font, bool redraw = false) const;
  // The control's own background (and text) colour, whatever its parent
  // would choose.
  void SetBackground(COLORREF background);
  void SetColours(COLORREF text, COLORREF background);

  // The control's own messages before its procedure (keys, the wheel, the
  // cursor), and its parent's notifications about it: an answer ends a
  // message there.
  using Hook = std::function<std::optional<LRESULT>(UINT message, WPARAM wparam, LPARAM lparam)>;
  void HookMessages(Hook hook) { message_hook_ = std::move(hook); }
  void HookNotifications(Hook hook) { notification_hook_ = std::move(hook); }
  // The control's own handling, for a hook that acts after it.
  LRESULT CallDefault(UINT message, WPARAM wparam, LPARAM lparam) { return Default(message, wparam, lparam); }

 protected:
  LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  std::optional<LRESULT> OnReflected(UINT message, WPARAM wparam, LPARAM lparam) override;
  // What a kind of control does with its parent's notifications.
  virtual std::optional<LRESULT> OnNotification(UINT, WPARAM, LPARAM) { return std::nullopt; }
  // A control of `class_name` with the kind's own styles added to the args'.
  bool CreateKind(const wchar_t* class_name, DWORD kind_style, DWORD ex_style, const ControlArgs& args);
  // Runs `handler` for the WM_COMMAND `code` its parent heard (a button's
  // BN_CLICKED, an edit's EN_CHANGE). Without a handler the parent hears
  // it as before.
  static std::optional<LRESULT> Fire(const std::function<void()>& handler, WORD code, UINT message,
                                     WPARAM wparam);

 private:
  std::optional<LRESULT> Colour(HDC dc);

  Hook message_hook_;
  Hook notification_hook_;
  std::optional<COLORREF> text_colour_;
  std::optional<COLORREF> background_;
  UniqueBrush background_brush_;
};

// A push button.
class Button : public StandardControl {
 public:
  bool Create(const ControlArgs& args);
  std::function<void()> on_click;

 protected:
  std::optional<LRESULT> OnNotification(UINT message, WPARAM wparam, LPARAM lparam) override;
};

// A button that checks and unchecks itself when clicked.
class CheckBox : public Button {
 public:
  bool Create(const ControlArgs& args);
  bool Checked() const;
  void SetChecked(bool checked) const;
};

// Radio buttons that the arrow keys move through and Tab enters once, with
// the frame round them when it has a caption. The items' ids follow each
// other from the first.
class RadioGroup {
 public:
  struct Item {
    std::string text{};
    RECT bounds{};
  };
  struct CreateArgs {
    HWND parent = nullptr;
    int first_id = 0;
    std::vector<Item> items{};
    HFONT font = nullptr;
    std::string caption{};  // the frame's; none without
    RECT frame{};
    int frame_id = 0;
  };
  bool Create(const CreateArgs& args);
  // The checked item's index.
  std::optional<int> Selected() const;
  void Select(int index) const;
  StandardControl& Item(int index) { return *items_[size_t(index)]; }
  StandardControl& Frame() { return frame_; }

 private:
  StandardControl frame_;
  std::vector<std::unique_ptr<StandardControl>> items_;
};

// An edit with a client edge; ES_AUTOHSCROLL for one line, ES_MULTILINE
// and the rest for more.
class Edit : public StandardControl {
 public:
  bool Create(const ControlArgs& args);
  // After each change of the text, by the user or the program.
  std::function<void()> on_change;

 protected:
  std::optional<LRESULT> OnNotification(UINT message, WPARAM wparam, LPARAM lparam) override;
};

// A static text, left-aligned unless SS_CENTER, with no & prefixes.
class Label : public StandardControl {
 public:
  bool Create(const ControlArgs& args);
  // Each LF becomes the CR LF at which static controls break lines.
  void SetMultilineText(std::string_view text) const;
};

}  // namespace plexi::win
