#include "scenario_support.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>

#include "driver_config.h"
#include "gui_actions.h"
#include "platform/win/utf.h"

namespace plexi::gui {

::testing::AssertionResult WaitFor(const std::string& what, const std::function<bool()>& state,
                                   Duration timeout, const std::function<std::string()>& seen) {
  if (WaitUntil(state, timeout)) return ::testing::AssertionSuccess();
  auto failure = ::testing::AssertionFailure()
                 << "waited " << timeout.count() << " ms in vain for: " << what;
  if (seen) failure << " (last seen: " << seen() << ")";
  return failure;
}

std::optional<Image> CaptureSettled(HWND window, const RECT& area, Duration patience) {
  // Ask for a full repaint, then let the program's thread answer so that
  // the paint messages queued behind it have their turn.
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &ignored);
  std::optional<Image> last = CaptureClient(window, area);
  const auto deadline = std::chrono::steady_clock::now() + patience;
  while (std::chrono::steady_clock::now() < deadline) {
    Sleep(100);
    std::optional<Image> next = CaptureClient(window, area);
    if (next && last && *next == *last) return next;
    last = std::move(next);
  }
  return last;
}

void SaveScreenshot(HWND window, const std::string& name) {
  if (Config().screenshots.empty()) return;
  // The client area: without a window manager nobody draws the frame.
  RECT client;
  GetClientRect(window, &client);
  const std::optional<Image> image = CaptureSettled(window, client);
  ASSERT_TRUE(image) << "no screenshot " << name;
  CreateDirectoryW(Config().screenshots.c_str(), nullptr);
  EXPECT_TRUE(SavePng(*image, Config().screenshots + L"\\" + win::Utf8ToWide(name) + L".png")) << name;
}

namespace {

std::string RowsText(const Rows& rows) {
  std::string text;
  for (const auto& row : rows) {
    text += "\n  ";
    for (const auto& cell : row) text += "[" + cell + "]";
  }
  return text.empty() ? "no rows" : text;
}

}  // namespace

ScenarioMachine::ScenarioMachine(bool ran_before) {
  file_ = folder_.wide() + L"demo.machine";
  EXPECT_TRUE(CopyFileW(Config().machine_file.c_str(), file_.c_str(), FALSE))
      << "cannot copy " << Utf8(Config().machine_file);
  if (ran_before) WriteText(settings_file(), "1102=int:1102\r\n");
}

bool ScenarioMachine::WriteText(const std::wstring& path, const std::string& text) {
  win::UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file && WriteFile(file.get(), text.data(), DWORD(text.size()), &written, nullptr) &&
         written == text.size();
}

std::string ScenarioMachine::ReadText(const std::wstring& path) {
  win::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  std::string text;
  char buffer[4096];
  DWORD got = 0;
  while (file && ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
    text.append(buffer, got);
  return text;
}

namespace {

std::vector<std::string> Split(const std::string& line, const std::string& separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at; (at = line.find(separator, start)) != std::string::npos; start = at + separator.size())
    parts.push_back(line.substr(start, at - start));
  parts.push_back(line.substr(start));
  return parts;
}

// Runs a console program and returns what it wrote to its standard output.
std::optional<std::string> OutputOf(const std::wstring& command_line) {
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE read_end = nullptr, write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return std::nullopt;
  win::UniqueKernelHandle reader(read_end), writer(write_end);
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write_end;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION info{};
  std::wstring line = command_line;
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info))
    return std::nullopt;
  win::UniqueKernelHandle process(info.hProcess), thread(info.hThread);
  writer.reset();  // the pipe ends when the child's copy closes
  std::string output;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(read_end, buffer, sizeof buffer, &got, nullptr) && got > 0) output.append(buffer, got);
  WaitForSingleObject(process.get(), 30000);
  return output;
}

}  // namespace

std::optional<std::string> CliOutput(const std::wstring& arguments) {
  if (Config().cli.empty()) return std::nullopt;
  return OutputOf(L"\"" + Config().cli + L"\" " + arguments);
}

Rows CliRows(const std::wstring& machine_file, bool partitions) {
  if (Config().cli.empty()) return {};
  const std::wstring command = L"\"" + Config().cli + L"\" list " +
                               (partitions ? L"--partitions " : L"") + L"--simulate \"" +
                               machine_file + L"\"";
  const std::optional<std::string> output = OutputOf(command);
  if (!output) return {};
  Rows rows;
  for (std::string line : Split(*output, "\n")) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    rows.push_back(Split(line, " | "));
  }
  if (!rows.empty()) rows.erase(rows.begin());  // the heading line
  return rows;
}

std::unique_ptr<RunningProgram> RunningProgram::Start(const std::wstring& machine_file) {
  std::optional<Process> process =
      Process::Start(L"\"" + Config().program + L"\" --simulate \"" + machine_file + L"\"");
  if (!process) return nullptr;
  std::unique_ptr<RunningProgram> program(new RunningProgram(std::move(*process)));
  // The window is found while it is still being made: wait for it to show.
  const bool ready = WaitUntil(
      [&] {
        program->window_ = FindTopWindow(L"TDriveViewDlg", program->pid());
        program->list_ = program->window_ ? FindChild(program->window_, WC_LISTVIEWW) : nullptr;
        return program->list_ != nullptr && IsWindowVisible(program->window_);
      },
      kStartTimeout);
  return ready ? std::move(program) : nullptr;
}

Rows RunningProgram::ListRows() const {
  std::optional<ListViewContent> content = ReadListView(list_, 5);
  Rows rows;
  if (!content) return rows;
  for (const auto& cells : content->rows) {
    std::vector<std::string> row;
    for (const auto& cell : cells) row.push_back(Utf8(cell));
    rows.push_back(row);
  }
  return rows;
}

bool RunningProgram::WaitForRowCount(size_t count, Duration timeout) const {
  return WaitUntil(
      [&] {
        if (size_t(ListViewRowCount(list_)) != count) return false;
        const Rows rows = ListRows();
        // Every row has a product, letters and a size; the bus type and
        // the method may be empty.
        return rows.size() == count && std::all_of(rows.begin(), rows.end(), [](const auto& row) {
                 return row.size() >= 4 && !row[0].empty() && !row[2].empty() && !row[3].empty();
               });
      },
      timeout);
}

::testing::AssertionResult RunningProgram::WaitForRows(const Rows& expected, Duration timeout) const {
  auto matches = [&] {
    const Rows shown = ListRows();
    if (shown.size() != expected.size()) return false;
    for (size_t i = 0; i < expected.size(); ++i) {
      if (shown[i].size() < expected[i].size()) return false;
      if (!std::equal(expected[i].begin(), expected[i].end(), shown[i].begin())) return false;
    }
    return true;
  };
  return WaitFor("the rows" + RowsText(expected), matches, timeout, [&] { return RowsText(ListRows()); });
}

std::optional<int> RunningProgram::RowOf(const std::string& letters) const {
  const Rows rows = ListRows();
  for (size_t i = 0; i < rows.size(); ++i)
    if (rows[i].size() > 2 && rows[i][2] == letters) return int(i);
  return std::nullopt;
}

std::optional<size_t> RunningProgram::SelectedRow() const {
  const int count = ListViewRowCount(list_);
  for (int i = 0; i < count; ++i)
    if (ListItemState(list_, i) & LVIS_SELECTED) return size_t(i);
  return std::nullopt;
}

RECT RunningProgram::RowBounds(int row) const {
  return ListItemRect(list_, row, LVIR_BOUNDS).value_or(RECT{});
}

void RunningProgram::PressRow(int row, int x, bool right) const {
  const RECT bounds = RowBounds(row);
  PostClick(list_, x, (bounds.top + bounds.bottom) / 2, right);
}

void RunningProgram::ClickButton(int id) const { PostClick(Button(id), 10, 10); }

HWND RunningProgram::OpenEraseConfirmation(const std::string& letters) const {
  const std::optional<int> row = RowOf(letters);
  EXPECT_TRUE(row) << "no row " << letters;
  if (!row) return nullptr;
  PressRow(*row, 100);
  EXPECT_TRUE(WaitUntil([&] { return Enabled(kEraseButton); }, kStepTimeout));
  ClickButton(kEraseButton);
  HWND question = WaitForDialog(pid(), "データの消去確認", kStepTimeout);
  EXPECT_NE(question, nullptr);
  if (!question) return nullptr;
  PressDialogButton(question, IDOK);
  HWND confirm = WaitForForm(pid(), L"TDriveDelInfoDlg", kStepTimeout);
  EXPECT_NE(confirm, nullptr);
  return confirm;
}

void RunningProgram::MoveTo(int x, int y) const {
  SetWindowPos(window_, HWND_TOP, x, y, 0, 0, SWP_NOSIZE);
  WaitUntil(
      [&] {
        RECT frame;
        GetWindowRect(window_, &frame);
        return frame.left == x && frame.top == y;
      },
      kStepTimeout);
}

std::optional<Image> RunningProgram::CaptureList() const {
  RECT client;
  GetClientRect(list_, &client);
  return CaptureSettled(list_, client);
}

void RunningProgram::Screenshot(const std::string& name) const {
  SetWindowPos(window_, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
  SaveScreenshot(window_, name);
}

std::optional<DWORD> RunningProgram::Close() {
  PostMessageW(window_, WM_CLOSE, 0, 0);
  return process_.WaitForExit(20s);
}

}  // namespace plexi::gui
