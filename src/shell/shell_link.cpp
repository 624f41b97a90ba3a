#include "shell/shell_link.h"

namespace plexi {

bool DesktopShortcutCheck(platform::Settings& settings, const std::string& program_dir,
                          const std::string& exe_path, const std::string& title,
                          platform::ShortcutShell& shell) {
  if (settings.Exists("updatepath")) return false;
  // Best effort: a value that could not be written only means the check
  // runs again at the next start.
  static_cast<void>(settings.WriteText("updatepath", program_dir));

  const std::string desktop = shell.GetPath(platform::kFolderDesktop);
  if (desktop.empty()) return false;
  const std::string link = platform::ChooseLinkPath(desktop, title, false, {}).path;
  if (!shell.FileExists(link)) return false;
  std::string target;
  shell.GetLinkToPath(link, target);
  if (target == exe_path) return false;
  return !shell.CreateLink(exe_path, platform::kFolderDesktop, title, true).empty();
}

}  // namespace plexi
