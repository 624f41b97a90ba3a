// What the commands of the command-line tool share: the parsed options and
// the small helpers around the machine they run on.
#pragma once
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "errors/error_report.h"
#include "platform/platform.h"

namespace plexi::cli {

inline constexpr int kOk = 0;
inline constexpr int kFailed = 1;
inline constexpr int kUsage = 2;

struct Options {
  std::string command;
  std::vector<std::string> positional;
  std::optional<std::string> simulate;
  bool partitions = false;
  bool help = false;
  // erase
  std::optional<int> method;
  bool verify = false;
  bool no_history = false;
  bool yes = false;
  std::optional<bool> resume;
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

int EraseCommand(const Options& o, std::ostream& out, std::ostream& err);

}  // namespace plexi::cli
