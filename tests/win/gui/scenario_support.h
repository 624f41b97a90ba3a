// The pieces every GUI scenario uses: a fresh copy of the demo machine with
// its own settings and files, the program running on it, and what the
// command-line tool lists for the same machine.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gui_driver.h"
#include "screen_capture.h"
#include "win/temp_folder.h"

namespace plexi::gui {

inline constexpr Duration kStartTimeout = 60s;  // the first start in a fresh prefix is slow
inline constexpr Duration kStepTimeout = 10s;

// Waits until `state` holds, polling. A step of the program often changes
// several things one after another: `state` must test everything the
// scenario asserts next, not only the first sign of the step. On a time-out
// the failure names what was awaited and, when given, what was seen last.
::testing::AssertionResult WaitFor(const std::string& what, const std::function<bool()>& state,
                                   Duration timeout = kStepTimeout,
                                   const std::function<std::string()>& seen = {});

// A rectangle of `window`'s client area once the picture holds still. The
// program paints after the messages that changed its state, so a capture
// taken at once can show the state before; parts that never hold still (a
// rate, the access lamp) end the wait after `patience` with the last picture.
std::optional<Image> CaptureSettled(HWND window, const RECT& area, Duration patience = 3s);
// Saves the window's settled client area as NAME.png under the screenshots
// folder, when the run keeps screenshots.
void SaveScreenshot(HWND window, const std::string& name);

// Control ids of the toolbar buttons.
enum : int {
  kDumpButton = 101, kEraseButton = 102, kRefreshButton = 103, kHelpButton = 104,
  kAboutButton = 105, kErrorLogButton = 106, kViewButton = 107,
};

class ScenarioMachine {
 public:
  // `ran_before`: the settings say this version has run, so the list fills
  // at start.
  explicit ScenarioMachine(bool ran_before = true);

  const std::wstring& file() const { return file_; }
  std::wstring settings_file() const { return file_ + L".settings"; }
  std::wstring changes_file() const { return file_ + L".changes"; }
  std::wstring files_folder() const { return folder_.wide() + L"demo.files\\"; }

  // Replaces a whole file (UTF-8 bytes as given).
  static bool WriteText(const std::wstring& path, const std::string& text);
  // The file's bytes; empty when it is missing.
  static std::string ReadText(const std::wstring& path);

 private:
  testing::TempFolder folder_;
  std::wstring file_;
};

using Rows = std::vector<std::vector<std::string>>;

// The rows `plexiscrub-cli list` prints for the machine: caption and the
// eight sub-items. Empty when the tool cannot be run.
Rows CliRows(const std::wstring& machine_file, bool partitions);
// What `plexiscrub-cli ARGUMENTS` prints; nothing when the tool cannot be run.
std::optional<std::string> CliOutput(const std::wstring& arguments);

class RunningProgram {
 public:
  // Starts the program on the machine and waits for its window and list.
  static std::unique_ptr<RunningProgram> Start(const std::wstring& machine_file);

  HWND window() const { return window_; }
  HWND list() const { return list_; }
  DWORD pid() const { return process_.id(); }
  HWND Button(int id) const { return GetDlgItem(window_, id); }
  bool Enabled(int id) const { return IsWindowEnabled(Button(id)) != FALSE; }

  // The list's five columns as shown.
  Rows ListRows() const;
  // `count` rows, each with its product, letters and size: the list
  // inserts a row first and fills its columns after, so the count alone
  // is not a filled list.
  bool WaitForRowCount(size_t count, Duration timeout = kStepTimeout) const;
  // Until the shown rows start with these cells (columns as given, the
  // rest unchecked); the failure lists what was shown.
  ::testing::AssertionResult WaitForRows(const Rows& expected, Duration timeout = kStepTimeout) const;
  // The row whose drive-letter column is `letters`, if any.
  std::optional<int> RowOf(const std::string& letters) const;
  std::optional<size_t> SelectedRow() const;
  RECT RowBounds(int row) const;

  // Presses a mouse button at x of a row's middle.
  void PressRow(int row, int x, bool right = false) const;
  void ClickButton(int id) const;
  // The erase of the row with these letters, through its first question,
  // up to its confirmation form; nothing (with the failure noted) when a
  // step does not come.
  HWND OpenEraseConfirmation(const std::string& letters) const;
  // Moves the window so that the screen shows it whole.
  void MoveTo(int x, int y) const;
  // The list's client area as on the screen.
  std::optional<Image> CaptureList() const;
  // Saves a screenshot of the whole window under the screenshots folder.
  void Screenshot(const std::string& name) const;

  // Closes the window as the user does; the exit code.
  std::optional<DWORD> Close();

 private:
  RunningProgram(Process process) : process_(std::move(process)) {}
  Process process_;
  HWND window_ = nullptr;
  HWND list_ = nullptr;
};

}  // namespace plexi::gui
