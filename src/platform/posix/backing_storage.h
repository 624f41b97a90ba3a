// What storage the bytes of a Linux block device live on: a partition on a
// stretch of its disk, a loop device on a stretch of its backing file (or of
// the block device it is attached to), so that two names of the same bytes
// can be told apart from two drives. The backing file is known by its device
// and inode as the loop driver holds it (LOOP_GET_STATUS64), which names it
// also after its path was deleted or when it is reached by another link.
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/posix/device_use.h"

namespace plexi::posix {

// One attached loop device.
struct LoopBacking {
  dev_t loop = 0;
  std::string name;           // the kernel's name, "loop3" (/dev/loop3)
  std::optional<PathId> file; // backed by a regular file: its device and inode
  dev_t backing_block = 0;    // backed by a block device: its number
  uint64_t offset = 0;        // lo_offset: where the device starts in its backing
  uint64_t size_limit = 0;    // lo_sizelimit: 0 when it runs to the backing's end
  std::string backing_path;   // as the kernel shows it, "(deleted)" and all
};

// The backing of a loop device, asked through `node` (a device node of it)
// or else /dev/<name>, with sysfs where no node can be opened; nothing for a
// device that is not an attached loop device.
std::optional<LoopBacking> LoopBackingOf(dev_t loop, const std::string& node = {});
// Every attached loop device of the machine.
std::vector<LoopBacking> AttachedLoops();

// The loop device that uses the target: for an image file, one backed by
// that file (by device and inode); for a block device, one backed by one of
// `devices` (the device itself and its partitions). Its name, or empty.
std::string LoopUsing(const PathId& target, const std::vector<dev_t>& devices, const std::vector<LoopBacking>& loops);

// What a block device rests on, one layer down.
struct BlockLayer {
  enum class Kind { kDisk, kPartition, kLoop };
  Kind kind = Kind::kDisk;
  dev_t parent = 0;     // a partition's disk; the block device a loop device is attached to
  uint64_t start = 0;   // a partition's start on its disk; a loop device's offset
  uint64_t size = 0;    // a partition's size; a loop device's size limit (0: to the end)
  std::optional<PathId> file;  // the regular file a loop device is attached to
};
using BlockLayerOf = std::function<BlockLayer(dev_t)>;
// The live answer, from sysfs and the loop driver.
BlockLayer LiveBlockLayer(dev_t dev);

// A stretch of one storage: "block 8:0" (a disk) or "file <st_dev>:<inode>".
// A length of 0 runs to the storage's end.
struct StorageStretch {
  std::string storage;
  uint64_t offset = 0;
  uint64_t length = 0;
  bool Overlaps(const StorageStretch& other) const;
  bool operator==(const StorageStretch&) const = default;
};

// Where a block device's bytes lie, followed down through partitions and
// loop devices to a disk or a regular file.
StorageStretch StretchOfBlock(dev_t dev, const BlockLayerOf& layer_of);
StorageStretch StretchOfFile(const PathId& file);

}  // namespace plexi::posix
