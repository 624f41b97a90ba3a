#include "shutdown/exit_dlg_win.h"

#include "window/form_win.h"
#include "platform/win/gdi_scope.h"
#include "platform/win/utf.h"

namespace plexi {
namespace {

constexpr int kClientWidth = 313;
constexpr int kClientHeight = 157;
constexpr COLORREF kBandColour = 4227327;  // orange
constexpr RECT kBand{0, 0, kClientWidth, 24};
constexpr RECT kBevel{8, 99, 305, 123};
constexpr int kModes = 5;
const char* const kModeItems[kModes] = {"ログオフ", "シャットダウン", "スタンバイ", "休止状態", "なし"};

RECT Bounds(int x, int y, int w, int h) { return {x, y, x + w, y + h}; }

}  // namespace

TExitDlg::TExitDlg(const win::FormResources& resources, HWND owner)
    : resources_(resources), owner_(owner ? owner : resources.owner) {}

TExitDlg::~TExitDlg() { DestroyForm(); }

bool TExitDlg::Create() {
  face_ = resources_.face;
  win::FormSpec desc;
  desc.class_name = kClassName;
  desc.caption = "Windows 終了設定";
  desc.client_width = kClientWidth;
  desc.client_height = kClientHeight;
  desc.owner = owner_;
  desc.centre_on = resources_.owner;
  if (!CreateForm(desc)) return false;
  band_font_ = FormFont(12, true);

  // RadioGroup1: three columns, filled top to bottom.
  win::RadioGroup::CreateArgs group{.parent = hwnd(), .first_id = kModeItem0, .caption = "モードの選択",
                                    .frame = Place(8, 30, 297, 64), .frame_id = kModeGroup};
  constexpr int kColumnLeft[] = {18, 136, 236};
  constexpr int kColumnWidth[] = {114, 96, 64};
  for (int mode = 0; mode < kModes; ++mode) {
    const int column = mode / 2, row = mode % 2;
    group.items.push_back({kModeItems[mode], Place(kColumnLeft[column], 48 + row * 20, kColumnWidth[column], 17)});
  }
  modes_.Create(group);
  force_.Create({.parent = hwnd(), .id = kForceCheck, .bounds = Place(18, 102, 180, 18),
                 .text = "強制的に終了する", .style = WS_GROUP});
  CreateButtons();
  return true;
}

void TExitDlg::CreateButtons() {
  const controls::Font font{.face = win::WideToUtf8(resources_.face), .height = -12,
                            .color = controls::SystemColor(controls::kColorBtnText)};
  ok_button_.Create({hwnd(), kOkButton, Px(Bounds(146, 127, 75, 25))}, "ColorButton1");
  ok_button_.button().SetCaption("OK");
  ok_button_.button().SetDefault(true);
  ok_button_.button().SetModalResult(controls::msOk);
  ok_button_.button().SetFont(font);
  cancel_button_.Create({hwnd(), kCancelButton, Px(Bounds(226, 127, 75, 25))}, "CancelBtn");
  cancel_button_.button().SetCaption("キャンセル");
  cancel_button_.button().SetCancel(true);
  cancel_button_.button().SetModalResult(controls::msCancel);
  cancel_button_.button().SetFont(font);
  help_.Create({.parent = hwnd(), .id = kHelpButton, .bounds = Place(8, 128, 25, 22)}, resources_.images, 0);
  help_.on_click = [] {};
  AddHint(help_.hwnd(), "Help");
}

std::optional<ShutdownChoice> TExitDlg::Run(int32_t current_mode, const std::string& caption) {
  if (!Create()) return std::nullopt;
  if (!caption.empty()) SetCaption(caption);
  if (current_mode >= 0 && current_mode < kModes) modes_.Select(current_mode);
  // The force box starts unchecked every time.
  const int result = win::ShowModal(hwnd(), ok_button_.hwnd());
  if (result != controls::msOk) return std::nullopt;
  ShutdownChoice choice;
  choice.mode = modes_.Selected().value_or(-1);
  choice.force = force_.Checked();
  return choice;
}

void TExitDlg::OnPaint(HDC dc) {
  RECT client;
  GetClientRect(hwnd(), &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  plexi::win::UniqueBrush band_brush(CreateSolidBrush(kBandColour));
  const RECT band = Px(kBand);
  FillRect(dc, &band, band_brush.get());
  {
    auto font = plexi::win::SelectInto(dc, band_font_.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    RECT text = band;
    DrawTextW(dc, L"消去終了時、Windowsを指定モードで終了する", -1, &text,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  RECT bevel = Px(kBevel);
  DrawEdge(dc, &bevel, EDGE_ETCHED, BF_RECT);
}

LRESULT TExitDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case DM_GETDEFID:
      return MAKELRESULT(kOkButton, DC_HASDEFID);
    case WM_COMMAND:
      // Enter not taken by a button is OK.
      if (LOWORD(wp) == IDOK || LOWORD(wp) == kOkButton) {
        win::SetFormModalResult(hwnd(), controls::msOk);
        return 0;
      }
      break;
    default:
      break;
  }
  return DialogForm::OnMessage(msg, wp, lp);
}

}  // namespace plexi
