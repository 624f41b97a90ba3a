// The main window on the demo machine as a user sees it: layout, toolbar,
// the rows of both views, and an unusable machine file.
#include <windows.h>

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "driver_config.h"
#include "gui_actions.h"
#include "platform/win/utf.h"
#include "scenario_support.h"

namespace plexi::gui {
namespace {

// The first five cells of the command-line tool's rows are the list's
// columns; the list shows them once it has filled them all.
::testing::AssertionResult ShowsRowsAsCli(const RunningProgram& program, const Rows& cli) {
  Rows columns;
  for (const auto& row : cli) columns.emplace_back(row.begin(), row.begin() + std::min<size_t>(row.size(), 5));
  return program.WaitForRows(columns);
}

TEST(MainWindow, LayoutToolbarAndTheRowsOfBothViewsAsTheCommandLineToolLists) {
  ScenarioMachine machine;
  const Rows physical = CliRows(machine.file(), false), partitions = CliRows(machine.file(), true);
  ASSERT_EQ(physical.size(), 6u) << "plexiscrub-cli list on the demo machine";
  ASSERT_EQ(partitions.size(), 7u);

  auto program = RunningProgram::Start(machine.file());
  ASSERT_TRUE(program) << "cannot start " << Utf8(Config().program);
  EXPECT_EQ(Utf8(WindowText(program->window())), "プレキシスクラブ");
  RECT frame;
  GetWindowRect(program->window(), &frame);
  EXPECT_EQ(frame.right - frame.left, 730);
  EXPECT_EQ(frame.bottom - frame.top, 409);
  ASSERT_TRUE(program->WaitForRowCount(physical.size()));

  // Seven flat buttons of 20 x 20 at y 2; only the selection buttons start disabled.
  const int order[] = {kDumpButton, kEraseButton, kViewButton, kRefreshButton, kErrorLogButton,
                       kHelpButton, kAboutButton};
  for (int i = 0; i < 7; ++i) {
    HWND button = program->Button(order[i]);
    ASSERT_NE(button, nullptr) << order[i];
    RECT place;
    GetWindowRect(button, &place);
    MapWindowPoints(nullptr, program->window(), reinterpret_cast<POINT*>(&place), 2);
    EXPECT_EQ(place.left, 8 + 24 * i);
    EXPECT_EQ(place.top, 2);
    EXPECT_EQ(place.right - place.left, 20);
    EXPECT_EQ(program->Enabled(order[i]), i >= 2) << order[i];
  }
  // The list starts under the 24-pixel band; the status bar closes the window.
  RECT list;
  GetWindowRect(program->list(), &list);
  MapWindowPoints(nullptr, program->window(), reinterpret_cast<POINT*>(&list), 2);
  EXPECT_EQ(list.top, 24);
  EXPECT_NE(FindChild(program->window(), STATUSCLASSNAMEW), nullptr);

  const auto content = ReadListView(program->list(), 5);
  ASSERT_TRUE(content);
  const std::vector<std::string> headings = {"製品名", "タイプ", "ドライブ文字", "容量", "消去方式"};
  for (size_t i = 0; i < headings.size(); ++i) EXPECT_EQ(Utf8(content->headings[i]), headings[i]);
  EXPECT_EQ(content->widths[1], 50);
  EXPECT_EQ(content->widths[2], 100);
  EXPECT_EQ(content->widths[3], 80);
  EXPECT_EQ(content->widths[4], 80);

  EXPECT_TRUE(ShowsRowsAsCli(*program, physical)) << "physical";
  program->Screenshot("physical-view");

  program->ClickButton(kViewButton);
  ASSERT_TRUE(ShowsRowsAsCli(*program, partitions)) << "partition";
  program->Screenshot("partition-view");
  program->ClickButton(kViewButton);
  EXPECT_TRUE(ShowsRowsAsCli(*program, physical)) << "physical again";

  // The simulated machine's program folder is made beside its file.
  const DWORD attributes = GetFileAttributesW(machine.files_folder().c_str());
  EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(program->Close(), std::optional<DWORD>(0));
}

// A disabled button gets no mouse messages of its own; its long hint still
// shows in the status bar while the mouse is over it, and goes when it leaves.
TEST(MainWindow, DisabledButtonsShowTheirHintInTheStatusBar) {
  ScenarioMachine machine;
  auto program = RunningProgram::Start(machine.file());
  ASSERT_TRUE(program);
  ASSERT_TRUE(program->WaitForRowCount(6));
  program->MoveTo(0, 0);
  const HWND status = FindChild(program->window(), STATUSCLASSNAMEW);
  ASSERT_NE(status, nullptr);
  auto status_is = [&](const std::string& text) { return StatusBarText(status) == win::Utf8ToWide(text); };

  // From an enabled button, whose hint goes with the mouse, to the disabled ones.
  POINT refresh{10, 10};
  ClientToScreen(program->Button(kRefreshButton), &refresh);
  SetCursorPos(refresh.x, refresh.y);
  PostMessageW(program->Button(kRefreshButton), WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
  EXPECT_TRUE(WaitUntil([&] { return status_is("最新の情報に更新する"); }, kStepTimeout));
  const std::pair<int, const char*> disabled[] = {{kEraseButton, "選択したドライブを消去する"},
                                                  {kDumpButton, "セクタの内容を表示する"}};
  for (const auto& [id, hint] : disabled) {
    ASSERT_FALSE(program->Enabled(id));
    POINT over{10, 10};
    ClientToScreen(program->Button(id), &over);
    SetCursorPos(over.x, over.y);
    ScreenToClient(program->window(), &over);
    PostMessageW(program->window(), WM_MOUSEMOVE, 0, MAKELPARAM(over.x, over.y));
    EXPECT_TRUE(WaitUntil([&] { return status_is(hint); }, kStepTimeout))
        << hint << " / " << Utf8(StatusBarText(status).value_or(L"?"));
  }
  POINT away{300, 100};
  ClientToScreen(program->list(), &away);
  SetCursorPos(away.x, away.y);
  EXPECT_TRUE(WaitUntil([&] { return status_is(""); }, kStepTimeout))
      << Utf8(StatusBarText(status).value_or(L"?"));
  EXPECT_EQ(program->Close(), std::optional<DWORD>(0));
}

// A first start of this version lists nothing until the user refreshes.
// The program carries its own icon at the sizes Windows shows (its window
// classes take it from there), and its manifest asks for the administrator
// rights that raw disk access needs.
TEST(MainWindow, ResourcesHoldTheIconAndAskForAdministratorRights) {
  HMODULE exe = LoadLibraryExW(Config().program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(exe, nullptr);
  HRSRC manifest = FindResourceW(exe, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
  ASSERT_NE(manifest, nullptr);
  const char* text = static_cast<const char*>(LockResource(LoadResource(exe, manifest)));
  const std::string manifest_text(text, SizeofResource(exe, manifest));
  EXPECT_NE(manifest_text.find("level=\"requireAdministrator\""), std::string::npos);
  for (int size : {16, 32, 48, 256}) {
    HICON icon = static_cast<HICON>(LoadImageW(exe, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
    EXPECT_NE(icon, nullptr) << size;
    if (icon) DestroyIcon(icon);
  }
  FreeLibrary(exe);
}

TEST(MainWindow, FirstStartWaitsForTheRefreshButton) {
  ScenarioMachine machine(false);
  auto program = RunningProgram::Start(machine.file());
  ASSERT_TRUE(program);
  // The "1102" mark is written when the window shows.
  ASSERT_TRUE(WaitUntil([&] { return ScenarioMachine::ReadText(machine.settings_file()).find("1102=int:1102") !=
                                     std::string::npos; },
                        kStepTimeout));
  EXPECT_EQ(ListViewRowCount(program->list()), 0);
  program->ClickButton(kRefreshButton);
  EXPECT_TRUE(program->WaitForRowCount(6));
  EXPECT_EQ(program->Close(), std::optional<DWORD>(0));
}

// A machine file that cannot be used is reported, and the program ends with
// exit code 2 once the message is acknowledged.
TEST(MainWindow, UnusableMachineFileIsReportedAndEndsWithCode2) {
  testing::TempFolder folder;
  const std::wstring broken = folder.wide() + L"broken.machine";
  ASSERT_TRUE(ScenarioMachine::WriteText(broken, "this is no machine description\r\n"));

  for (const std::wstring& path : {broken, folder.wide() + L"missing.machine"}) {
    auto program = Process::Start(L"\"" + Config().program + L"\" --simulate \"" + path + L"\"");
    ASSERT_TRUE(program);
    HWND box = WaitForDialog(program->id(), "プレキシスクラブ", kStartTimeout);
    ASSERT_NE(box, nullptr) << Utf8(path);
    EXPECT_EQ(FindTopWindow(L"TDriveViewDlg", program->id()), nullptr);
    PressDialogButton(box, IDOK);
    EXPECT_EQ(program->WaitForExit(20s), std::optional<DWORD>(2)) << Utf8(path);
  }
}

}  // namespace
}  // namespace plexi::gui
