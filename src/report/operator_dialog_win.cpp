#include "report/operator_dialog_win.h"

#include <commctrl.h>

#include "platform/win/utf.h"
#include "report/report_store.h"
#include "window/form_win.h"

namespace plexi::report {

namespace {

constexpr int kModalOk = 1;
constexpr int kModalCancel = 2;
constexpr int kMargin = 8;
constexpr int kLabelWidth = 96;
constexpr int kFieldWidth = 226;
constexpr int kRowStep = 28;
constexpr int kFirstRow = 52;
constexpr int kPerformerX = kMargin + kLabelWidth;
constexpr int kValidatorX = kPerformerX + kFieldWidth + kMargin;
constexpr int kClientWidth = kValidatorX + kFieldWidth + kMargin;

// The rows of a person, in the order of the edits' ids.
constexpr const char* kPersonRows[] = {"氏名", "組織", "役職・肩書", "場所", "連絡先"};
// The destination list's items: "not stated", then every destination.
constexpr const char kNoDestination[] = "（記載しない）";

std::string* PersonField(Person& p, int k) {
  std::string* fields[] = {&p.name, &p.organisation, &p.title, &p.location, &p.contact};
  return fields[k];
}

LRESULT ModalKeys(HWND form, UINT msg, WPARAM wp, int ok_id, bool* handled) {
  *handled = true;
  if (msg == DM_GETDEFID) return MAKELRESULT(ok_id, DC_HASDEFID);
  if (msg == WM_COMMAND && LOWORD(wp) == IDOK) {
    win::SetFormModalResult(form, kModalOk);
    return 0;
  }
  if (msg == WM_COMMAND && LOWORD(wp) == IDCANCEL) {
    win::SetFormModalResult(form, kModalCancel);
    return 0;
  }
  *handled = false;
  return 0;
}

}  // namespace

OperatorSettings ReadOperatorSettings(platform::Settings& settings) {
  return {ReadCertificateSettings(settings), settings.ReadInt(setting::kAskAsset).value_or(0) != 0,
          settings.ReadText(kReportFolderSetting).value_or(std::string())};
}

platform::Result<> StoreOperatorSettings(platform::Settings& settings, const OperatorSettings& chosen) {
  platform::Result<> stored = StoreCertificateSettings(settings, chosen.facts);
  if (!stored.ok()) return stored;
  stored = settings.WriteInt(setting::kAskAsset, chosen.ask_asset ? 1 : 0);
  if (!stored.ok()) return stored;
  return settings.WriteText(kReportFolderSetting, chosen.report_folder);
}

OperatorDlg::OperatorDlg(const win::FormResources& resources) : resources_(resources) {}

OperatorDlg::~OperatorDlg() { DestroyForm(); }

bool OperatorDlg::Create() {
  face_ = resources_.face;
  win::FormSpec desc;
  desc.class_name = kClassName;
  desc.caption = "作業者の設定";
  desc.client_width = kClientWidth;
  desc.client_height = kFirstRow + 9 * kRowStep + 40;
  desc.owner = resources_.owner;
  desc.centre_on = resources_.owner;
  if (!CreateForm(desc)) return false;
  CreatePeople();
  CreateDrivesPart();
  CreateButtons();
  return true;
}

// Two columns of the same rows: who performed the erase, who validated it.
void OperatorDlg::CreatePeople() {
  labels_[0].Create({.parent = hwnd(), .bounds = Place(kMargin, kMargin, kClientWidth - 2 * kMargin, 16),
                     .text = "消去報告書（NIST SP 800-88 Rev. 2 の消去証明書）に記載する人と媒体"});
  labels_[1].Create({.parent = hwnd(), .bounds = Place(kPerformerX, 32, kFieldWidth, 16), .text = "消去を行った人"});
  labels_[2].Create({.parent = hwnd(), .bounds = Place(kValidatorX, 32, kFieldWidth, 16), .text = "検証した人"});
  for (int k = 0; k < kPersonFields; ++k) {
    const int y = kFirstRow + k * kRowStep;
    labels_[3 + k].Create({.parent = hwnd(), .bounds = Place(kMargin, y + 3, kLabelWidth - 4, 16), .text = kPersonRows[k]});
    performer_[k].Create({.parent = hwnd(), .id = kOperatorEdit + k, .bounds = Place(kPerformerX, y, kFieldWidth, 22),
                          .style = ES_AUTOHSCROLL});
    validator_[k].Create({.parent = hwnd(), .id = kValidatorEdit + k,
                          .bounds = Place(kValidatorX, y, kFieldWidth, 22), .style = ES_AUTOHSCROLL});
  }
}

void OperatorDlg::CreateDrivesPart() {
  const int y = kFirstRow + kPersonFields * kRowStep + 6;
  labels_[8].Create({.parent = hwnd(), .bounds = Place(kMargin, y + 3, kLabelWidth - 4, 16), .text = "媒体の出所"});
  source_.Create({.parent = hwnd(), .id = kSourceEdit,
                  .bounds = Place(kPerformerX, y, 2 * kFieldWidth + kMargin, 22), .style = ES_AUTOHSCROLL});
  labels_[9].Create({.parent = hwnd(), .bounds = Place(kMargin, y + kRowStep + 3, kLabelWidth - 4, 16),
                     .text = "消去後の行き先"});
  destination_.Create(hwnd(), {WC_COMBOBOXW, L"", WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0,
                               Place(kPerformerX, y + kRowStep, 160, 160), kDestinationList});
  SendMessageW(destination_.hwnd(), WM_SETFONT, SendMessageW(hwnd(), WM_GETFONT, 0, 0), FALSE);
  const std::wstring none = win::Utf8ToWide(kNoDestination);
  SendMessageW(destination_.hwnd(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(none.c_str()));
  for (const Destination& d : kDestinations) {
    const std::wstring words = win::Utf8ToWide(d.words);
    SendMessageW(destination_.hwnd(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(words.c_str()));
  }
  ask_asset_.Create({.parent = hwnd(), .id = kAskAssetCheck,
                     .bounds = Place(kMargin, y + 2 * kRowStep + 2, kClientWidth - 2 * kMargin, 20),
                     .text = "消去のたびに資産番号と媒体の出所を尋ねる（媒体の出所は上の値から始まります）"});
  labels_[10].Create({.parent = hwnd(), .bounds = Place(kMargin, y + 3 * kRowStep + 3, kLabelWidth - 4, 16),
                      .text = "報告書の保存先"});
  report_folder_.Create({.parent = hwnd(), .id = kReportFolderEdit,
                         .bounds = Place(kPerformerX, y + 3 * kRowStep, 2 * kFieldWidth + kMargin, 22),
                         .style = ES_AUTOHSCROLL});
}

void OperatorDlg::CreateButtons() {
  const int y = kFirstRow + 9 * kRowStep + 8;
  ok_.Create({.parent = hwnd(), .id = kOkButton, .bounds = Place(kClientWidth - kMargin - 156, y, 75, 25),
              .text = "OK", .style = BS_DEFPUSHBUTTON});
  ok_.on_click = [this] { win::SetFormModalResult(hwnd(), kModalOk); };
  cancel_.Create({.parent = hwnd(), .id = kCancelButton, .bounds = Place(kClientWidth - kMargin - 75, y, 75, 25),
                  .text = "キャンセル"});
  cancel_.on_click = [this] { win::SetFormModalResult(hwnd(), kModalCancel); };
  signing_key_.Create({.parent = hwnd(), .id = kSigningKeyButton, .bounds = Place(kMargin, y, 87, 25),
                       .text = "署名鍵...", .enabled = bool(open_signing_key)});
  signing_key_.on_click = [this] { open_signing_key(hwnd()); };
}

void OperatorDlg::Show(const OperatorSettings& current) {
  OperatorSettings shown = current;
  for (int k = 0; k < kPersonFields; ++k) {
    performer_[k].SetText(*PersonField(shown.facts.performer, k));
    validator_[k].SetText(*PersonField(shown.facts.validator, k));
  }
  source_.SetText(current.facts.media_source);
  int item = 0;
  for (int k = 0; k < int(std::size(kDestinations)); ++k)
    if (current.facts.media_destination == kDestinations[k].code) item = k + 1;
  SendMessageW(destination_.hwnd(), CB_SETCURSEL, WPARAM(item), 0);
  ask_asset_.SetChecked(current.ask_asset);
  report_folder_.SetText(current.report_folder);
}

OperatorSettings OperatorDlg::Chosen() const {
  OperatorSettings chosen;
  for (int k = 0; k < kPersonFields; ++k) {
    *PersonField(chosen.facts.performer, k) = performer_[k].Text();
    *PersonField(chosen.facts.validator, k) = validator_[k].Text();
  }
  chosen.facts.media_source = source_.Text();
  const LRESULT item = SendMessageW(destination_.hwnd(), CB_GETCURSEL, 0, 0);
  if (item >= 1 && item <= LRESULT(std::size(kDestinations)))
    chosen.facts.media_destination = kDestinations[item - 1].code;
  chosen.ask_asset = ask_asset_.Checked();
  chosen.report_folder = report_folder_.Text();
  return chosen;
}

std::optional<OperatorSettings> OperatorDlg::Run(const OperatorSettings& current) {
  if (!Create()) return std::nullopt;
  Show(current);
  if (win::ShowModal(hwnd(), performer_[0].hwnd()) != kModalOk) return std::nullopt;
  return Chosen();
}

// Enter not taken by a button is OK, Escape cancel.
LRESULT OperatorDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  bool handled = false;
  const LRESULT result = ModalKeys(hwnd(), msg, wp, kOkButton, &handled);
  return handled ? result : DialogForm::OnMessage(msg, wp, lp);
}

AssetDlg::AssetDlg(const win::FormResources& resources) : resources_(resources) {}

AssetDlg::~AssetDlg() { DestroyForm(); }

bool AssetDlg::Create(const std::string& drive_label) {
  face_ = resources_.face;
  win::FormSpec desc;
  desc.class_name = kClassName;
  desc.caption = "消去報告書の記載";
  desc.client_width = 400;
  desc.client_height = 162;
  desc.owner = resources_.owner;
  desc.centre_on = resources_.owner;
  if (!CreateForm(desc)) return false;
  labels_[0].Create({.parent = hwnd(), .bounds = Place(8, 8, 384, 48)});
  labels_[0].SetMultilineText(drive_label + "\n消去報告書に記載する資産番号と媒体の出所\n（空欄のままでも消去できます）");
  labels_[1].Create({.parent = hwnd(), .bounds = Place(8, 67, 80, 16), .text = "資産番号"});
  asset_.Create({.parent = hwnd(), .id = kAssetEdit, .bounds = Place(92, 64, 300, 22), .style = ES_AUTOHSCROLL});
  labels_[2].Create({.parent = hwnd(), .bounds = Place(8, 97, 80, 16), .text = "媒体の出所"});
  source_.Create({.parent = hwnd(), .id = kSourceEdit, .bounds = Place(92, 94, 300, 22), .style = ES_AUTOHSCROLL});
  ok_.Create({.parent = hwnd(), .id = kOkButton, .bounds = Place(236, 129, 75, 25), .text = "OK",
              .style = BS_DEFPUSHBUTTON});
  ok_.on_click = [this] { win::SetFormModalResult(hwnd(), kModalOk); };
  cancel_.Create({.parent = hwnd(), .id = kCancelButton, .bounds = Place(317, 129, 75, 25), .text = "キャンセル"});
  cancel_.on_click = [this] { win::SetFormModalResult(hwnd(), kModalCancel); };
  return true;
}

std::optional<EraseNotes> AssetDlg::Run(const std::string& drive_label, const std::string& source) {
  if (!Create(drive_label)) return std::nullopt;
  source_.SetText(source);
  if (win::ShowModal(hwnd(), asset_.hwnd()) != kModalOk) return std::nullopt;
  return EraseNotes{asset_.Text(), source_.Text()};
}

LRESULT AssetDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  bool handled = false;
  const LRESULT result = ModalKeys(hwnd(), msg, wp, kOkButton, &handled);
  return handled ? result : DialogForm::OnMessage(msg, wp, lp);
}

}  // namespace plexi::report
