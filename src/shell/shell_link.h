// The first-start check that keeps the desktop shortcut pointing at this
// copy of the program.
#pragma once
#include <string>

#include "platform/platform.h"
#include "platform/shell.h"

namespace plexi {

// The main window's first showing: when "updatepath" is absent, records this
// copy's folder there and, if the desktop has a shortcut named after the
// title that points elsewhere, writes it again for `exe_path`. Returns true
// when the shortcut was rewritten.
bool DesktopShortcutCheck(platform::Settings& settings, const std::string& program_dir,
                          const std::string& exe_path, const std::string& title,
                          platform::ShortcutShell& shell);

}  // namespace plexi
