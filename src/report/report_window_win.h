// The erase reports in the program: the list of past reports, each opened
// in the default browser.
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
// double click), 「フォルダーを開く」 the folder itself, 「CSVに書き出す...」
// writes the folder's reports as CSV for an asset system.
class ReportListDlg : public win::DialogForm {
 public:
  static constexpr wchar_t kClassName[] = L"TReportListDlg";
  enum ControlId : int {
    kList = 501,
    kOpenButton = 502,
    kFolderButton = 503,
    kCloseButton = 504,
    kFolderText = 505,
    kExportButton = 506
  };

  // The folders: the one reports go to, then the one they are kept in
  // when that one refuses them (if another).
  ReportListDlg(const win::FormResources& resources, platform::FileStore& files, std::vector<std::string> folders);
  ~ReportListDlg() override;
  void Run();

 private:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
  bool Create();
  void CreateList();
  void CreateButtons();
  void Fill();
  void OpenSelected();
  void ExportCsv();

  win::FormResources resources_;
  platform::FileStore& files_;
  std::vector<ReportSummary> reports_;
  std::vector<std::string> folders_;
  std::string folder_;  // the first
  win::Label folder_text_;
  win::StandardControl list_;
  win::Button open_;
  win::Button open_folder_;
  win::Button export_;
  win::Button close_;
};

}  // namespace plexi::report
