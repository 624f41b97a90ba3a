// errlog.log as the program loads it at start (ANSI code page text, any
// bytes), then one error added and the log written back as at close.
#include <cstdint>
#include <string>

#include "errors/error_report.h"
#include "fuzz_support.h"

using namespace plexi;

namespace {
constexpr char kPath[] = "C:\\Plexiscrub\\errlog.log";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::unique_ptr<sim::SimMachine> machine = fuzz::QuietMachine();
  FuzzedDataProvider provider(data, size);
  const bool unreadable = size > 0 && data[0] == 0xFF;  // a file that exists but cannot be read
  if (unreadable) provider.ConsumeIntegral<uint8_t>();
  const std::string message = provider.ConsumeRandomLengthString(200);
  const std::string file = provider.ConsumeRemainingBytesAsString();

  fuzz::MemoryFileStore files;
  files.files[kPath] = file;
  if (unreadable) files.read_error = 5;
  fuzz::KeptMessages notifier;
  ErrorLog log(*machine, files, kPath);
  const int loaded = log.LoadErrorLog(notifier);
  FUZZ_CHECK(loaded == int(log.Lines().size()));
  FUZZ_CHECK(log.Lines().size() <= ErrorLog::kKeptLines);
  for (const std::string& line : log.Lines())
    FUZZ_CHECK(line.find_first_of(std::string("\r\n\0", 3)) == std::string::npos);

  log.AppendErrorLog(message, "L");
  const bool saved = log.SaveIfChanged(notifier);
  if (unreadable) {
    // The old file is never replaced by what could be read of it.
    FUZZ_CHECK(!saved && files.writes == 0 && files.files[kPath] == file);
    return 0;
  }
  FUZZ_CHECK(saved && files.writes == 1);

  // What was written loads back as the same lines, unless the added message
  // itself held line breaks.
  if (message.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) return 0;
  fuzz::KeptMessages reload_notifier;
  ErrorLog reloaded(*machine, files, kPath);
  reloaded.LoadErrorLog(reload_notifier);
  std::vector<std::string> expected = log.Lines();
  if (expected.size() > ErrorLog::kKeptLines) expected.erase(expected.begin(), expected.end() - ErrorLog::kKeptLines);
  FUZZ_CHECK(reloaded.Lines() == expected);
  return 0;
}
