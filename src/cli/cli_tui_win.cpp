// plexiscrub-cli tui on Windows: the terminal view is built on ncurses and
// Linux's disk list; the Windows program is the window to erase in.
#include <ostream>

#include "cli/cli_common.h"

namespace plexi::cli {

int TuiCommand(const Options&, std::ostream&, std::ostream& err) {
  err << "plexiscrub-cli: the terminal view (tui) is not available on Windows; use plexiscrub.exe, or erase\n";
  return kFailed;
}

}  // namespace plexi::cli
