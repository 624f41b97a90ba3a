// The main window: the drive list of the machine.
#pragma once
#include <windows.h>

#include <vector>

#include "app/message_box_notifier_win.h"
#include "drives/discovery.h"
#include "drives/drive_types.h"
#include "platform/platform.h"
#include "platform/win/win_handles.h"

namespace plexi::app {

extern const wchar_t kMainWindowClass[];  // "TDriveViewDlg"

class TDriveViewDlg {
 public:
  TDriveViewDlg(HINSTANCE instance, platform::Machine& machine, platform::Settings& settings,
                platform::FileStore& files);
  ~TDriveViewDlg();
  TDriveViewDlg(const TDriveViewDlg&) = delete;
  TDriveViewDlg& operator=(const TDriveViewDlg&) = delete;

  static bool RegisterWindowClass(HINSTANCE instance);

  // Creates the window centred on the screen and fills the list.
  bool Create();
  void Show(int show_command);
  HWND hwnd() const { return hwnd_; }

  // Rebuilds every row of the list from the machine.
  void SpeedButton3Click();

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam);

  void FormCreate();
  void CreateListView();
  void LayoutControls();
  void FillList();
  void AddRow(int index, const DriveRow& row);

  HINSTANCE instance_;
  platform::Machine& machine_;
  platform::Settings& settings_;
  platform::FileStore& files_;
  MessageBoxNotifier notifier_;
  DriveDiscovery discovery_;

  HWND hwnd_ = nullptr;   // owned by the system once created; cleared at WM_NCDESTROY
  HWND list_ = nullptr;   // ListView1, a child of hwnd_
  win::UniqueGdiObject font_;
  ViewMode view_ = ViewMode::kPhysical;
  std::vector<DriveRow> rows_;
};

}  // namespace plexi::app
