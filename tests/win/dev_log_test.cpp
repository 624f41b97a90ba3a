// The developer log on its own: the line format, the start of a new file
// past the size limit, and writers on several threads.
#include "platform/win/dev_log.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>
#include <vector>

#include "app/environment_win.h"
#include "platform/sim/directory_file_store.h"
#include "platform/sim/file_settings.h"
#include "platform/winconst.h"
#include "temp_folder.h"

namespace plexi::win {
namespace {

std::string FileText(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

TEST(DevLog, OneLinePerFailureWithTimeCodeAndSystemText) {
  plexi::testing::TempFolder folder;
  DevLog log(folder.utf8() + kDevLogFileName);
  SetLastError(1234);
  log.Failure("ReadFile \\\\.\\E: at=1048576 bytes=4096", winconst::kErrorAccessDenied);
  log.Failure("FlushFileBuffers \\\\.\\E:", 0x2000ABCD);  // a code without a message
  // The caller's own last error is as it was.
  EXPECT_EQ(GetLastError(), 1234u);

  const std::string text = FileText(folder.wide() + L"devlog.log");
  const std::vector<std::string> lines = Lines(text);
  ASSERT_EQ(lines.size(), 2u) << text;
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  // "YYYY-MM-DD HH:MM:SS.mmm " first.
  ASSERT_GT(lines[0].size(), 24u);
  EXPECT_EQ(lines[0][4], '-');
  EXPECT_EQ(lines[0][10], ' ');
  EXPECT_EQ(lines[0][13], ':');
  EXPECT_EQ(lines[0][23], ' ');
  const std::string system_text = SystemErrorText(winconst::kErrorAccessDenied);
  const std::string expected_tail = "ReadFile \\\\.\\E: at=1048576 bytes=4096 error=5 " +
                                    system_text.substr(0, system_text.find_first_of("\r\n"));
  EXPECT_EQ(lines[0].substr(24), expected_tail);
  EXPECT_EQ(lines[1].substr(24), "FlushFileBuffers \\\\.\\E: error=536914893");
}

TEST(DevLog, PastTheLimitTheFileBecomesTheOldOneAndANewOneStarts) {
  plexi::testing::TempFolder folder;
  DevLog log(folder.utf8() + kDevLogFileName, 300);
  EXPECT_EQ(log.old_path(), folder.utf8() + "devlog.old.log");
  for (int i = 0; i < 10; ++i) log.Failure("WriteFile line " + std::to_string(i), 87);

  const std::string current = FileText(folder.wide() + L"devlog.log");
  const std::string old = FileText(folder.wide() + L"devlog.old.log");
  EXPECT_LE(current.size(), 300u + 200u);
  EXPECT_FALSE(old.empty());
  // Only one old file is kept: the earliest lines are gone, the last is in
  // the current file, and no line is split between the files.
  EXPECT_EQ(old.find("line 0 "), std::string::npos);
  EXPECT_NE(current.find("line 9 "), std::string::npos);
  for (const std::string& line : Lines(old + current))
    EXPECT_NE(line.find(" error=87"), std::string::npos) << line;
}

TEST(DevLog, AnUnwritableLogIsIgnored) {
  plexi::testing::TempFolder folder;
  DevLog log(folder.utf8() + "missing-folder\\devlog.log");
  SetLastError(42);
  log.Failure("ReadFile x", 23);
  EXPECT_EQ(GetLastError(), 42u);
  EXPECT_EQ(GetFileAttributesW((folder.wide() + L"missing-folder").c_str()),
            INVALID_FILE_ATTRIBUTES);
}

TEST(DevLog, LinesFromSeveralThreadsStayWhole) {
  plexi::testing::TempFolder folder;
  DevLog log(folder.utf8() + kDevLogFileName);
  constexpr int kThreads = 4, kLines = 50;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&log, t] {
      for (int i = 0; i < kLines; ++i)
        log.Failure("WriteFile thread" + std::to_string(t) + " #" + std::to_string(i), 21);
    });
  for (std::thread& thread : threads) thread.join();
  const std::vector<std::string> lines = Lines(FileText(folder.wide() + L"devlog.log"));
  ASSERT_EQ(lines.size(), size_t(kThreads * kLines));
  for (const std::string& line : lines)
    EXPECT_NE(line.find(" error=21"), std::string::npos) << line;
}

// The program makes a log only when the value is exactly 1, and puts it
// beside the error log.
TEST(DevLog, TheSettingSwitchesItOn) {
  plexi::testing::TempFolder folder;
  sim::FileSettings settings(folder.utf8() + "settings.txt");
  sim::DirectoryFileStore files(folder.utf8());
  EXPECT_EQ(app::DeveloperLog(settings, files), nullptr);
  for (int32_t off : {0, 2, -1}) {
    ASSERT_TRUE(settings.WriteInt(kDevLogSetting, off).ok());
    EXPECT_EQ(app::DeveloperLog(settings, files), nullptr) << off;
  }
  ASSERT_TRUE(settings.WriteInt(kDevLogSetting, 1).ok());
  const std::shared_ptr<DevLog> log = app::DeveloperLog(settings, files);
  ASSERT_NE(log, nullptr);
  EXPECT_EQ(log->path(), folder.utf8() + "devlog.log");
}

}  // namespace
}  // namespace plexi::win
