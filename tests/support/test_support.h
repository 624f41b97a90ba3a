// Shared helpers of the Linux tests: a notifier that records the messages
// the program would show, simulated machines built from text, and
// temporary folders that clean up after themselves.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "errors/error_report.h"
#include "platform/sim/sim_machine.h"

namespace plexi::test {

class RecordingNotifier : public Notifier {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  std::vector<std::string> messages;
};

inline std::unique_ptr<sim::SimMachine> MakeMachine(const std::string& text,
                                                    const std::string& base_dir = ".") {
  std::string error;
  std::unique_ptr<sim::SimMachine> machine = sim::SimMachine::Parse(text, base_dir, &error);
  EXPECT_TRUE(machine) << error;
  return machine;
}

#ifndef _WIN32
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "plexiscrub-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    path_ = mkdtemp(buffer.data());
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};
#endif

}  // namespace plexi::test
