// What Linux tells about a block device through /sys: where it sits, its
// partitions and holders, and the identity strings a storage descriptor
// carries.
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace plexi::posix {

// The sysfs folder of a block device (/sys/devices/.../block/sda/sda1),
// resolved from its device number; empty when there is none.
std::string SysfsDirOf(dev_t rdev);

// First line of a sysfs attribute without its line break; empty when absent.
std::string ReadSysfsLine(const std::string& path);

bool IsPartitionDir(const std::string& dir);
// The whole disk's folder for a partition; the folder itself otherwise.
std::string DiskDirOf(const std::string& dir);
// Start of a partition in bytes (sysfs counts 512-byte units); 0 otherwise.
uint64_t PartitionStartBytes(const std::string& dir);
uint32_t PartitionNumber(const std::string& dir);

// Device numbers of a disk's partitions, and of the devices stacked on a
// device (device mapper, md), followed transitively.
std::vector<dev_t> PartitionsOf(const std::string& disk_dir);
std::vector<dev_t> HoldersOf(const std::string& dir);

// The bus a device hangs on, read from its resolved sysfs path.
enum class SysfsBus { kUsb, kNvme, kAta, kVirtio, kMmc, kLoop, kVirtual, kScsi, kUnknown };
SysfsBus BusOfSysfsPath(const std::string& sysfs_path);

// STORAGE_BUS_TYPE guessed from the resolved sysfs path of a device.
uint32_t GuessBusType(const std::string& sysfs_path);

// The strings and facts a STORAGE_DEVICE_DESCRIPTOR reports.
struct DeviceIdentity {
  std::string vendor, product, revision, serial;
  // Where the facts came from. "ata_identify" and "nvme_identify_controller":
  // model, serial and firmware revision are the drive's own. Otherwise the
  // serial's source ("virtio_serial", "scsi_vpd_unit_serial", "usb_device",
  // "mmc_cid", "device_serial", "wwid", "loop_backing_file"; "scsi_inquiry"
  // or "none" when there is no serial) and the model is the SCSI inquiry's,
  // at most 16 characters.
  std::string source;
  uint32_t bus_type = 0;
  bool removable = false;
};

// Identity of the disk that holds the device whose folder is given (a
// partition answers for its disk, as a Windows volume does).
DeviceIdentity IdentityFromSysfs(const std::string& dir);
// The identity as earlier copies read it and keyed protected drives by:
// the SCSI inquiry's vendor and model, the first serial attribute, else the
// kernel's world-wide name. No source is set.
DeviceIdentity InquiryIdentityFromSysfs(const std::string& dir);

// The disk's queue/rotational flag: true for a spinning disk, false for
// one without seek penalty; nothing when the kernel does not say.
std::optional<bool> RotationalOf(const std::string& dir);

}  // namespace plexi::posix
