// Drives plexiscrub.exe from outside: starts it, finds its windows, reads
// its list view across the process boundary and closes it.
#pragma once
#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/win/win_handles.h"

namespace plexi::gui {

using namespace std::chrono_literals;
using Duration = std::chrono::milliseconds;

// Windows paths as given; a Unix path (one that starts with "/") names the
// same file through Wine's Z: drive.
std::wstring WindowsPath(const std::string& path);

// Polls `ready` every 50 ms until it holds or `timeout` passes.
bool WaitUntil(const std::function<bool()>& ready, Duration timeout);

// A started program; it is ended when the owner goes out of scope while it
// still runs, so that a failed scenario leaves nothing behind.
class Process {
 public:
  static std::optional<Process> Start(const std::wstring& command_line);
  ~Process();
  Process(Process&&) = default;
  Process& operator=(Process&&) = default;

  DWORD id() const { return id_; }
  // The exit code once it ended within `timeout`.
  std::optional<DWORD> WaitForExit(Duration timeout);

 private:
  Process(win::UniqueKernelHandle handle, DWORD id) : handle_(std::move(handle)), id_(id) {}
  win::UniqueKernelHandle handle_;
  DWORD id_ = 0;
};

// The console-interrupt command (cli_console_scenario.cpp): runs the
// `count` words of `command` on a console of its own, presses Ctrl+C twice
// once `trigger` appears in its output, and writes its exit code, the
// console's output code page before and after, and the output to
// `result_file`. 0 when it could do all that.
int ConsoleInterruptCommand(const std::wstring& result_file, const std::wstring& trigger, int count,
                            wchar_t** command);

// Visible or not, the first top-level window of `class_name` that belongs
// to process `pid` (any process when 0).
HWND FindTopWindow(const wchar_t* class_name, DWORD pid);
HWND FindChild(HWND parent, const wchar_t* class_name);
std::wstring WindowText(HWND window);

// A list view's cells read through memory in its own process.
struct ListViewContent {
  std::vector<std::wstring> headings;
  std::vector<int> widths;
  std::vector<std::vector<std::wstring>> rows;  // caption, then the sub-items
};
int ListViewRowCount(HWND list);
std::optional<ListViewContent> ReadListView(HWND list, int columns);
// LVM_GETITEMRECT with `code` (LVIR_BOUNDS, LVIR_ICON...), in list coordinates.
std::optional<RECT> ListItemRect(HWND list, int row, int code);
// The width of `text` in the list's own font, as the list measures it.
std::optional<int> ListStringWidth(HWND list, const std::wstring& text);
// LVIS_SELECTED and LVIS_FOCUSED of a row.
UINT ListItemState(HWND list, int row);

// The simple-mode text of a status bar.
std::optional<std::wstring> StatusBarText(HWND status);

// One tool of a tool-tip window: the window it belongs to, the tool's id
// (the control's handle for a control's tip) and its text.
struct ToolTip {
  HWND owner = nullptr;
  UINT_PTR id = 0;
  std::wstring text;
};
// Every tool of every tool-tip window of process `pid`.
std::vector<ToolTip> ToolTipsOf(DWORD pid);

// Sends a message whose lParam is a string, copied into the window's own
// process first (a pointer into ours means nothing there).
bool SendTextMessage(HWND window, UINT message, WPARAM wparam, const std::wstring& text);

std::string Utf8(const std::wstring& text);

}  // namespace plexi::gui
