// The Linux backend on loop devices the tests attach themselves (root
// only; skipped where loop devices are not available). Every loop device
// and mount is undone by a scope guard, also when an assertion fails.
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/ioctl_layout.h"
#include "platform/posix/device_use.h"
#include "platform/posix/posix_device.h"
#include "platform/posix/posix_machine.h"
#include "platform/winconst.h"
#include "posix_test_support.h"

namespace plexi::posix {
namespace {

using platform::Access;
using test::LoopDevice;
using test::FirstPartition;
using test::Mount;
using test::ReadFileBytes;
using test::RunCommand;
using test::ScratchDir;
using test::WriteImage;
using test::WritePartitionedImage;

constexpr uint64_t kMiB = 1 << 20;

struct AlignedBuffer {
  explicit AlignedBuffer(size_t size) { EXPECT_EQ(::posix_memalign(memory.put(), 4096, size), 0); }
  uint8_t* data() { return static_cast<uint8_t*>(memory.get()); }
  AlignedMemory memory;
};

class LoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "loop devices need root";
    ASSERT_TRUE(dir.ok());
  }
  // Skips the test when the image cannot be attached here.
  bool Attached(const LoopDevice& loop) {
    if (!loop.ok()) return false;
    return std::filesystem::exists(loop.path());
  }
  ScratchDir dir;
  PosixMachine machine;
};

layout::DiskGeometry GeometryOf(platform::Device& device) {
  uint8_t reply[winconst::kDiskGeometrySize] = {};
  EXPECT_TRUE(device.Control(winconst::kIoctlDiskGetDriveGeometry, nullptr, 0, reply, 24).ok());
  return layout::DiskGeometry::Decode(reply);
}

TEST_F(LoopTest, SectorSizeAndSizeComeFromTheKernel) {
  std::string image = dir.file("loop.img");
  for (uint32_t sector : {512u, 4096u}) {
    SCOPED_TRACE(sector);
    WriteImage(image, kMiB);
    LoopDevice loop(image, "--sector-size " + std::to_string(sector));
    if (!Attached(loop)) GTEST_SKIP() << "losetup does not work here";

    platform::Result<std::unique_ptr<platform::Device>> opened = machine.OpenDevice(loop.path(), Access::kReadWrite);
    ASSERT_TRUE(opened.ok()) << opened.error();
    platform::Device& device = *opened.value();
    layout::DiskGeometry g = GeometryOf(device);
    EXPECT_EQ(g.bytes_per_sector, sector);
    EXPECT_EQ(g.SectorCount() * sector, kMiB);

    uint8_t reply[1024] = {};
    uint8_t query[12] = {};
    platform::IoResult r =
        device.Control(winconst::kIoctlStorageQueryProperty, query, 12, reply, sizeof reply);
    ASSERT_TRUE(r.ok());
    auto h = layout::StorageDescriptorHeader::Decode(reply);
    EXPECT_EQ(h.bus_type, winconst::kBusTypeFileBackedVirtual);
    ASSERT_NE(h.serial_number_offset, 0u);
    EXPECT_EQ(reinterpret_cast<char*>(reply + h.serial_number_offset),
              std::filesystem::canonical(image).string());

    AlignedBuffer buffer(2 * sector);
    EXPECT_EQ(device.Write(buffer.data(), sector / 2).error(), winconst::kErrorInvalidParameter);
    std::memset(buffer.data(), 0x6B, 2 * sector);
    ASSERT_TRUE(device.SetPosition(kMiB - 2 * sector).ok());
    ASSERT_EQ(device.Write(buffer.data(), 2 * sector).value(), 2 * sector);
    EXPECT_EQ(device.Write(buffer.data(), sector).error(), winconst::kErrorDiskFull);
    ASSERT_TRUE(device.Flush().ok());
    EXPECT_TRUE(static_cast<PosixDevice&>(device).direct());

    opened.value().reset();  // close before detaching
    std::string bytes = ReadFileBytes(image);
    EXPECT_EQ(bytes.substr(kMiB - 2 * sector), std::string(2 * sector, char(0x6B)));
    EXPECT_EQ(bytes[kMiB - 2 * sector - 1], 0);
  }
}

TEST_F(LoopTest, APartitionReportsItsPlaceOnTheDisk) {
  std::string image = dir.file("parted.img");
  WritePartitionedImage(image);
  LoopDevice loop(image, "-P");
  if (!Attached(loop)) GTEST_SKIP() << "losetup does not work here";
  std::string part = FirstPartition(loop);
  if (part.empty()) GTEST_SKIP() << "no partitions on loop devices here";

  platform::Result<std::unique_ptr<platform::Device>> opened = machine.OpenDevice(part, Access::kRead);
  ASSERT_TRUE(opened.ok()) << opened.error();
  uint8_t reply[64] = {};
  ASSERT_TRUE(opened.value()->Control(winconst::kIoctlDiskGetPartitionInfo, nullptr, 0, reply, 64).ok());
  layout::PartitionInformation info = layout::PartitionInformation::Decode(reply);
  EXPECT_EQ(info.starting_offset, int64_t(kMiB));
  EXPECT_EQ(info.partition_length, int64_t(2 * kMiB));
  EXPECT_EQ(info.partition_number, 1u);
  EXPECT_EQ(GeometryOf(*opened.value()).SectorCount(), 4096u);
}

TEST_F(LoopTest, WritingToAMountedDiskIsRefused) {
  std::string image = dir.file("mounted.img");
  WritePartitionedImage(image);
  LoopDevice loop(image, "-P");
  if (!Attached(loop)) GTEST_SKIP() << "losetup does not work here";
  std::string part = FirstPartition(loop);
  if (part.empty()) GTEST_SKIP() << "no partitions on loop devices here";
  if (!RunCommand("mkfs.ext2 -q " + part)) GTEST_SKIP() << "mkfs.ext2 failed";
  std::string where = dir.file("mnt");
  std::filesystem::create_directory(where);
  {
    Mount mounted(part, where);
    if (!mounted.ok()) GTEST_SKIP() << "cannot mount here";

    // The partition, the disk that holds it and the image behind the disk.
    for (const std::string& target : {part, loop.path(), image}) {
      SCOPED_TRACE(target);
      EXPECT_EQ(machine.OpenDevice(target, Access::kReadWrite).error(), winconst::kErrorBusy);
      EXPECT_EQ(DescribeDeviceUse(target), part + " is mounted on " + where);
      EXPECT_TRUE(machine.OpenDevice(target, Access::kRead).ok());
    }
  }
  EXPECT_EQ(DescribeDeviceUse(loop.path()), "");
  EXPECT_TRUE(machine.OpenDevice(loop.path(), Access::kReadWrite).ok());
}

TEST_F(LoopTest, DirectIoTheFileSystemRejectsFallsBackToPlainIo) {
  // An image of 512-byte sectors on a file system over 4096-byte sectors:
  // direct I/O at odd 512-byte offsets is refused by the kernel.
  std::string disk = dir.file("fs.img");
  WriteImage(disk, 8 * kMiB);
  LoopDevice loop(disk, "--sector-size 4096");
  if (!Attached(loop)) GTEST_SKIP() << "losetup does not work here";
  if (!RunCommand("mkfs.ext2 -q " + loop.path())) GTEST_SKIP() << "mkfs.ext2 failed";
  std::string where = dir.file("mnt");
  std::filesystem::create_directory(where);
  Mount mounted(loop.path(), where);
  if (!mounted.ok()) GTEST_SKIP() << "cannot mount here";

  std::string image = where + "/inner.img";
  WriteImage(image, 64 * 1024);
  platform::Result<std::unique_ptr<platform::Device>> opened = machine.OpenDevice(image, Access::kReadWrite);
  ASSERT_TRUE(opened.ok()) << opened.error();
  auto& device = static_cast<PosixDevice&>(*opened.value());
  if (!device.direct()) GTEST_SKIP() << "direct I/O refused already at open";

  AlignedBuffer buffer(512);
  std::memset(buffer.data(), 0x3C, 512);
  ASSERT_TRUE(device.SetPosition(512).ok());
  platform::IoResult r = device.Write(buffer.data(), 512);
  ASSERT_TRUE(r.ok()) << r.error();
  EXPECT_EQ(r.value(), 512u);
  EXPECT_FALSE(device.direct());
  ASSERT_TRUE(device.Flush().ok());
  opened.value().reset();
  EXPECT_EQ(ReadFileBytes(image).substr(512, 512), std::string(512, char(0x3C)));
}

}  // namespace
}  // namespace plexi::posix
