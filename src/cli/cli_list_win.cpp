// On Windows the tool lists what the program lists.
#include "cli/cli_common.h"

namespace plexi::cli {

std::optional<int> ListHostDisks(const Options&, std::ostream&, std::ostream&) { return std::nullopt; }

// The machine's own lists name every disk and volume Windows has.
std::vector<std::string> HostProbePaths() { return {}; }

}  // namespace plexi::cli
