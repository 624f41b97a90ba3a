#include "gui_driver.h"

#include <commctrl.h>

#include <thread>

#include "platform/win/utf.h"

namespace plexi::gui {
namespace {

// Memory allocated inside another process, freed with it.
class RemoteBuffer {
 public:
  RemoteBuffer(HANDLE process, size_t size)
      : process_(process),
        address_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {}
  ~RemoteBuffer() {
    if (address_ != nullptr) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  explicit operator bool() const { return address_ != nullptr; }
  char* at(size_t offset) const { return static_cast<char*>(address_) + offset; }
  bool Write(size_t offset, const void* data, size_t size) const {
    return WriteProcessMemory(process_, at(offset), data, size, nullptr) != 0;
  }
  bool Read(size_t offset, void* data, size_t size) const {
    return ReadProcessMemory(process_, at(offset), data, size, nullptr) != 0;
  }

 private:
  HANDLE process_;
  void* address_;
};

constexpr size_t kTextChars = 1024;
constexpr size_t kTextOffset = 256;  // past the LVITEMW / LVCOLUMNW block
constexpr size_t kRemoteSize = kTextOffset + kTextChars * sizeof(wchar_t);

std::optional<std::wstring> RemoteText(const RemoteBuffer& remote) {
  std::wstring text(kTextChars, L'\0');
  if (!remote.Read(kTextOffset, text.data(), kTextChars * sizeof(wchar_t))) return std::nullopt;
  text.resize(text.find(L'\0') == std::wstring::npos ? kTextChars : text.find(L'\0'));
  return text;
}

std::optional<std::wstring> ItemText(HWND list, const RemoteBuffer& remote, int row, int column) {
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = reinterpret_cast<wchar_t*>(remote.at(kTextOffset));
  item.cchTextMax = int(kTextChars);
  const wchar_t empty = 0;
  if (!remote.Write(0, &item, sizeof(item)) || !remote.Write(kTextOffset, &empty, sizeof(empty)))
    return std::nullopt;
  SendMessageW(list, LVM_GETITEMTEXTW, WPARAM(row), reinterpret_cast<LPARAM>(remote.at(0)));
  return RemoteText(remote);
}

std::optional<std::wstring> ColumnHeading(HWND list, const RemoteBuffer& remote, int column) {
  LVCOLUMNW entry{};
  entry.mask = LVCF_TEXT;
  entry.pszText = reinterpret_cast<wchar_t*>(remote.at(kTextOffset));
  entry.cchTextMax = int(kTextChars);
  if (!remote.Write(0, &entry, sizeof(entry))) return std::nullopt;
  if (!SendMessageW(list, LVM_GETCOLUMNW, WPARAM(column), reinterpret_cast<LPARAM>(remote.at(0))))
    return std::nullopt;
  return RemoteText(remote);
}

// The top-level windows of one class (of one process, or of any with pid
// 0), all of them or only the first.
struct WindowQuery {
  const wchar_t* class_name;
  DWORD pid;
  bool first_only;
  std::vector<HWND> found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM context) {
  auto* query = reinterpret_cast<WindowQuery*>(context);
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (lstrcmpW(name, query->class_name) != 0 || (query->pid != 0 && owner != query->pid))
    return TRUE;
  query->found.push_back(window);
  return query->first_only ? FALSE : TRUE;
}

}  // namespace

std::wstring WindowsPath(const std::string& path) {
  std::wstring wide = win::Utf8ToWide(path);
  if (wide.empty() || wide[0] != L'/') return wide;
  for (wchar_t& c : wide)
    if (c == L'/') c = L'\\';
  return L"Z:" + wide;
}

bool WaitUntil(const std::function<bool()>& ready, Duration timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (ready()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(50ms);
  }
}

std::optional<Process> Process::Start(const std::wstring& command_line) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  std::wstring mutable_line = command_line;
  if (!CreateProcessW(nullptr, mutable_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info))
    return std::nullopt;
  CloseHandle(info.hThread);
  return Process(win::UniqueKernelHandle(info.hProcess), info.dwProcessId);
}

Process::~Process() {
  if (handle_ && WaitForSingleObject(handle_.get(), 0) == WAIT_TIMEOUT)
    TerminateProcess(handle_.get(), 255);
}

std::optional<DWORD> Process::WaitForExit(Duration timeout) {
  if (WaitForSingleObject(handle_.get(), DWORD(timeout.count())) != WAIT_OBJECT_0)
    return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(handle_.get(), &code);
  return code;
}

HWND FindTopWindow(const wchar_t* class_name, DWORD pid) {
  WindowQuery query{class_name, pid, true, {}};
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&query));
  return query.found.empty() ? nullptr : query.found.front();
}

HWND FindChild(HWND parent, const wchar_t* class_name) {
  return FindWindowExW(parent, nullptr, class_name, nullptr);
}

std::wstring WindowText(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return text;
}

int ListViewRowCount(HWND list) { return int(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

std::optional<ListViewContent> ReadListView(HWND list, int columns) {
  DWORD pid = 0;
  GetWindowThreadProcessId(list, &pid);
  win::UniqueKernelHandle process(
      OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
  if (!process) return std::nullopt;
  RemoteBuffer remote(process.get(), kRemoteSize);
  if (!remote) return std::nullopt;

  ListViewContent content;
  for (int column = 0; column < columns; ++column) {
    auto heading = ColumnHeading(list, remote, column);
    if (!heading) return std::nullopt;
    content.headings.push_back(*heading);
    content.widths.push_back(int(SendMessageW(list, LVM_GETCOLUMNWIDTH, WPARAM(column), 0)));
  }
  const int count = ListViewRowCount(list);
  for (int row = 0; row < count; ++row) {
    std::vector<std::wstring> cells;
    for (int column = 0; column < columns; ++column) {
      auto text = ItemText(list, remote, row, column);
      if (!text) return std::nullopt;
      cells.push_back(*text);
    }
    content.rows.push_back(std::move(cells));
  }
  return content;
}

std::optional<int> ListStringWidth(HWND list, const std::wstring& text) {
  DWORD pid = 0;
  GetWindowThreadProcessId(list, &pid);
  win::UniqueKernelHandle process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
  if (!process) return std::nullopt;
  RemoteBuffer remote(process.get(), (text.size() + 1) * sizeof(wchar_t));
  if (!remote || !remote.Write(0, text.c_str(), (text.size() + 1) * sizeof(wchar_t))) return std::nullopt;
  return int(SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(remote.at(0))));
}

std::optional<RECT> ListItemRect(HWND list, int row, int code) {
  DWORD pid = 0;
  GetWindowThreadProcessId(list, &pid);
  win::UniqueKernelHandle process(
      OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
  if (!process) return std::nullopt;
  RemoteBuffer remote(process.get(), sizeof(RECT));
  RECT rect{code, 0, 0, 0};
  if (!remote || !remote.Write(0, &rect, sizeof(rect))) return std::nullopt;
  if (!SendMessageW(list, LVM_GETITEMRECT, WPARAM(row), reinterpret_cast<LPARAM>(remote.at(0))))
    return std::nullopt;
  if (!remote.Read(0, &rect, sizeof(rect))) return std::nullopt;
  return rect;
}

UINT ListItemState(HWND list, int row) {
  return UINT(SendMessageW(list, LVM_GETITEMSTATE, WPARAM(row), LVIS_SELECTED | LVIS_FOCUSED));
}

namespace {

win::UniqueKernelHandle OpenProcessOf(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return win::UniqueKernelHandle(
      OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
}

// The tools of one tool-tip window; its texts through TTM_GETTEXTW, because
// TTM_ENUMTOOLSW need not copy them.
void AddTools(HWND tip, const RemoteBuffer& remote, std::vector<ToolTip>& tools) {
  const int count = int(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    TOOLINFOW info{};
    info.cbSize = sizeof(info);
    if (!remote.Write(0, &info, sizeof(info))) return;
    if (!SendMessageW(tip, TTM_ENUMTOOLSW, WPARAM(i), reinterpret_cast<LPARAM>(remote.at(0)))) continue;
    if (!remote.Read(0, &info, sizeof(info))) return;
    TOOLINFOW query{};
    query.cbSize = sizeof(query);
    query.hwnd = info.hwnd;
    query.uId = info.uId;
    query.lpszText = reinterpret_cast<wchar_t*>(remote.at(kTextOffset));
    const wchar_t empty = 0;
    if (!remote.Write(0, &query, sizeof(query)) || !remote.Write(kTextOffset, &empty, sizeof(empty))) return;
    SendMessageW(tip, TTM_GETTEXTW, kTextChars, reinterpret_cast<LPARAM>(remote.at(0)));
    tools.push_back({info.hwnd, info.uId, RemoteText(remote).value_or(L"")});
  }
}

}  // namespace

std::optional<std::wstring> StatusBarText(HWND status) {
  win::UniqueKernelHandle process = OpenProcessOf(status);
  if (!process) return std::nullopt;
  RemoteBuffer remote(process.get(), kRemoteSize);
  if (!remote) return std::nullopt;
  // Windows knows the simple part as SB_SIMPLEID; Wine gives it for part 0
  // and refuses an index past the parts.
  std::optional<std::wstring> text;
  for (WPARAM part : {WPARAM(SB_SIMPLEID), WPARAM(0)}) {
    const wchar_t empty = 0;
    if (!remote.Write(kTextOffset, &empty, sizeof(empty))) return std::nullopt;
    SendMessageW(status, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(remote.at(kTextOffset)));
    text = RemoteText(remote);
    if (!text || !text->empty()) break;
  }
  return text;
}

std::vector<ToolTip> ToolTipsOf(DWORD pid) {
  WindowQuery query{TOOLTIPS_CLASSW, pid, false, {}};
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&query));
  std::vector<ToolTip> tools;
  if (query.found.empty()) return tools;
  win::UniqueKernelHandle process = OpenProcessOf(query.found.front());
  if (!process) return tools;
  RemoteBuffer remote(process.get(), kRemoteSize);
  if (!remote) return tools;
  for (HWND tip : query.found) AddTools(tip, remote, tools);
  return tools;
}

bool SendTextMessage(HWND window, UINT message, WPARAM wparam, const std::wstring& text) {
  win::UniqueKernelHandle process = OpenProcessOf(window);
  if (!process) return false;
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  RemoteBuffer remote(process.get(), bytes);
  if (!remote || !remote.Write(0, text.c_str(), bytes)) return false;
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutW(window, message, wparam, reinterpret_cast<LPARAM>(remote.at(0)), SMTO_BLOCK,
                             10000, &ignored) != 0;
}

std::string Utf8(const std::wstring& text) { return win::WideToUtf8(text); }

}  // namespace plexi::gui
