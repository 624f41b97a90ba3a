// What the program asks of the system shell, in portable terms: a command
// for ShellExecute, the special folders and shortcut (.lnk) files, and how
// a shortcut's file name is made. The Win32 calls behind them live in
// platform/win/shell_open_win.* and platform/win/shell_link_win.*.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace plexi::platform {

// ShellExecute's show commands used here.
inline constexpr int kShowNormal = 1;  // SW_SHOWNORMAL
inline constexpr int kShow = 5;        // SW_SHOW

struct ShellCommand {
  std::string operation;
  std::string file;
  std::string parameters;
  int show = kShowNormal;
  friend bool operator==(const ShellCommand&, const ShellCommand&) = default;
};

// Shell special-folder codes.
inline constexpr int kFolderDesktop = 0x00;
inline constexpr int kFolderWindows = 0x24;
inline constexpr int kFolderSystem = 0x25;

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

}  // namespace plexi::platform
