#include "erase/confirm_dialog_win.h"
#include "record/erase_method.h"

#include <shellapi.h>

#include "controls/color_button.h"
#include "window/form_win.h"
#include "drives/drive_types.h"
#include "erase/erase_dialogs.h"
#include "erase/purge_panel.h"
#include "window/ui_font_win.h"
#include "platform/win/gdi_scope.h"
#include "platform/win/shell_link_win.h"
#include "platform/win/utf.h"

namespace plexi {
namespace {

using win::SetFormModalResult;

// The firmware purge's frame sits below the other methods' frame; the
// buttons move down by its height, everything else keeps its place.
constexpr int kPurgeHeight = 181;
constexpr int kClientWidth = 398;
constexpr int kClientHeight = 405 + kPurgeHeight;
constexpr int kPanelHeight = 361 + kPurgeHeight;
constexpr int kButtonTop = 373 + kPurgeHeight;
constexpr UINT_PTR kAccessLampTimer = 1;  // Timer1
constexpr UINT kBlinkIntervalMs = 1000;
constexpr RECT kBevel1{8, 254, 8 + 385, 254 + 99};
constexpr RECT kBevel2{8, 358, 8 + 385, 358 + 176};
constexpr RECT kPurgeNoteBox{38, 382, 38 + 347, 382 + 54};
constexpr RECT kPurgeFactsBox{38, 440, 38 + 347, 440 + 90};
constexpr int kPurgeMethod = 3;
constexpr COLORREF kWarningRed = RGB(255, 0, 0);
constexpr COLORREF kPanelWhite = RGB(255, 255, 255);

}  // namespace

TDriveDelInfoDlg::TDriveDelInfoDlg(const win::FormResources& resources,
                                   platform::Device* drive, uint32_t bytes_per_sector)
    : resources_(resources), drive_(drive), bytes_per_sector_(bytes_per_sector) {
  if (drive_ && bytes_per_sector_ > 0)
    blink_buffer_ = std::make_unique<AlignedBuffer>(bytes_per_sector_);
}

TDriveDelInfoDlg::~TDriveDelInfoDlg() {
  if (hwnd() && timer_on_) KillTimer(hwnd(), kAccessLampTimer);
  DestroyForm();
}

bool TDriveDelInfoDlg::Create() {
  face_ = resources_.face;
  win::FormSpec desc;
  desc.class_name = kClassName;
  desc.client_width = kClientWidth;
  desc.client_height = kClientHeight;
  desc.owner = resources_.owner;
  if (!CreateForm(desc)) return false;
  edit_font_ = FormFont(16, true);
  CreateControls();
  if (blink_buffer_) {
    SetTimer(hwnd(), kAccessLampTimer, kBlinkIntervalMs, nullptr);
    timer_on_ = true;
  }
  return true;
}

void TDriveDelInfoDlg::CreateControls() {
  text_.Create({.parent = hwnd(), .id = kConfirmationText, .bounds = Place(8, 8, 383, 209)});
  confirm_word_.Create({.parent = hwnd(), .id = kConfirmWordEdit, .bounds = Place(24, 222, 73, 23),
                        .font = edit_font_.get(), .style = ES_AUTOHSCROLL});
  confirm_word_.on_change = [this] { Edit1Change(); };
  irreversible_.Create({.parent = hwnd(), .id = kIrreversibleNote, .bounds = Place(118, 227, 200, 14),
                        .text = "※消去後は、復元できません。"});
  irreversible_.SetColours(kWarningRed, kPanelWhite);
  CreateMethodGroup();
  purge_note_.Create({.parent = hwnd(), .id = kPurgeNote, .bounds = Px(kPurgeNoteBox)});
  purge_facts_.Create({.parent = hwnd(), .id = kPurgeFacts, .bounds = Px(kPurgeFactsBox)});
  verify_.Create({.parent = hwnd(), .id = kVerifyCheck, .bounds = Place(17, 306, 220, 17),
                  .text = "データの消去を確認する", .style = WS_GROUP});
  history_.Create({.parent = hwnd(), .id = kHistoryCheck, .bounds = Place(17, 327, 220, 17),
                   .text = "消去履歴をドライブに保存する"});
  history_.SetChecked(true);
  CreateButtons();
}

// RadioGroup1: a frame with the three methods in three columns, their
// names from the same table as the list's method column. The firmware
// purge sits in its own frame below, but is one radio group with them
// (arrow keys move through all four, Tab stops once).
void TDriveDelInfoDlg::CreateMethodGroup() {
  win::RadioGroup::CreateArgs group{.parent = hwnd(), .first_id = kMethodItem0, .caption = "消去方式",
                                    .frame = Place(14, 259, 373, 40), .frame_id = kMethodGroup};
  const int column = (373 - 16) / 3;
  for (int method = 0; method < 3; ++method)
    group.items.push_back({EraseMethodText(method, MethodTextForm::kLong),
                           Place(14 + 8 + method * column, 277, column - 4, 16)});
  group.items.push_back({EraseMethodText(kPurgeMethod, MethodTextForm::kLong), Place(22, 364, 160, 16)});
  methods_.Create(group);
}

void TDriveDelInfoDlg::CreateButtons() {
  start_.Create({.parent = hwnd(), .id = kStartButton, .bounds = Place(117, kButtonTop, 75, 25),
                 .text = "消去開始", .style = BS_DEFPUSHBUTTON, .enabled = false});
  // Enter reaches here too; only an armed button starts the erase.
  start_.on_click = [this] {
    if (start_.Enabled()) SetFormModalResult(hwnd(), controls::msOk);
  };
  cancel_.Create({.parent = hwnd(), .id = kCancelButton, .bounds = Place(197, kButtonTop, 75, 25),
                  .text = "キャンセル"});
  cancel_.on_click = [this] { OnCancel(); };
  help_.Create({.parent = hwnd(), .id = kHelpButton, .bounds = Place(283, kButtonTop + 1, 25, 22)},
               resources_.images, 0);
  help_.on_click = [this] { SpeedButton1Click(); };
  AddHint(help_.hwnd(), "Help");
}

ConfirmChoice TDriveDelInfoDlg::Run(const ConfirmRequest& request) {
  if (!Create()) return ReadConfirmChoice(request, false, false, true, MethodCode(request.method));
  SetCaption(request.caption);
  // Characters 15 pixels high; a stand-in face with more room between
  // lines is made just small enough for the whole text to show.
  text_font_ = win::FontForText(face_, Px(15), win::Utf8ToWide(request.text), {Px(383), Px(209)});
  text_.SetFont(text_font_.get());
  text_.SetMultilineText(request.text);
  methods_.Select(MethodCode(request.method));
  methods_.Frame().SetEnabled(request.method_enabled);
  for (int method = 0; method < kPurgeMethod; ++method) methods_.Item(method).SetEnabled(request.method_enabled);
  ShowPurge(request);
  if (request.verify_preset) verify_.SetChecked(true);

  const int result = win::ShowModal(hwnd(), confirm_word_.hwnd());
  // FormClose: the lamp stops with the dialog.
  if (timer_on_) KillTimer(hwnd(), kAccessLampTimer);
  timer_on_ = false;
  return ReadConfirmChoice(request, result == controls::msOk, verify_.Checked(), history_.Checked(),
                           SelectedMethod());
}

// The purge's radio is enabled only where the drive can purge now; beside
// it either why not, or the warning that it cannot be interrupted (red),
// and under that what the drive said it can do. Each text gets the largest
// characters up to 12 pixels at which all of it fits its box.
void TDriveDelInfoDlg::ShowPurge(const ConfirmRequest& request) {
  const bool offered = request.method_enabled && request.purge_offered;
  methods_.Item(kPurgeMethod).SetEnabled(offered);
  const PurgePanelText panel = PurgePanelOf(request);
  const bool warning = !panel.warning.empty();
  purge_note_.SetColours(warning ? kWarningRed : GetSysColor(COLOR_WINDOWTEXT), kPanelWhite);
  auto fill = [this](win::Label& label, win::UniqueFont& font, const std::string& text, const RECT& box) {
    font = win::FontForText(face_, Px(12), win::Utf8ToWide(text),
                            {Px(box.right - box.left), Px(box.bottom - box.top)});
    label.SetFont(font.get());
    label.SetMultilineText(text);
  };
  fill(purge_note_, note_font_, warning ? panel.warning : panel.reason, kPurgeNoteBox);
  fill(purge_facts_, facts_font_, panel.facts, kPurgeFactsBox);
}

int TDriveDelInfoDlg::SelectedMethod() const { return methods_.Selected().value_or(-1); }

void TDriveDelInfoDlg::Edit1Change() {
  start_.SetEnabled(ConfirmWordTyped(confirm_word_.Text()));
}

void TDriveDelInfoDlg::Timer1Timer() {
  KillTimer(hwnd(), kAccessLampTimer);
  if (drive_ && blink_buffer_) BlinkAccessLamp(*drive_, blink_buffer_->data(), bytes_per_sector_);
  if (timer_on_) SetTimer(hwnd(), kAccessLampTimer, kBlinkIntervalMs, nullptr);
}

void TDriveDelInfoDlg::SpeedButton1Click() {
  if (resources_.help_path.empty()) return;
  win::ScopedComInit com;  // the shell may hand the file to an extension
  ShellExecuteW(hwnd(), L"open", win::Utf8ToWide(resources_.help_path).c_str(), nullptr, nullptr,
                SW_SHOWNORMAL);
}

void TDriveDelInfoDlg::OnPaint(HDC dc) {
  RECT client;
  GetClientRect(hwnd(), &client);
  const RECT panel{0, 0, client.right, Px(kPanelHeight)};
  FillRect(dc, &panel, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  RECT below{0, Px(kPanelHeight), client.right, client.bottom};
  FillRect(dc, &below, GetSysColorBrush(COLOR_BTNFACE));
  RECT bevel = Px(kBevel1);
  DrawEdge(dc, &bevel, EDGE_ETCHED, BF_RECT);
  RECT purge = Px(kBevel2);
  DrawEdge(dc, &purge, EDGE_ETCHED, BF_RECT);
}

LRESULT TDriveDelInfoDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CTLCOLORSTATIC: {
      // Everything on the white panel is white behind.
      HDC dc = reinterpret_cast<HDC>(wp);
      SetBkColor(dc, kPanelWhite);
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    }
    case DM_GETDEFID:
      return MAKELRESULT(kStartButton, DC_HASDEFID);
    case WM_TIMER:
      if (wp == kAccessLampTimer) Timer1Timer();
      return 0;
    default:
      break;
  }
  return DialogForm::OnMessage(msg, wp, lp);
}

}  // namespace plexi
