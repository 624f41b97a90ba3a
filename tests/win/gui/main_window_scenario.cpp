// The main window on a simulated machine, as another program sees it.
#include <windows.h>

#include <gtest/gtest.h>

#include <commctrl.h>

#include "drives/discovery.h"
#include "driver_config.h"
#include "gui_driver.h"
#include "platform/sim/sim_machine.h"
#include "platform/win/utf.h"
#include "win/temp_folder.h"

namespace plexi::gui {
namespace {

constexpr Duration kStartTimeout = 60s;  // the first start in a fresh prefix is slow
constexpr Duration kExitTimeout = 20s;

class RecordingNotifier : public Notifier {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  std::vector<std::string> messages;
};

// The rows discovery builds for the machine file, computed here in-process.
std::vector<DriveRow> ExpectedRows(const std::wstring& machine_file) {
  std::string error;
  auto machine = sim::SimMachine::Load(win::WideToUtf8(machine_file), &error);
  EXPECT_TRUE(machine) << error;
  if (!machine) return {};
  RecordingNotifier notifier;
  return DriveDiscovery(*machine, notifier).Refresh(ViewMode::kPhysical);
}

std::wstring CopyOfMachine(const testing::TempFolder& folder, const wchar_t* name) {
  const std::wstring copy = folder.wide() + name;
  EXPECT_TRUE(CopyFileW(Config().machine_file.c_str(), copy.c_str(), FALSE))
      << "cannot copy " << Utf8(Config().machine_file);
  return copy;
}

std::optional<Process> StartSimulated(const std::wstring& machine_file) {
  return Process::Start(L"\"" + Config().program + L"\" --simulate \"" + machine_file + L"\"");
}

TEST(MainWindow, ListsTheSimulatedDrivesAndClosesCleanly) {
  testing::TempFolder folder;
  const std::wstring machine_file = CopyOfMachine(folder, L"demo.machine");
  const std::vector<DriveRow> expected = ExpectedRows(machine_file);
  ASSERT_FALSE(expected.empty()) << "the demo machine lists drives";
  // The system disk with its two volumes is among them.
  EXPECT_TRUE(FindRowByCaption(expected, "Samsung SSD 860 EVO 500GB"));

  auto program = StartSimulated(machine_file);
  ASSERT_TRUE(program) << "cannot start " << Utf8(Config().program);
  // The window is found while it is still being made: wait for its list too.
  HWND window = nullptr, list = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] {
        window = FindTopWindow(L"TDriveViewDlg", program->id());
        list = window ? FindChild(window, WC_LISTVIEWW) : nullptr;
        return list != nullptr;
      },
      kStartTimeout));
  EXPECT_EQ(Utf8(WindowText(window)), "プレキシスクラブ");
  RECT frame;
  GetWindowRect(window, &frame);
  EXPECT_EQ(frame.right - frame.left, 730);
  EXPECT_EQ(frame.bottom - frame.top, 409);

  ASSERT_TRUE(WaitUntil([&] { return ListViewRowCount(list) == int(expected.size()); }, 30s))
      << "rows shown: " << ListViewRowCount(list);

  const auto content = ReadListView(list, 5);
  ASSERT_TRUE(content);
  const std::vector<std::string> headings = {"製品名", "タイプ", "ドライブ文字", "容量", "消去方式"};
  for (size_t i = 0; i < headings.size(); ++i) EXPECT_EQ(Utf8(content->headings[i]), headings[i]);
  EXPECT_EQ(content->widths[1], 50);
  EXPECT_EQ(content->widths[2], 100);
  EXPECT_EQ(content->widths[3], 80);
  EXPECT_EQ(content->widths[4], 80);
  RECT list_client;
  GetClientRect(list, &list_client);
  EXPECT_EQ(content->widths[0], list_client.right - 310) << "the product column takes the rest";

  for (size_t i = 0; i < expected.size(); ++i) {
    const auto& cells = content->rows[i];
    EXPECT_EQ(Utf8(cells[0]), expected[i].caption) << "row " << i;
    EXPECT_EQ(Utf8(cells[1]), expected[i].bus_type) << "row " << i;
    EXPECT_EQ(Utf8(cells[2]), expected[i].letters) << "row " << i;
    EXPECT_EQ(Utf8(cells[3]), expected[i].size_text) << "row " << i;
    EXPECT_EQ(Utf8(cells[4]), expected[i].method_text) << "row " << i;
  }

  // The simulated machine's program folder is made beside its file.
  const DWORD attributes = GetFileAttributesW((folder.wide() + L"demo.files").c_str());
  EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));

  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(program->WaitForExit(kExitTimeout), std::optional<DWORD>(0));
}

// A machine file that cannot be used is reported, and the program ends with
// exit code 2 once the message is acknowledged.
TEST(MainWindow, UnusableMachineFileIsReportedAndEndsWithCode2) {
  testing::TempFolder folder;
  const std::wstring machine_file = folder.wide() + L"broken.machine";
  {
    win::UniqueFile file(CreateFileW(machine_file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file);
    const char text[] = "this is no machine description\r\n";
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.get(), text, sizeof(text) - 1, &written, nullptr));
  }

  for (const std::wstring& path : {machine_file, folder.wide() + L"missing.machine"}) {
    auto program = StartSimulated(path);
    ASSERT_TRUE(program);
    // The box exists a moment before its caption is set: wait for both.
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
          box = FindTopWindow(L"#32770", program->id());
          return box != nullptr && Utf8(WindowText(box)) == "プレキシスクラブ";
        },
        kStartTimeout))
        << Utf8(path);
    EXPECT_EQ(FindTopWindow(L"TDriveViewDlg", program->id()), nullptr);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(program->WaitForExit(kExitTimeout), std::optional<DWORD>(2)) << Utf8(path);
  }
}

}  // namespace
}  // namespace plexi::gui
