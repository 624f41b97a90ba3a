// The program's entry point: picks the machine (real, or simulated with
// --simulate FILE), creates the main window and runs the message loop.
#include <windows.h>
#include <commctrl.h>

#include "app/main_window_win.h"
#include "app/environment_win.h"
#include "window/message_box_notifier_win.h"
#include "platform/win/internet_win.h"
#include "platform/win/shell_link_win.h"
#include "window/form_win.h"

namespace {

constexpr int kExitUsage = 2;

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show_command) {
  using namespace plexi::app;
  const CommandLine line = ParseCommandLine(ProgramArguments());
  if (!line.error.empty()) {
    plexi::win::ShowPlainMessage(nullptr, line.error);
    return kExitUsage;
  }

  Environment environment;
  if (line.simulate_file) {
    std::string error;
    environment = MakeSimulatedEnvironment(*line.simulate_file, &error);
    if (!environment.machine) {
      plexi::win::ShowPlainMessage(nullptr, "シミュレーションのファイルを読み込めませんでした。\r\n" +
                                   *line.simulate_file + "\r\n" + error);
      return kExitUsage;
    }
  } else {
    environment = MakeRealEnvironment();
  }
  environment.internet = std::make_unique<plexi::win::WinInternet>();
  environment.download_files = std::make_unique<plexi::win::WinDownloadFiles>();

  // The GUI thread's apartment, for the shell calls it makes for as long as
  // its windows live: SHGetFileInfoW, which fetches the drive icons, needs
  // COM initialised first (page "SHGetFileInfoW").
  const plexi::win::ScopedComInit com;
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);

  TDriveViewDlg window(environment);
  if (!window.Create()) return 1;
  window.Show(show_command);
  return plexi::win::RunMainWindowLoop(window.hwnd());
}
