#include "window/standard_controls_win.h"

#include "platform/win/utf.h"
#include "window/gdi_win.h"

namespace plexi::win {
bool StandardControl::Create(HWND parent, const ChildControl& control) {
  ChildControl made = control;
  if (!made.font) made.font = reinterpret_cast<HFONT>(SendMessageW(parent, WM_GETFONT, 0, 0));
  return AdoptControl(CreateChildControl(parent, made));
}

bool StandardControl::CreateKind(const wchar_t* class_name, DWORD kind_style, DWORD ex_style,
                                 const ControlArgs& args) {
  const DWORD style = kind_style | args.style | (args.visible ? WS_VISIBLE : 0) | (args.enabled ? 0 : WS_DISABLED);
  return Create(args.parent, {class_name, Utf8ToWide(args.text), style, ex_style, args.bounds, args.id, args.font});
}

void StandardControl::SetText(std::string_view text) const { win::SetText(hwnd(), text); }

std::string StandardControl::Text() const {
  const int length = GetWindowTextLengthW(hwnd());
  std::wstring text(size_t(length) + 1, L'\0');
  text.resize(size_t(GetWindowTextW(hwnd(), text.data(), length + 1)));
  return WideToUtf8(text);
}

void StandardControl::SetEnabled(bool enabled) const { EnableWindow(hwnd(), enabled ? TRUE : FALSE); }

bool StandardControl::Enabled() const { return IsWindowEnabled(hwnd()) != FALSE; }

void StandardControl::SetVisible(bool visible) const { ShowWindow(hwnd(), visible ? SW_SHOW : SW_HIDE); }

void StandardControl::SetFont(HFONT font, bool redraw) const {
  SendMessageW(hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw ? TRUE : FALSE);
}

void StandardControl::SetBackground(COLORREF background) {
  if (background_ == background) return;
  background_ = background;
  background_brush_ = SolidBrush(background);
  if (hwnd()) InvalidateRect(hwnd(), nullptr, TRUE);
}

void StandardControl::SetColours(COLORREF text, COLORREF background) {
  if (text_colour_ != text && hwnd()) InvalidateRect(hwnd(), nullptr, TRUE);
  text_colour_ = text;
  SetBackground(background);
}

LRESULT StandardControl::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message_hook_) {
    if (std::optional<LRESULT> answer = message_hook_(message, wparam, lparam)) return *answer;
  }
  return Default(message, wparam, lparam);
}

std::optional<LRESULT> StandardControl::OnReflected(UINT message, WPARAM wparam, LPARAM lparam) {
  if (notification_hook_) {
    if (std::optional<LRESULT> answer = notification_hook_(message, wparam, lparam)) return answer;
  }
  switch (message) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
      if (std::optional<LRESULT> brush = Colour(reinterpret_cast<HDC>(wparam))) return brush;
      break;
    default:
      break;
  }
  return OnNotification(message, wparam, lparam);
}

std::optional<LRESULT> StandardControl::Fire(const std::function<void()>& handler, WORD code, UINT message,
                                             WPARAM wparam) {
  if (message != WM_COMMAND || HIWORD(wparam) != code || !handler) return std::nullopt;
  handler();
  return 0;
}

std::optional<LRESULT> StandardControl::Colour(HDC dc) {
  if (!background_) return std::nullopt;
  if (text_colour_) SetTextColor(dc, *text_colour_);
  SetBkColor(dc, *background_);
  return reinterpret_cast<LRESULT>(background_brush_.get());
}

bool Button::Create(const ControlArgs& args) { return CreateKind(L"BUTTON", WS_TABSTOP, 0, args); }

std::optional<LRESULT> Button::OnNotification(UINT message, WPARAM wparam, LPARAM) {
  return Fire(on_click, BN_CLICKED, message, wparam);
}

bool CheckBox::Create(const ControlArgs& args) {
  return CreateKind(L"BUTTON", WS_TABSTOP | BS_AUTOCHECKBOX, 0, args);
}

bool CheckBox::Checked() const { return SendMessageW(hwnd(), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void CheckBox::SetChecked(bool checked) const {
  SendMessageW(hwnd(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

// The frame first, then the items right after each other: the first one
// starts the group, the next control with WS_GROUP ends it.
bool RadioGroup::Create(const CreateArgs& args) {
  if (!args.caption.empty() &&
      !frame_.Create(args.parent, {L"BUTTON", Utf8ToWide(args.caption), WS_VISIBLE | BS_GROUPBOX, 0, args.frame,
                                   args.frame_id, args.font}))
    return false;
  items_.clear();
  for (size_t i = 0; i < args.items.size(); ++i) {
    const DWORD style = WS_VISIBLE | BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP | WS_TABSTOP : 0);
    auto item = std::make_unique<StandardControl>();
    if (!item->Create(args.parent, {L"BUTTON", Utf8ToWide(args.items[i].text), style, 0, args.items[i].bounds,
                                    args.first_id + int(i), args.font}))
      return false;
    items_.push_back(std::move(item));
  }
  return true;
}

std::optional<int> RadioGroup::Selected() const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (SendMessageW(items_[i]->hwnd(), BM_GETCHECK, 0, 0) == BST_CHECKED) return int(i);
  return std::nullopt;
}

void RadioGroup::Select(int index) const {
  for (size_t i = 0; i < items_.size(); ++i)
    SendMessageW(items_[i]->hwnd(), BM_SETCHECK, int(i) == index ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool Edit::Create(const ControlArgs& args) { return CreateKind(L"EDIT", WS_TABSTOP, WS_EX_CLIENTEDGE, args); }

std::optional<LRESULT> Edit::OnNotification(UINT message, WPARAM wparam, LPARAM) {
  return Fire(on_change, EN_CHANGE, message, wparam);
}

bool Label::Create(const ControlArgs& args) { return CreateKind(L"STATIC", SS_NOPREFIX, 0, args); }

void Label::SetMultilineText(std::string_view text) const { win::SetMultilineText(hwnd(), text); }

}  // namespace plexi::win
