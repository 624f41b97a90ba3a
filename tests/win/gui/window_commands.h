// Commands on a plexiscrub.exe already running, for scripts:
//   wait [SECONDS]  waits for the main window to list its drives and prints
//                   the rows
//   close           closes the main window and waits until it is gone
// Either may be preceded by --desktop=NAME to look at the windows of a Wine
// desktop started with "explorer /desktop=NAME,WxH".
#pragma once

namespace plexi::gui {

// Whether the command line names a command rather than scenario options.
bool IsWindowCommand(int argc, wchar_t** argv);

// Runs it; the exit code: 0 done, 1 failed, 2 an unknown command.
int RunWindowCommand(int argc, wchar_t** argv);

}  // namespace plexi::gui
