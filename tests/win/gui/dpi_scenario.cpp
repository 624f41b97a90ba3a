// The program on a denser screen (the prefix's LogPixels at 120, 144 or
// 192): the main window and the dialogs keep their layout, every figure
// scaled by DPI / 96, no control sticks out of its window, the list's
// headings read in full, and the confirmation's text shows to its last
// line. Runs only when the driver is told the prefix's DPI.
#include <windows.h>

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "driver_config.h"
#include "gui_actions.h"
#include "platform/win/utf.h"
#include "scenario_support.h"
#include "screen_capture.h"

namespace plexi::gui {
namespace {

constexpr int kCloseEnough = 2;  // pixels of rounding between a scaled sum and its scaled parts

int Scaled(int design) { return (design * Config().dpi + 48) / 96; }

std::string Name(const std::string& what) { return what + "-" + std::to_string(Config().dpi) + "dpi"; }

SIZE ClientSize(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return {client.right, client.bottom};
}

// Every visible child lies inside its parent's client area.
::testing::AssertionResult ChildrenInside(HWND parent) {
  RECT client{};
  GetClientRect(parent, &client);
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    RECT place{};
    GetWindowRect(child, &place);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&place), 2);
    if (place.left < 0 || place.top < 0 || place.right > client.right || place.bottom > client.bottom) {
      wchar_t class_name[64] = {};
      GetClassNameW(child, class_name, 64);
      return ::testing::AssertionFailure()
             << Utf8(class_name) << " " << GetDlgCtrlID(child) << " at (" << place.left << ", " << place.top
             << ")-(" << place.right << ", " << place.bottom << ") outside " << client.right << " x "
             << client.bottom;
    }
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult ClientScaled(HWND window, int width, int height) {
  const SIZE size = ClientSize(window);
  if (std::abs(size.cx - Scaled(width)) <= kCloseEnough && std::abs(size.cy - Scaled(height)) <= kCloseEnough)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "client " << size.cx << " x " << size.cy << ", wanted "
                                       << Scaled(width) << " x " << Scaled(height);
}

// Each heading's text in the list's own font, against its column.
::testing::AssertionResult HeadingsFit(HWND list) {
  const wchar_t* const headings[] = {L"タイプ", L"ドライブ文字", L"容量", L"消去方式"};
  // The header control keeps three edges of margin on each side.
  const int margins = 6 * GetSystemMetrics(SM_CXEDGE);
  for (int i = 0; i < 4; ++i) {
    const std::optional<int> text = ListStringWidth(list, headings[i]);
    if (!text) return ::testing::AssertionFailure() << "cannot measure " << Utf8(headings[i]);
    const int width = int(SendMessageW(list, LVM_GETCOLUMNWIDTH, WPARAM(i + 1), 0));
    if (*text + margins > width)
      return ::testing::AssertionFailure() << Utf8(headings[i]) << " needs " << *text + margins
                                           << " in a column of " << width;
  }
  return ::testing::AssertionSuccess();
}

// Runs of rows with a dark pixel: the lines of black text on white.
struct InkBand {
  int top;
  int bottom;  // past the last row
  int height() const { return bottom - top; }
};

std::vector<InkBand> InkBands(const Image& image) {
  std::vector<InkBand> bands;
  for (int y = 0; y < image.height; ++y) {
    bool ink = false;
    for (int x = 0; x < image.width && !ink; ++x) {
      const COLORREF c = image.At(x, y);
      ink = GetRValue(c) < 128 && GetGValue(c) < 128 && GetBValue(c) < 128;
    }
    if (!ink) continue;
    if (!bands.empty() && bands.back().bottom == y) bands.back().bottom = y + 1;
    else bands.push_back({y, y + 1});
  }
  return bands;
}

// The confirmation's text ends with what to type after a blank line. That
// line shows whole: a blank line's gap above it, as high as the first
// line, and clear of the bottom of its box.
::testing::AssertionResult LastLineShows(HWND confirm) {
  constexpr int kConfirmationText = 100;
  HWND text = GetDlgItem(confirm, kConfirmationText);
  wchar_t buffer[2048] = {};
  GetWindowTextW(text, buffer, 2048);
  const std::wstring last_line = L"消去を行うには、[ del ] の入力が必要です。";
  const std::wstring shown = buffer;
  if (shown.size() < last_line.size() || shown.compare(shown.size() - last_line.size(), last_line.size(), last_line) != 0)
    return ::testing::AssertionFailure() << "the text ends otherwise: " << Utf8(buffer);
  RECT area{};
  GetWindowRect(text, &area);
  MapWindowPoints(nullptr, confirm, reinterpret_cast<POINT*>(&area), 2);
  const std::optional<Image> image = CaptureSettled(confirm, area);
  if (!image) return ::testing::AssertionFailure() << "no picture of the text";
  const std::vector<InkBand> bands = InkBands(*image);
  if (bands.size() < 2) return ::testing::AssertionFailure() << bands.size() << " lines of ink";
  const InkBand& last = bands.back();
  const InkBand& before = bands[bands.size() - 2];
  const int gap = last.top - before.bottom;
  if (gap >= 3 * last.height() / 4 && 4 * last.height() >= 3 * bands.front().height() && last.bottom < image->height)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the last line's ink at rows " << last.top << "-" << last.bottom << " of "
                                       << image->height << ", " << gap << " below the line before, the first line "
                                       << bands.front().height() << " high";
}

TEST(HighDpi, WindowsAndDialogsScaledWithNothingClipped) {
  if (Config().dpi == 0) GTEST_SKIP() << "run with --dpi=N in a prefix of that LogPixels";
  ScenarioMachine machine;
  auto program = RunningProgram::Start(machine.file());
  ASSERT_TRUE(program) << "cannot start " << Utf8(Config().program);
  ASSERT_TRUE(program->WaitForRowCount(6, std::chrono::seconds(30)));
  program->MoveTo(0, 0);
  HWND window = program->window();

  // The main window: its width, the toolbar, the band, the list's columns.
  RECT frame;
  GetWindowRect(window, &frame);
  EXPECT_EQ(frame.right - frame.left, Scaled(730));
  EXPECT_NEAR(frame.bottom - frame.top, Scaled(409), kCloseEnough);
  const int order[] = {kDumpButton, kEraseButton, kViewButton, kRefreshButton, kErrorLogButton,
                       kHelpButton, kAboutButton};
  for (int i = 0; i < 7; ++i) {
    HWND button = program->Button(order[i]);
    ASSERT_NE(button, nullptr);
    RECT place;
    GetWindowRect(button, &place);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
    EXPECT_EQ(place.left, Scaled(8 + 24 * i));
    EXPECT_EQ(place.top, Scaled(2));
    EXPECT_EQ(place.right - place.left, Scaled(20));
  }
  RECT list;
  GetWindowRect(program->list(), &list);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&list), 2);
  EXPECT_EQ(list.top, Scaled(24));
  EXPECT_EQ(SendMessageW(program->list(), LVM_GETCOLUMNWIDTH, 1, 0), Scaled(50));
  EXPECT_EQ(SendMessageW(program->list(), LVM_GETCOLUMNWIDTH, 2, 0), Scaled(100));
  EXPECT_TRUE(HeadingsFit(program->list()));
  EXPECT_TRUE(ChildrenInside(window));
  const RECT row = program->RowBounds(0);
  EXPECT_GE(row.bottom - row.top, Scaled(32)) << "a row holds the scaled drive icon";
  SaveScreenshot(window, Name("main-window"));

  // The sector view: 570 high, the track bar 28 wide at the right.
  program->PressRow(*program->RowOf("G:"), Scaled(100));
  ASSERT_TRUE(WaitUntil([&] { return program->Enabled(kDumpButton); }, kStepTimeout));
  program->ClickButton(kDumpButton);
  ASSERT_TRUE(WaitUntil([&] {
    RECT now;
    GetWindowRect(window, &now);
    return now.bottom - now.top == Scaled(570);
  }, kStepTimeout));
  EXPECT_TRUE(ChildrenInside(window));
  SaveScreenshot(window, Name("sector-view"));
  program->ClickButton(kDumpButton);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(program->list()) != FALSE; }, kStepTimeout));

  // The erase's final confirmation (of a drive without a record), cancelled.
  program->PressRow(*program->RowOf("E:"), Scaled(100));
  ASSERT_TRUE(WaitUntil([&] { return program->Enabled(kEraseButton); }, kStepTimeout));
  program->ClickButton(kEraseButton);
  HWND question = WaitForDialog(program->pid(), "データの消去確認", kStepTimeout);
  ASSERT_NE(question, nullptr);
  PressDialogButton(question, IDOK);
  HWND confirm = WaitForForm(program->pid(), L"TDriveDelInfoDlg", kStepTimeout);
  ASSERT_NE(confirm, nullptr);
  EXPECT_TRUE(ClientScaled(confirm, 398, 586));
  EXPECT_TRUE(ChildrenInside(confirm));
  // At 192 DPI the form is higher than the test's screen: its top is put
  // on the screen, where the text is.
  SetWindowPos(confirm, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_TRUE(LastLineShows(confirm));
  SaveScreenshot(confirm, Name("erase-confirmation"));
  PostMessageW(confirm, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(confirm) || !IsWindowVisible(confirm); }, kStepTimeout));

  // The operator settings of the erase certificate, from the window menu.
  constexpr WPARAM kOperatorCommand = 0x0120;
  PostMessageW(window, WM_SYSCOMMAND, kOperatorCommand, 0);
  HWND settings = WaitForForm(program->pid(), L"TOperatorDlg", kStepTimeout);
  ASSERT_NE(settings, nullptr);
  EXPECT_TRUE(ChildrenInside(settings));
  SaveScreenshot(settings, Name("operator-settings"));
  PostMessageW(settings, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(settings) || !IsWindowVisible(settings); }, kStepTimeout));

  // The about box.
  program->ClickButton(kAboutButton);
  HWND about = WaitForForm(program->pid(), L"TVersionBox", kStepTimeout);
  ASSERT_NE(about, nullptr);
  EXPECT_TRUE(ClientScaled(about, 298, 203));
  EXPECT_TRUE(ChildrenInside(about));
  SaveScreenshot(about, Name("about-box"));
  PostMessageW(about, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(about) || !IsWindowVisible(about); }, kStepTimeout));

  EXPECT_EQ(program->Close(), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace plexi::gui
