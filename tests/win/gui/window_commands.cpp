#include "window_commands.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>

#include "gui_driver.h"

namespace plexi::gui {
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

}  // namespace

bool IsWindowCommand(int argc, wchar_t** argv) {
  return argc >= 2 && (argv[1][0] != L'-' || std::wstring(argv[1]).rfind(L"--desktop=", 0) == 0);
}

int RunWindowCommand(int argc, wchar_t** argv) {
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
  std::fprintf(stderr, "unknown command\n");
  return 2;
}

}  // namespace plexi::gui
