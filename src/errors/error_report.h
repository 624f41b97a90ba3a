// System error texts, the plain message box and the error log of unattended
// erases.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace plexi {

// Where the program shows a plain message (a modal box with the application
// title and an OK button). Tests and the command-line tool record or print.
class Notifier {
 public:
  virtual ~Notifier() = default;
  virtual void ShowMessage(const std::string& text) = 0;
};

// The system's message for a Windows error code, unchanged (trailing line
// break included). A code the system has no text for gets a short text that
// still names the code, so a report is never blank.
std::string SystemErrorText(platform::Machine& machine, uint32_t code);

// Shows the system's text for `code` in a plain message box.
void ReportSystemError(platform::Machine& machine, Notifier& notifier, uint32_t code);

// The error log: lines of "date time label message", kept in memory during a
// run and written back to errlog.log at close when the line count changed.
class ErrorLog {
 public:
  static constexpr size_t kKeptLines = 100;

  ErrorLog(platform::Machine& machine, platform::FileStore& files, std::string path);

  // Loads the newest 100 lines of the file; returns the number of lines kept.
  // An unreadable file leaves the log empty, is reported, and is not
  // overwritten at close.
  int LoadErrorLog(Notifier& notifier);
  // Adds one line stamped with the current local date and time.
  void AppendErrorLog(const std::string& message, const std::string& drive_label);
  // Writes the whole log back when its line count changed since loading.
  // A failure is reported and the old file stays as it was.
  bool SaveIfChanged(Notifier& notifier);

  const std::vector<std::string>& Lines() const { return lines_; }
  int LoadedCount() const { return loaded_count_; }
  const std::string& Path() const { return path_; }

 private:
  std::string TimestampNow();

  platform::Machine& machine_;
  platform::FileStore& files_;
  std::string path_;
  std::vector<std::string> lines_;
  int loaded_count_ = 0;
  bool load_failed_ = false;
};

// Routes the errors of an erase: into the log when the erase runs unattended
// (the caller knows why: an end-of-erase action is chosen, or Windows is
// ending the session), otherwise into a message box.
struct ErrorRouting {
  bool unattended = false;
};

void RouteErrorReport(const ErrorRouting& routing, ErrorLog& log, Notifier& notifier,
                 const std::string& message, const std::string& drive_label);

}  // namespace plexi
