#include "app/main_window_win.h"

#include <commctrl.h>
#include <dbt.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <chrono>
#include <utility>

#include "app/system_facts_win.h"
#include "app/window_settings.h"
#include "erase/erase_texts.h"
#include "window/ui_font_win.h"
#include "platform/app_identity.h"
#include "platform/host.h"
#include "report/report_store.h"
#include "report/operator_dialog_win.h"
#include "report/signing_key_dialog_win.h"
#include "report/report_window_win.h"
#include "util/file_names.h"
#include "platform/win/gdi_scope.h"
#include "platform/win/utf.h"
#include "platform/win/win_machine.h"
#include "window/window_helpers_win.h"
#include "shell/shell_actions_win.h"

namespace plexi::app {

const wchar_t kMainWindowClass[] = L"TDriveViewDlg";

namespace {

// How long the end of the session waits for an erase to stop and save its
// resume point and report: inside the five seconds Windows waits for a
// program before it offers to end it
// ("Application Shutdown Changes in Windows Vista",
// https://learn.microsoft.com/en-us/windows/win32/shutdown/application-shutdown-changes-in-windows-vista).
constexpr std::chrono::milliseconds kSessionEndWait{4500};

constexpr int kWidth = 730;
constexpr int kHeight = 409;
constexpr int kMinHeight = 230;
constexpr int kMaxHeight = 600;
constexpr UINT_PTR kDriveWatchTimer = 1;  // Timer1
constexpr UINT kWatchIntervalMs = 1000;
constexpr int kForbidMenuId = 301;  // "消去を禁止する"
constexpr int kAllowMenuId = 302;   // "消去を許可する"
// The window menu's own commands: below 0xF000 with the low four bits
// clear, which Windows keeps for itself.
constexpr UINT kReportsMenuId = 0x0110;     // "消去報告書..."
constexpr UINT kOperatorMenuId = 0x0120;    // "作業者の設定..."
constexpr UINT kEveryDiskCommand = 0x0130;  // "すべてのディスクを表示"
constexpr int kStaticText2Left = 184;  // right of the last tool button
constexpr int kStaticText2Top = FlatToolbar::kTop + 2;
// While the sector view is open its number field takes x 184: StaticText2
// moves right of the view's fields, still left of the maker's mark.
constexpr int kStaticText2Gap = 4;

const std::vector<ToolButtonSpec>& ToolButtons() {
  static const std::vector<ToolButtonSpec> buttons = {
      {kSectorDumpButton, 8, "セクタダンプ|セクタの内容を表示する", kImageSectorDump, true, false, false},
      {kEraseButton, 32, "ドライブの消去|選択したドライブを消去する", kImageErase, false, false, true},
      {kViewToggleButton, 56, ViewToggleHint(ViewMode::kPhysical), -1, true, true, false},
      {kRefreshButton, 80, "更新|最新の情報に更新する", kImageRefresh, false, true, false},
      {kErrorLogButton, 104, "エラーログ", kImageErrorLog, false, true, false},
      {kHelpButton, 128, "Help", kImageHelp, false, true, false},
      {kAboutButton, 152, "バージョン情報", kImageAbout, false, true, false},
  };
  return buttons;
}

}  // namespace

TDriveViewDlg::TDriveViewDlg(Environment& environment)
    : env_(environment),
      art_(Artwork::Make()),
      model_(*environment.machine, *environment.files, notifier_),
      error_log_(*environment.machine, *environment.files,
                 environment.files->ProgramDirectory() + "errlog.log"),
      band_(art_),
      toolbar_(art_, [this](const std::string& hint) { SetStatusHint(hint); }, [this](int id) { OnCommand(id); }),
      list_(art_, model_),
      sector_view_(*environment.machine, notifier_, [this] { ApplyHeaderColour(band_.ColourIndex()); }),
      running_(environment.settings_place),
      about_(win::AboutServices{.internet = environment.internet.get(),
                                .files = environment.download_files.get(),
                                .choose_folder = {},
                                .open_folder = {}}) {}

TDriveViewDlg::~TDriveViewDlg() { DestroyOwnWindow(); }

bool TDriveViewDlg::Create() {
  // Caption, system menu and minimise box; the height can change, the
  // width cannot (see WM_GETMINMAXINFO), and there is no maximise.
  constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_THICKFRAME |
                           WS_CLIPCHILDREN;
  const win::WindowClass window_class{kMainWindowClass};
  // No background: the band and the children cover everything.
  win::WindowPlacement placement;
  placement.style = kStyle;
  const win::Dpi dpi = win::DpiOf(nullptr);  // the screen it opens on
  placement.bounds = win::CentredIn(win::ScreenArea(), dpi.Scale(kWidth), dpi.Scale(kHeight));
  placement.text = kAppTitleWide;
  if (!CreateWindowOf(window_class, placement)) return false;
  ConstructionSteps();
  return true;
}

void TDriveViewDlg::Show(int show_command) {
  ShowWindow(hwnd(), show_command);
  UpdateWindow(hwnd());
  FormShow();
}

LRESULT TDriveViewDlg::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (std::optional<LRESULT> answer = sector_view_.ParentMessage(message, wparam, lparam)) return *answer;
  switch (message) {
    case WM_CREATE:
      FormCreate();
      return 0;
    case WM_SIZE:
      LayoutControls();
      return 0;
    case WM_GETMINMAXINFO: {
      auto* limits = reinterpret_cast<MINMAXINFO*>(lparam);
      const int width = dpi().Scale(kWidth);
      limits->ptMinTrackSize = {width, std::max(dpi().Scale(kMinHeight), sector_view_.MinHeight())};
      limits->ptMaxTrackSize = {width, dpi().Scale(kMaxHeight)};
      return 0;
    }
    case WM_MOUSEMOVE:
      toolbar_.ParentMouseMove({GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
      return 0;
    case WM_MOUSELEAVE:
      toolbar_.ParentMouseLeave();
      return 0;
    case WM_CONTEXTMENU:
      OnContextMenu(reinterpret_cast<HWND>(wparam), lparam);
      return 0;
    case WM_SYSCOMMAND:
      if (OnWindowMenu(UINT(wparam & 0xFFF0))) return 0;
      break;
    case WM_TIMER:
      if (wparam == kDriveWatchTimer) Timer1Timer();
      return 0;
    case WM_DEVICECHANGE:
      OnDeviceChange(wparam);
      return TRUE;
    case WM_COPYDATA:
      return OnCopyData(wparam, lparam);
    case WM_QUERYENDSESSION:
      return OnQueryEndSession();
    case WM_ENDSESSION:
      OnEndSession(wparam != 0);
      return 0;
    case WM_CLOSE:
      FormCloseQuery();
      DestroyWindow(hwnd());
      return 0;
    case WM_DESTROY:
      FormDestroy();
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return Default(message, wparam, lparam);
}

// While the window is made: the error log, the shell's icons for the list,
// the child controls.
void TDriveViewDlg::FormCreate() {
  notifier_.SetOwner(hwnd());
  // The pictures and the band for the screen the window opens on.
  art_ = Artwork::Make(dpi());
  band_.SetDpi(dpi());
  // The shell's image list as it gives it for the root of our own drive.
  system_icons_ = SystemImageList(win::ExecutableDirectory().substr(0, 3));
  CreateControls();
  model_.SetEveryDisk(EveryDiskChosen(*env_.settings));
  AddWindowMenuItems();
  WatchDiskArrivals();
  session_watch_.emplace(win::SessionEndWatch::Handlers{
      nullptr, [this](bool logoff) { HoldSessionEndForErase(logoff); }});
}

void TDriveViewDlg::AddWindowMenuItems() {
  HMENU menu = GetSystemMenu(hwnd(), FALSE);
  if (menu == nullptr) return;
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING | (model_.EveryDisk() ? MF_CHECKED : MF_UNCHECKED), kEveryDiskCommand,
              L"すべてのディスクを表示");
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, kReportsMenuId, L"消去報告書...");
  AppendMenuW(menu, MF_STRING, kOperatorMenuId, L"作業者の設定...");
}

bool TDriveViewDlg::OnWindowMenu(UINT command) {
  switch (command) {
    case kEveryDiskCommand: ToggleEveryDisk(); return true;
    case kReportsMenuId: ShowReports(); return true;
    case kOperatorMenuId: ChooseOperator(); return true;
    default: return false;
  }
}

void TDriveViewDlg::ToggleEveryDisk() {
  model_.SetEveryDisk(!model_.EveryDisk());
  CheckMenuItem(GetSystemMenu(hwnd(), FALSE), kEveryDiskCommand,
                MF_BYCOMMAND | (model_.EveryDisk() ? MF_CHECKED : MF_UNCHECKED));
  static_cast<void>(env_.settings->WriteInt(kEveryDiskValue, model_.EveryDisk() ? 1 : 0));  // best effort
  if (watching_) SpeedButton3Click(DriveView::RefreshCause::kWatch);
}

// Disks that come and go (a new disk, an external one plugged in or out)
// refresh the list at once; the once-a-second letter check stays for the
// volumes. A simulated machine's disks report through the watch instead.
void TDriveViewDlg::WatchDiskArrivals() {
  if (env_.simulated) return;
  DEV_BROADCAST_DEVICEINTERFACE_W filter{};
  filter.dbcc_size = sizeof filter;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_classguid = win::kDiskInterfaceGuid;
  disk_arrivals_.reset(RegisterDeviceNotificationW(hwnd(), &filter, DEVICE_NOTIFY_WINDOW_HANDLE));
}

void TDriveViewDlg::OnDeviceChange(WPARAM event) {
  if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE && event != DBT_DEVNODES_CHANGED) return;
  // While the watch rests (an erase, the sector viewer) the list must not
  // change under them: the refresh waits for the watch.
  disks_changed_ = true;
  if (watching_) Timer1Timer();
}

void TDriveViewDlg::CreateControls() {
  toolbar_.SetBackground([this](HDC dc, const RECT& part) { band_.CopyPart(dc, part); });
  toolbar_.Create(hwnd(), ToolButtons(), dpi());
  list_.Create(hwnd(), [this](int x) { ListView1MouseDown(x); }, [this] { ListView1SelectItem(); }, dpi());
  list_.SetImageList(system_icons_);
  sector_view_.Create(hwnd());
  status_ = win::CreateChildControl(hwnd(), {STATUSCLASSNAMEW, L"", WS_VISIBLE | SBARS_SIZEGRIP});
  SendMessageW(status_, SB_SIMPLE, TRUE, 0);
}

void TDriveViewDlg::ConstructionSteps() {
  // The start values: no end-of-erase action, no session end, and a letter
  // mask of 0, so that the first watch tick fills the list.
  session_ending_ = false;
  LayoutControls();

  help_path_ = env_.files->ProgramDirectory() + "Help\\Plexiscrub.htm";
  error_log_.LoadErrorLog(notifier_);
  colour_depth_ = ScreenColourDepth();
  erase_ui_.SetResources({hwnd(), win::AvailableFace(L"ＭＳ Ｐゴシック"), art_.toolbar.get(), help_path_, colour_depth_},
                         notifier_);
  erase_ui_.CreateWindows(kStaticText2Left, kStaticText2Top);

  // A simulated machine's drives need no rights of the real one.
  if (!env_.simulated && LacksAdministratorRights())
    win::ShowPlainMessage(hwnd(), "プレキシスクラブの実行は管理者で行う必要があります。特権レベルを設定して再実行して下さい。"
                            "このまま実行した場合、正しくドライブの消去を行うことはできません。");

  const WindowsVersion version = ReadWindowsVersion();
  os_class_ = OsClass(version.nt, version.major, version.minor);
  shutdown_ = std::make_unique<ShutdownController>(*env_.power, *env_.settings, erase_ui_,
                                                   notifier_, IsNtFamily(os_class_));
  EraseEnvironment& erase_environment = *this;
  workflow_ = std::make_unique<EraseWorkflow>(*env_.machine, erase_ui_, erase_environment, estimate_);
  erase_ui_.Attach(*workflow_, *shutdown_);
  ResetEraseCountWhenAlone(*env_.settings, running_.AnotherCopyRunning());

  if (VersionRanBefore(*env_.settings)) Timer1Timer();
}

void TDriveViewDlg::FormShow() {
  // The first start from a new folder points the desktop shortcut here; a
  // simulated machine never touches the real desktop.
  if (!env_.simulated) win::CheckDesktopShortcut(*env_.settings, kAppTitle);
  const ShowSettings show = app::FormShow(*env_.settings, env_.files->ProgramDirectory());
  if (show.header_colour) ApplyHeaderColour(*show.header_colour);
  if (!show.first_run) return;
  const bool migrated = model_.Forbidden().MigrateForbiddenList([this](char letter) {
    TDriveInfo info;
    model_.Discovery().QueryDrive(DriveDesignator::Letter(letter), info, model_.View());
    return info.Identity;
  });
  if (migrated) Timer1Timer();
}

void TDriveViewDlg::FormCloseQuery() {
  app::FormCloseQuery(*env_.settings, band_.ColourIndex(), error_log_, notifier_);
}

void TDriveViewDlg::FormDestroy() {
  session_watch_.reset();
  KillTimer(hwnd(), kDriveWatchTimer);
  watching_ = false;
}

void TDriveViewDlg::LayoutControls() {
  if (hwnd() == nullptr || status_ == nullptr) return;
  RECT client;
  GetClientRect(hwnd(), &client);
  SendMessageW(status_, WM_SIZE, 0, 0);
  RECT status;
  GetWindowRect(status_, &status);
  const int status_height = IsWindowVisible(status_) ? status.bottom - status.top : 0;
  const RECT below_band{0, band_.Height(), client.right, client.bottom - status_height};
  list_.Move(below_band);
  sector_view_.Layout(below_band);
  RECT frame;
  GetWindowRect(hwnd(), &frame);
  auto screen = win::GetWindowDc(hwnd());
  band_.SetTextLabel(sector_view_.TextLabelPlace());
  band_.Render(screen.get(), client.right, frame.right - frame.left);
  sector_view_.TakeBandColours(band_.Pixel(2, 2), band_.Pixel(2, 6));
  const RECT band{0, 0, client.right, band_.Height()};
  InvalidateRect(hwnd(), &band, FALSE);
  toolbar_.RepaintAll();
}

// Moved to a screen of another density: pictures and fonts for it, every
// place scaled again, the window at the size the system suggests.
void TDriveViewDlg::OnDpiChanged(const win::Dpi& old_dpi, const RECT& suggested) {
  art_ = Artwork::Make(dpi());
  band_.SetDpi(dpi());
  toolbar_.SetDpi(dpi());
  list_.SetDpi(dpi());
  sector_view_.SetDpi(dpi());
  erase_ui_.SetResources({hwnd(), win::AvailableFace(L"ＭＳ Ｐゴシック"), art_.toolbar.get(), help_path_,
                          colour_depth_},
                         notifier_);
  const std::optional<int> viewer_end = sector_view_.ToolbarEnd();
  erase_ui_.PlaceStatusText(viewer_end ? *viewer_end + kStaticText2Gap : kStaticText2Left, kStaticText2Top);
  Window::OnDpiChanged(old_dpi, suggested);
  LayoutControls();
  InvalidateRect(hwnd(), nullptr, TRUE);
}

void TDriveViewDlg::OnPaint(HDC dc) {
  RECT client;
  GetClientRect(hwnd(), &client);
  band_.CopyPart(dc, {0, 0, client.right, band_.Height()});
  // The check box is only its box: its focus mark goes round its label.
  if (sector_view_.CheckBoxShowsFocus()) band_.DrawTextLabelFocus(dc);
}

void TDriveViewDlg::ApplyHeaderColour(int32_t index) {
  band_.SetColour(index);
  LayoutControls();
}

void TDriveViewDlg::SetStatusHint(const std::string& text) {
  if (status_ != nullptr)
    SendMessageW(status_, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(win::Utf8ToWide(text).c_str()));
}

void TDriveViewDlg::OnCommand(int id) {
  switch (id) {
    case kSectorDumpButton: SpeedButton1Click(); break;
    case kEraseButton: SpeedButton2Click(); break;
    case kRefreshButton: SpeedButton3Click(DriveView::RefreshCause::kUser); break;
    case kHelpButton: SpeedButton4Click(); break;
    case kAboutButton: SpeedButton5Click(); break;
    case kErrorLogButton: SpeedButton6Click(); break;
    case kViewToggleButton: SpeedButton7Click(); break;
    default: break;
  }
}

// The sector viewer opens on the selected row's drive while the button is
// down; a failed opening (no row, a drive that cannot be read) puts it up.
void TDriveViewDlg::SpeedButton1Click() {
  toolbar_.Clicked(kSectorDumpButton);
  if (!toolbar_.Down(kSectorDumpButton)) {
    sector_view_.Close();
    ShowSectorView(false);
    return;
  }
  const std::optional<size_t> selected = list_.Selected();
  const DriveRow* row = selected && *selected < model_.Rows().size() ? &model_.Rows()[*selected] : nullptr;
  if (!sector_view_.Open(row, model_.View())) {
    toolbar_.Clicked(kSectorDumpButton);
    return;
  }
  ShowSectorView(true);
}

void TDriveViewDlg::ShowSectorView(bool down) {
  band_.SetHeight(down ? HeaderBand::kViewerHeight : HeaderBand::kHeight);
  sector_view_.ShowControls(down);
  const std::optional<int> viewer_end = sector_view_.ToolbarEnd();
  erase_ui_.PlaceStatusText(viewer_end ? *viewer_end + kStaticText2Gap : kStaticText2Left, kStaticText2Top);
  ShowWindow(list_.hwnd(), down ? SW_HIDE : SW_SHOW);
  toolbar_.SetEnabled(kSectorDumpButton, list_.Selected().has_value());
  for (int id : {kEraseButton, kRefreshButton, kViewToggleButton})
    ShowWindow(toolbar_.Button(id), down ? SW_HIDE : SW_SHOW);
  ShowWindow(status_, down ? SW_HIDE : SW_SHOW);
  ApplyHeaderColour(band_.ColourIndex());
  // The list does not change under the viewer: the watch rests meanwhile.
  if (down) {
    StopDriveWatch();
  } else {
    StartDriveWatch();
    SetFocus(list_.hwnd());
  }
}

void TDriveViewDlg::SpeedButton2Click() {
  const std::optional<size_t> selected = list_.Selected();
  const std::optional<DriveDesignator> drive =
      selected && *selected < model_.Rows().size() ? std::optional(model_.Rows()[*selected].designator) : std::nullopt;
  const std::optional<RecordLeft> result = plexi::SpeedButton2Click(*workflow_, erase_ui_, *this, model_.MutableRows(),
                                                                     selected, model_.View());
  // A disk whose partition table the erase overwrote loses its letters; it
  // stays in the list, with its record, until the user refreshes.
  if (result && drive && DriveTouched(workflow_->Outcome())) model_.KeepListed(*drive);
  // The erase has ended and saved what it had to: Windows may end the
  // session now, and a later erase asks its questions again.
  keep_awake_.reset();
  SetEvent(erase_settled_.get());
  if (session_block_) {
    session_block_.reset();
    session_ending_ = false;
  }
}

void TDriveViewDlg::SpeedButton3Click(DriveView::RefreshCause cause) {
  const std::optional<size_t> reselect = model_.SpeedButton3Click(cause);
  std::vector<int> icons;
  for (const DriveRow& row : model_.Rows()) icons.push_back(RowIcon(row));
  list_.Fill(icons, reselect);
  toolbar_.SetEnabled(kSectorDumpButton, reselect.has_value());
}

int TDriveViewDlg::RowIcon(const DriveRow& row) {
  // The shell knows nothing of a simulated machine's drives: they all get
  // the icon of the drive the program runs from.
  return DriveIconIndex(env_.simulated ? win::ExecutableDirectory().substr(0, 3) : row.root);
}

void TDriveViewDlg::SpeedButton4Click() { win::OpenHelp(hwnd(), help_path_); }

void TDriveViewDlg::SpeedButton5Click() { about_.Execute(hwnd(), *env_.settings); }

void TDriveViewDlg::SpeedButton6Click() {
  win::OpenErrorLog(hwnd(), error_log_.Path(), *env_.files);
}

void TDriveViewDlg::SpeedButton7Click() {
  toolbar_.Clicked(kViewToggleButton);
  model_.SetView(toolbar_.Down(kViewToggleButton) ? ViewMode::kPartition : ViewMode::kPhysical);
  toolbar_.SetHint(kViewToggleButton, ViewToggleHint(model_.View()));
  // A change of view keeps the drives kept after their erase.
  SpeedButton3Click(DriveView::RefreshCause::kWatch);
}

void TDriveViewDlg::ListView1MouseDown(int x) {
  const PressOutcome press = model_.ListView1MouseDown(list_.Selected(), x);
  EnableRowButtons(press);
  if (press.start_erase) SpeedButton2Click();
}

void TDriveViewDlg::ListView1SelectItem() { EnableRowButtons(model_.ListView1SelectItem(list_.Selected())); }

void TDriveViewDlg::EnableRowButtons(const PressOutcome& outcome) {
  toolbar_.SetEnabled(kSectorDumpButton, outcome.dump_enabled);
  toolbar_.SetEnabled(kEraseButton, outcome.erase_enabled);
}

void TDriveViewDlg::OnContextMenu(HWND source, LPARAM where) {
  POINT screen{GET_X_LPARAM(where), GET_Y_LPARAM(where)};
  if (where == -1) {
    // From the keyboard: at the top left of the control.
    RECT frame;
    GetWindowRect(source, &frame);
    screen = {frame.left + 8, frame.top + 8};
  }
  if (source == list_.hwnd()) {
    ShowListMenu(screen);
    return;
  }
  POINT client = screen;
  ScreenToClient(hwnd(), &client);
  if (client.y < band_.Height()) ChooseHeaderColour(screen);
}

void TDriveViewDlg::ChooseHeaderColour(POINT screen) {
  if (std::optional<int32_t> chosen = ShowColourMenu(hwnd(), screen, band_.ColourIndex()))
    ApplyHeaderColour(*chosen);
}

// The forbid / allow menu of the selected row.
void TDriveViewDlg::ShowListMenu(POINT screen) {
  const std::optional<size_t> selected = list_.Selected();
  const ForbidMenu entries = model_.PopupMenu2Popup(selected);
  if (!entries.forbid_visible && !entries.allow_visible) return;
  win::UniqueMenu menu(CreatePopupMenu());
  if (!menu) return;
  if (entries.forbid_visible) AppendMenuW(menu.get(), MF_STRING, kForbidMenuId, L"消去を禁止する");
  if (entries.allow_visible) AppendMenuW(menu.get(), MF_STRING, kAllowMenuId, L"消去を許可する");
  SetForegroundWindow(hwnd());
  const int chosen = TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y,
                                    0, hwnd(), nullptr);
  if (chosen != kForbidMenuId && chosen != kAllowMenuId) return;
  const std::optional<ForbidOutcome> outcome = model_.N3Click(
      list_.Selected(), chosen == kForbidMenuId ? ForbidAction::kForbid : ForbidAction::kAllow);
  if (!outcome) return;
  BroadcastRowChange(outcome->message);
  toolbar_.SetEnabled(kEraseButton, outcome->erase_enabled);
  list_.Repaint();
}

void TDriveViewDlg::Timer1Timer() {
  // A simulated machine's disks come and go through its changes file; they
  // reach the list as the system's notifications would.
  if (env_.simulated && model_.DiskNumbersChanged()) disks_changed_ = true;
  const bool letters = model_.DriveLettersChanged();
  if (letters || std::exchange(disks_changed_, false)) SpeedButton3Click(DriveView::RefreshCause::kWatch);
  KillTimer(hwnd(), kDriveWatchTimer);
  SetTimer(hwnd(), kDriveWatchTimer, kWatchIntervalMs, nullptr);
  watching_ = true;
}

LRESULT TDriveViewDlg::OnCopyData(WPARAM sender, LPARAM data) {
  if (std::optional<RowChangeMessage> change = ReceivedRowChange(sender, data)) {
    if (model_.ApplyRowChange(*change)) list_.UpdateTexts();
  }
  return 1;
}

// Windows asks before it ends the session (shutdown, logoff, an update's
// restart). Once it says the session ends the process may be killed at any
// moment, so an erase must save its resume point before that: the answer is
// no while one runs, with a reason Windows shows, and the erase is stopped
// at its next step and saves without asking. The block ends with the erase.
// Before the erase writes (its questions and confirmation are open) there is
// nothing to save, and starting it would clear the cancel request and hold
// the session for the whole erase: the session may end then.
// Asked whether the session may end: not while an erase writes, and the
// reason says so; the erase goes on, since the user may still cancel the
// shutdown. Only its end stops the erase.
LRESULT TDriveViewDlg::OnQueryEndSession() {
  const bool writing = keep_awake_.has_value();
  if (!workflow_ || !workflow_->Running() || !writing) return TRUE;
  if (!session_block_) session_block_.emplace(hwnd(), erase_text::kEraseHoldsSessionEnd);
  return FALSE;
}

void TDriveViewDlg::OnEndSession(bool ending) {
  if (!ending) {
    // The shutdown was cancelled: the erase runs on, as if never asked.
    session_block_.reset();
    return;
  }
  // Only an erase in progress is affected: it stops at its next step and
  // keeps its resume point; its errors go to the log from now on. The
  // session watch holds the end until the erase has settled.
  if (!workflow_ || !workflow_->Running()) return;
  session_ending_ = true;
  workflow_->RequestCancel();
}

// On the session watch's thread, at the end of the session: have the erase
// stop, then wait until its record is written and its report filed, or the
// bound is over. Windows ends the process only after this returns.
void TDriveViewDlg::HoldSessionEndForErase(bool logoff) {
  if (WaitForSingleObject(erase_settled_.get(), 0) == WAIT_OBJECT_0) return;
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(hwnd(), WM_ENDSESSION, TRUE, logoff ? ENDSESSION_LOGOFF : 0, SMTO_NORMAL,
                      DWORD(kSessionEndWait.count()), &ignored);
  WaitForSingleObject(erase_settled_.get(), DWORD(kSessionEndWait.count()));
}

bool TDriveViewDlg::StopDriveWatch() {
  KillTimer(hwnd(), kDriveWatchTimer);
  return std::exchange(watching_, false);
}

void TDriveViewDlg::StartDriveWatch() {
  SetTimer(hwnd(), kDriveWatchTimer, kWatchIntervalMs, nullptr);
  watching_ = true;
}

void TDriveViewDlg::RepaintRow(size_t) { list_.UpdateTexts(); }

void TDriveViewDlg::BroadcastRowChange(const RowChangeMessage& message) {
  SendRowChangeToPeers(hwnd(), message);
}

void TDriveViewDlg::ShutdownAfterErase() { shutdown_->ShutdownAfterErase(); }

std::optional<std::string> TDriveViewDlg::ProtectionRefusal(const DriveRow& row, ViewMode view) {
  return model_.ProtectionRefusal(row, view);
}

int32_t TDriveViewDlg::UpdateEraseCount(EraseCountOp operation) {
  // The erase counts itself in as its writing starts and out as it ends:
  // the machine stays awake just that long.
  if (operation == EraseCountOp::kBegin) {
    keep_awake_.emplace();
    ResetEvent(erase_settled_.get());
  }
  if (operation == EraseCountOp::kEnd) keep_awake_.reset();
  return shutdown_->UpdateEraseCount(operation);
}

bool TDriveViewDlg::Unattended() {
  return shutdown_->ShutdownMode() != kShutdownNone || session_ending_;
}

void TDriveViewDlg::ReportError(const std::string& message, const std::string& drive_label) {
  RouteErrorReport(shutdown_->Routing(session_ending_), error_log_, notifier_, message, drive_label);
}

win::FormResources TDriveViewDlg::DialogResources() const {
  return {hwnd(), win::AvailableFace(L"ＭＳ Ｐゴシック"), art_.toolbar.get(), help_path_, colour_depth_};
}

// The folder the operator settings name (a network share, say), else
// "reports" beside the error log.
std::string TDriveViewDlg::ReportsFolder() const {
  const std::string chosen = env_.settings->ReadText(report::kReportFolderSetting).value_or(std::string());
  return chosen.empty() ? LocalReportsFolder() : chosen;
}

std::string TDriveViewDlg::LocalReportsFolder() const {
  return report::JoinPath(env_.files->ProgramDirectory(), report::kReportsFolderName);
}

void TDriveViewDlg::ShowReports() {
  // Reports a share refused were kept beside the program: listed too.
  std::vector<std::string> folders{ReportsFolder()};
  if (folders.front() != LocalReportsFolder()) folders.push_back(LocalReportsFolder());
  report::ReportListDlg dialog(DialogResources(), *env_.files, folders);
  dialog.Run();
}

// The report signing key beside the error log: the program's folder, the
// simulated machine's files folder with --simulate.
std::unique_ptr<platform::SigningKeys> TDriveViewDlg::SigningKeyStore() const {
  return platform::MakeSigningKeys(env_.files->ProgramDirectory());
}

void TDriveViewDlg::ChooseOperator() {
  platform::Settings& settings = *env_.settings;
  report::OperatorDlg dialog(DialogResources());
  dialog.open_signing_key = [this](HWND owner) {
    win::FormResources resources = DialogResources();
    resources.owner = owner;
    const std::unique_ptr<platform::SigningKeys> keys = SigningKeyStore();
    report::SigningKeyDlg(resources, *keys).Run();
  };
  const std::optional<report::OperatorSettings> chosen = dialog.Run(report::ReadOperatorSettings(settings));
  if (!chosen) return;
  platform::Result<> stored = report::StoreOperatorSettings(settings, *chosen);
  if (!stored.ok()) ReportSystemError(*env_.machine, notifier_, stored.error());
}

bool TDriveViewDlg::NoteForReport(EraseTarget& target) {
  const report::OperatorSettings settings = report::ReadOperatorSettings(*env_.settings);
  if (!settings.ask_asset) return true;
  report::AssetDlg dialog(DialogResources());
  const std::optional<report::EraseNotes> notes = dialog.Run(target.label, settings.facts.media_source);
  if (!notes) return false;
  target.asset_number = notes->asset_number;
  target.media_source = notes->media_source;
  return true;
}

// Every erase files its report, unattended ones too, before the end-of-erase
// action. One that cannot be written goes to the error log and, when someone
// is there, into a message box; the erase's result stands.
void TDriveViewDlg::EraseFinished(const EraseJournal& journal) {
  report::ReportContext context;
  const platform::HostDescription host = platform::DescribeHost();
  context.computer_name = host.computer_name;
  context.operating_system = env_.simulated
                                 ? "simulated Windows machine (" + FileTitle(env_.settings_place) + ")"
                                 : host.operating_system;
  context.certificate = report::ReadCertificateSettings(*env_.settings);
  const report::FiledReport filed =
      report::FileEraseReport(*env_.machine, *env_.files, ReportsFolder(), journal, context, LocalReportsFolder(),
                              SigningKeyStore().get());
  if (filed.written) {
    const std::string& page = filed.paths.html_path;
    SetStatusHint(std::string(report::kReportSaved) + " " + page.substr(page.find_last_of("\\/") + 1));
  }
  if (filed.error.empty()) return;
  error_log_.AppendErrorLog(filed.error, journal.label);
  if (!Unattended()) notifier_.ShowMessage(filed.error);
}

}  // namespace plexi::app
