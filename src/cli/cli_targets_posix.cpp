// Where a Linux target lies: the storage its bytes live on, whatever path
// names it (links, bind mounts, relative paths), followed through partitions
// and loop devices down to a disk or a regular file.
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cli/cli_erase_parts.h"
#include "platform/posix/backing_storage.h"

namespace plexi::cli {

bool ErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

std::optional<std::vector<Footprint>> HostFootprint(const std::string& path, std::string* problem) {
  const std::optional<posix::PathId> id = posix::StatPath(path);
  if (!id) {
    *problem = "cannot look at " + path + ": " + std::strerror(errno);
    return std::vector<Footprint>{};
  }
  const posix::StorageStretch stretch =
      id->block ? posix::StretchOfBlock(id->rdev, posix::LiveBlockLayer) : posix::StretchOfFile(*id);
  return std::vector<Footprint>{{stretch.storage, stretch.offset, stretch.length}};
}

}  // namespace plexi::cli
