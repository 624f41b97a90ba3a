// Where the GUI scenarios find the programs, the machine file to run them on
// and the folder for their screenshots (from the command line:
// --exe=PATH --machine=PATH [--cli=PATH] [--screenshots=DIR]).
#pragma once
#include <string>

namespace plexi::gui {

struct DriverConfig {
  std::wstring program;       // plexiscrub.exe
  std::wstring machine_file;  // demo/demo.machine
  std::wstring cli;           // plexiscrub-cli.exe; its scenarios are skipped without it
  std::wstring screenshots;   // folder; no screenshots without it
};

DriverConfig& Config();

}  // namespace plexi::gui
