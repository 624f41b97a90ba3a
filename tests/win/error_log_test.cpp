// The error log on the real machine: stamped by the system's date format,
// saved in the ANSI code page and read back.
#include "errors/error_report.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/win/win_file_store.h"
#include "platform/win/win_machine.h"
#include "temp_folder.h"

namespace plexi {
namespace {

class RecordingNotifier : public Notifier {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  std::vector<std::string> messages;
};

TEST(ErrorLogOnWindows, SavedInShiftJisAndLoadedBack) {
  plexi::testing::TempFolder folder;
  win::WinMachine machine;
  win::WinFileStore files(folder.utf8());
  const std::string path = folder.utf8() + "errlog.log";
  RecordingNotifier notifier;

  ErrorLog log(machine, files, path);
  EXPECT_EQ(log.LoadErrorLog(notifier), 0);
  log.AppendErrorLog("照合の結果、未消去個所が見つかりました。", "ＳＳＤ （C: D:）");
  ASSERT_TRUE(log.SaveIfChanged(notifier));
  EXPECT_TRUE(notifier.messages.empty());

  const std::string bytes = files.Read(path).bytes;
  EXPECT_NE(bytes.find("\x8F\xC6\x8D\x87"), std::string::npos) << "照合 in code page 932";
  EXPECT_EQ(bytes.find("照合"), std::string::npos) << "no UTF-8 in the file";
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");

  ErrorLog reloaded(machine, files, path);
  ASSERT_EQ(reloaded.LoadErrorLog(notifier), 1);
  const std::string& line = reloaded.Lines()[0];
  EXPECT_NE(line.find(" ＳＳＤ （C: D:） 照合の結果、未消去個所が見つかりました。"), std::string::npos);
  EXPECT_NE(line.find(machine.DateText(machine.Now())), std::string::npos);
}

}  // namespace
}  // namespace plexi
