// Which Windows the program runs on: its version and whether it is Windows
// PE. The two system calls behind it are here alone, so that the storage
// rules that depend on them can be given another answer.
#pragma once
#include "platform/platform.h"

namespace plexi::win {

platform::HostSystem ReadWindowsHost();

}  // namespace plexi::win
