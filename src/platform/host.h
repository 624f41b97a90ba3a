// The machine the program runs on, for the command-line tool: Win32 on
// Windows, block devices and image files elsewhere.
#pragma once
#include <memory>
#include <string>

#include "platform/platform.h"
#include "util/language.h"

namespace plexi::platform {

std::unique_ptr<Machine> MakeHostMachine();

// Why the system will not let the tool write to `path` (for example "/dev/sdb1
// is mounted on /home"), or empty when nothing is known against it.
std::string DescribeHostDeviceUse(const std::string& path, Language language = Language::kEnglish);

// The computer's network name and its operating system with its version,
// as an erase report names where the erase ran; empty when unknown.
struct HostDescription {
  std::string computer_name;
  std::string operating_system;
};
HostDescription DescribeHost();

// The language the user's system speaks when no locale variable says
// (Windows: the user's interface language); English where there is none.
Language HostUserLanguage();

}  // namespace plexi::platform
