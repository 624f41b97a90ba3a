// The GUI driver. Without a command it runs the GUI scenarios (GoogleTest);
// with one it runs that command of window_commands.h, as
// plexiscrub_window_command does. The console scenarios run the driver
// itself with one more, on a program it starts:
//   plexiscrub_gui_driver console-interrupt RESULT TRIGGER COMMAND...
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "driver_config.h"
#include "gui_driver.h"
#include "platform/win/utf.h"
#include "window_commands.h"

namespace plexi::gui {

DriverConfig& Config() {
  static DriverConfig config;
  return config;
}

namespace {

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
  if (argc > 4 && std::wstring(argv[1]) == L"console-interrupt")
    return ConsoleInterruptCommand(argv[2], argv[3], argc - 4, argv + 4);
  if (IsWindowCommand(argc, argv)) return RunWindowCommand(argc, argv);

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
