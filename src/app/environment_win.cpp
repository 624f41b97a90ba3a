#include "app/environment_win.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/sim/directory_file_store.h"
#include "platform/sim/file_settings.h"
#include "platform/sim/sim_power.h"
#include "platform/sim/sim_machine.h"
#include "platform/win/dev_log.h"
#include "platform/win/utf.h"
#include "platform/win/win_file_store.h"
#include "platform/win/win_handles.h"
#include "platform/win/win_machine.h"
#include "platform/win/win_power.h"
#include "platform/win/win_settings.h"

namespace plexi::app {
namespace {

std::string FullPath(const std::string& path) {
  const std::wstring wide = win::Utf8ToWide(path);
  std::wstring full(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 3; ++attempt) {
    const DWORD length = GetFullPathNameW(wide.c_str(), DWORD(full.size()), full.data(), nullptr);
    if (length == 0) return path;
    if (length < full.size()) {
      full.resize(length);
      return win::WideToUtf8(full);
    }
    full.assign(size_t(length) + 1, L'\0');
  }
  return path;
}

}  // namespace

std::vector<std::string> ProgramArguments() {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  win::UniqueLocalMemory owner(arguments);
  std::vector<std::string> result;
  for (int i = 1; arguments != nullptr && i < count; ++i)
    result.push_back(win::WideToUtf8(arguments[i]));
  return result;
}

// Only --simulate is known; anything else is left alone, as the program
// takes no settings from its command line.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine line;
  for (size_t i = 0; i < arguments.size(); ++i) {
    if (arguments[i] != "--simulate") continue;
    if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
      line.error = "--simulate にはシミュレーションのファイルを指定して下さい。";
      return line;
    }
    line.simulate_file = arguments[++i];
  }
  return line;
}

SimulationPaths SimulationPathsFor(const std::string& machine_file) {
  SimulationPaths paths;
  paths.machine_file = FullPath(machine_file);
  paths.settings_file = paths.machine_file + ".settings";
  const size_t slash = paths.machine_file.find_last_of("\\/");
  const size_t name_start = slash == std::string::npos ? 0 : slash + 1;
  std::string stem = paths.machine_file.substr(name_start);
  const size_t dot = stem.rfind('.');
  if (dot != std::string::npos && dot > 0) stem.resize(dot);
  paths.files_folder = paths.machine_file.substr(0, name_start) + stem + ".files\\";
  return paths;
}

std::shared_ptr<win::DevLog> DeveloperLog(platform::Settings& settings, platform::FileStore& files) {
  if (settings.ReadInt(win::kDevLogSetting) != 1) return nullptr;
  return std::make_shared<win::DevLog>(files.ProgramDirectory() + win::kDevLogFileName);
}

Environment MakeRealEnvironment() {
  Environment environment;
  environment.settings = std::make_unique<win::WinSettings>();
  environment.files = std::make_unique<win::WinFileStore>();
  environment.machine =
      std::make_unique<win::WinMachine>(DeveloperLog(*environment.settings, *environment.files));
  environment.power = std::make_unique<win::WinPower>();
  environment.settings_place = win::WideToUtf8(win::kSettingsKeyPath);
  return environment;
}

Environment MakeSimulatedEnvironment(const std::string& machine_file, std::string* error) {
  Environment environment;
  const SimulationPaths paths = SimulationPathsFor(machine_file);
  environment.machine = sim::SimMachine::Load(paths.machine_file, error);
  if (!environment.machine) return environment;
  // The folder is made on first use, so that a fresh copy of a machine file
  // starts with no error log and no protection list.
  CreateDirectoryW(win::Utf8ToWide(paths.files_folder).c_str(), nullptr);
  environment.settings = std::make_unique<sim::FileSettings>(paths.settings_file);
  environment.files = std::make_unique<sim::DirectoryFileStore>(paths.files_folder);
  auto power = std::make_unique<sim::SimPower>();
  power->SetJournal(paths.files_folder + "power.log");
  environment.power = std::move(power);
  environment.simulated = true;
  environment.settings_place = paths.settings_file;
  return environment;
}

}  // namespace plexi::app
