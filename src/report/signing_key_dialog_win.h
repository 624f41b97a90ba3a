// 「署名鍵」, opened from 「作業者の設定」: the organisation's key that signs
// every erase report, shown by its fingerprint, and made here when there
// is none (a key that exists is replaced only by `report keygen --replace`).
#pragma once
#include <windows.h>

#include "platform/signing.h"
#include "window/dialog_form_win.h"
#include "window/standard_controls_win.h"

namespace plexi::report {

inline constexpr char kNoSigningKey[] = "署名鍵はまだありません。作成すると、以後の消去報告書はすべて署名されます。";

class SigningKeyDlg : public win::DialogForm {
 public:
  static constexpr wchar_t kClassName[] = L"TSigningKeyDlg";
  enum ControlId : int { kStateText = 641, kFingerprintEdit = 642, kPathEdit = 643, kCreateButton = 644,
                         kCloseButton = 645 };

  SigningKeyDlg(const win::FormResources& resources, platform::SigningKeys& keys);
  ~SigningKeyDlg() override;
  void Run();

 private:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
  bool Create();
  void ShowKey();
  void CreateKey();

  win::FormResources resources_;
  platform::SigningKeys& keys_;
  win::Label state_;
  win::Label labels_[2];
  win::Edit fingerprint_;
  win::Edit path_;
  win::Button create_;
  win::Button close_;
};

}  // namespace plexi::report
