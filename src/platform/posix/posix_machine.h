// The machine as Linux shows it to the command-line tool: block devices
// (/dev/sdb, /dev/loop3) and image files opened by their Linux paths. Linux
// has no drive letters, so the letter calls answer "nothing".
//
// Opening for writing is refused with ERROR_BUSY (170) when the target is in
// use by the system: a file system mounted from the device or from one of
// its partitions, swap on it, a device stacked on it (LVM, RAID, dm-crypt),
// or, for an image file, a mounted loop device backed by it. A block device
// opened for writing is also claimed exclusively (O_EXCL), so the kernel
// refuses it too while anything holds it. DescribeDeviceUse() in
// device_use.h tells in one sentence what holds a refused target.
#pragma once
#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace plexi::posix {

class PosixMachine : public platform::Machine {
 public:
  // Paths that are neither a block device nor a regular file fail with
  // ERROR_NOT_SUPPORTED (50), a folder with ERROR_ACCESS_DENIED (5).
  platform::Result<std::unique_ptr<platform::Device>> OpenDevice(const std::string& path, platform::Access access) override;

  std::string LogicalDriveStrings() override { return {}; }
  uint32_t LogicalDriveMask() override { return 0; }
  uint32_t DriveType(const std::string& root) override;
  std::optional<std::string> VolumeLabel(const std::string&) override { return std::nullopt; }
  std::string SystemDirectory() override { return "/"; }
  std::string ErrorText(uint32_t code) override;
  bool IdentifyDevice(int32_t, uint8_t*) override { return false; }
  // Linux has no Windows volumes; what holds a device is asked of the
  // kernel instead (device_use.h).
  platform::VolumeList Volumes() override { return {}; }

  platform::LocalTime Now() override;
  std::string DateText(const platform::LocalTime& t) override;  // "2026/12/08"
  std::string TimeText(const platform::LocalTime& t) override;  // "9:30:00"

  // Sector size that image files opened from now on report (512 unless
  // set): a power of two from 512 to 65536; false leaves it unchanged.
  bool SetImageSectorSize(uint32_t bytes);
  uint32_t ImageSectorSize() const { return image_sector_size_; }

 private:
  uint32_t image_sector_size_ = 512;
};

}  // namespace plexi::posix
