// On Windows the drives themselves say where they lie (the erase asks them).
#include "cli/cli_erase_parts.h"

namespace plexi::cli {

// The console is written to in plain lines.
bool ErrorIsTerminal() { return false; }

std::optional<std::vector<Footprint>> HostFootprint(const std::string&, std::string*) { return std::nullopt; }

}  // namespace plexi::cli
