// The portable half of the shell-link component: how a shortcut's file name
// is made, and the first-start check that keeps the desktop shortcut
// pointing at this copy of the program.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace plexi::controls {

// Shell special-folder codes.
inline constexpr int kFolderDesktop = 0x00;
inline constexpr int kFolderWindows = 0x24;
inline constexpr int kFolderSystem = 0x25;

// Characters that file names cannot hold, replaced by their full-width
// forms: / " : * < > ? \ |
std::string FileMogChk(std::string_view name);

// Everything from the last "." on removed.
std::string StripExtension(std::string_view name);
// The final component of a path, without its extension.
std::string FileTitle(std::string_view path);

// The shortcut's name: the link name made safe for a file name, or the
// target's file title when none is given; a file target's name loses its
// extension.
std::string LinkFileName(std::string_view link_name, std::string_view target,
                         bool target_is_directory);

struct LinkPathChoice {
  std::string path;
  bool numbered = false;  // N(k).lnk because N.lnk was taken
};

// folder\N.lnk, or with `keep_existing` the first of N(1).lnk, N(2).lnk, ...
// that does not exist yet.
LinkPathChoice ChooseLinkPath(std::string_view folder, std::string_view name, bool keep_existing,
                              const std::function<bool(const std::string&)>& exists);

// The shell operations the first-start check uses (TShellLink on Windows).
class ShortcutShell {
 public:
  virtual ~ShortcutShell() = default;
  virtual std::string GetPath(int folder) = 0;
  // The shell's result code; `target` is the link path itself on failure.
  virtual int32_t GetLinkToPath(const std::string& link, std::string& target) = 0;
  virtual std::string CreateLink(const std::string& target, int folder,
                                 const std::string& link_name, bool overwrite) = 0;
  virtual bool FileExists(const std::string& path) = 0;
};

// The main window's first showing: when "updatepath" is absent, records this
// copy's folder there and, if the desktop has a shortcut named after the
// title that points elsewhere, writes it again for `exe_path`. Returns true
// when the shortcut was rewritten.
bool DesktopShortcutCheck(platform::Settings& settings, const std::string& program_dir,
                          const std::string& exe_path, const std::string& title,
                          ShortcutShell& shell);

}  // namespace plexi::controls
