// Windows ending the session while an erase runs: asked, the program says
// no and the erase goes on (the user may still cancel the shutdown); at the
// end itself, asked first or not, the program returns only once the erase
// has stopped and saved its resume point and its report, since Windows may
// end it right after. The messages are sent as Windows sends them: to every
// top-level window of the program, each in turn.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "gui_actions.h"
#include "scenario_support.h"

namespace plexi::gui {
namespace {

// A stick kept in an image file, far too large to be erased before the
// session end arrives (only the part written before the cancel is stored).
constexpr char kMachine[] = R"(disk 0 sectors=2097152 bus=sata product="System SSD" ata=yes
volume C: disk=0 offset=1M label="Windows"
disk 1 sectors=67108864 bus=usb product="Large Stick" removable=yes image=large.img
volume G: disk=1 offset=1M type=removable label="LARGE"
)";
constexpr uint32_t kStickChunks = 67108864 / 8192;  // of the largest chunk size

constexpr Duration kMessageTimeout = 5s;
constexpr Duration kSaveTimeout = 60s;

// Control ids of the confirmation dialog.
enum : int { kDelWordEdit = 101 };

// What the window answered, or nothing when it did not answer in time.
std::optional<LRESULT> Ask(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  DWORD_PTR reply = 0;
  if (SendMessageTimeoutW(window, message, wparam, lparam, SMTO_NORMAL,
                          UINT(kMessageTimeout.count()), &reply) == 0)
    return std::nullopt;
  return LRESULT(reply);
}

std::optional<LRESULT> QueryEndSession(HWND window) {
  return Ask(window, WM_QUERYENDSESSION, 0, 0);
}

// The first bytes of a file, read while the program may be writing it.
std::string Head(const std::wstring& path, DWORD size) {
  win::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  std::string bytes(size, '\0');
  DWORD got = 0;
  if (!file || !ReadFile(file.get(), bytes.data(), size, &got, nullptr)) return {};
  bytes.resize(got);
  return bytes;
}

uint64_t FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

uint32_t Le32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  std::memcpy(&value, bytes.data() + at, sizeof value);
  return value;
}

bool IsResumeRecord(const std::string& sector) {
  return sector.size() >= 28 && sector.compare(0, 11, "plexi scrub") == 0 &&
         sector.compare(0, 14, "plexi scrub ok") != 0;
}

bool ProcessRunning(DWORD pid) {
  win::UniqueKernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
  return process && WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

class SessionEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ScenarioMachine::WriteText(machine_.file(), kMachine));
    ASSERT_TRUE(ScenarioMachine::WriteText(StickImage(), ""));
    program_ = RunningProgram::Start(machine_.file());
    ASSERT_TRUE(program_) << "the program did not start";
    ASSERT_TRUE(program_->WaitForRowCount(2, 30s));
  }
  void TearDown() override {
    if (program_) {
      EXPECT_EQ(program_->Close(), std::optional<DWORD>(0));
    }
  }

  std::wstring StickImage() const {
    const std::wstring& file = machine_.file();
    return file.substr(0, file.find_last_of(L'\\') + 1) + L"large.img";
  }
  DWORD pid() const { return program_->pid(); }

  // The erase of G: through its question, up to its confirmation.
  HWND OpenConfirmation() { return program_->OpenEraseConfirmation("G:"); }
  // Started with zeros; the progress dialog once the worker writes.
  HWND StartErase(HWND confirm) {
    HWND edit = GetDlgItem(confirm, kDelWordEdit);
    for (wchar_t c : std::wstring(L"del")) PostMessageW(edit, WM_CHAR, c, 1);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(confirm, IDOK)) != FALSE; }, kStepTimeout));
    PostMessageW(GetDlgItem(confirm, IDOK), BM_CLICK, 0, 0);
    HWND progress = WaitForForm(pid(), L"TConditionsOnDlg", kStepTimeout);
    EXPECT_NE(progress, nullptr);
    // Past the first chunk: the worker is writing.
    EXPECT_TRUE(WaitUntil([&] { return FileSize(StickImage()) > 8u << 20; }, kStepTimeout));
    return progress;
  }

  ScenarioMachine machine_;
  std::unique_ptr<RunningProgram> program_;
};

// With nothing under way the session may end at once; so it may while the
// erase is only asking, before anything is written.
TEST_F(SessionEndTest, BeforeAnEraseWritesTheSessionMayEnd) {
  std::optional<LRESULT> answer = QueryEndSession(program_->window());
  ASSERT_TRUE(answer) << "no answer";
  EXPECT_NE(*answer, 0);

  HWND confirm = OpenConfirmation();
  ASSERT_NE(confirm, nullptr);
  answer = QueryEndSession(program_->window());
  ASSERT_TRUE(answer) << "no answer during the confirmation";
  EXPECT_NE(*answer, 0);
  // Another program held the session: it goes on, and the user cancels.
  EXPECT_TRUE(Ask(program_->window(), WM_ENDSESSION, FALSE, 0));
  PostMessageW(GetDlgItem(confirm, kDelWordEdit), WM_KEYDOWN, VK_ESCAPE, 1);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(confirm) || !IsWindowVisible(confirm); }, kStepTimeout));
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(program_->window()) != FALSE; }, kStepTimeout));
  EXPECT_EQ(FileSize(StickImage()), 0u) << "nothing was written";
}

bool HasJsonFile(const std::wstring& folder) {
  WIN32_FIND_DATAW found{};
  win::UniqueFind find(FindFirstFileW((folder + L"*.json").c_str(), &found));
  return bool(find);
}

// The end of the session as Windows sends it; what the first sector holds
// the moment every window has returned (when Windows may end the program),
// and whether the report was filed by then. The program is then ended as
// the session's end would.
struct SavedAtEnd {
  std::string sector;
  bool report = false;
};

class SessionEndsTest : public SessionEndTest {
 protected:
  SavedAtEnd EndTheSession() {
    std::vector<HWND> windows;
    std::pair<DWORD, std::vector<HWND>*> search(pid(), &windows);
    EnumWindows(
        [](HWND window, LPARAM list) -> BOOL {
          auto& found = *reinterpret_cast<std::pair<DWORD, std::vector<HWND>*>*>(list);
          DWORD owner = 0;
          GetWindowThreadProcessId(window, &owner);
          if (owner == found.first) found.second->push_back(window);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    for (HWND window : windows) {
      DWORD_PTR reply = 0;
      SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 20000, &reply);
    }
    SavedAtEnd saved{Head(StickImage(), 512), HasJsonFile(machine_.files_folder() + L"reports\\")};
    win::UniqueKernelHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid()));
    if (process) {
      TerminateProcess(process.get(), 1);
      WaitForSingleObject(process.get(), 10000);
    }
    program_.reset();
    return saved;
  }

  void ExpectResumeRecord(const SavedAtEnd& saved) {
    ASSERT_TRUE(IsResumeRecord(saved.sector)) << "no resume record when the session ended; the first bytes: "
                                              << saved.sector.substr(0, 16);
    EXPECT_EQ(Le32(saved.sector, 20), 0u) << "method";
    EXPECT_EQ(Le32(saved.sector, 24), 0u) << "pass";
    const uint32_t chunk = Le32(saved.sector, 16);
    EXPECT_GT(chunk, 0u) << "the chunks written before the cancel count";
    EXPECT_LT(chunk, kStickChunks) << "short of the end";
    EXPECT_TRUE(saved.report) << "no report when the session ended";
  }
};

// Asked during an erase, the answer is no and the erase goes on; the user
// cancels the shutdown and it still goes on; then the session ends.
TEST_F(SessionEndsTest, AQueryHoldsTheSessionButLeavesTheEraseRunning) {
  HWND confirm = OpenConfirmation();
  ASSERT_NE(confirm, nullptr);
  HWND progress = StartErase(confirm);
  ASSERT_NE(progress, nullptr);
  const std::optional<LRESULT> answer = QueryEndSession(program_->window());
  ASSERT_TRUE(answer) << "the main window did not answer during the erase";
  EXPECT_EQ(*answer, 0);
  EXPECT_TRUE(Ask(program_->window(), WM_ENDSESSION, FALSE, 0));
  const uint64_t written = FileSize(StickImage());
  EXPECT_TRUE(WaitUntil([&] { return FileSize(StickImage()) > written + (16u << 20); }, kStepTimeout))
      << "the erase stopped at the question";
  EXPECT_FALSE(IsResumeRecord(Head(StickImage(), 512)));
  EXPECT_TRUE(IsWindowVisible(progress));
  EXPECT_TRUE(ProcessRunning(pid()));
  ExpectResumeRecord(EndTheSession());
}

// A forced end (shutdown /f, a critical end) asks nothing first.
TEST_F(SessionEndsTest, AForcedEndReturnsOnlyOnceTheResumeRecordIsSaved) {
  HWND confirm = OpenConfirmation();
  ASSERT_NE(confirm, nullptr);
  ASSERT_NE(StartErase(confirm), nullptr);
  ExpectResumeRecord(EndTheSession());
}

}  // namespace
}  // namespace plexi::gui
