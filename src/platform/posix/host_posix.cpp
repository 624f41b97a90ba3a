// The Linux build's machine: real block devices and image files.
#include "platform/host.h"

#include <sys/utsname.h>

#include "platform/posix/device_use.h"
#include "platform/posix/posix_machine.h"

namespace plexi::platform {

std::unique_ptr<Machine> MakeHostMachine() { return std::make_unique<posix::PosixMachine>(); }

std::string DescribeHostDeviceUse(const std::string& path, Language language) {
  return posix::DescribeDeviceUse(path, language);
}

HostDescription DescribeHost() {
  struct utsname names {};
  if (::uname(&names) != 0) return {};
  return {names.nodename, std::string(names.sysname) + " " + names.release + " " + names.machine};
}

// The locale variables are all there is.
Language HostUserLanguage() { return Language::kEnglish; }

}  // namespace plexi::platform
