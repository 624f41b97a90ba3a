// plexiscrub_window_command: the GUI driver's commands on a running
// plexiscrub.exe (gui/window_commands.h) without its scenarios, so that a
// script that only waits for the window and closes it needs no more built.
#include <cstdio>

#include "gui/window_commands.h"

int wmain(int argc, wchar_t** argv) {
  if (!plexi::gui::IsWindowCommand(argc, argv)) {
    std::fputs("usage: plexiscrub_window_command [--desktop=NAME] wait [SECONDS] | close\n", stderr);
    return 2;
  }
  return plexi::gui::RunWindowCommand(argc, argv);
}
