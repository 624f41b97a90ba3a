// On Windows the tool lists what the program lists.
#include "cli/cli_common.h"

namespace plexi::cli {

std::optional<int> ListHostDisks(const Options&, std::ostream&, std::ostream&) { return std::nullopt; }

}  // namespace plexi::cli
