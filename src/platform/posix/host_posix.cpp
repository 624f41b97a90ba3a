// The Linux build's machine: real block devices and image files.
#include "platform/host.h"
#include "platform/posix/posix_machine.h"

namespace plexi::platform {

std::unique_ptr<Machine> MakeHostMachine() { return std::make_unique<posix::PosixMachine>(); }

}  // namespace plexi::platform
