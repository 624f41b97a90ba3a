// The erase reports in the program: the list of past reports, each opened
// in the default browser, and the small dialog that names the operator and
// the organisation the reports carry.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "report/report_store.h"
#include "window/dialog_form_win.h"
#include "window/standard_controls_win.h"

namespace plexi::report {

// 「消去報告書」: date, drive, serial number, method and outcome of every
// report in the folder; 「開く」 opens the page of the selected one (also a
// double click), 「フォルダーを開く」 the folder itself.
class ReportListDlg : public win::DialogForm {
 public:
  static constexpr wchar_t kClassName[] = L"TReportListDlg";
  enum ControlId : int { kList = 501, kOpenButton = 502, kFolderButton = 503, kCloseButton = 504, kFolderText = 505 };

  ReportListDlg(const win::FormResources& resources, std::vector<ReportSummary> reports, std::string folder);
  ~ReportListDlg() override;
  void Run();

 private:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
  bool Create();
  void CreateList();
  void CreateButtons();
  void Fill();
  void OpenSelected();

  win::FormResources resources_;
  std::vector<ReportSummary> reports_;
  std::string folder_;
  win::Label folder_text_;
  win::StandardControl list_;
  win::Button open_;
  win::Button open_folder_;
  win::Button close_;
};

// 「作業者の設定」: the two texts; nothing after cancel.
struct OperatorNames {
  std::string operator_name, organisation;
};
class OperatorDlg : public win::DialogForm {
 public:
  static constexpr wchar_t kClassName[] = L"TOperatorDlg";
  enum ControlId : int { kOperatorEdit = 601, kOrganisationEdit = 602, kOkButton = 603, kCancelButton = 604 };

  explicit OperatorDlg(const win::FormResources& resources);
  ~OperatorDlg() override;
  std::optional<OperatorNames> Run(const OperatorNames& current);

 private:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
  bool Create();

  win::FormResources resources_;
  win::Edit operator_name_;
  win::Edit organisation_;
  win::Button ok_;
  win::Button cancel_;
  // The three labels, which nothing refers to.
  win::Label labels_[3];
};

}  // namespace plexi::report
