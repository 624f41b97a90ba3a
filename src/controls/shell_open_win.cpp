#include "controls/shell_open_win.h"

#include <shellapi.h>

#include "platform/win/utf.h"

namespace plexi::win {

using plexi::win::Utf8ToWide;

bool RunShellCommand(HWND parent, const controls::ShellCommand& command) {
  const std::wstring operation = Utf8ToWide(command.operation);
  const std::wstring file = Utf8ToWide(command.file);
  const std::wstring parameters = Utf8ToWide(command.parameters);
  const HINSTANCE result =
      ShellExecuteW(parent, operation.c_str(), file.c_str(),
                    parameters.empty() ? nullptr : parameters.c_str(), nullptr, command.show);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

bool OpenErrorLog(HWND parent, const std::string& log_path, platform::FileStore& files) {
  const std::optional<controls::ShellCommand> command = controls::ErrorLogCommand(files, log_path);
  if (!command) return false;
  RunShellCommand(parent, *command);
  return true;
}

void OpenHelp(HWND parent, const std::string& help_path) {
  RunShellCommand(parent, controls::HelpCommand(help_path));
}

void OpenHomePage(HWND parent, const std::string& address) {
  if (address.empty()) return;
  for (const controls::ShellCommand& command : controls::HomePageCommands(address)) {
    if (RunShellCommand(parent, command)) return;
  }
}

}  // namespace plexi::win
