// The GUI driver. Without a command it runs the GUI scenarios (GoogleTest);
// the scripts use two commands on a program already running:
//   plexiscrub_gui_driver wait [SECONDS]  waits for the main window to list
//                                         its drives and prints the rows
//   plexiscrub_gui_driver close           closes the main window and waits
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

void TakeOption(const std::wstring& argument) {
  if (argument.rfind(L"--exe=", 0) == 0)
    Config().program = WindowsPath(win::WideToUtf8(argument.substr(6)));
  else if (argument.rfind(L"--machine=", 0) == 0)
    Config().machine_file = WindowsPath(win::WideToUtf8(argument.substr(10)));
}

}  // namespace
}  // namespace plexi::gui

int wmain(int argc, wchar_t** argv) {
  using namespace plexi::gui;
  if (argc >= 2 && std::wstring(argv[1]) == L"wait")
    return WaitCommand(argc >= 3 ? _wtoi(argv[2]) : 60);
  if (argc >= 2 && std::wstring(argv[1]) == L"close") return CloseCommand();

  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) TakeOption(argv[i]);
  if (Config().program.empty() || Config().machine_file.empty()) {
    std::fprintf(stderr, "usage: plexiscrub_gui_driver --exe=PLEXISCRUB.EXE --machine=FILE\n");
    return 2;
  }
  return RUN_ALL_TESTS();
}
