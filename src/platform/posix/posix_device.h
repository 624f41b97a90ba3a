// An open Linux block device or image file behind the Windows-style device
// interface: sector-aligned reads and writes at a tracked position, and the
// disk control calls answered in their raw Win32 layouts.
#pragma once
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/platform.h"
#include "platform/posix/posix_errors.h"
#include "platform/unique.h"

namespace plexi::posix {

struct FdTraits {
  using Value = int;
  static int Invalid() { return -1; }
  static void Close(int fd) { ::close(fd); }
};
using UniqueFd = Unique<FdTraits>;

struct AlignedMemoryTraits {
  using Value = void*;
  static void* Invalid() { return nullptr; }
  static void Close(void* p) { std::free(p); }
};
using AlignedMemory = Unique<AlignedMemoryTraits>;

// What the open call learned about the target.
struct DeviceFacts {
  bool block_device = false;       // else an image file
  uint32_t sector_size = 512;
  uint64_t size_bytes = 0;         // an image file's part sector at the end included
  uint64_t partition_start = 0;    // bytes, for a partition
  uint32_t partition_number = 0;   // 0 for a whole disk or an image
  std::string sysfs_dir;           // block devices
  std::string path;                // the name it was opened by (an image's identity)
};

class PosixDevice : public platform::Device {
 public:
  PosixDevice(UniqueFd fd, platform::Access access, bool direct, DeviceFacts facts);

  // Lengths and positions must be multiples of the sector size
  // (ERROR_INVALID_PARAMETER otherwise), as on a Windows raw device. The
  // device ends at the last whole sector: a read there returns what is left
  // (possibly nothing), a write that starts there fails with ERROR_DISK_FULL
  // and one that crosses it is cut short. An image file therefore never
  // grows.
  platform::IoResult Read(void* buffer, uint32_t length) override;
  platform::IoResult Write(const void* buffer, uint32_t length) override;
  platform::Result<> SetPosition(uint64_t offset) override;
  platform::IoResult Control(uint32_t code, const void* in, uint32_t in_length, void* out,
                             uint32_t out_length) override;
  platform::Result<> Flush() override;
  // Firmware commands go to a whole disk only: sent through a partition
  // they would still act on the whole drive.
  platform::Result<platform::NvmeCompletion> NvmeAdmin(const platform::NvmeAdminCommand& command) override;
  platform::Result<platform::AtaReply> AtaPassThrough(const platform::AtaCommand& command) override;
  platform::Result<uint32_t> NvmeNamespaceId() override;
  // A block device's DeviceIdentity::source (sysfs_info.h); "image_file" for
  // an image file, which is named by its path.
  std::string IdentitySource() const override;
  // A block device's names as DeviceIdentity gave them before it read the
  // drive's own identify data (sysfs_info.h), where they differ.
  std::optional<Names> NamesBefore() const override;
  // An image file is claimed by flock(2) on its open file, which every
  // other open of it (any process, any name) meets; a block device opened
  // for writing is already held exclusively (O_EXCL) while it is open.
  platform::Result<std::unique_ptr<platform::DriveClaim>> ClaimForErase() override;

  // Whether data still bypasses the page cache (it stops when the target
  // turns out not to support it).
  bool direct() const { return direct_; }
  const DeviceFacts& facts() const { return facts_; }

 private:
  // What pread/pwrite moved, also before a failure: the position follows it.
  struct Moved {
    uint32_t bytes = 0;
    uint32_t error = 0;  // 0: no failure
  };
  platform::IoResult Transfer(IoKind kind, uint8_t* data, uint32_t length);
  Moved Move(IoKind kind, uint8_t* data, uint64_t length, uint64_t position);
  Moved MoveThroughBounce(IoKind kind, uint8_t* data, uint64_t length, uint64_t position);
  bool DropDirect();
  uint32_t MemoryAlignment() const;
  bool WholeDisk() const { return facts_.block_device && facts_.partition_number == 0; }

  platform::IoResult Geometry(uint8_t* out, uint32_t out_length) const;
  platform::IoResult PartitionInfo(uint8_t* out, uint32_t out_length) const;
  platform::IoResult SeekPenalty(uint8_t* out, uint32_t out_length) const;
  platform::IoResult StorageDescriptor(const uint8_t* in, uint32_t in_length, uint8_t* out,
                                       uint32_t out_length) const;

  UniqueFd fd_;
  platform::Access access_;
  bool direct_;
  DeviceFacts facts_;
  uint64_t position_ = 0;
  AlignedMemory bounce_;
  uint32_t bounce_size_ = 0;
};

}  // namespace plexi::posix
