// The main window: the header band with the toolbar, the drive list and the
// status bar, its settings, and the messages from other running copies.
#pragma once
#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "about/about_dialog_win.h"
#include "app/artwork_win.h"
#include "app/drive_list_win.h"
#include "app/drive_view.h"
#include "app/environment_win.h"
#include "platform/signing.h"
#include "app/erase_dialogs_win.h"
#include "app/erase_guards_win.h"
#include "app/header_band_win.h"
#include "app/peer_copies_win.h"
#include "app/toolbar_win.h"
#include "window/message_box_notifier_win.h"
#include "app/erase_button.h"
#include "erase/erase_workflow.h"
#include "platform/win/session_end_watch_win.h"
#include "platform/win/win_handles.h"
#include "errors/error_report.h"
#include "shutdown/shutdown.h"
#include "window/window_win.h"
#include "viewer/sector_view_win.h"

namespace plexi::app {

extern const wchar_t kMainWindowClass[];  // "TDriveViewDlg"

class TDriveViewDlg : public win::Window, private EraseButtonHost, private EraseEnvironment {
 public:
  explicit TDriveViewDlg(Environment& environment);
  ~TDriveViewDlg() override;

  // Creates the window centred on the screen and runs the construction steps.
  bool Create();
  // Shows the window and runs FormShow.
  void Show(int show_command);

 protected:
  LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:

  // Creation, in the order the window is built.
  void FormCreate();
  void ConstructionSteps();
  void CreateControls();
  void FormShow();
  void FormCloseQuery();
  void FormDestroy();
  void LayoutControls();
  bool PaintsEveryPixel() const override { return true; }
  void OnPaint(HDC dc) override;
  void OnDpiChanged(const win::Dpi& old_dpi, const RECT& suggested) override;
  void SetStatusHint(const std::string& text);

  // Toolbar.
  void OnCommand(int id);
  void SpeedButton1Click();
  // What the window shows around the sector viewer as it opens or closes.
  void ShowSectorView(bool down);
  void SpeedButton2Click();
  void SpeedButton3Click(DriveView::RefreshCause cause = DriveView::RefreshCause::kUser);
  void SpeedButton4Click();
  void SpeedButton5Click();
  void SpeedButton6Click();
  void SpeedButton7Click();

  // The list.
  void ListView1MouseDown(int x);
  void ListView1SelectItem();
  // The dump and erase buttons for the selected row.
  void EnableRowButtons(const PressOutcome& outcome);
  void ShowListMenu(POINT screen);
  void Timer1Timer();
  // The window menu's "every disk" item, and the device notifications that
  // refresh the list when a disk comes or goes.
  void AddWindowMenuItems();
  // A command of the window menu's own items; false for the system's.
  bool OnWindowMenu(UINT command);
  void ToggleEveryDisk();
  void WatchDiskArrivals();
  void OnDeviceChange(WPARAM event);
  void OnContextMenu(HWND source, LPARAM where);
  void ChooseHeaderColour(POINT screen);
  void ApplyHeaderColour(int32_t index);
  LRESULT OnCopyData(WPARAM sender, LPARAM data);
  LRESULT OnQueryEndSession();
  void OnEndSession(bool ending);
  void HoldSessionEndForErase(bool logoff);
  int RowIcon(const DriveRow& row);
  // Erase reports: the system menu's two commands, and the report of each erase.
  void ShowReports();
  void ChooseOperator();
  std::string ReportsFolder() const;
  std::string LocalReportsFolder() const;
  std::unique_ptr<platform::SigningKeys> SigningKeyStore() const;
  win::FormResources DialogResources() const;
  void EraseFinished(const EraseJournal& journal) override;
  bool NoteForReport(EraseTarget& target) override;

  // EraseButtonHost
  bool StopDriveWatch() override;
  void StartDriveWatch() override;
  void RepaintRow(size_t index) override;
  void BroadcastRowChange(const RowChangeMessage& message) override;
  void ShutdownAfterErase() override;
  std::optional<std::string> ProtectionRefusal(const DriveRow& row, ViewMode view) override;
  // EraseEnvironment
  int32_t UpdateEraseCount(EraseCountOp operation) override;
  bool Unattended() override;
  void ReportError(const std::string& message, const std::string& drive_label) override;

  Environment& env_;
  win::MessageBoxNotifier notifier_;
  Artwork art_;
  DriveView model_;
  ErrorLog error_log_;
  HeaderBand band_;
  FlatToolbar toolbar_;
  DriveListView list_;
  win::SectorViewWindow sector_view_;
  RunningMarker running_;
  WinEraseDialogs erase_ui_;  // also the shutdown's windows
  EstimateState estimate_;
  std::unique_ptr<ShutdownController> shutdown_;  // made once the Windows version is known
  std::unique_ptr<EraseWorkflow> workflow_;

  HWND status_ = nullptr;  // StatusBar1, a child of the window
  HIMAGELIST system_icons_ = nullptr;  // the shell's, shared
  std::string help_path_;
  win::AboutBox about_;
  int colour_depth_ = 0;
  int os_class_ = 0;
  bool session_ending_ = false;
  bool watching_ = false;  // the drive watch's timer is set
  bool disks_changed_ = false;  // a disk came or went while the watch rested
  win::UniqueDeviceNotify disk_arrivals_;
  // While an erase writes; and from a session end asked for during it until
  // the erase has saved where it stopped.
  std::optional<KeepAwake> keep_awake_;
  std::optional<ShutdownBlockReason> session_block_;
  // Set while no erase is writing; reset from its first write until its
  // record is written and its report filed. Read by the session watch.
  win::UniqueKernelHandle erase_settled_{CreateEventW(nullptr, TRUE, TRUE, nullptr)};
  // Made last, so let go first: its thread reads the event above.
  std::optional<win::SessionEndWatch> session_watch_;
};

}  // namespace plexi::app
