#include "errors/error_report.h"
#include "util/text_lines.h"

#include <utility>

#include "platform/winconst.h"

namespace plexi {

std::string SystemErrorText(platform::Machine& machine, uint32_t code) {
  std::string text = machine.ErrorText(code);
  if (!text.empty()) return text;
  // The system has no message for this code; name the code so the report
  // still says something the user can look up.
  return "エラー コード " + std::to_string(code) + " が発生しました。";
}

void ReportSystemError(platform::Machine& machine, Notifier& notifier, uint32_t code) {
  notifier.ShowMessage(SystemErrorText(machine, code));
}

namespace {

void KeepNewest(std::vector<std::string>& lines, size_t count) {
  if (lines.size() > count) lines.erase(lines.begin(), lines.end() - long(count));
}

std::string FileReadFailure(platform::Machine& machine, const std::string& path, uint32_t error) {
  return "エラーログ " + path + " を読み込めませんでした。\r\n" + SystemErrorText(machine, error);
}

}  // namespace

ErrorLog::ErrorLog(platform::Machine& machine, platform::FileStore& files, std::string path)
    : machine_(machine), files_(files), path_(std::move(path)) {}

int ErrorLog::LoadErrorLog(Notifier& notifier) {
  lines_.clear();
  load_failed_ = false;
  platform::FileContent file = files_.Read(path_);
  if (file.exists && file.error != 0) {
    // Keep the file untouched: saving over it at close would lose it.
    load_failed_ = true;
    notifier.ShowMessage(FileReadFailure(machine_, path_, file.error));
  } else if (file.exists) {
    lines_ = SplitTextLines(platform::FileTextToUtf8(file.bytes));
    KeepNewest(lines_, kKeptLines);
  }
  loaded_count_ = int(lines_.size());
  return loaded_count_;
}

std::string ErrorLog::TimestampNow() {
  platform::LocalTime now = machine_.Now();
  std::string stamp = machine_.DateText(now);
  bool midnight = now.hour == 0 && now.minute == 0 && now.second == 0;
  if (!midnight) stamp += " " + machine_.TimeText(now);
  return stamp;
}

void ErrorLog::AppendErrorLog(const std::string& message, const std::string& drive_label) {
  lines_.push_back(TimestampNow() + " " + drive_label + " " + message);
}

bool ErrorLog::SaveIfChanged(Notifier& notifier) {
  if (int(lines_.size()) == loaded_count_) return true;
  std::vector<std::string> to_write = lines_;
  if (load_failed_) {
    // The file could not be read at start. Merge with it now if it has
    // become readable; otherwise leave it alone rather than replace it.
    platform::FileContent file = files_.Read(path_);
    if (file.exists && file.error != 0) {
      notifier.ShowMessage(FileReadFailure(machine_, path_, file.error) +
                           "今回のエラーは保存されません。");
      return false;
    }
    std::vector<std::string> old = file.exists ? SplitTextLines(platform::FileTextToUtf8(file.bytes))
                                               : std::vector<std::string>{};
    KeepNewest(old, kKeptLines);
    to_write.insert(to_write.begin(), old.begin(), old.end());
  }
  std::string text;
  for (const std::string& line : to_write) text += line + "\r\n";
  platform::Result<> status = files_.Replace(path_, platform::Utf8ToFileText(text));
  if (!status.ok()) {
    notifier.ShowMessage("エラーログ " + path_ + " を保存できませんでした。\r\n" +
                         SystemErrorText(machine_, status.error()));
    return false;
  }
  loaded_count_ = int(lines_.size());
  load_failed_ = false;
  return true;
}

void RouteErrorReport(const ErrorRouting& routing, ErrorLog& log, Notifier& notifier,
                 const std::string& message, const std::string& drive_label) {
  if (routing.unattended) {
    log.AppendErrorLog(message, drive_label);
  } else {
    notifier.ShowMessage(message);
  }
}

}  // namespace plexi
