// Where a Linux target lies: the device number behind whatever path names
// it, and for a partition its stretch of the parent disk, from sysfs.
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "cli/cli_erase_parts.h"

namespace plexi::cli {
namespace {

std::string DeviceKey(dev_t dev) { return "block " + std::to_string(major(dev)) + ":" + std::to_string(minor(dev)); }

std::optional<uint64_t> ReadSysfsNumber(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string text;
  if (!(in >> text)) return std::nullopt;
  return ParseDecimal(text);
}

}  // namespace

bool ErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

std::optional<std::vector<Footprint>> HostFootprint(const std::string& path, std::string* problem) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    *problem = "cannot look at " + path + ": " + std::strerror(errno);
    return std::vector<Footprint>{};
  }
  if (!S_ISBLK(st.st_mode))
    return std::vector<Footprint>{{"file " + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino), 0, 0}};
  const std::filesystem::path sys =
      "/sys/dev/block/" + std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev));
  std::error_code ec;
  if (!std::filesystem::exists(sys / "partition", ec)) return std::vector<Footprint>{{DeviceKey(st.st_rdev), 0, 0}};
  // A partition: sysfs counts its start and size in 512-byte units, and its
  // folder sits in its disk's.
  const std::filesystem::path own = std::filesystem::canonical(sys, ec);
  std::ifstream parent_dev(own.parent_path() / "dev");
  std::string numbers;
  const std::optional<uint64_t> start = ReadSysfsNumber(own / "start");
  const std::optional<uint64_t> size = ReadSysfsNumber(own / "size");
  if (ec || !(parent_dev >> numbers) || !start || !size)
    return std::vector<Footprint>{{DeviceKey(st.st_rdev), 0, 0}};
  // Named by the disk too, so that the disk itself overlaps it.
  return std::vector<Footprint>{{"block " + numbers, *start * 512, std::max<uint64_t>(*size * 512, 1)}};
}

}  // namespace plexi::cli
