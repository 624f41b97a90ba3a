#include "platform/posix/backing_storage.h"

#include <fcntl.h>
#include <linux/loop.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>

#include "platform/posix/posix_device.h"
#include "platform/posix/sysfs_info.h"

namespace plexi::posix {

namespace fs = std::filesystem;

namespace {

std::string NumberText(dev_t dev) { return std::to_string(major(dev)) + ":" + std::to_string(minor(dev)); }

bool ParseDevNumber(const std::string& text, dev_t* out) {
  unsigned maj = 0, min = 0;
  if (std::sscanf(text.c_str(), "%u:%u", &maj, &min) != 2) return false;
  *out = makedev(maj, min);
  return true;
}

uint64_t ReadSysfsNumber(const std::string& path) {
  return std::strtoull(ReadSysfsLine(path).c_str(), nullptr, 10);
}

// What the loop driver itself holds: the file it has open, by the device
// and inode it had when attached (see loop(4), LOOP_GET_STATUS64). The
// kernel encodes both device numbers as stat(2) does.
bool AskLoopDriver(const std::string& node, LoopBacking* backing) {
  UniqueFd fd(::open(node.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return false;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISBLK(st.st_mode) || st.st_rdev != backing->loop) return false;
  struct loop_info64 info {};
  if (::ioctl(fd.get(), LOOP_GET_STATUS64, &info) != 0) return false;
  backing->offset = info.lo_offset;
  backing->size_limit = info.lo_sizelimit;
  if (info.lo_rdevice != 0) {
    backing->backing_block = dev_t(info.lo_rdevice);
  } else {
    backing->file = PathId{false, 0, dev_t(info.lo_device), ino_t(info.lo_inode)};
  }
  return true;
}

}  // namespace

std::optional<LoopBacking> LoopBackingOf(dev_t loop, const std::string& node) {
  const std::string dir = SysfsDirOf(loop);
  if (dir.empty()) return std::nullopt;
  // The folder "loop" is there while the device is attached.
  const std::string backing_path = ReadSysfsLine(dir + "/loop/backing_file");
  if (backing_path.empty()) return std::nullopt;
  LoopBacking backing;
  backing.loop = loop;
  backing.name = fs::path(dir).filename().string();
  backing.backing_path = backing_path;
  for (const std::string& path : {node, "/dev/" + backing.name})
    if (!path.empty() && AskLoopDriver(path, &backing)) return backing;
  // No node to ask: sysfs, where a deleted file can no longer be found.
  backing.offset = ReadSysfsNumber(dir + "/loop/offset");
  backing.size_limit = ReadSysfsNumber(dir + "/loop/sizelimit");
  if (std::optional<PathId> id = StatPath(backing_path)) {
    if (id->block)
      backing.backing_block = id->rdev;
    else
      backing.file = id;
  }
  return backing;
}

std::vector<LoopBacking> AttachedLoops() {
  std::vector<LoopBacking> loops;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/sys/class/block", ec)) {
    const std::string dir = entry.path().string();
    if (ReadSysfsLine(dir + "/loop/backing_file").empty()) continue;
    dev_t number = 0;
    if (!ParseDevNumber(ReadSysfsLine(dir + "/dev"), &number)) continue;
    if (std::optional<LoopBacking> backing = LoopBackingOf(number)) loops.push_back(std::move(*backing));
  }
  return loops;
}

std::string LoopUsing(const PathId& target, const std::vector<dev_t>& devices, const std::vector<LoopBacking>& loops) {
  for (const LoopBacking& loop : loops) {
    const bool hit = target.block ? loop.backing_block != 0 && std::find(devices.begin(), devices.end(),
                                                                         loop.backing_block) != devices.end()
                                  : loop.file && loop.file->dev == target.dev && loop.file->ino == target.ino;
    if (hit) return loop.name;
  }
  return {};
}

BlockLayer LiveBlockLayer(dev_t dev) {
  BlockLayer layer;
  const std::string dir = SysfsDirOf(dev);
  if (dir.empty()) return layer;
  if (IsPartitionDir(dir)) {
    dev_t disk = 0;
    if (!ParseDevNumber(ReadSysfsLine(DiskDirOf(dir) + "/dev"), &disk)) return layer;
    layer.kind = BlockLayer::Kind::kPartition;
    layer.parent = disk;
    layer.start = PartitionStartBytes(dir);
    layer.size = std::max<uint64_t>(ReadSysfsNumber(dir + "/size") * 512, 1);
    return layer;
  }
  std::optional<LoopBacking> loop = LoopBackingOf(dev);
  // A loop device whose backing cannot be found stands for itself.
  if (!loop || (!loop->file && loop->backing_block == 0)) return layer;
  layer.kind = BlockLayer::Kind::kLoop;
  layer.parent = loop->backing_block;
  layer.start = loop->offset;
  layer.size = loop->size_limit;
  layer.file = loop->file;
  return layer;
}

bool StorageStretch::Overlaps(const StorageStretch& other) const {
  if (storage != other.storage) return false;
  constexpr uint64_t kEnd = std::numeric_limits<uint64_t>::max();
  const auto end = [](const StorageStretch& s) {
    return s.length == 0 || s.offset > kEnd - s.length ? kEnd : s.offset + s.length;
  };
  return offset < end(other) && other.offset < end(*this);
}

StorageStretch StretchOfBlock(dev_t dev, const BlockLayerOf& layer_of) {
  // The stretch of `dev` so far, in the bytes of the device reached.
  uint64_t offset = 0;
  uint64_t length = 0;  // to the end
  // Stacks are shallow; the bound only guards against a loop.
  for (int depth = 0; depth < 16; ++depth) {
    const BlockLayer layer = layer_of(dev);
    if (layer.kind == BlockLayer::Kind::kDisk) break;
    if (layer.kind == BlockLayer::Kind::kLoop && !layer.file && layer.parent == 0) break;
    if (layer.size != 0) {
      // Cut to what the layer shows of what lies below it.
      const uint64_t left = offset < layer.size ? layer.size - offset : 1;
      length = length == 0 ? left : std::min(length, left);
    }
    offset += layer.start;
    if (layer.file) return {StretchOfFile(*layer.file).storage, offset, length};
    dev = layer.parent;
  }
  return {"block " + NumberText(dev), offset, length};
}

StorageStretch StretchOfFile(const PathId& file) {
  return {"file " + std::to_string(file.dev) + ":" + std::to_string(file.ino), 0, 0};
}

}  // namespace plexi::posix
