// What the toolbar and the about box ask the shell to open: the error log
// in the text editor, the help page, the maker's home page, a folder.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/shell.h"

namespace plexi {

using platform::ShellCommand;

// "Help\Plexiscrub.htm" in the program's folder (given with its separator).
std::string HelpPagePath(const std::string& program_dir);
ShellCommand HelpCommand(const std::string& help_path);

// The error log in Notepad; nothing while the file does not exist (entries
// of this run are written at close, so they are not in it yet).
std::optional<ShellCommand> ErrorLogCommand(platform::FileStore& files,
                                            const std::string& log_path);

// The home page in Internet Explorer, then, when that cannot start, in
// whatever the system opens addresses with.
std::vector<ShellCommand> HomePageCommands(const std::string& address);

ShellCommand OpenFolderCommand(const std::string& folder);

}  // namespace plexi
