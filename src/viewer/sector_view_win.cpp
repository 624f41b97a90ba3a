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

// The text view: multi-line, selection kept visible, read-only,
// want-return (a visible tab stop with a client edge). Not a control
// parent: Tab would look for tab stops inside it and pass the view itself by.
constexpr DWORD kTextViewStyle = ES_MULTILINE | ES_NOHIDESEL | ES_READONLY | ES_WANTRETURN;

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
    : viewer_(machine, notifier, *this, win::SystemIsTextUnicode), repaint_band_(std::move(repaint_band)) {}

SectorViewWindow::~SectorViewWindow() = default;

bool SectorViewWindow::Create(HWND parent) {
  parent_ = parent;
  dpi_ = DpiOf(parent);
  MakeFonts();
  // Panel3 lies above the memo: it is made first.
  if (!CreatePanel3() || !CreateControls()) return false;
  if (!track_bar_.Create({parent, kSectorTrackBarId, {0, 0, dpi_.Scale(kTrackBarWidth), 100}, false}))
    return false;
  static_cast<void>(tooltips_.Create(parent));  // the viewer works without its tips
  tooltips_.AddForChild(sector_number_.hwnd(), kSectorNumberHint);
  tooltips_.AddForChild(check_box_.hwnd(), kTextCheckBoxHint);
  HookControls();

  controls::TMyTrackBar& bar = track_bar_.bar();
  bar.SetOrientation(controls::pbVertical);
  bar.SetMax(0);
  bar.OnChange = [this] { viewer_.MyTrackBar1Change(track_bar_.bar().Position()); };
  TakeBandColours(GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNFACE));
  return true;
}

bool SectorViewWindow::CreateControls() {
  const bool made =
      text_view_.Create({.parent = panel3_.hwnd(), .id = kTextViewId, .font = window_font_.get(),
                         .style = kTextViewStyle}) &&
      memo_.Create({.parent = parent_, .id = kHexDumpId, .font = memo_font_.get(),
                    .style = ES_MULTILINE | ES_READONLY | ES_NOHIDESEL | ES_AUTOHSCROLL | ES_AUTOVSCROLL,
                    .visible = false}) &&
      header_.Create({.parent = parent_, .id = kHeaderLineId, .text = kDumpHeader, .font = header_font_.get(),
                      .style = WS_BORDER, .visible = false}) &&
      // SS_NOTIFY: the field takes the mouse, so that its tool tip sees it.
      sector_number_.Create({.parent = parent_, .id = kSectorNumberId, .font = window_font_.get(),
                             .style = SS_CENTER | SS_NOTIFY | WS_BORDER, .visible = false}) &&
      check_box_.Create({.parent = parent_, .id = kTextCheckBoxId, .visible = false});
  if (!made) return false;
  memo_.SetBackground(kMemoColour);
  text_view_.SetBackground(kTextViewColour);
  check_box_.on_click = [this] { viewer_.CheckBox1Click(check_box_.Checked()); };
  return true;
}

void SectorViewWindow::HookControls() {
  memo_.HookMessages([this](UINT message, WPARAM wparam, LPARAM lparam) {
    return Memo1Message(message, wparam, lparam);
  });
  text_view_.HookMessages([this](UINT message, WPARAM wparam, LPARAM) { return TextViewMessage(message, wparam); });
  check_box_.HookMessages([this](UINT message, WPARAM wparam, LPARAM lparam) {
    return CheckBoxMessage(message, wparam, lparam);
  });
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
  text_view_.SetFont(window_font_.get(), true);
  sector_number_.SetFont(window_font_.get(), true);
  memo_.SetFont(memo_font_.get(), true);
  header_.SetFont(header_font_.get(), true);
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
  header_.SetVisible(shown);
  sector_number_.SetVisible(shown);
  ShowWindow(track_bar_.hwnd(), command);
  check_box_.SetVisible(shown);
  ShowDumpOrText();
  // The keys and the wheel reach the view that is shown.
  if (shown) SetFocus(text_display_ ? text_view_.hwnd() : memo_.hwnd());
}

// Panel3 covers the memo while the text display is on.
void SectorViewWindow::ShowDumpOrText() {
  ShowWindow(panel3_.hwnd(), shown_ && text_display_ ? SW_SHOW : SW_HIDE);
  memo_.SetVisible(shown_ && !text_display_);
}

void SectorViewWindow::Layout(const RECT& area) {
  const int width = area.right - area.left, height = area.bottom - area.top;
  const Dpi& d = dpi_;
  const int bar_width = d.Scale(kTrackBarWidth);
  const int view_width = std::max(0, width - bar_width);
  const int header_height = d.Scale(kHeaderLineHeight);
  MoveWindow(header_.hwnd(), 0, area.top - header_height, width, header_height, TRUE);
  const RECT number = d.Scale(RECT{kSectorNumberLeft, kToolbarRowTop, kSectorNumberLeft + kSectorNumberWidth,
                                   kToolbarRowTop + kSectorNumberHeight});
  MoveWindow(sector_number_.hwnd(), number.left, number.top, number.right - number.left, number.bottom - number.top,
             TRUE);
  const RECT check = d.Scale(RECT{kCheckBoxLeft, kCheckBoxTop, kCheckBoxLeft + kCheckBoxSize,
                                  kCheckBoxTop + kCheckBoxSize});
  MoveWindow(check_box_.hwnd(), check.left, check.top, check.right - check.left, check.bottom - check.top, TRUE);
  MoveWindow(memo_.hwnd(), area.left, area.top, view_width, height, TRUE);
  if (shown_) FitMemo();
  MoveWindow(panel3_.hwnd(), area.left, area.top, view_width, height, TRUE);
  MoveWindow(track_bar_.hwnd(), area.left + view_width, area.top, bar_width, height, TRUE);
}

// The whole dump stays in view, the empty line after it too, so that the
// caret on that line (where Down pages on) never scrolls the first line
// away: the lines are 15 pixels apart, or closer in a lower memo.
void SectorViewWindow::FitMemo() {
  RECT client;
  GetClientRect(memo_.hwnd(), &client);
  const int room = int(client.bottom) - dpi_.Scale(kMemoInnerMargin);
  // The face that stands in may round the asked height up: measure.
  int pitch = dpi_.Scale(kMemoFontHeight);
  UniqueFont font = FixedPitchFont(memo_face_, pitch, memo_designed_);
  while (pitch > dpi_.Scale(kSmallestMemoPitch) && font && LineHeight(memo_.hwnd(), font.get()) * kMemoLines > room)
    font = FixedPitchFont(memo_face_, --pitch, memo_designed_);
  if (font && pitch != memo_pitch_) {
    memo_.SetFont(font.get(), true);
    memo_font_ = std::move(font);
    memo_pitch_ = pitch;
  }
  const LRESULT first_visible = SendMessageW(memo_.hwnd(), EM_GETFIRSTVISIBLELINE, 0, 0);
  if (first_visible > 0) SendMessageW(memo_.hwnd(), EM_LINESCROLL, 0, -first_visible);
}

std::optional<POINT> SectorViewWindow::TextLabelPlace() const {
  if (!shown_) return std::nullopt;
  return POINT{dpi_.Scale(kCheckBoxLeft + kCheckBoxSize + 6), dpi_.Scale(6)};
}

bool SectorViewWindow::CheckBoxShowsFocus() const {
  if (!shown_ || !check_box_.hwnd() || GetFocus() != check_box_.hwnd()) return false;
  return (SendMessageW(check_box_.hwnd(), WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) == 0;
}

std::optional<int> SectorViewWindow::ToolbarEnd() const {
  if (!shown_) return std::nullopt;
  return kCheckBoxLeft + kCheckBoxSize + 6 + kTextLabelRoom;
}

void SectorViewWindow::TakeBandColours(COLORREF header, COLORREF check_box) {
  header_.SetBackground(header);
  check_box_.SetBackground(check_box);
}

// Messages --------------------------------------------------------------------

std::optional<LRESULT> SectorViewWindow::ParentMessage(UINT message, WPARAM wparam, LPARAM) {
  if (message != WM_MOUSEWHEEL) return std::nullopt;
  if (memo_wheel_passed_on_) return 0;  // the memo has stepped for it
  if (viewer_.MouseWheel(WheelSource::kMainWindow, GET_WHEEL_DELTA_WPARAM(wparam)) == WheelAction::kConsume)
    return 0;
  return std::nullopt;
}

std::optional<LRESULT> SectorViewWindow::Panel3Message(UINT message, WPARAM, LPARAM) {
  if (message != WM_SIZE) return std::nullopt;
  Panel3Resize();
  return 0;
}

void SectorViewWindow::Panel3Resize() {
  RECT client;
  GetClientRect(panel3_.hwnd(), &client);
  SetWindowPos(text_view_.hwnd(), nullptr, 0, 0, client.right, client.bottom, SWP_NOZORDER | SWP_NOMOVE);
}

// Paging with the arrow keys, before the memo moves its caret.
void SectorViewWindow::Memo1KeyDown(int virtual_key) {
  DWORD selection_start = 0;
  SendMessageW(memo_.hwnd(), EM_GETSEL, reinterpret_cast<WPARAM>(&selection_start), 0);
  const int caret_line = int(SendMessageW(memo_.hwnd(), EM_LINEFROMCHAR, selection_start, 0));
  const int last_line = int(SendMessageW(memo_.hwnd(), EM_GETLINECOUNT, 0, 0)) - 1;
  viewer_.Memo1KeyDown(virtual_key, caret_line, last_line);
}

std::optional<LRESULT> SectorViewWindow::Memo1Message(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_KEYDOWN:
      Memo1KeyDown(int(wparam));
      return std::nullopt;
    case WM_MOUSEWHEEL: {
      viewer_.MouseWheel(WheelSource::kMemo, GET_WHEEL_DELTA_WPARAM(wparam));
      memo_wheel_passed_on_ = true;
      const LRESULT answer = memo_.CallDefault(message, wparam, lparam);
      memo_wheel_passed_on_ = false;
      return answer;
    }
    case WM_SETCURSOR:
      if (LOWORD(lparam) != HTCLIENT) return std::nullopt;
      SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
      return TRUE;
    default:
      return std::nullopt;
  }
}

// The label's focus mark is the main window's to paint: it is told when
// the focus or the marks' visibility change.
std::optional<LRESULT> SectorViewWindow::CheckBoxMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != WM_SETFOCUS && message != WM_KILLFOCUS && message != WM_UPDATEUISTATE) return std::nullopt;
  const LRESULT answer = check_box_.CallDefault(message, wparam, lparam);
  if (const std::optional<POINT> label = TextLabelPlace()) {
    const RECT around{label->x - 4, label->y - 4, label->x + kTextLabelRoom + 4, label->y + 20};
    InvalidateRect(parent_, &around, FALSE);
  }
  return answer;
}

// The text view itself never scrolls with the wheel while it pages.
std::optional<LRESULT> SectorViewWindow::TextViewMessage(UINT message, WPARAM wparam) {
  if (message != WM_MOUSEWHEEL) return std::nullopt;
  if (viewer_.MouseWheel(WheelSource::kTextView, GET_WHEEL_DELTA_WPARAM(wparam)) == WheelAction::kConsume) return 0;
  return std::nullopt;
}

// What the viewer shows ------------------------------------------------------

// The whole dump in one go; the caret ends after the last line, where the
// lines' adding would leave it, so that Down on it pages at once.
void SectorViewWindow::SetMemoText(const std::string& text) {
  HWND memo = memo_.hwnd();
  SendMessageW(memo, WM_SETREDRAW, FALSE, 0);
  memo_.SetText(text);
  const int length = GetWindowTextLengthW(memo);
  SendMessageW(memo, EM_SETSEL, WPARAM(length), LPARAM(length));
  SendMessageW(memo, EM_SCROLLCARET, 0, 0);
  SendMessageW(memo, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(memo, nullptr, TRUE);
}

void SectorViewWindow::SetTextViewText(const std::string& text) { text_view_.SetText(text); }

void SectorViewWindow::SetSectorNumberText(const std::string& text) { sector_number_.SetText(text); }

void SectorViewWindow::SetCaption(const std::string& text) { SetText(parent_, text); }

void SectorViewWindow::SetHeaderText(const std::string& text) { header_.SetText(text); }

void SectorViewWindow::ShowTextView(bool shown) {
  text_display_ = shown;
  ShowDumpOrText();
  // The focus follows from the view that went away to the one that came.
  const HWND focus = GetFocus();
  if (shown_ && (focus == memo_.hwnd() || focus == text_view_.hwnd()))
    SetFocus(shown ? text_view_.hwnd() : memo_.hwnd());
  if (repaint_band_) repaint_band_();
}

void SectorViewWindow::SetTrackBarRange(int64_t max) { track_bar_.bar().SetMax(max); }

void SectorViewWindow::SetTrackBarPosition(int64_t position) { track_bar_.bar().SetPosition(position); }

void SectorViewWindow::PutMemoCaretAtStart() { SendMessageW(memo_.hwnd(), EM_SETSEL, 0, 0); }

}  // namespace plexi::win
