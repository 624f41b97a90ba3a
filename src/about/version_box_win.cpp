#include "about/version_box_win.h"

#include <commctrl.h>
#include <shlobj.h>

#include "window/form_win.h"
#include "platform/win/gdi_scope.h"
#include "platform/win/shell_link_win.h"
#include "platform/win/utf.h"
#include "shell/shell_actions_win.h"

namespace plexi::win {

namespace {

using plexi::win::Utf8ToWide;
using plexi::win::WideToUtf8;

constexpr int kClientWidth = 298;
constexpr int kClientHeight = 203;
constexpr RECT kPanel = {0, 1, 298, 162};
constexpr controls::Point kPictureRest = {8, 8};
constexpr RECT kOkBounds = {111, 172, 186, 197};
constexpr RECT kUpdateBounds = {239, 172, 289, 197};
constexpr RECT kProgressBounds = {15, 176, 224, 192};
constexpr UINT_PTR kAnimationTimer = 1;
constexpr UINT kAnimationInterval = 200;
constexpr int kMakerTop = 142;

constexpr char kFontFace[] = "ＭＳ Ｐゴシック";
constexpr controls::Color kCreditColor = 0x808080;
constexpr controls::Color kLinkColor = 0xFF0000;  // blue
constexpr controls::Color kDeadLinkColor = 0x808080;  // grey: no site to open
constexpr controls::Color kProgressBarColor = 0xFF8000;
constexpr controls::Color kSilver = 0xC0C0C0;

// The title line, the version line: (left, top, width, height) in the panel.
constexpr controls::Rect kTitleBox = {88, 21, 88 + 195, 21 + 20};
constexpr controls::Rect kVersionBox = {104, 65, 104 + 165, 65 + 14};
constexpr controls::Point kCreditAt = {104, 45};
constexpr controls::Point kYearsAt = {12, 142};

controls::Font FormFont(controls::Color color, int pixels = 12, bool bold = false) {
  controls::Font font;
  font.face = kFontFace;
  font.height = -pixels;
  font.bold = bold;
  font.color = color;
  return font;
}

// The drawing of a frame as an opaque picture the canvas can stretch.
controls::Image ToImage(const controls::RasterCanvas& frame) {
  controls::Image image;
  image.width = frame.Width();
  image.height = frame.Height();
  image.argb.reserve(frame.pixels().size());
  for (controls::Color c : frame.pixels()) {
    image.argb.push_back(0xFF000000u | controls::DibPixelOf(c));
  }
  return image;
}

bool Contains(const RECT& r, POINT p) { return PtInRect(&r, p) != FALSE; }

std::optional<std::string> BrowseForFolder(HWND owner, const std::string& caption) {
  ScopedComInit com;
  const std::wstring title = Utf8ToWide(caption);
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  UniqueItemList chosen(SHBrowseForFolderW(&info));
  if (!chosen) return std::nullopt;
  wchar_t path[MAX_PATH * 2] = {};
  if (!SHGetPathFromIDListW(chosen.get(), path) || path[0] == L'\0') return std::nullopt;
  return WideToUtf8(path);
}

}  // namespace

TVersionBox::TVersionBox(const about::VersionBoxSetup& setup, const AboutServices& services)
    : setup_(setup),
      services_(services),
      checker_(setup.update, *services.internet, *services.files, *this),
      random_(static_cast<std::uint32_t>(GetTickCount())),
      animation_(setup.jump_xy, setup.stretch_max, kPictureRest, [this] { return random_(); }),
      strip_(about::kStripWidth, about::kPictureSize) {
  about::PaintFrameStrip(strip_);
  controls::RasterCanvas frame(about::kPictureSize, about::kPictureSize);
  about::CopyFrame(strip_, 0, setup_.panel_color, frame);
  picture_ = ToImage(frame);
  auto& bar = progress_.bar();
  bar.SetBarStyle(controls::btWin7);
  bar.SetBarColor(kProgressBarColor);
  bar.SetBoxColor(kSilver);
  bar.SetLineColor(kSilver);
  progress_.SetVisible(false);
}

void TVersionBox::ShowModal(HWND owner) {
  if (!Create(owner)) return;
  FormShow();
  win::ShowModal(hwnd(), ok_.hwnd());
  KillTimer(hwnd(), kAnimationTimer);
}

bool TVersionBox::Create(HWND owner) {
  WindowPlacement placement;
  placement.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  placement.ex_style = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_DLGMODALFRAME;
  // Opened on its owner's screen, at that screen's density.
  const Dpi dpi = DpiOf(owner);
  const SIZE frame = FrameSize(dpi.Scale(kClientWidth), dpi.Scale(kClientHeight), placement.style,
                               placement.ex_style, UINT(dpi.value()));
  const RECT work = WorkAreaOf(owner);
  placement.bounds = CentredWithin(work, work, frame.cx, frame.cy);
  placement.parent = owner;
  placement.text = Utf8ToWide(setup_.caption);
  if (!CreateWindowOf({kVersionBoxClass}, placement)) return false;
  CreateChildren();
  return true;
}

void TVersionBox::CreateChildren() {
  font_ = MakeFont({Utf8ToWide(kFontFace), -dpi().Scale(12)});

  ok_.Create({.parent = hwnd(), .id = IDOK, .bounds = dpi().Scale(kOkBounds), .text = "OK", .font = font_.get(),
              .style = BS_DEFPUSHBUTTON});
  // Not while the download's bar stands in its place.
  ok_.on_click = [this] {
    if (!downloading_) SetFormModalResult(hwnd(), IDOK);
  };
  update_.Create({.parent = hwnd(), .id = kUpdateButtonId, .bounds = dpi().Scale(kUpdateBounds),
                  .text = "Update", .font = font_.get()});
  update_.on_click = [this] { checker_.UpdateButtonClick(); };
  progress_.Place(hwnd(), dpi().Scale(kProgressBounds), dpi());
  AddTooltips();
}

// Tool ids of the panel's areas.
constexpr UINT_PTR kVersionTip = 1;
constexpr UINT_PTR kMakerTip = 2;

void TVersionBox::AddTooltips() {
  if (!tooltips_.Create(hwnd())) return;
  const RECT version = {kVersionBox.left, kVersionBox.top + kPanel.top, kVersionBox.right,
                        kVersionBox.bottom + kPanel.top};
  tooltips_.AddForArea(kVersionTip, dpi().Scale(version), "バージョン");
  tooltips_.AddForArea(kMakerTip, dpi().Scale(MakerBounds()), "Ｑ＆Ｚ Home");
  tooltips_.AddForChild(update_.hwnd(), "更新ファイルを確認する");
}

// Showing: the maker's link placed against the right edge, one animation
// step at once, then the timer.
void TVersionBox::FormShow() {
  if (ResizeCanvas()) {
    canvas_.SetFont(FormFont(kLinkColor));
    maker_width_ = canvas_.TextExtent(setup_.maker).cx;
  }
  tooltips_.MoveArea(kMakerTip, dpi().Scale(MakerBounds()));
  AnimationStep();
  SetTimer(hwnd(), kAnimationTimer, kAnimationInterval, nullptr);
}

void TVersionBox::AnimationStep() {
  controls::RasterCanvas frame(about::kPictureSize, about::kPictureSize);
  about::CopyFrame(strip_, animation_.Step(), setup_.panel_color, frame);
  picture_ = ToImage(frame);
  InvalidatePanel();
}

RECT TVersionBox::PictureBounds() const {
  const controls::Rect r = animation_.PictureRect();
  return {r.left, r.top + kPanel.top, r.right, r.bottom + kPanel.top};
}

RECT TVersionBox::MakerBounds() const {
  const int panel_width = kPanel.right - kPanel.left;
  const int left = panel_width - maker_width_ - 16;
  return {left, kMakerTop + kPanel.top, left + maker_width_, kMakerTop + kPanel.top + 14};
}

void TVersionBox::InvalidatePanel() {
  const RECT panel = dpi().Scale(kPanel);
  if (hwnd()) InvalidateRect(hwnd(), &panel, FALSE);
}

// The box is drawn in design pixels, stretched to the window's density.
bool TVersionBox::ResizeCanvas() {
  return canvas_.Resize({dpi().Scale(kClientWidth), dpi().Scale(kClientHeight)},
                        {kClientWidth, kClientHeight});
}

LRESULT TVersionBox::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  // Mouse positions in design pixels, like the places they are tested against.
  const POINT point = {dpi().Unscale(static_cast<short>(LOWORD(lp))),
                       dpi().Unscale(static_cast<short>(HIWORD(lp)))};
  switch (msg) {
    case WM_TIMER:
      if (wp == kAnimationTimer) AnimationStep();
      return 0;
    case WM_MOUSEMOVE:
      OnMouseMove(point);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      OnMouseDown(point);
      return 0;
    case WM_LBUTTONUP:
      OnMouseUp(point);
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lp) == HTCLIENT && OnSetCursor()) return TRUE;
      break;
    case WM_COMMAND:
      // Escape does what the close box does.
      if (LOWORD(wp) == IDCANCEL) SendMessageW(hwnd(), WM_CLOSE, 0, 0);
      return 0;
    case WM_CLOSE:
      // While a download runs the loop below us still needs the window:
      // closing stops the download first, the form stays.
      if (downloading_) {
        checker_.UpdateButtonClick();
      } else {
        SetFormModalResult(hwnd(), IDCANCEL);
      }
      return 0;
    default:
      break;
  }
  return Default(msg, wp, lp);
}

void TVersionBox::OnMouseMove(POINT p) {
  if (Contains(PictureBounds(), p)) {
    animation_.MouseMoveOnPicture();
    InvalidatePanel();
  } else if (Contains(kPanel, p)) {
    animation_.MouseMoveOnPanel();
  }
}

void TVersionBox::OnMouseDown(POINT p) {
  if (!Contains(PictureBounds(), p)) return;
  animation_.MouseDownOnPicture();
  InvalidatePanel();
}

void TVersionBox::OnMouseUp(POINT p) {
  if (setup_.HasHomePage() && Contains(MakerBounds(), p)) OpenHomePage(hwnd(), setup_.home_page);
}

bool TVersionBox::OnSetCursor() {
  POINT p;
  GetCursorPos(&p);
  ScreenToClient(hwnd(), &p);
  p = {dpi().Unscale(p.x), dpi().Unscale(p.y)};
  const bool on_link = setup_.HasHomePage() && Contains(MakerBounds(), p);
  if (!Contains(PictureBounds(), p) && !on_link) return false;
  SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
  return true;
}

void TVersionBox::OnPaint(HDC dc) {
  if (!ResizeCanvas()) return;
  canvas_.FillRect({0, 0, kClientWidth, kClientHeight}, canvas_.Resolve(controls::SystemColor(controls::kColorBtnFace)));
  PaintPanel(canvas_);
  canvas_.BlitTo(dc, 0, 0);
  progress_.PaintOn(dc);
}

void TVersionBox::PaintPanel(controls::Canvas& c) {
  const controls::Rect panel = {kPanel.left, kPanel.top, kPanel.right, kPanel.bottom};
  const controls::Color shadow = c.Resolve(controls::SystemColor(controls::kColorBtnShadow));
  const controls::Color light = c.Resolve(SystemColor(controls::kColorBtnHighlight));
  // Lowered outer edge, raised inner edge.
  auto bevel = [&](const controls::Rect& r, controls::Color top_left, controls::Color bottom_right) {
    const controls::Pen first{top_left, 1}, second{bottom_right, 1};
    c.Line({r.left, r.bottom - 1}, {r.left, r.top}, first);
    c.Line({r.left, r.top}, {r.right - 1, r.top}, first);
    c.Line({r.right - 1, r.top}, {r.right - 1, r.bottom - 1}, second);
    c.Line({r.right - 1, r.bottom - 1}, {r.left - 1, r.bottom - 1}, second);
  };
  bevel(panel, shadow, light);
  const controls::Rect inner = {panel.left + 1, panel.top + 1, panel.right - 1, panel.bottom - 1};
  bevel(inner, light, shadow);
  c.FillRect({inner.left + 1, inner.top + 1, inner.right - 1, inner.bottom - 1}, setup_.panel_color);

  const int top = panel.top;
  c.SetFont(FormFont(setup_.title_color, 16, true));
  const controls::Size title = c.TextExtent(setup_.title_line);
  c.WriteText(kTitleBox.left + (kTitleBox.Width() - title.cx) / 2,
              top + kTitleBox.top + (kTitleBox.Height() - title.cy) / 2, setup_.title_line,
              setup_.title_color);

  c.SetFont(FormFont(kCreditColor));
  c.WriteText(kCreditAt.x, top + kCreditAt.y, setup_.credit_line, kCreditColor);

  c.SetFont(FormFont(setup_.version_color));
  const controls::Size version = c.TextExtent(setup_.version_line);
  c.WriteText(kVersionBox.left + (kVersionBox.Width() - version.cx) / 2, top + kVersionBox.top,
              setup_.version_line, setup_.version_color);

  c.SetFont(FormFont(setup_.date_color));
  c.WriteText(kYearsAt.x, top + kYearsAt.y, setup_.years_line, setup_.date_color);

  // Without a site the link is drawn as a plain grey text.
  const bool live = setup_.HasHomePage();
  const controls::Color link_color = live ? kLinkColor : kDeadLinkColor;
  c.SetFont(FormFont(link_color));
  const RECT maker = MakerBounds();
  const controls::Size maker_size = c.TextExtent(setup_.maker);
  c.WriteText(maker.left, maker.top, setup_.maker, link_color);
  const int underline = maker.top + maker_size.cy - 1;
  if (live)
    c.Line({maker.left, underline}, {maker.left + maker_size.cx, underline}, controls::Pen{kLinkColor, 1});

  const RECT picture = PictureBounds();
  c.DrawImage(picture_, {picture.left, picture.top, picture.right, picture.bottom});
}

void TVersionBox::ShowMessage(const std::string& text) {
  MessageBoxW(hwnd(), Utf8ToWide(text).c_str(), Utf8ToWide(setup_.message_caption).c_str(), MB_OK);
}

bool TVersionBox::AskYesNo(const std::string& caption, const std::string& text) {
  return MessageBoxW(hwnd(), Utf8ToWide(text).c_str(), Utf8ToWide(caption).c_str(), MB_YESNO) ==
         IDYES;
}

std::optional<std::string> TVersionBox::ChooseFolder(const std::string& caption) {
  if (services_.choose_folder) return services_.choose_folder(hwnd(), caption);
  return BrowseForFolder(hwnd(), caption);
}

void TVersionBox::DownloadStarted(uint64_t max) {
  downloading_ = true;
  progress_.bar().SetMax(max);
  progress_.bar().SetPosition(0);
  progress_.SetVisible(true);
  ok_.SetVisible(false);
  update_.SetText("中止");
}

void TVersionBox::DownloadProgress(uint64_t position, uint64_t max) {
  if (progress_.bar().Max() != max) progress_.bar().SetMax(max);
  progress_.bar().SetPosition(position);
}

// Runs what is waiting in the message queue, the "中止" click among it. A
// quit request is put back for the outer loop and stops the download.
void TVersionBox::ProcessInput() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      if (!checker_.Idle()) checker_.UpdateButtonClick();
      return;
    }
    if (!PreTranslateFormMessage(hwnd(), msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}

void TVersionBox::DownloadEnded() {
  downloading_ = false;
  progress_.SetVisible(false);
  update_.SetText("Update");
  ok_.SetVisible(true);
}

void TVersionBox::OpenFolder(const std::string& folder) {
  if (services_.open_folder) {
    services_.open_folder(hwnd(), folder);
    return;
  }
  win::OpenFolder(hwnd(), folder);
}

}  // namespace plexi::win
