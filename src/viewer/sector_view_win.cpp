#include "viewer/sector_view_win.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

#include "window/gdi_win.h"
#include "window/message_box_notifier_win.h"
#include "window/ui_font_win.h"
#include "platform/win/utf.h"
#include "util/utf16_guess.h"
#include "viewer/sector_dump.h"
#include "window/window_helpers_win.h"

namespace plexi::win {
namespace {

constexpr wchar_t kPanelClass[] = L"PlexiscrubPanel";
constexpr UINT_PTR kSubclassId = 1;

// Memo1: pale green, in a fixed-pitch face 15 pixels high.
constexpr COLORREF kMemoColour = RGB(0xE7, 0xFF, 0xE6);
constexpr COLORREF kTextViewColour = RGB(0xFF, 0xFF, 0xFF);
constexpr int kMemoFontHeight = 15;
constexpr int kSmallestMemoPitch = 10;
constexpr int kMemoLines = 33;  // the dump's 32 and the empty one after them
constexpr int kMemoInnerMargin = 2;  // the edit control's own space above and below the text
constexpr int kHeaderFontHeight = 15;
constexpr int kWindowFontHeight = 12;

// Places on the toolbar and in the band.
constexpr int kHeaderLineHeight = 18;
constexpr int kSectorNumberLeft = 184;
constexpr int kSectorNumberWidth = 320;
constexpr int kSectorNumberHeight = 18;
constexpr int kToolbarRowTop = 3;
constexpr int kCheckBoxLeft = kSectorNumberLeft + kSectorNumberWidth + 14;
constexpr int kCheckBoxTop = 5;
constexpr int kCheckBoxSize = 13;
constexpr int kTrackBarWidth = 28;
constexpr int kTextLabelRoom = 26;  // "Text" in the band's 10-point label font

constexpr char kSectorNumberHint[] = "現在のセクタ番号／最終セクタ番号";
constexpr char kTextCheckBoxHint[] = "テキスト表示";

// The text view: child, visible, tab stop, multi-line, selection kept
// visible, read-only, want-return; a client edge. Not a control parent:
// Tab would look for tab stops inside it and pass the view itself by.
constexpr DWORD kTextViewStyle = 0x50011904;
constexpr DWORD kTextViewExStyle = WS_EX_CLIENTEDGE;

// The dump and its header line up only in a fixed-pitch face: the first of
// `preferred` and the fixed-pitch stand-ins that the system has.
std::wstring FixedPitchFace(std::initializer_list<const wchar_t*> preferred) {
  static const wchar_t* const kStandIns[] = {L"MS Gothic", L"Noto Sans Mono CJK JP",
                                             L"DejaVu Sans Mono", L"Courier New"};
  for (const wchar_t* face : preferred)
    if (HasFace(face)) return face;
  for (const wchar_t* face : kStandIns)
    if (HasFace(face)) return face;
  return *preferred.begin();
}

// The designed faces are as high as their lines are apart and their
// letters half as wide: `pitch` pixels high, `pitch` / 2 wide. The real
// face gets that as its character height. A stand-in face with more room
// between lines gets `pitch` as its line distance, so that the 33 lines
// take the designed room, and is widened until its letters are as wide as
// the designed face's, so that the dump fills the memo's width as designed.
UniqueFont FixedPitchFont(const std::wstring& face, int pitch, bool designed_face) {
  constexpr BYTE kFixed = FIXED_PITCH | FF_MODERN;
  if (designed_face) return MakeFont({face, -pitch, FW_NORMAL, SHIFTJIS_CHARSET, kFixed});
  UniqueFont font = MakeFont({face, pitch, FW_NORMAL, SHIFTJIS_CHARSET, kFixed});
  if (!font) return font;
  auto screen = GetWindowDc(nullptr);
  TEXTMETRICW metrics{};
  SIZE letters{};
  {
    auto selected = SelectInto(screen.get(), font.get());
    GetTextMetricsW(screen.get(), &metrics);
    GetTextExtentPoint32W(screen.get(), L"0123456789ABCDEF", 16, &letters);
  }
  const int wanted = 16 * pitch / 2;  // sixteen letters of the designed face
  if (letters.cx <= 0 || letters.cx >= wanted) return font;
  LOGFONTW wider{};
  GetObjectW(font.get(), sizeof(wider), &wider);
  wider.lfWidth = MulDiv(metrics.tmAveCharWidth, wanted, letters.cx);
  UniqueFont widened(CreateFontIndirectW(&wider));
  return widened ? std::move(widened) : std::move(font);
}

int LineHeight(HWND window, HFONT font) {
  auto dc = GetWindowDc(window);
  auto selected = SelectInto(dc.get(), font);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc.get(), &metrics);
  return metrics.tmHeight;
}

}  // namespace

SectorViewWindow::SectorViewWindow(platform::Machine& machine, Notifier& notifier,
                                   std::function<void()> repaint_band)
    : viewer_(machine, notifier, *this, win::SystemIsTextUnicode),
      repaint_band_(std::move(repaint_band)),
      memo_brush_(SolidBrush(kMemoColour)),
      text_view_brush_(SolidBrush(kTextViewColour)) {}

SectorViewWindow::~SectorViewWindow() = default;

HWND SectorViewWindow::CreateChild(const wchar_t* window_class, const wchar_t* text, DWORD style,
                                   DWORD ex_style, int id, HWND parent) {
  return CreateChildControl(parent, {window_class, text, style, ex_style, {}, id});
}

bool SectorViewWindow::Create(HWND parent) {
  parent_ = parent;
  dpi_ = DpiOf(parent);
  MakeFonts();
  const HFONT window_font = window_font_.get();

  // Panel3 lies above the memo: it is made first.
  if (!CreatePanel3()) return false;
  // The style holds WS_CHILD already.
  text_view_ = CreateChildControl(panel3_.hwnd(), {L"EDIT", L"", kTextViewStyle, kTextViewExStyle, {}, kTextViewId});
  memo_ = CreateChild(L"EDIT", L"",
                      ES_MULTILINE | ES_READONLY | ES_NOHIDESEL | ES_AUTOHSCROLL | ES_AUTOVSCROLL |
                          WS_TABSTOP,
                      WS_EX_CLIENTEDGE, kHexDumpId, parent);
  header_ = CreateChild(L"STATIC", Utf8ToWide(kDumpHeader).c_str(), SS_LEFT | SS_NOPREFIX | WS_BORDER,
                        0, kHeaderLineId, parent);
  // SS_NOTIFY: the field takes the mouse, so that its tool tip sees it.
  sector_number_ = CreateChild(L"STATIC", L"", SS_CENTER | SS_NOPREFIX | SS_NOTIFY | WS_BORDER, 0,
                               kSectorNumberId, parent);
  check_box_ = CreateChild(L"BUTTON", L"", BS_AUTOCHECKBOX | WS_TABSTOP, 0, kTextCheckBoxId, parent);
  if (!text_view_ || !memo_ || !header_ || !sector_number_ || !check_box_) return false;
  if (!track_bar_.Create({parent, kSectorTrackBarId, {0, 0, dpi_.Scale(kTrackBarWidth), 100}, false}))
    return false;
  static_cast<void>(tooltips_.Create(parent));  // the viewer works without its tips
  tooltips_.AddForChild(sector_number_, kSectorNumberHint);
  tooltips_.AddForChild(check_box_, kTextCheckBoxHint);

  SendMessageW(text_view_, WM_SETFONT, reinterpret_cast<WPARAM>(window_font), TRUE);
  SendMessageW(sector_number_, WM_SETFONT, reinterpret_cast<WPARAM>(window_font), FALSE);
  SendMessageW(memo_, WM_SETFONT, reinterpret_cast<WPARAM>(memo_font_.get()), FALSE);
  SendMessageW(header_, WM_SETFONT, reinterpret_cast<WPARAM>(header_font_.get()), FALSE);
  SetWindowSubclass(memo_, Memo1Proc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
  SetWindowSubclass(text_view_, TextViewProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
  SetWindowSubclass(check_box_, CheckBoxProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));

  controls::TMyTrackBar& bar = track_bar_.bar();
  bar.SetOrientation(controls::pbVertical);
  bar.SetMax(0);
  bar.OnChange = [this] { viewer_.MyTrackBar1Change(track_bar_.bar().Position()); };
  TakeBandColours(GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNFACE));
  return true;
}

void SectorViewWindow::MakeFonts() {
  window_font_ = MakeUiFont(L"ＭＳ Ｐゴシック", dpi_.Scale(kWindowFontHeight));
  memo_face_ = FixedPitchFace({L"ＭＳ ゴシック"});
  memo_designed_ = memo_face_ == L"ＭＳ ゴシック" || memo_face_ == L"MS Gothic";
  memo_pitch_ = dpi_.Scale(kMemoFontHeight);
  memo_font_ = FixedPitchFont(memo_face_, memo_pitch_, memo_designed_);
  const std::wstring header_face = FixedPitchFace({L"ＭＳ 明朝", L"MS Mincho", L"ＭＳ ゴシック"});
  header_font_ = FixedPitchFont(header_face, dpi_.Scale(kHeaderFontHeight),
                                header_face == L"ＭＳ 明朝" || header_face == L"MS Mincho" ||
                                    header_face == L"ＭＳ ゴシック");
}

void SectorViewWindow::SetDpi(Dpi dpi) {
  if (dpi == dpi_) return;
  dpi_ = dpi;
  MakeFonts();
  SendMessageW(text_view_, WM_SETFONT, reinterpret_cast<WPARAM>(window_font_.get()), TRUE);
  SendMessageW(sector_number_, WM_SETFONT, reinterpret_cast<WPARAM>(window_font_.get()), TRUE);
  SendMessageW(memo_, WM_SETFONT, reinterpret_cast<WPARAM>(memo_font_.get()), TRUE);
  SendMessageW(header_, WM_SETFONT, reinterpret_cast<WPARAM>(header_font_.get()), TRUE);
}

bool SectorViewWindow::CreatePanel3() {
  WindowPlacement placement;
  placement.style = WS_CHILD | WS_CLIPCHILDREN;
  placement.ex_style = WS_EX_CONTROLPARENT;
  placement.parent = parent_;
  placement.id = kTextPanelId;
  return panel3_.Create({kPanelClass, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)}, placement,
                        [this](UINT message, WPARAM wparam, LPARAM lparam) {
                          return Panel3Message(message, wparam, lparam);
                        });
}

// Opening and closing -------------------------------------------------------

bool SectorViewWindow::Open(const DriveRow* selected, ViewMode view) {
  if (!viewer_.Open(selected, view)) return false;
  PlaceWindowForViewer();
  return true;
}

void SectorViewWindow::Close() {
  viewer_.Close();
  RestoreWindow();
}

// 570 high, its middle about the screen's: half the screen height less 300
// for its top, but never with the caption above the work area, where the
// window could no longer be moved.
void SectorViewWindow::PlaceWindowForViewer() {
  RECT frame;
  GetWindowRect(parent_, &frame);
  saved_top_ = frame.top;
  saved_height_ = frame.bottom - frame.top;
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int top = std::max<int>(GetSystemMetrics(SM_CYSCREEN) / 2 - dpi_.Scale(300), work.top);
  SetWindowPos(parent_, nullptr, frame.left, top, frame.right - frame.left, dpi_.Scale(kOpenHeight),
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void SectorViewWindow::RestoreWindow() {
  RECT frame;
  GetWindowRect(parent_, &frame);
  SetWindowPos(parent_, nullptr, frame.left, saved_top_, frame.right - frame.left, saved_height_,
               SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowTextW(parent_, kAppTitleWide);
}

void SectorViewWindow::ShowControls(bool shown) {
  shown_ = shown;
  const int command = shown ? SW_SHOW : SW_HIDE;
  ShowWindow(header_, command);
  ShowWindow(sector_number_, command);
  ShowWindow(track_bar_.hwnd(), command);
  ShowWindow(check_box_, command);
  ShowDumpOrText();
  // The keys and the wheel reach the view that is shown.
  if (shown) SetFocus(text_display_ ? text_view_ : memo_);
}

// Panel3 covers the memo while the text display is on.
void SectorViewWindow::ShowDumpOrText() {
  ShowWindow(panel3_.hwnd(), shown_ && text_display_ ? SW_SHOW : SW_HIDE);
  ShowWindow(memo_, shown_ && !text_display_ ? SW_SHOW : SW_HIDE);
}

void SectorViewWindow::Layout(const RECT& area) {
  const int width = area.right - area.left, height = area.bottom - area.top;
  const Dpi& d = dpi_;
  const int bar_width = d.Scale(kTrackBarWidth);
  const int view_width = std::max(0, width - bar_width);
  const int header_height = d.Scale(kHeaderLineHeight);
  MoveWindow(header_, 0, area.top - header_height, width, header_height, TRUE);
  const RECT number = d.Scale(RECT{kSectorNumberLeft, kToolbarRowTop, kSectorNumberLeft + kSectorNumberWidth,
                                   kToolbarRowTop + kSectorNumberHeight});
  MoveWindow(sector_number_, number.left, number.top, number.right - number.left, number.bottom - number.top,
             TRUE);
  const RECT check = d.Scale(RECT{kCheckBoxLeft, kCheckBoxTop, kCheckBoxLeft + kCheckBoxSize,
                                  kCheckBoxTop + kCheckBoxSize});
  MoveWindow(check_box_, check.left, check.top, check.right - check.left, check.bottom - check.top, TRUE);
  MoveWindow(memo_, area.left, area.top, view_width, height, TRUE);
  if (shown_) FitMemo();
  MoveWindow(panel3_.hwnd(), area.left, area.top, view_width, height, TRUE);
  MoveWindow(track_bar_.hwnd(), area.left + view_width, area.top, bar_width, height, TRUE);
}

// The whole dump stays in view, the empty line after it too, so that the
// caret on that line (where Down pages on) never scrolls the first line
// away: the lines are 15 pixels apart, or closer in a lower memo.
void SectorViewWindow::FitMemo() {
  RECT client;
  GetClientRect(memo_, &client);
  const int room = int(client.bottom) - dpi_.Scale(kMemoInnerMargin);
  // The face that stands in may round the asked height up: measure.
  int pitch = dpi_.Scale(kMemoFontHeight);
  UniqueFont font = FixedPitchFont(memo_face_, pitch, memo_designed_);
  while (pitch > dpi_.Scale(kSmallestMemoPitch) && font && LineHeight(memo_, font.get()) * kMemoLines > room)
    font = FixedPitchFont(memo_face_, --pitch, memo_designed_);
  if (font && pitch != memo_pitch_) {
    SendMessageW(memo_, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    memo_font_ = std::move(font);
    memo_pitch_ = pitch;
  }
  const LRESULT first_visible = SendMessageW(memo_, EM_GETFIRSTVISIBLELINE, 0, 0);
  if (first_visible > 0) SendMessageW(memo_, EM_LINESCROLL, 0, -first_visible);
}

std::optional<POINT> SectorViewWindow::TextLabelPlace() const {
  if (!shown_) return std::nullopt;
  return POINT{dpi_.Scale(kCheckBoxLeft + kCheckBoxSize + 6), dpi_.Scale(6)};
}

bool SectorViewWindow::CheckBoxShowsFocus() const {
  if (!shown_ || check_box_ == nullptr || GetFocus() != check_box_) return false;
  return (SendMessageW(check_box_, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) == 0;
}

std::optional<int> SectorViewWindow::ToolbarEnd() const {
  if (!shown_) return std::nullopt;
  return kCheckBoxLeft + kCheckBoxSize + 6 + kTextLabelRoom;
}

void SectorViewWindow::TakeBandColours(COLORREF header, COLORREF check_box) {
  if (header != header_colour_ || !header_brush_) {
    header_colour_ = header;
    header_brush_ = SolidBrush(header);
    InvalidateRect(header_, nullptr, TRUE);
  }
  if (check_box != check_box_colour_ || !check_box_brush_) {
    check_box_colour_ = check_box;
    check_box_brush_ = SolidBrush(check_box);
    InvalidateRect(check_box_, nullptr, TRUE);
  }
}

// Messages --------------------------------------------------------------------

std::optional<LRESULT> SectorViewWindow::ParentMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CTLCOLORSTATIC: {
      const HWND control = reinterpret_cast<HWND>(lparam);
      const HDC dc = reinterpret_cast<HDC>(wparam);
      if (control == memo_) {
        SetBkColor(dc, kMemoColour);
        return reinterpret_cast<LRESULT>(memo_brush_.get());
      }
      if (control == header_) {
        SetBkColor(dc, header_colour_);
        return reinterpret_cast<LRESULT>(header_brush_.get());
      }
      if (control == check_box_) {
        SetBkColor(dc, check_box_colour_);
        return reinterpret_cast<LRESULT>(check_box_brush_.get());
      }
      return std::nullopt;
    }
    case WM_COMMAND:
      if (LOWORD(wparam) != kTextCheckBoxId || HIWORD(wparam) != BN_CLICKED) return std::nullopt;
      viewer_.CheckBox1Click(SendMessageW(check_box_, BM_GETCHECK, 0, 0) == BST_CHECKED);
      return 0;
    case WM_MOUSEWHEEL:
      if (memo_wheel_passed_on_) return 0;  // the memo has stepped for it
      if (viewer_.MouseWheel(WheelSource::kMainWindow, GET_WHEEL_DELTA_WPARAM(wparam)) ==
          WheelAction::kConsume)
        return 0;
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

std::optional<LRESULT> SectorViewWindow::Panel3Message(UINT message, WPARAM, LPARAM lparam) {
  switch (message) {
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lparam) == text_view_)
        return reinterpret_cast<LRESULT>(text_view_brush_.get());
      return std::nullopt;
    case WM_SIZE:
      Panel3Resize();
      return 0;
    default:
      return std::nullopt;
  }
}

void SectorViewWindow::Panel3Resize() {
  RECT client;
  GetClientRect(panel3_.hwnd(), &client);
  SetWindowPos(text_view_, nullptr, 0, 0, client.right, client.bottom, SWP_NOZORDER | SWP_NOMOVE);
}

// Paging with the arrow keys, before the memo moves its caret.
void SectorViewWindow::Memo1KeyDown(int virtual_key) {
  DWORD selection_start = 0;
  SendMessageW(memo_, EM_GETSEL, reinterpret_cast<WPARAM>(&selection_start), 0);
  const int caret_line = int(SendMessageW(memo_, EM_LINEFROMCHAR, selection_start, 0));
  const int last_line = int(SendMessageW(memo_, EM_GETLINECOUNT, 0, 0)) - 1;
  viewer_.Memo1KeyDown(virtual_key, caret_line, last_line);
}

LRESULT CALLBACK SectorViewWindow::Memo1Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                             UINT_PTR, DWORD_PTR self_pointer) {
  auto* self = reinterpret_cast<SectorViewWindow*>(self_pointer);
  switch (message) {
    case WM_KEYDOWN:
      self->Memo1KeyDown(int(wparam));
      break;
    case WM_MOUSEWHEEL: {
      self->viewer_.MouseWheel(WheelSource::kMemo, GET_WHEEL_DELTA_WPARAM(wparam));
      self->memo_wheel_passed_on_ = true;
      const LRESULT answer = DefSubclassProc(window, message, wparam, lparam);
      self->memo_wheel_passed_on_ = false;
      return answer;
    }
    case WM_SETCURSOR:
      if (LOWORD(lparam) == HTCLIENT) {
        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
        return TRUE;
      }
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(window, Memo1Proc, kSubclassId);
      self->memo_ = nullptr;
      break;
    default:
      break;
  }
  return DefSubclassProc(window, message, wparam, lparam);
}

// The label's focus mark is the main window's to paint: it is told when
// the focus or the marks' visibility change.
LRESULT CALLBACK SectorViewWindow::CheckBoxProc(HWND window, UINT message, WPARAM wparam,
                                                LPARAM lparam, UINT_PTR, DWORD_PTR self_pointer) {
  auto* self = reinterpret_cast<SectorViewWindow*>(self_pointer);
  switch (message) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_UPDATEUISTATE: {
      const LRESULT answer = DefSubclassProc(window, message, wparam, lparam);
      if (const std::optional<POINT> label = self->TextLabelPlace()) {
        const RECT around{label->x - 4, label->y - 4, label->x + kTextLabelRoom + 4, label->y + 20};
        InvalidateRect(self->parent_, &around, FALSE);
      }
      return answer;
    }
    case WM_NCDESTROY:
      RemoveWindowSubclass(window, CheckBoxProc, kSubclassId);
      self->check_box_ = nullptr;
      break;
    default:
      break;
  }
  return DefSubclassProc(window, message, wparam, lparam);
}

LRESULT CALLBACK SectorViewWindow::TextViewProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                                UINT_PTR, DWORD_PTR self_pointer) {
  auto* self = reinterpret_cast<SectorViewWindow*>(self_pointer);
  switch (message) {
    case WM_MOUSEWHEEL:
      // The text view itself never scrolls with the wheel while it pages.
      if (self->viewer_.MouseWheel(WheelSource::kTextView, GET_WHEEL_DELTA_WPARAM(wparam)) ==
          WheelAction::kConsume)
        return 0;
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(window, TextViewProc, kSubclassId);
      self->text_view_ = nullptr;
      break;
    default:
      break;
  }
  return DefSubclassProc(window, message, wparam, lparam);
}

// What the viewer shows ------------------------------------------------------

// The whole dump in one go; the caret ends after the last line, where the
// lines' adding would leave it, so that Down on it pages at once.
void SectorViewWindow::SetMemoText(const std::string& text) {
  SendMessageW(memo_, WM_SETREDRAW, FALSE, 0);
  SetText(memo_, text);
  const int length = GetWindowTextLengthW(memo_);
  SendMessageW(memo_, EM_SETSEL, WPARAM(length), LPARAM(length));
  SendMessageW(memo_, EM_SCROLLCARET, 0, 0);
  SendMessageW(memo_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(memo_, nullptr, TRUE);
}

void SectorViewWindow::SetTextViewText(const std::string& text) { SetText(text_view_, text); }

void SectorViewWindow::SetSectorNumberText(const std::string& text) { SetText(sector_number_, text); }

void SectorViewWindow::SetCaption(const std::string& text) { SetText(parent_, text); }

void SectorViewWindow::SetHeaderText(const std::string& text) { SetText(header_, text); }

void SectorViewWindow::ShowTextView(bool shown) {
  text_display_ = shown;
  ShowDumpOrText();
  // The focus follows from the view that went away to the one that came.
  const HWND focus = GetFocus();
  if (shown_ && (focus == memo_ || focus == text_view_)) SetFocus(shown ? text_view_ : memo_);
  if (repaint_band_) repaint_band_();
}

void SectorViewWindow::SetTrackBarRange(int64_t max) { track_bar_.bar().SetMax(max); }

void SectorViewWindow::SetTrackBarPosition(int64_t position) { track_bar_.bar().SetPosition(position); }

void SectorViewWindow::PutMemoCaretAtStart() { SendMessageW(memo_, EM_SETSEL, 0, 0); }

}  // namespace plexi::win
