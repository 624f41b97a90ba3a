// The GUI driver. Without a command it runs the GUI scenarios (GoogleTest);
// the scripts use two commands on a program already running:
//   plexiscrub_gui_driver wait [SECONDS]  waits for the main window to list
//                                         its drives and prints the rows
//   plexiscrub_gui_driver close           closes the main window and waits
// Either command may be preceded by --desktop=NAME to look at the windows of
// a Wine desktop started with "explorer /desktop=NAME,WxH". The console
// scenarios run the driver itself with a third, on a program it starts:
//   plexiscrub_gui_driver console-interrupt RESULT TRIGGER COMMAND...
#include <windows.h>

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstdio>
#include <string>

#include "driver_config.h"
#include "gui_driver.h"
#include "platform/win/utf.h"

namespace plexi::gui {

DriverConfig& Config() {
  static DriverConfig config;
  return config;
}

namespace {

int WaitCommand(int seconds) {
  HWND window = nullptr, list = nullptr;
  const bool ready = WaitUntil(
      [&] {
        window = FindTopWindow(L"TDriveViewDlg", 0);
        list = window ? FindChild(window, WC_LISTVIEWW) : nullptr;
        return list != nullptr && IsWindowVisible(window) && ListViewRowCount(list) > 0;
      },
      std::chrono::seconds(seconds));
  if (!ready) {
    std::fprintf(stderr, "no main window with drives within %d s\n", seconds);
    return 1;
  }
  // Have the program paint everything now, so a screenshot taken next
  // shows the finished window.
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &ignored);
  const auto content = ReadListView(list, 5);
  if (!content) return 1;
  for (const auto& row : content->rows) {
    std::string line;
    for (const auto& cell : row) line += Utf8(cell) + " | ";
    std::printf("%s\n", line.c_str());
  }
  return 0;
}

int CloseCommand() {
  HWND window = FindTopWindow(L"TDriveViewDlg", 0);
  if (window == nullptr) return 1;
  PostMessageW(window, WM_CLOSE, 0, 0);
  return WaitUntil([&] { return !IsWindow(window); }, 20s) ? 0 : 1;
}

// Moves this thread to the named desktop, so that window searches see its
// windows; returns false when there is no such desktop.
bool UseDesktop(const std::wstring& name) {
  HDESK desktop = OpenDesktopW(name.c_str(), 0, FALSE, GENERIC_ALL);
  return desktop != nullptr && SetThreadDesktop(desktop);
}

int RunCommand(int argc, wchar_t** argv) {
  int first = 1;
  if (argc > first && std::wstring(argv[first]).rfind(L"--desktop=", 0) == 0) {
    // The desktop appears once its explorer has started.
    const std::wstring name = std::wstring(argv[first]).substr(10);
    if (!WaitUntil([&] { return UseDesktop(name); }, 60s)) {
      std::fprintf(stderr, "no such desktop\n");
      return 1;
    }
    ++first;
  }
  const std::wstring command = argc > first ? argv[first] : L"";
  if (command == L"wait") return WaitCommand(argc > first + 1 ? _wtoi(argv[first + 1]) : 60);
  if (command == L"close") return CloseCommand();
  if (command == L"console-interrupt" && argc > first + 3)
    return ConsoleInterruptCommand(argv[first + 1], argv[first + 2], argc - first - 3, argv + first + 3);
  std::fprintf(stderr, "unknown command\n");
  return 2;
}

void TakeOption(const std::wstring& argument) {
  if (argument.rfind(L"--exe=", 0) == 0)
    Config().program = WindowsPath(win::WideToUtf8(argument.substr(6)));
  else if (argument.rfind(L"--machine=", 0) == 0)
    Config().machine_file = WindowsPath(win::WideToUtf8(argument.substr(10)));
  else if (argument.rfind(L"--cli=", 0) == 0)
    Config().cli = WindowsPath(win::WideToUtf8(argument.substr(6)));
  else if (argument.rfind(L"--screenshots=", 0) == 0)
    Config().screenshots = WindowsPath(win::WideToUtf8(argument.substr(14)));
  else if (argument.rfind(L"--dpi=", 0) == 0)
    Config().dpi = _wtoi(argument.c_str() + 6);
  else if (argument.rfind(L"--update-site=", 0) == 0)
    Config().update_site = win::WideToUtf8(argument.substr(14));
  else if (argument.rfind(L"--download-folder=", 0) == 0)
    Config().download_folder = WindowsPath(win::WideToUtf8(argument.substr(18)));
  else if (argument.rfind(L"--archive=", 0) == 0)
    Config().archive = win::WideToUtf8(argument.substr(10));
}

}  // namespace
}  // namespace plexi::gui

int wmain(int argc, wchar_t** argv) {
  using namespace plexi::gui;
  const bool command = argc >= 2 && (argv[1][0] != L'-' ||
                                     std::wstring(argv[1]).rfind(L"--desktop=", 0) == 0);
  if (command) return RunCommand(argc, argv);

  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) TakeOption(argv[i]);
  if (Config().program.empty() || Config().machine_file.empty()) {
    std::fprintf(stderr, "usage: plexiscrub_gui_driver --exe=PLEXISCRUB.EXE --machine=FILE\n");
    return 2;
  }
  // Measured in the screen's own pixels, not in the 96-DPI ones the system
  // would otherwise hand a program that declares nothing.
  if (Config().dpi != 0) SetProcessDPIAware();
  return RUN_ALL_TESTS();
}
