// The dialogs that fill in the erase certificate: 「作業者の設定」, what stays
// the same between erases (the people who perform and validate erases,
// the drives' usual source and destination), and 「消去報告書の記載」, the
// asset number and source asked for one erase.
#pragma once
#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "report/certificate.h"
#include "window/dialog_form_win.h"
#include "window/standard_controls_win.h"

namespace plexi::report {

struct OperatorSettings {
  CertificateFacts facts;
  bool ask_asset = false;  // ask for the asset number before each erase
  std::string report_folder;  // where reports go; empty: beside the program
};

// The settings of the dialog: read, and stored (the first failure's error).
OperatorSettings ReadOperatorSettings(platform::Settings& settings);
platform::Result<> StoreOperatorSettings(platform::Settings& settings, const OperatorSettings& chosen);

// 「作業者の設定」: nothing after cancel.
class OperatorDlg : public win::DialogForm {
 public:
  static constexpr wchar_t kClassName[] = L"TOperatorDlg";
  enum ControlId : int {
    kOperatorEdit = 601,  // the performer's five fields, 601 to 605
    kValidatorEdit = 611, // the validator's, 611 to 615
    kSourceEdit = 621,
    kDestinationList = 622,
    kAskAssetCheck = 623,
    kReportFolderEdit = 624,
    kOkButton = 631,
    kCancelButton = 632,
    kSigningKeyButton = 633,
  };

  explicit OperatorDlg(const win::FormResources& resources);
  ~OperatorDlg() override;
  std::optional<OperatorSettings> Run(const OperatorSettings& current);
  // 「署名鍵...」: opens the signing key's dialog over this one.
  std::function<void(HWND owner)> open_signing_key;

 private:
  static constexpr int kPersonFields = 5;
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
  bool Create();
  void CreatePeople();
  void CreateDrivesPart();
  void CreateButtons();
  void Show(const OperatorSettings& current);
  OperatorSettings Chosen() const;

  win::FormResources resources_;
  win::Edit performer_[kPersonFields];
  win::Edit validator_[kPersonFields];
  win::Edit source_;
  win::StandardControl destination_;
  win::CheckBox ask_asset_;
  win::Edit report_folder_;
  win::Button ok_;
  win::Button cancel_;
  win::Button signing_key_;
  // The labels, which nothing refers to.
  win::Label labels_[kPersonFields + 7];
};

// 「消去報告書の記載」 before an erase of `drive_label`: the asset number
// and the source, the source preset; nothing after cancel.
struct EraseNotes {
  std::string asset_number, media_source;
};
class AssetDlg : public win::DialogForm {
 public:
  static constexpr wchar_t kClassName[] = L"TAssetDlg";
  enum ControlId : int { kAssetEdit = 651, kSourceEdit = 652, kOkButton = 653, kCancelButton = 654 };

  explicit AssetDlg(const win::FormResources& resources);
  ~AssetDlg() override;
  std::optional<EraseNotes> Run(const std::string& drive_label, const std::string& source);

 private:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
  bool Create(const std::string& drive_label);

  win::FormResources resources_;
  win::Edit asset_;
  win::Edit source_;
  win::Button ok_;
  win::Button cancel_;
  win::Label labels_[3];
};

}  // namespace plexi::report
