// What the program runs on: the real machine with its registry settings and
// the files beside the executable, or a simulated machine from a file.
#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/internet.h"
#include "platform/platform.h"
#include "platform/power.h"

namespace plexi::win {
class DevLog;
}

namespace plexi::app {

struct Environment {
  std::unique_ptr<platform::Machine> machine;
  std::unique_ptr<platform::Settings> settings;
  std::unique_ptr<platform::FileStore> files;
  std::unique_ptr<platform::Power> power;  // records only, on a simulated machine
  // The about box's update check and download; the system's on either machine.
  std::unique_ptr<platform::Internet> internet;
  std::unique_ptr<platform::DownloadFiles> download_files;
  bool simulated = false;
  // Where the settings live: copies on the same place count each other's
  // erases (the registry key, or a simulated machine's settings file).
  std::string settings_place;
};

struct CommandLine {
  std::optional<std::string> simulate_file;  // --simulate FILE
  std::string error;                          // set when the line is unusable
};

// The program's arguments (without the program name) in UTF-8.
std::vector<std::string> ProgramArguments();
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// Where a simulated machine keeps its settings and files: for
// "D:\x\demo.machine" the text file "D:\x\demo.machine.settings" and the
// folder "D:\x\demo.files\".
struct SimulationPaths {
  std::string machine_file;  // absolute
  std::string settings_file;
  std::string files_folder;  // with its trailing separator
};
SimulationPaths SimulationPathsFor(const std::string& machine_file);

// The developer log beside the error log when the settings value `devlog`
// is 1; none otherwise.
std::shared_ptr<win::DevLog> DeveloperLog(platform::Settings& settings, platform::FileStore& files);

Environment MakeRealEnvironment();
// Empty machine and a reason in `error` when the file cannot be loaded.
Environment MakeSimulatedEnvironment(const std::string& machine_file, std::string* error);

}  // namespace plexi::app
