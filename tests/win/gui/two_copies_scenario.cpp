// Two copies of the program on one simulated machine, each erasing its own
// stick at the same time: both erases complete, each stick ends zero with
// its completion record, and no byte reaches any other disk.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "gui_actions.h"
#include "platform/win/utf.h"
#include "scenario_support.h"

namespace plexi::gui {
namespace {

// Two image-backed sticks, slow enough (a few large writes each) that the
// two erases overlap whatever the machine running the test does meanwhile.
constexpr char kMachine[] = R"(trace writes
disk 0 sectors=2097152 bus=sata product="System SSD" ata=yes
volume C: disk=0 offset=1M label="Windows"
disk 1 sectors=40960 bus=usb product="Left Stick" serial="LEFT1" removable=yes image=left.img write-delay=800
volume G: disk=1 offset=1M type=removable label="LEFT"
disk 2 sectors=40960 bus=usb product="Right Stick" serial="RIGHT2" removable=yes image=right.img write-delay=800
volume H: disk=2 offset=1M type=removable label="RIGHT"
disk 3 sectors=20480 bus=usb product="Bystander" removable=yes image=bystander.img
volume K: disk=3 offset=1M type=removable
)";
constexpr uint64_t kStickBytes = 40960ull * 512;
constexpr Duration kEraseTimeout = 120s;
enum : int { kConfirmWordEdit = 101 };

std::wstring FolderOf(const std::wstring& file) { return file.substr(0, file.find_last_of(L'\\') + 1); }

// Opens the erase of the row with these letters up to its confirmation,
// with "del" typed: the dialog, its start button armed.
HWND OpenArmedConfirmation(RunningProgram& program, const std::string& letters) {
  HWND confirm = program.OpenEraseConfirmation(letters);
  if (!confirm) return nullptr;
  HWND edit = GetDlgItem(confirm, kConfirmWordEdit);
  for (wchar_t c : std::wstring(L"del")) PostMessageW(edit, WM_CHAR, c, 1);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(confirm, IDOK)) != FALSE; }, kStepTimeout));
  return confirm;
}

// Enter in the word's edit starts the erase: its progress dialog.
HWND Start(RunningProgram& program, HWND confirm) {
  PostMessageW(GetDlgItem(confirm, kConfirmWordEdit), WM_KEYDOWN, VK_RETURN, 1);
  return WaitForForm(program.pid(), L"TConditionsOnDlg", kStepTimeout);
}

bool Gone(HWND form) { return !IsWindow(form) || !IsWindowVisible(form); }

// All zero but for a completion record of the zero method in its first sector.
void ExpectErasedWithRecord(const std::string& stick, const char* name) {
  SCOPED_TRACE(name);
  ASSERT_EQ(stick.size(), kStickBytes);
  EXPECT_EQ(stick.substr(0, 14), "plexi scrub ok");
  EXPECT_EQ(int(stick[15]), 0);
  EXPECT_TRUE(std::all_of(stick.begin() + 512, stick.end(), [](char c) { return c == 0; }))
      << "bytes left unerased";
}

TEST(TwoCopiesTest, TwoCopiesEraseTwoSticksAtOnceAndBothComplete) {
  ScenarioMachine machine;
  ASSERT_TRUE(ScenarioMachine::WriteText(machine.file(), kMachine));
  const std::wstring folder = FolderOf(machine.file());
  const std::string old_data(kStickBytes, '\x5A');
  const std::string bystander(20480 * 512, '\x33');
  ASSERT_TRUE(ScenarioMachine::WriteText(folder + L"left.img", old_data));
  ASSERT_TRUE(ScenarioMachine::WriteText(folder + L"right.img", old_data));
  ASSERT_TRUE(ScenarioMachine::WriteText(folder + L"bystander.img", bystander));

  std::unique_ptr<RunningProgram> left = RunningProgram::Start(machine.file());
  ASSERT_TRUE(left) << "the first copy did not start";
  ASSERT_TRUE(left->WaitForRowCount(4, 30s));
  left->MoveTo(0, 0);
  std::unique_ptr<RunningProgram> right = RunningProgram::Start(machine.file());
  ASSERT_TRUE(right) << "the second copy did not start";
  ASSERT_TRUE(right->WaitForRowCount(4, 30s));
  right->MoveTo(200, 200);

  // Both confirmed first, then started together.
  HWND left_confirm = OpenArmedConfirmation(*left, "G:");
  ASSERT_NE(left_confirm, nullptr);
  HWND right_confirm = OpenArmedConfirmation(*right, "H:");
  ASSERT_NE(right_confirm, nullptr);
  HWND left_progress = Start(*left, left_confirm);
  HWND right_progress = Start(*right, right_confirm);
  ASSERT_NE(left_progress, nullptr);
  ASSERT_NE(right_progress, nullptr);
  EXPECT_TRUE(WaitFor("both progress dialogs shown at once",
                      [&] { return IsWindowVisible(left_progress) && IsWindowVisible(right_progress); }));
  ASSERT_TRUE(WaitFor("both erases over", [&] { return Gone(left_progress) && Gone(right_progress); },
                      kEraseTimeout));
  // Each copy shows its own stick erased, and hears of the other's; the
  // record is on the drive by then.
  for (RunningProgram* program : {left.get(), right.get()}) {
    EXPECT_TRUE(WaitFor("both rows say zeros", [&] {
      const Rows rows = program->ListRows();
      return rows[size_t(program->RowOf("G:").value_or(0))][4] == "ゼロ" &&
             rows[size_t(program->RowOf("H:").value_or(0))][4] == "ゼロ";
    }));
  }

  ExpectErasedWithRecord(ScenarioMachine::ReadText(folder + L"left.img"), "left");
  ExpectErasedWithRecord(ScenarioMachine::ReadText(folder + L"right.img"), "right");
  EXPECT_EQ(ScenarioMachine::ReadText(folder + L"bystander.img"), bystander);
  // Every write went to one of the two sticks, through its own handle.
  std::istringstream trace(ScenarioMachine::ReadText(machine.file() + L".trace"));
  size_t left_writes = 0, right_writes = 0;
  for (std::string line; std::getline(trace, line);) {
    if (line.rfind("write ", 0) != 0) continue;
    const bool to_left = line.find("\\\\.\\PHYSICALDRIVE1 ") != std::string::npos;
    const bool to_right = line.find("\\\\.\\PHYSICALDRIVE2 ") != std::string::npos;
    EXPECT_TRUE(to_left || to_right) << "a write elsewhere: " << line;
    left_writes += to_left;
    right_writes += to_right;
  }
  EXPECT_GT(left_writes, 0u);
  EXPECT_GT(right_writes, 0u);
  EXPECT_EQ(right->Close(), std::optional<DWORD>(0));
  EXPECT_EQ(left->Close(), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace plexi::gui
