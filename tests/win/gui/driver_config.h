// Where the GUI scenarios find the program and the machine file to run it
// on (from the command line: --exe=PATH --machine=PATH).
#pragma once
#include <string>

namespace plexi::gui {

struct DriverConfig {
  std::wstring program;       // plexiscrub.exe
  std::wstring machine_file;  // demo/demo.machine
};

DriverConfig& Config();

}  // namespace plexi::gui
