#include "platform/posix/linux_disks.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "platform/posix/device_use.h"
#include "util/ascii_text.h"

namespace plexi::posix {

namespace fs = std::filesystem;

namespace {

bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

std::string ReadWhole(const char* path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Canonical(const std::string& path) {
  std::error_code ec;
  const fs::path resolved = fs::canonical(path, ec);
  return ec ? std::string() : resolved.string();
}

// The devices a stacked device (device mapper, md) is built on, down to the
// disks or partitions at the bottom.
void CollectBase(const std::string& dir, int depth, std::set<std::string>* out) {
  std::error_code ec;
  bool stacked = false;
  if (depth < 8) {
    for (const auto& slave : fs::directory_iterator(dir + "/slaves", ec)) {
      const std::string base = Canonical(slave.path().string());
      if (base.empty()) continue;
      stacked = true;
      CollectBase(base, depth + 1, out);
    }
  }
  if (!stacked) out->insert(dir);
}

// The sysfs folders of the disks and partitions the root file system lives
// on, through any device mapper or md layers.
std::set<std::string> RootBaseDirs() {
  std::set<std::string> dirs;
  for (const MountEntry& mount : ParseMountInfo(ReadWhole("/proc/self/mountinfo"))) {
    if (mount.mount_point != "/") continue;
    std::string dir = SysfsDirOf(makedev(mount.major, mount.minor));
    // btrfs reports an anonymous device number; its source names the device.
    if (dir.empty() && mount.source.rfind("/dev/", 0) == 0) {
      if (const std::optional<PathId> id = StatPath(mount.source); id && id->block) dir = SysfsDirOf(id->rdev);
    }
    if (!dir.empty()) CollectBase(dir, 0, &dirs);
  }
  return dirs;
}

uint64_t SizeBytes(const std::string& dir) {
  // sysfs counts 512-byte units whatever the sector size.
  return std::strtoull(ReadSysfsLine(dir + "/size").c_str(), nullptr, 10) * 512;
}

LinuxDisk Describe(const std::string& name, const std::string& dir, bool partition,
                   const std::set<std::string>& root_dirs, Language language) {
  LinuxDisk disk;
  disk.name = name;
  disk.path = "/dev/" + name;
  disk.partition = partition;
  disk.identity = IdentityFromSysfs(dir);
  // NVMe and ATA drives pad their names in sysfs as in their identify data.
  // Only the listing is trimmed: the descriptor keeps the bytes that the
  // protection list's identity keys were made from.
  for (std::string* text : {&disk.identity.vendor, &disk.identity.product, &disk.identity.serial, &disk.identity.revision})
    *text = TrimBlanks(*text);
  const std::string whole = DiskDirOf(dir);
  disk.bus = LinuxBusName(whole);
  disk.bytes = SizeBytes(dir);
  const uint32_t sector = uint32_t(std::strtoul(ReadSysfsLine(whole + "/queue/logical_block_size").c_str(), nullptr, 10));
  if (sector >= 512) disk.sector_size = sector;
  disk.rotational = ReadSysfsLine(whole + "/queue/rotational") == "1";
  disk.system = std::any_of(root_dirs.begin(), root_dirs.end(), [&](const std::string& root) {
    return partition ? root == dir : (root == dir || DiskDirOf(root) == dir);
  });
  disk.in_use = DescribeDeviceUse(disk.path, language);
  return disk;
}

}  // namespace

bool ListsBlockDevice(std::string_view name, std::string_view sysfs_dir, const DiskListChoice& choice) {
  if (name.rfind("loop", 0) == 0) return choice.loop;
  // zram, RAM disks, device mapper and md live under the virtual devices.
  return !Contains(sysfs_dir, "/devices/virtual/");
}

std::string LinuxBusName(std::string_view dir) {
  switch (BusOfSysfsPath(std::string(dir))) {
    case SysfsBus::kUsb: return "usb";
    case SysfsBus::kNvme: return "nvme";
    case SysfsBus::kAta: return "sata";
    case SysfsBus::kVirtio: return "virtio";
    case SysfsBus::kMmc: return "mmc";
    case SysfsBus::kLoop: return "loop";
    case SysfsBus::kVirtual: return "virtual";
    case SysfsBus::kScsi: return "scsi";
    case SysfsBus::kUnknown: break;
  }
  return "unknown";
}

std::vector<LinuxDisk> ListLinuxDisks(const DiskListChoice& choice) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/sys/block", ec)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  const std::set<std::string> root_dirs = RootBaseDirs();
  std::vector<LinuxDisk> disks;
  for (const std::string& name : names) {
    const std::string dir = Canonical("/sys/block/" + name);
    // Empty card readers and loop devices with nothing attached have no size.
    if (dir.empty() || !ListsBlockDevice(name, dir, choice) || SizeBytes(dir) == 0) continue;
    disks.push_back(Describe(name, dir, false, root_dirs, choice.language));
    if (!choice.partitions) continue;
    std::vector<std::string> parts;
    for (const auto& entry : fs::directory_iterator(dir, ec))
      if (IsPartitionDir(entry.path().string())) parts.push_back(entry.path().filename().string());
    std::sort(parts.begin(), parts.end(), [&](const std::string& a, const std::string& b) {
      return PartitionNumber(dir + "/" + a) < PartitionNumber(dir + "/" + b);
    });
    for (const std::string& part : parts) disks.push_back(Describe(part, dir + "/" + part, true, root_dirs, choice.language));
  }
  return disks;
}

}  // namespace plexi::posix
