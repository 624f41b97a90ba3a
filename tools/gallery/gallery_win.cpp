// Control gallery: every owner-drawn control in the states the program
// shows it in, for screenshots and for the driver that works the live ones
// through window messages. A test program, not part of the product.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controls/color_button_win.h"
#include "controls/color_progress_bar_win.h"
#include "window/form_win.h"
#include "controls/gdi_canvas_win.h"
#include "controls/my_track_bar_win.h"
#include "gallery/gallery_ids.h"
#include "platform/win/gdi_scope.h"
#include "platform/win/utf.h"
#include "platform/win/win_handles.h"
#include "window/window_helpers_win.h"
#include "window/window_win.h"

namespace plexi::gallery {
namespace {

using namespace plexi::controls;
using namespace plexi::win;

constexpr int kClientWidth = 880;
constexpr int kClientHeight = 610;
const Font kUiFont{.face = "MS UI Gothic", .height = -12, .color = SystemColor(kColorBtnText)};

struct Label {
  int x, y;
  std::string text;
};

RECT Bounds(int x, int y, int w, int h) { return {x, y, x + w, y + h}; }

class Gallery : public Window {
 public:
  ~Gallery() override { DestroyOwnWindow(); }
  bool Create();
  int Run();

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
  bool PaintsEveryPixel() const override { return true; }
  void OnPaint(HDC dc) override;

 private:

  void AddProgressBars();
  WindowlessProgressBar& AddBar(int x, int y, int w, int h, std::string label, PAINTTYPE style,
                                std::uint64_t position);
  void AddTrackBars();
  TrackBarWindow& AddTrack(HWND parent, int id, RECT bounds, std::int64_t position);
  void AddButtons();
  ColorButtonWindow& AddButton(HWND parent, int id, RECT bounds, const std::string& caption);
  bool CreateDialogForm();
  void PaintButtonSnapshot(HDC dc, TColorButton& button, int x, int y);

  Panel dialog_;
  plexi::win::UniqueFont label_font_;
  std::vector<std::unique_ptr<WindowlessProgressBar>> bars_;
  std::vector<std::unique_ptr<TrackBarWindow>> tracks_;
  std::vector<std::unique_ptr<ColorButtonWindow>> buttons_;
  std::vector<Label> labels_;
  TColorButton focused_look_, pressed_look_;
  GdiCanvas snapshot_canvas_;
  HWND first_focus_ = nullptr;
  HWND dialog_focus_ = nullptr;
  int last_clicked_ = 0;
  int last_modal_result_ = -1;
};

bool Gallery::Create() {
  label_font_ = MakeFont({L"MS UI Gothic", kUiFont.height, FW_DONTCARE});
  WindowPlacement placement;
  placement.style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  const SIZE frame = FrameSize(kClientWidth, kClientHeight, placement.style, 0);
  placement.bounds = {0, 0, frame.cx, frame.cy};
  placement.text = L"コントロール ギャラリー";
  const WindowClass gallery_class{kGalleryClass, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)};
  if (!CreateWindowOf(gallery_class, placement)) return false;
  AddProgressBars();
  AddTrackBars();
  AddButtons();
  return CreateDialogForm();
}

WindowlessProgressBar& Gallery::AddBar(int x, int y, int w, int h, std::string label,
                                       PAINTTYPE style, std::uint64_t position) {
  auto bar = std::make_unique<WindowlessProgressBar>();
  bar->Place(hwnd(), Bounds(x, y, w, h));
  bar->bar().SetBarStyle(style);
  bar->bar().SetFont(kUiFont);
  bar->bar().SetPosition(position);
  if (!label.empty()) labels_.push_back({x - 110, y + h / 2 - 7, std::move(label)});
  bars_.push_back(std::move(bar));
  return *bars_.back();
}

void Gallery::AddProgressBars() {
  labels_.push_back({10, 8, "カラープログレスバー"});
  const char* names[] = {"btSolid", "btSolid2", "btGradetion", "btGradetion2", "btWin7"};
  for (int i = 0; i < 5; ++i) {
    AddBar(120, 30 + i * 26, 200, 18, names[i], static_cast<PAINTTYPE>(i), 60);
    auto& flat = AddBar(120, 160 + i * 26, 200, 18, std::string(names[i]) + " 平面",
                        static_cast<PAINTTYPE>(i), 60);
    flat.bar().SetFlat(true);
    flat.bar().SetLineColor(0x808080);
  }
  for (std::uint64_t percent : {9u, 45u, 100u}) {
    auto& blocks = AddBar(450, 30 + static_cast<int>(percent == 9 ? 0 : percent == 45 ? 1 : 2) * 26,
                          200, 18, "ブロック " + std::to_string(percent) + "%", btGradetion2,
                          percent);
    blocks.bar().SetSmooth(true);
    blocks.bar().SetBlockSpace(2);
  }
  auto& text = AddBar(450, 108, 200, 18, "テキスト", btSolid2, 50);
  text.bar().SetTextSwitch(true);
  auto& shadow = AddBar(450, 134, 200, 18, "テキスト 影", btWin7, 75);
  shadow.bar().SetTextSwitch(true);
  shadow.bar().SetShadow(true);
  auto& tick = AddBar(450, 160, 200, 18, "目盛り 30%", btGradetion, 30);
  tick.bar().SetLineParVisible(true);
  auto& empty = AddBar(450, 186, 200, 18, "0% 目盛り", btSolid, 0);
  empty.bar().SetTextSwitch(true);
  empty.bar().SetLineParVisible(true);
  empty.bar().SetLinePar(80);
  AddBar(450, 212, 200, 21, "btWin7 H=21", btWin7, 80);
  AddBar(450, 241, 200, 10, "グラデ2 H=10", btGradetion2, 70);
  auto& red = AddBar(450, 259, 200, 18, "赤 ブロック", btWin7, 64);
  red.bar().SetBarColor(0x2020E0);
  red.bar().SetSmooth(true);
  red.bar().SetBlockCount(20);

  // Vertical: the five styles sunken, then flat with blocks.
  for (int i = 0; i < 10; ++i) {
    auto& v = AddBar(670 + i * 20, 30, 16, 230, "", static_cast<PAINTTYPE>(i % 5), 40 + 5 * i);
    v.bar().SetOrientation(pbVertical);
    if (i >= 5) {
      v.bar().SetFlat(true);
      v.bar().SetSmooth(true);
      v.bar().SetBlockCount(8);
      v.bar().SetLineColor(0x808080);
    }
  }
  labels_.push_back({670, 264, "縦: 沈み込み / 平面・ブロック"});
}

TrackBarWindow& Gallery::AddTrack(HWND parent, int id, RECT bounds, std::int64_t position) {
  auto track = std::make_unique<TrackBarWindow>();
  track->Create({parent, id, bounds});
  track->bar().SetPosition(position);
  tracks_.push_back(std::move(track));
  return *tracks_.back();
}

void Gallery::AddTrackBars() {
  labels_.push_back({10, 290, "トラックバー"});
  auto& focused = AddTrack(hwnd(), kTrackFocused, Bounds(120, 310, 300, 24), 40);
  focused.bar().SetLineSize(5);
  focused.bar().SetPageSize(20);
  first_focus_ = focused.hwnd();
  labels_.push_back({10, 315, "フォーカス"});
  AddTrack(hwnd(), kTrackDisabled, Bounds(120, 342, 300, 24), 60).SetEnabled(false);
  labels_.push_back({10, 347, "無効"});
  AddTrack(hwnd(), kTrackAtMin, Bounds(120, 374, 300, 24), 0);
  labels_.push_back({10, 379, "最小"});
  AddTrack(hwnd(), kTrackAtMax, Bounds(120, 406, 300, 24), 100);
  labels_.push_back({10, 411, "最大"});
  auto& vertical = AddTrack(hwnd(), kTrackVertical, Bounds(450, 300, 28, 140), 30);
  vertical.bar().SetOrientation(pbVertical);
  labels_.push_back({485, 360, "縦"});
}

ColorButtonWindow& Gallery::AddButton(HWND parent, int id, RECT bounds,
                                      const std::string& caption) {
  auto button = std::make_unique<ColorButtonWindow>();
  button->Create({parent, id, bounds}, "ColorButton" + std::to_string(id));
  button->button().SetCaption(caption);
  button->button().SetFont(kUiFont);
  buttons_.push_back(std::move(button));
  return *buttons_.back();
}

void Gallery::AddButtons() {
  labels_.push_back({10, 456, "カラーボタン"});
  HWND self = hwnd();
  auto record = [this, self](int id) {
    return [this, self, id] {
      last_clicked_ = id;
      InvalidateRect(self, nullptr, TRUE);
    };
  };
  auto& ok = AddButton(hwnd(), kButtonDefault, Bounds(120, 476, 75, 25), "OK");
  ok.button().SetDefault(true);
  ok.button().SetModalResult(msOk);
  ok.button().OnClick = record(kButtonDefault);
  auto& cancel = AddButton(hwnd(), kButtonCancel, Bounds(205, 476, 75, 25), "キャンセル");
  cancel.button().SetCancel(true);
  cancel.button().SetModalResult(msCancel);
  cancel.button().OnClick = record(kButtonCancel);
  auto& disabled = AddButton(hwnd(), kButtonDisabled, Bounds(290, 476, 75, 25), "無効");
  disabled.SetEnabled(false);
  auto& icon = AddButton(hwnd(), kButtonIcon, Bounds(375, 476, 95, 25), "情報");
  icon.button().SetGlyph(ImageFromIcon(LoadIconW(nullptr, IDI_INFORMATION), 32));
  icon.button().OnClick = record(kButtonIcon);
  auto& open = AddButton(hwnd(), kButtonOpenDialog, Bounds(480, 476, 110, 25), "ダイアログ...");
  open.button().OnClick = [self] { PostMessageW(self, kOpenDialog, 0, 0); };
  labels_.push_back({10, 481, "状態別"});

  // Looks a live button shows only while it has the focus or is held down.
  for (TColorButton* look : {&focused_look_, &pressed_look_}) {
    look->SetFont(kUiFont);
    look->SetColor(SystemColor(kColorBtnFace));
  }
  focused_look_.SetCaption("フォーカス");
  focused_look_.DoEnter();
  pressed_look_.SetCaption("押下");
  pressed_look_.SetPressed(true);
  labels_.push_back({10, 521, "フォーカス/押下"});
}

// Closing the dialog with its caption button answers cancel, as the
// program's dialogs do.
bool Gallery::CreateDialogForm() {
  WindowPlacement placement;
  placement.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  placement.ex_style = WS_EX_DLGMODALFRAME;
  const SIZE frame = FrameSize(300, 120, placement.style, 0);
  placement.bounds = Bounds(120, 120, frame.cx, frame.cy);
  placement.parent = hwnd();
  placement.text = L"モーダル ダイアログ";
  const WindowClass dialog_class{kDialogClass, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)};
  const bool made = dialog_.Create(dialog_class, placement, [this](UINT msg, WPARAM, LPARAM) {
    if (msg != WM_CLOSE) return std::optional<LRESULT>();
    SetFormModalResult(dialog_.hwnd(), msCancel);
    return std::optional<LRESULT>(0);
  });
  if (!made) return false;
  HWND dialog = dialog_.hwnd();
  dialog_focus_ = AddTrack(dialog, kDialogTrack, Bounds(20, 20, 260, 24), 50).hwnd();
  auto& ok = AddButton(dialog, kDialogOk, Bounds(110, 75, 75, 25), "OK");
  ok.button().SetDefault(true);
  ok.button().SetModalResult(msOk);
  auto& cancel = AddButton(dialog, kDialogCancel, Bounds(195, 75, 75, 25), "キャンセル");
  cancel.button().SetCancel(true);
  cancel.button().SetModalResult(msCancel);
  return true;
}

void Gallery::PaintButtonSnapshot(HDC dc, TColorButton& button, int x, int y) {
  if (!snapshot_canvas_.Resize(button.Width(), button.Height())) return;
  button.Paint(snapshot_canvas_);
  snapshot_canvas_.BlitTo(dc, x, y);
}

void Gallery::OnPaint(HDC dc) {
  for (const auto& bar : bars_) bar->ExcludeFrom(dc);
  RECT client;
  GetClientRect(hwnd(), &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  SelectClipRgn(dc, nullptr);

  {
    auto font = plexi::win::SelectInto(dc, label_font_.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    std::vector<Label> lines = labels_;
    lines.push_back({10, 585,
                     "最後のクリック: " + std::to_string(last_clicked_) +
                         "   モーダル結果: " + std::to_string(last_modal_result_)});
    for (const Label& label : lines) {
      const std::wstring text = plexi::win::Utf8ToWide(label.text);
      TextOutW(dc, label.x, label.y, text.c_str(), static_cast<int>(text.size()));
    }
  }

  for (const auto& bar : bars_) bar->PaintOn(dc);
  PaintButtonSnapshot(dc, focused_look_, 120, 516);
  PaintButtonSnapshot(dc, pressed_look_, 205, 516);
}

LRESULT Gallery::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case kGetLastClicked:
      return last_clicked_;
    case kGetLastModalResult:
      return last_modal_result_;
    case kOpenDialog:
      last_modal_result_ = ShowModal(dialog_.hwnd(), dialog_focus_);
      InvalidateRect(hwnd(), nullptr, FALSE);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return Default(msg, wp, lp);
  }
}

int Gallery::Run() {
  ShowWindow(hwnd(), SW_SHOW);
  UpdateWindow(hwnd());
  SetFocus(first_focus_);
  return RunMessageLoop(hwnd());
}

}  // namespace
}  // namespace plexi::gallery

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  plexi::gallery::Gallery gallery;
  if (!gallery.Create()) return 1;
  return gallery.Run();
}
