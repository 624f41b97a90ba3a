// Owner-drawn push button for dialogs: a face in the button's colour with a
// 3D border, a caption placed by alignment or by coordinates, an optional
// icon, and dialog semantics (Default answers Enter, Cancel answers Escape,
// a click hands ModalResult to the owning form).
#pragma once
#include <cstdint>
#include <string>

#include "controls/canvas.h"
#include "controls/control_host.h"

namespace plexi::controls {

enum MODALRESULT { msNone, msOk, msCancel, msAbort, msRetry, msIgnore, msYes, msNo, msAll };
enum ALIGN { psTop, psCenter, psBottom };

class TColorButton {
 public:
  TColorButton() = default;

  void SetHost(ControlHost* host) { host_ = host; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetSize(int width, int height);

  // The component's name, which an empty caption takes when the window is made.
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  void CreateWnd();

  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string value);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  bool Visible() const { return visible_; }
  void SetVisible(bool value) { visible_ = value; }
  bool Default() const { return default_; }
  void SetDefault(bool value);
  bool Cancel() const { return cancel_; }
  void SetCancel(bool value) { cancel_ = value; }
  MODALRESULT ModalResult() const { return modal_result_; }
  void SetModalResult(MODALRESULT value) { modal_result_ = value; }
  ALIGN CaptionAlign() const { return caption_align_; }
  void SetCaptionAlign(ALIGN value);
  std::int32_t CaptionLeft() const { return caption_left_; }
  void SetCaptionLeft(std::int32_t value);
  std::int32_t CaptionTop() const { return caption_top_; }
  void SetCaptionTop(std::int32_t value);
  std::int32_t LineAlfLevel() const { return line_alf_level_; }
  void SetLineAlfLevel(std::int32_t value);
  const Image& Glyph() const { return glyph_; }
  void SetGlyph(const Image& value);
  std::int32_t Indent() const { return indent_; }
  void SetIndent(std::int32_t value);
  std::int32_t IconSize() const { return icon_size_; }
  void SetIconSize(std::int32_t value);
  // Face colour, normally the parent's.
  Color GetColor() const { return color_; }
  void SetColor(Color value);
  const Font& GetFont() const { return font_; }
  void SetFont(const Font& value);

  NotifyEvent OnClick;
  NotifyEvent OnEnter;
  NotifyEvent OnExit;
  KeyEvent OnKeyDown;
  KeyEvent OnKeyUp;
  MouseEvent OnMouseDown;
  MouseMoveEvent OnMouseMove;
  MouseEvent OnMouseUp;

  // Input, as the window delivers it.
  void MouseDown(MouseButton button, int x, int y);
  void MouseMove(bool left_held, int x, int y);
  void MouseUp(MouseButton button, int x, int y);
  void KeyDown(int key);
  void KeyUp(int key);
  void DoEnter();
  void DoExit();
  // The form offers Enter and Escape to its buttons before the focused
  // control sees them; true when this button took the key.
  bool CmDialogKey(int key);
  // Whether the focused button handles this key itself.
  bool WantsKey(int key) const;
  void Click();

  bool Pressed() const { return pressed_; }
  bool Focused() const { return focused_; }
  // Whether the focused button shows its dotted focus mark: the system
  // hides focus marks until the keyboard is used (the black frame stays).
  bool FocusCues() const { return focus_cues_; }
  void SetFocusCues(bool shown);
  // Pressed look without a mouse, for showing the state.
  void SetPressed(bool value);

  void Paint(Canvas& canvas);
  void BtnUp(Canvas& canvas);
  void BtnDown(Canvas& canvas);
  void RoundButtonUp(Canvas& canvas, int f);
  void RoundButtonDown(Canvas& canvas);
  void CaptionPaint(Canvas& canvas, int dx, int dy);

 private:
  void Repaint();
  bool AnswersKey(int key) const;

  ControlHost* host_ = nullptr;
  int width_ = 75;
  int height_ = 25;
  std::string name_;
  std::string caption_;
  bool enabled_ = true;
  bool visible_ = true;
  bool default_ = false;
  bool cancel_ = false;
  MODALRESULT modal_result_ = msNone;
  ALIGN caption_align_ = psCenter;
  std::int32_t caption_left_ = -1;
  std::int32_t caption_top_ = -1;
  std::int32_t line_alf_level_ = 220;
  Image glyph_;
  std::int32_t indent_ = 0;
  std::int32_t icon_size_ = 16;
  Color color_ = SystemColor(kColorBtnFace);
  Font font_{.color = SystemColor(kColorBtnText)};

  bool pressed_ = false;
  bool focused_ = false;
  bool focus_cues_ = true;
  bool pressed_by_key_ = false;
  bool pressed_by_space_ = false;
  bool click_armed_ = false;
  // The mouse slid off while held: the released look is showing.
  bool slid_off_ = false;
};

}  // namespace plexi::controls
