#include "report/signing_key_dialog_win.h"

#include <string>

#include "window/form_win.h"

namespace plexi::report {

namespace {

constexpr int kModalClose = 2;
constexpr int kClientWidth = 660;
constexpr int kLabelWidth = 116;
constexpr int kFieldX = 8 + kLabelWidth + 4;

}  // namespace

SigningKeyDlg::SigningKeyDlg(const win::FormResources& resources, platform::SigningKeys& keys)
    : resources_(resources), keys_(keys) {}

SigningKeyDlg::~SigningKeyDlg() { DestroyForm(); }

bool SigningKeyDlg::Create() {
  face_ = resources_.face;
  win::FormSpec desc;
  desc.class_name = kClassName;
  desc.caption = "署名鍵";
  desc.client_width = kClientWidth;
  desc.client_height = 150;
  desc.owner = resources_.owner;
  desc.centre_on = resources_.owner;
  if (!CreateForm(desc)) return false;
  state_.Create({.parent = hwnd(), .id = kStateText, .bounds = Place(8, 8, kClientWidth - 16, 32)});
  labels_[0].Create({.parent = hwnd(), .bounds = Place(8, 51, kLabelWidth, 16), .text = "フィンガープリント"});
  fingerprint_.Create({.parent = hwnd(), .id = kFingerprintEdit, .bounds = Place(kFieldX, 48, kClientWidth - kFieldX - 8, 22),
                       .style = ES_READONLY | ES_AUTOHSCROLL});
  labels_[1].Create({.parent = hwnd(), .bounds = Place(8, 81, kLabelWidth, 16), .text = "公開鍵のファイル"});
  path_.Create({.parent = hwnd(), .id = kPathEdit, .bounds = Place(kFieldX, 78, kClientWidth - kFieldX - 8, 22),
                .style = ES_READONLY | ES_AUTOHSCROLL});
  create_.Create({.parent = hwnd(), .id = kCreateButton, .bounds = Place(kClientWidth - 176, 116, 87, 25),
                  .text = "署名鍵を作成"});
  create_.on_click = [this] { CreateKey(); };
  close_.Create({.parent = hwnd(), .id = kCloseButton, .bounds = Place(kClientWidth - 83, 116, 75, 25),
                 .text = "閉じる", .style = BS_DEFPUSHBUTTON});
  close_.on_click = [this] { win::SetFormModalResult(hwnd(), kModalClose); };
  return true;
}

// The key as the files hold it: its fingerprint, or that there is none,
// or why it cannot be read.
void SigningKeyDlg::ShowKey() {
  const platform::Result<std::string> key = keys_.PublicKey();
  const bool present = key.ok() && !key->empty();
  if (present)
    state_.SetMultilineText("消去報告書はこの鍵で署名されます（ECDSA P-256）。\n"
                            "公開鍵を照合する人に渡し、フィンガープリントを公表してください。");
  else if (key.ok()) state_.SetMultilineText(kNoSigningKey);
  else state_.SetMultilineText("署名鍵を読めません（エラー " + std::to_string(key.error()) + "）。");
  fingerprint_.SetText(present ? platform::KeyFingerprint(*key) : std::string());
  path_.SetText(present ? keys_.PublicKeyPath() : std::string());
  EnableWindow(create_.hwnd(), key.ok() && !present);
}

void SigningKeyDlg::CreateKey() {
  const platform::Result<std::string> made = keys_.Create(false);
  ShowKey();
  if (!made.ok()) state_.SetMultilineText("署名鍵を作成できませんでした（エラー " + std::to_string(made.error()) + "）。");
}

void SigningKeyDlg::Run() {
  if (!Create()) return;
  ShowKey();
  static_cast<void>(win::ShowModal(hwnd(), close_.hwnd()));
}

LRESULT SigningKeyDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_COMMAND && (LOWORD(wp) == IDCANCEL || LOWORD(wp) == IDOK)) {
    win::SetFormModalResult(hwnd(), kModalClose);
    return 0;
  }
  return DialogForm::OnMessage(msg, wp, lp);
}

}  // namespace plexi::report
