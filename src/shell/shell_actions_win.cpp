#include "shell/shell_actions_win.h"

#include <optional>

#include "platform/win/shell_link_win.h"
#include "platform/win/shell_open_win.h"
#include "shell/shell_commands.h"
#include "shell/shell_link.h"

namespace plexi::win {

bool OpenErrorLog(HWND parent, const std::string& log_path, platform::FileStore& files) {
  const std::optional<platform::ShellCommand> command = ErrorLogCommand(files, log_path);
  if (!command) return false;
  RunShellCommand(parent, *command);
  return true;
}

void OpenHelp(HWND parent, const std::string& help_path) {
  RunShellCommand(parent, HelpCommand(help_path));
}

void OpenHomePage(HWND parent, const std::string& address) {
  if (address.empty()) return;
  for (const platform::ShellCommand& command : HomePageCommands(address)) {
    if (RunShellCommand(parent, command)) return;
  }
}

void OpenFolder(HWND parent, const std::string& folder) {
  RunShellCommand(parent, OpenFolderCommand(folder));
}

bool CheckDesktopShortcut(platform::Settings& settings, const std::string& title) {
  const std::string exe = ExecutablePath();
  const size_t slash = exe.find_last_of("\\/");
  const std::string folder = slash == std::string::npos ? std::string() : exe.substr(0, slash + 1);
  // One COM scope for the folder look-up, the read and the rewrite.
  ScopedComInit com;
  TShellLink shell;
  return DesktopShortcutCheck(settings, folder, exe, title, shell);
}

}  // namespace plexi::win
