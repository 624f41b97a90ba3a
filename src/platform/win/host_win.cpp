#include "platform/host.h"

#include "platform/win/win_machine.h"

namespace plexi::platform {

std::unique_ptr<Machine> MakeHostMachine() { return std::make_unique<win::WinMachine>(); }

}  // namespace plexi::platform
