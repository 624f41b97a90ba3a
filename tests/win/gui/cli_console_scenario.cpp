// plexiscrub-cli.exe on a console of its own, as a user runs it: Ctrl+C
// pressed twice during an erase still ends it with its resume record and
// its report, Ctrl+C at a question ends the tool, and either way the
// console's output code page is what it was before.
//
// The control events come from GenerateConsoleCtrlEvent, which reaches only
// processes on the caller's console: the driver runs itself as a helper
// (the console-interrupt command) that makes a console, starts the tool on
// it and presses Ctrl+C, so that the driver's own console stays as it is.
// Wine carries CTRL_C_EVENT only: Ctrl+Break ends the thread it is sent to,
// and the console closing is not sent at all.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "driver_config.h"
#include "gui_driver.h"
#include "scenario_support.h"

namespace plexi::gui {

namespace {

// Reads what the tool writes on its standard output and error, pressing
// Ctrl+C twice, half a second apart, once `trigger` has appeared.
std::string WatchAndInterrupt(HANDLE output, const std::string& trigger) {
  std::string text;
  bool pressed = false;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(output, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    text.append(buffer, got);
    if (pressed || text.find(trigger) == std::string::npos) continue;
    pressed = true;
    GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
    Sleep(500);
    GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
  }
  return text;
}

std::wstring QuotedArguments(int count, wchar_t** arguments) {
  std::wstring line;
  for (int i = 0; i < count; ++i) line += (i ? L" \"" : L"\"") + std::wstring(arguments[i]) + L"\"";
  return line;
}

}  // namespace

int ConsoleInterruptCommand(const std::wstring& result_file, const std::wstring& trigger, int count,
                            wchar_t** command) {
  // A console of this process's own ("AllocConsole function",
  // https://learn.microsoft.com/en-us/windows/console/allocconsole): the
  // tool shares it, and the control events go to every process on it.
  FreeConsole();
  if (!AllocConsole()) return 1;
  const UINT code_page = GetConsoleOutputCP();
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE read_end = nullptr, write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return 1;
  win::UniqueKernelHandle reader(read_end), writer(write_end);
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  win::UniqueFile input(CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    &inherit, OPEN_EXISTING, 0, nullptr));
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input.get();
  startup.hStdOutput = startup.hStdError = write_end;
  PROCESS_INFORMATION info{};
  std::wstring line = QuotedArguments(count, command);
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) return 1;
  win::UniqueKernelHandle process(info.hProcess), thread(info.hThread);
  writer.reset();
  // This process lets the events pass; set only now, as the tool would
  // inherit it ("SetConsoleCtrlHandler function",
  // https://learn.microsoft.com/en-us/windows/console/setconsolectrlhandler).
  SetConsoleCtrlHandler(nullptr, TRUE);
  const std::string output = WatchAndInterrupt(read_end, win::WideToUtf8(trigger));
  DWORD code = 0;
  if (WaitForSingleObject(process.get(), 30000) != WAIT_OBJECT_0 || !GetExitCodeProcess(process.get(), &code))
    return 1;
  const std::string result = "exit=" + std::to_string(code) + "\ncode page before=" + std::to_string(code_page) +
                             " after=" + std::to_string(GetConsoleOutputCP()) + "\n" + output;
  return ScenarioMachine::WriteText(result_file, result) ? 0 : 1;
}

namespace {

// A drive so slow that each write takes two seconds: both presses of
// Ctrl+C arrive while the erase is still writing. Its image file (empty:
// it reads as zeros) keeps the record for the look afterwards.
constexpr char kMachine[] = R"(disk 0 size=1G bus=sata product="System"
volume C: disk=0 offset=1M length=900M
disk 1 size=256M bus=sata product="Slow" write-delay=2000 image=slow.img
)";

class CliConsole : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Config().cli.empty()) GTEST_SKIP() << "needs --cli";
    ASSERT_TRUE(ScenarioMachine::WriteText(machine_, kMachine));
    ASSERT_TRUE(ScenarioMachine::WriteText(folder_.wide() + L"slow.img", ""));
  }

  // What the helper saw of the tool run with `arguments`, Ctrl+C pressed
  // once `trigger` appeared.
  std::string RunInterrupted(const std::wstring& trigger, const std::wstring& arguments) {
    wchar_t self[MAX_PATH + 1] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH + 1);
    const std::wstring result = folder_.wide() + L"result.txt";
    std::optional<Process> helper = Process::Start(L"\"" + std::wstring(self) + L"\" console-interrupt \"" + result +
                                                   L"\" \"" + trigger + L"\" \"" + Config().cli + L"\" " + arguments +
                                                   L" --simulate \"" + machine_ + L"\"");
    EXPECT_TRUE(helper);
    if (!helper) return {};
    const std::optional<DWORD> code = helper->WaitForExit(120s);
    EXPECT_EQ(code, std::optional<DWORD>(0)) << "the helper failed";
    return ScenarioMachine::ReadText(result);
  }

  testing::TempFolder folder_;
  const std::wstring machine_ = folder_.wide() + L"slow.machine";
  const std::wstring reports_ = folder_.wide() + L"reports";
};

TEST_F(CliConsole, CtrlCTwiceDuringAnEraseEndsItWithItsRecordAndReport) {
  const std::string seen = RunInterrupted(L"現在の工程", L"erase 1 --yes --report \"" + reports_ + L"\"");
  EXPECT_NE(seen.find("exit=3\n"), std::string::npos) << seen;
  // The tool speaks the locale's language: Japanese here, as Wine passes LANG on.
  EXPECT_NE(seen.find("結果: 1 (中断。再開情報を保存しました)"), std::string::npos) << seen;
  EXPECT_NE(seen.find("code page before=932 after=932\n"), std::string::npos) << seen;
  EXPECT_NE(seen.find("レポートのデータ: "), std::string::npos) << "no erase report: " << seen;
  const std::optional<std::string> inspected = CliOutput(L"inspect 1 --simulate \"" + machine_ + L"\"");
  ASSERT_TRUE(inspected);
  EXPECT_NE(inspected->find("記録: 1 ("), std::string::npos) << *inspected;
}

// Nothing is held before the erase writes: the default handler ends the
// tool (with what exit code is the system's: Wine's gives 0).
TEST_F(CliConsole, CtrlCAtAQuestionEndsTheToolAndGivesTheCodePageBack) {
  const std::string seen = RunInterrupted(L"[y/N]", L"erase 1");
  EXPECT_EQ(seen.find("結果:"), std::string::npos) << "the tool went on: " << seen;
  EXPECT_NE(seen.find("code page before=932 after=932\n"), std::string::npos) << seen;
}

// The session ending while the tool erases: asked, the tool holds the end
// and the erase goes on; at the end itself it returns only once the resume
// record and the report are saved. Its console handler hears no shutdown
// once user32 is loaded, so its hidden window answers, as Windows asks.
TEST_F(CliConsole, TheSessionEndWaitsForTheRecordAndReport) {
  std::optional<Process> tool = Process::Start(L"\"" + Config().cli + L"\" erase 1 --yes --report \"" + reports_ +
                                               L"\" --simulate \"" + machine_ + L"\"");
  ASSERT_TRUE(tool);
  const std::wstring image = folder_.wide() + L"slow.img";
  HWND watch = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] {
        watch = FindTopWindow(L"PlexiscrubSessionEndWatch", tool->id());
        return watch != nullptr && !ScenarioMachine::ReadText(image).empty();
      },
      30s))
      << "the tool did not start writing";
  DWORD_PTR reply = 1;
  ASSERT_NE(SendMessageTimeoutW(watch, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 5000, &reply), 0);
  EXPECT_EQ(reply, 0u) << "the session may end during the erase";
  ASSERT_NE(SendMessageTimeoutW(watch, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 20000, &reply), 0);
  const std::string sector = ScenarioMachine::ReadText(image).substr(0, 512);
  EXPECT_EQ(sector.compare(0, 11, "plexi scrub"), 0) << "no resume record when the session ended";
  EXPECT_NE(sector.compare(0, 14, "plexi scrub ok"), 0);
  WIN32_FIND_DATAW found{};
  EXPECT_TRUE(win::UniqueFind(FindFirstFileW((reports_ + L"\\*.json").c_str(), &found)))
      << "no report when the session ended";
  EXPECT_EQ(tool->WaitForExit(30s), std::optional<DWORD>(3));
}

}  // namespace
}  // namespace plexi::gui
