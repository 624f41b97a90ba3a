// The developer log: one line per failed system call of the Win32 backend,
// so that a failure on a user's hardware can be diagnosed from a file. It is
// off unless the settings value `devlog` is 1 (see the composition root).
#pragma once
#include <cstdint>
#include <mutex>
#include <string>

namespace plexi::win {

// The log's file name, beside the error log in the program's folder.
inline constexpr char kDevLogFileName[] = "devlog.log";
// The settings value (DWORD) that switches the log on when it is 1.
inline constexpr char kDevLogSetting[] = "devlog";

// The system's message for an error code (FormatMessageW), as it gives it
// (with its line break); empty when it has none.
std::string SystemErrorText(uint32_t code);

class DevLog {
 public:
  // When the file grows past `limit_bytes` it becomes the old log ("x.log"
  // -> "x.old.log", replacing an older one) and a new file is started.
  explicit DevLog(std::string path, uint64_t limit_bytes = 1024 * 1024);

  // Appends "<local date time> <call> error=<code> <system's text>". Safe to
  // call from any thread; a failure to write the log is ignored.
  void Failure(const std::string& call, uint32_t error);

  const std::string& path() const { return path_; }
  const std::string& old_path() const { return old_path_; }

 private:
  void Append(const std::string& line);

  const std::string path_;
  const std::string old_path_;
  const uint64_t limit_bytes_;
  std::mutex mutex_;  // the erase worker and the GUI thread both write
};

}  // namespace plexi::win
