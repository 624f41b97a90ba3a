// What the commands of the command-line tool share: the parsed options and
// the small helpers around the machine they run on.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "errors/error_report.h"
#include "platform/platform.h"

namespace plexi::cli {

inline constexpr int kOk = 0;
inline constexpr int kFailed = 1;       // the operation ran and failed
inline constexpr int kUsage = 2;        // bad arguments
inline constexpr int kInterrupted = 3;  // erase interrupted, resume record saved
inline constexpr int kRefused = 4;      // nothing erased: declined, refused or not openable

struct Options {
  std::string command;
  std::vector<std::string> positional;
  std::optional<std::string> simulate;
  std::optional<std::string> drive;
  bool partitions = false;
  bool help = false;
  bool interactive = false;  // standard input is a terminal
  // erase
  std::optional<int> method;
  bool verify = false;
  bool no_history = false;
  bool yes = false;
  std::optional<bool> resume;
  // dump
  std::optional<uint64_t> count;
};

// Messages the program would show in a box go to standard error.
class StreamNotifier : public Notifier {
 public:
  explicit StreamNotifier(std::ostream& err) : err_(err) {}
  void ShowMessage(const std::string& text) override;

 private:
  std::ostream& err_;
};

// The simulated machine of --simulate, or the machine the tool runs on.
std::unique_ptr<platform::Machine> OpenMachine(const Options& o, std::ostream& err);

// A drive number ("2"), a letter ("F:"), or any path the machine opens.
std::string DevicePathOf(const std::string& target);

// A system text without its trailing line break.
std::string OneLine(std::string text);

// A decimal number of at most 64 bits, digits only.
std::optional<uint64_t> ParseDecimal(const std::string& text);

int EraseCommand(const Options& o, std::ostream& out, std::ostream& err);
int DumpCommand(const Options& o, std::ostream& out, std::ostream& err);

}  // namespace plexi::cli
