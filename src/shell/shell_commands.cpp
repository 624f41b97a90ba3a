#include "shell/shell_commands.h"

namespace plexi {

std::string HelpPagePath(const std::string& program_dir) {
  return program_dir + "Help\\Plexiscrub.htm";
}

ShellCommand HelpCommand(const std::string& help_path) {
  return {"open", help_path, "", platform::kShowNormal};
}

std::optional<ShellCommand> ErrorLogCommand(platform::FileStore& files,
                                            const std::string& log_path) {
  if (!files.Exists(log_path)) return std::nullopt;
  // Quoted: the program usually lives under "Program Files".
  return ShellCommand{"open", "notepad", "\"" + log_path + "\"", platform::kShow};
}

std::vector<ShellCommand> HomePageCommands(const std::string& address) {
  return {{"open", "iexplore", address, platform::kShowNormal}, {"open", address, "", platform::kShowNormal}};
}

ShellCommand OpenFolderCommand(const std::string& folder) {
  return {"open", folder, "", platform::kShowNormal};
}

}  // namespace plexi
