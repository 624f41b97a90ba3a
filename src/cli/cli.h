// The command-line tool: the program's drive logic on a simulated machine,
// on Linux block devices and image files, or on the drives of Windows.
#pragma once
#include <iosfwd>
#include <string>
#include <vector>

namespace plexi::cli {

class ConsoleInterrupt;

// Runs one command line (arguments without the program name); returns the
// process exit code (see the usage text). `interactive` says whether
// standard input is a terminal someone can answer questions at;
// `interrupt` is where the console's Ctrl+C and closing reach an erase.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool interactive,
           ConsoleInterrupt& interrupt);

}  // namespace plexi::cli
