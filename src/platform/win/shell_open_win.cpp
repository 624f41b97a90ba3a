#include "platform/win/shell_open_win.h"

#include <shellapi.h>

#include "platform/win/shell_link_win.h"
#include "platform/win/utf.h"

namespace plexi::win {

using plexi::win::Utf8ToWide;

bool RunShellCommand(HWND parent, const platform::ShellCommand& command) {
  const std::wstring operation = Utf8ToWide(command.operation);
  const std::wstring file = Utf8ToWide(command.file);
  const std::wstring parameters = Utf8ToWide(command.parameters);
  // The verb may be carried out by a shell extension, which needs COM.
  ScopedComInit com;
  const HINSTANCE result =
      ShellExecuteW(parent, operation.c_str(), file.c_str(),
                    parameters.empty() ? nullptr : parameters.c_str(), nullptr, command.show);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace plexi::win
