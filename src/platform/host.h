// The machine the program runs on, for the command-line tool: Win32 on
// Windows, block devices and image files elsewhere.
#pragma once
#include <memory>

#include "platform/platform.h"

namespace plexi::platform {

std::unique_ptr<Machine> MakeHostMachine();

}  // namespace plexi::platform
