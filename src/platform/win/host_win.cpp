#include "platform/host.h"

#include "platform/win/win_machine.h"

namespace plexi::platform {

std::unique_ptr<Machine> MakeHostMachine() { return std::make_unique<win::WinMachine>(); }

// Windows says "in use" through the lock that the erase asks for.
std::string DescribeHostDeviceUse(const std::string&) { return {}; }

}  // namespace plexi::platform
