// The command-line tool: the program's drive logic on a simulated machine,
// on Linux block devices and image files, or on the drives of Windows.
#pragma once
#include <iosfwd>
#include <string>
#include <vector>

namespace plexi::cli {

// Runs one command line (arguments without the program name); returns the
// process exit code: 0 success, 1 the operation failed, 2 bad arguments.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace plexi::cli
