// The disks Linux has, as /sys/block lists them, for the command-line
// tool's list: whole disks by default, loop devices and partitions when
// asked, never zram, RAM disks or stacked devices (device mapper, md),
// which are not disks one erases. Each carries what makes it unfit to erase:
// the system's root file system on it, or a file system, swap or stacked
// device in use on it.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/sysfs_info.h"
#include "util/language.h"

namespace plexi::posix {

struct DiskListChoice {
  bool loop = false;        // attached loop devices too
  bool partitions = false;  // each disk's partitions after it
  Language language = Language::kEnglish;  // of the in-use sentences
};

struct LinuxDisk {
  std::string name;  // "sda", "nvme0n1", "sda1"
  std::string path;  // "/dev/sda"
  DeviceIdentity identity;
  std::string bus;   // "sata", "nvme", "usb", "virtio", "mmc", "scsi", "loop", "unknown"
  uint64_t bytes = 0;
  uint32_t sector_size = 512;
  bool partition = false;
  bool rotational = false;
  bool system = false;       // holds the root file system (or a partition of it does)
  std::string in_use;        // what holds it ("/dev/sda1 is mounted on /boot"); empty when free
};

// Whether /sys/block/NAME, whose resolved folder is `sysfs_dir`, is listed.
bool ListsBlockDevice(std::string_view name, std::string_view sysfs_dir, const DiskListChoice& choice);

// The bus as Linux users name it, from the resolved sysfs folder.
std::string LinuxBusName(std::string_view sysfs_dir);

// Every listed disk of this machine, in /sys/block's name order, with each
// disk's partitions after it when asked.
std::vector<LinuxDisk> ListLinuxDisks(const DiskListChoice& choice);

}  // namespace plexi::posix
