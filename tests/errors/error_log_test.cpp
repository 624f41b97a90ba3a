// The error log: what is kept at load, when the file is rewritten, and that a
// file the program cannot read is never replaced.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "errors/error_report.h"
#include "platform/sim/directory_file_store.h"
#include "support/test_support.h"

namespace plexi {
namespace {

using test::RecordingNotifier;

class ErrorLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine_ = test::MakeMachine("clock 2026-12-08 09:30:05\n");
    files_ = std::make_unique<sim::DirectoryFileStore>(dir_.path().string());
    path_ = dir_.file("errlog.log");
  }

  void WriteFile(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
  std::string ReadFile() {
    std::ifstream in(path_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static std::string Numbered(int count) {
    std::string text;
    for (int i = 1; i <= count; ++i) text += "line " + std::to_string(i) + "\r\n";
    return text;
  }
  static int CountLines(const std::string& text) {
    int n = 0;
    for (size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", p + 2)) ++n;
    return n;
  }

  test::TempDir dir_;
  std::unique_ptr<sim::SimMachine> machine_;
  std::unique_ptr<sim::DirectoryFileStore> files_;
  std::string path_;
  RecordingNotifier notifier_;
};

TEST_F(ErrorLogTest, KeepsTheNewestHundredLinesAndRewritesOnlyWhenItGrew) {
  WriteFile(Numbered(150));
  ErrorLog log(*machine_, *files_, path_);
  EXPECT_EQ(log.LoadErrorLog(notifier_), 100);
  EXPECT_EQ(log.Lines().front(), "line 51");
  EXPECT_EQ(log.Lines().back(), "line 150");

  EXPECT_TRUE(log.SaveIfChanged(notifier_));
  EXPECT_EQ(CountLines(ReadFile()), 150);  // a run without errors leaves the file alone

  log.AppendErrorLog("照合の結果、未消去個所が見つかりました。", "WDC WD10 （E:）");
  EXPECT_TRUE(log.SaveIfChanged(notifier_));
  std::string text = ReadFile();
  EXPECT_EQ(CountLines(text), 101);
  EXPECT_EQ(text.substr(0, 9), "line 51\r\n");
  EXPECT_NE(text.find("2026/12/08 9:30:05 WDC WD10 （E:） 照合の結果、未消去個所が見つかりました。\r\n"),
            std::string::npos);
  EXPECT_TRUE(notifier_.messages.empty());
}

TEST_F(ErrorLogTest, SystemTextsSpanTwoLinesInTheFile) {
  ErrorLog log(*machine_, *files_, path_);
  log.LoadErrorLog(notifier_);
  log.AppendErrorLog(SystemErrorText(*machine_, 23), "USB （G:）");
  ASSERT_EQ(log.Lines().size(), 1u);
  log.SaveIfChanged(notifier_);
  std::string text = ReadFile();
  EXPECT_EQ(CountLines(text), 2);
  EXPECT_EQ(text.substr(text.size() - 4), "\r\n\r\n");
}

TEST_F(ErrorLogTest, NoFileAndNoErrorsCreatesNoFile) {
  ErrorLog log(*machine_, *files_, path_);
  EXPECT_EQ(log.LoadErrorLog(notifier_), 0);
  EXPECT_TRUE(log.SaveIfChanged(notifier_));
  EXPECT_FALSE(std::filesystem::exists(path_));
}

TEST_F(ErrorLogTest, AllErrorsOfARunAreWrittenAndTheNextStartKeepsAHundred) {
  ErrorLog log(*machine_, *files_, path_);
  log.LoadErrorLog(notifier_);
  for (int i = 0; i < 120; ++i) log.AppendErrorLog("error " + std::to_string(i), "D");
  log.SaveIfChanged(notifier_);
  EXPECT_EQ(CountLines(ReadFile()), 120);
  ErrorLog next(*machine_, *files_, path_);
  EXPECT_EQ(next.LoadErrorLog(notifier_), 100);
  EXPECT_EQ(next.Lines().front(), "2026/12/08 9:30:05 D error 20");
}

TEST_F(ErrorLogTest, MidnightEntriesCarryTheDateOnly) {
  machine_->SetClock({2026, 12, 9, 0, 0, 0});
  ErrorLog log(*machine_, *files_, path_);
  log.AppendErrorLog("m", "L");
  EXPECT_EQ(log.Lines().back(), "2026/12/09 L m");
}

TEST_F(ErrorLogTest, AnyLineBreakEndsALineAndNulBytesAreDropped) {
  static constexpr char kLog[] = "a\rb\nc\r\nd\0e\r\n\r\nlast";
  WriteFile(std::string(kLog, sizeof kLog - 1));  // the NUL inside, not the one ending it
  ErrorLog log(*machine_, *files_, path_);
  EXPECT_EQ(log.LoadErrorLog(notifier_), 6);
  EXPECT_EQ(log.Lines(), (std::vector<std::string>{"a", "b", "c", "de", "", "last"}));
}

TEST_F(ErrorLogTest, AnUnreadableLogIsReportedAndNeverReplaced) {
  std::filesystem::create_directory(path_);  // something that cannot be read as a file
  ErrorLog log(*machine_, *files_, path_);
  EXPECT_EQ(log.LoadErrorLog(notifier_), 0);
  ASSERT_EQ(notifier_.messages.size(), 1u);
  EXPECT_NE(notifier_.messages[0].find("errlog.log"), std::string::npos);
  log.AppendErrorLog("new", "L");
  EXPECT_FALSE(log.SaveIfChanged(notifier_));
  EXPECT_TRUE(std::filesystem::is_directory(path_));
  EXPECT_EQ(notifier_.messages.size(), 2u);
}

TEST_F(ErrorLogTest, AFailedSaveKeepsTheOldFileAndSaysSo) {
  WriteFile(Numbered(3));
  ErrorLog log(*machine_, *files_, path_);
  log.LoadErrorLog(notifier_);
  log.AppendErrorLog("new", "L");
  // A folder where the temporary file would go makes the write fail.
  std::filesystem::create_directory(path_ + ".tmp");
  EXPECT_FALSE(log.SaveIfChanged(notifier_));
  EXPECT_EQ(ReadFile(), Numbered(3));
  ASSERT_EQ(notifier_.messages.size(), 1u);
  EXPECT_NE(notifier_.messages[0].find("保存できませんでした"), std::string::npos);
}

TEST_F(ErrorLogTest, ReportErrorLogsOnlyWhenUnattended) {
  ErrorLog log(*machine_, *files_, path_);
  ErrorRouting routing;
  RouteErrorReport(routing, log, notifier_, "box", "L");
  EXPECT_EQ(notifier_.messages, (std::vector<std::string>{"box"}));
  EXPECT_TRUE(log.Lines().empty());

  routing.unattended = true;  // e.g. power-off follows the erase
  RouteErrorReport(routing, log, notifier_, "logged", "L");
  RouteErrorReport(routing, log, notifier_, "ending", "L");
  EXPECT_EQ(notifier_.messages.size(), 1u);
  ASSERT_EQ(log.Lines().size(), 2u);
  EXPECT_EQ(log.Lines()[1], "2026/12/08 9:30:05 L ending");
}

TEST(SystemErrorText, KnownAndUnknownCodes) {
  auto machine = test::MakeMachine("");
  std::string access = SystemErrorText(*machine, 5);
  ASSERT_GE(access.size(), 2u);
  EXPECT_EQ(access.substr(access.size() - 2), "\r\n");
  std::string unknown = SystemErrorText(*machine, 0xDEAD);
  EXPECT_NE(unknown.find(std::to_string(0xDEAD)), std::string::npos);
}

}  // namespace
}  // namespace plexi
