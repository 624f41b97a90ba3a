// Whether a block device or an image file is in use by the system: a file
// system mounted from it or from one of its partitions, swap on it, a
// device stacked on it, or a loop device attached to it (mounted or not:
// the loop device writes the same bytes). Writing to such a target would
// destroy a live file system or race another writer, so the Linux backend
// refuses to open it for writing (ERROR_BUSY, 170).
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "util/language.h"

namespace plexi::posix {

// One line of /proc/self/mountinfo, the parts the check needs.
struct MountEntry {
  uint32_t major = 0, minor = 0;
  std::string mount_point;
  std::string source;  // e.g. "/dev/sda1"; btrfs reports an anonymous number, not the disk's
};
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// The file names of /proc/swaps (partitions and swap files).
std::vector<std::string> ParseSwapPaths(std::string_view text);

// What stat says about a path.
struct PathId {
  bool block = false;
  dev_t rdev = 0;  // block devices
  dev_t dev = 0;   // file system of a regular file
  ino_t ino = 0;
};
using PathResolver = std::function<std::optional<PathId>(const std::string&)>;
std::optional<PathId> StatPath(const std::string& path);

// What must not be in use: the device numbers whose mounting makes the
// target busy, and for an image file its own identity (a swap file).
struct UseTarget {
  std::vector<dev_t> devices;
  std::optional<PathId> file;
};

// A sentence naming the first use found ("/dev/loop3p1 is mounted on
// /mnt/usb"), in `language`; empty when the target is free.
std::string FindUse(const UseTarget& target, std::string_view mountinfo, std::string_view swaps,
                    const PathResolver& resolve, Language language = Language::kEnglish);

// The target of a block device: itself, its partitions and every device
// stacked on them; of an image file: the loop devices backed by it, theirs.
// Loop devices attached to any of these count with theirs.
UseTarget UseTargetOfBlock(dev_t rdev);
UseTarget UseTargetOfFile(const PathId& file);

// The live check for a path, for the open call and for a command-line tool
// that wants to say why a device was refused: empty when free.
std::string DescribeDeviceUse(const std::string& path, Language language = Language::kEnglish);

}  // namespace plexi::posix
