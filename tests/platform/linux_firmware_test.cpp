// Firmware commands on Linux: the ATA PASS-THROUGH (16) command block and
// the registers read back from sense data, the NVMe status field, and that
// image files, loop devices and partitions never take a firmware command.
#include <unistd.h>

#include <filesystem>

#include "drives/purge_capability.h"
#include "platform/posix/linux_firmware.h"
#include "platform/posix/posix_machine.h"
#include "platform/posix/sysfs_info.h"
#include "platform/winconst.h"
#include "posix_test_support.h"

namespace plexi::posix {
namespace {

using platform::Access;

TEST(AtaPassThroughCdb, RegistersAndTransferFieldsAreWhereSatPutsThem) {
  uint8_t block[512];
  const std::array<uint8_t, 16> identify = AtaPassThroughCdb(ata::Identify(block));
  EXPECT_EQ(identify[0], 0x85);
  EXPECT_EQ(identify[1], 4 << 1 | 1);  // PIO data-in, 48-bit
  EXPECT_EQ(identify[2], 0x20 | 0x08 | 0x04 | 0x02);  // CK_COND, from the device, blocks, in COUNT
  EXPECT_EQ(identify[6], 1);  // one block
  EXPECT_EQ(identify[14], 0xEC);

  const std::array<uint8_t, 16> erase = AtaPassThroughCdb(ata::EraseUnit(block, ata::kTemporaryPassword, true, 60));
  EXPECT_EQ(erase[1], 5 << 1 | 1);  // PIO data-out
  EXPECT_EQ(erase[2], 0x20 | 0x04 | 0x02);
  EXPECT_EQ(erase[14], 0xF4);

  // The LBA bytes in SAT's order: 31:24, 7:0, 39:32, 15:8, 47:40, 23:16.
  platform::AtaCommand overwrite = ata::Sanitize(ata::kSanitizeOverwrite);
  overwrite.lba = 0x4F5712345678ull;
  const std::array<uint8_t, 16> c = AtaPassThroughCdb(overwrite);
  EXPECT_EQ(c[1], 3 << 1 | 1);  // non-data
  EXPECT_EQ(c[2], 0x20);
  EXPECT_EQ(c[4], 0x14);
  EXPECT_EQ(c[6], 1);
  const uint8_t lba[6] = {c[7], c[8], c[9], c[10], c[11], c[12]};
  const uint8_t expected[6] = {0x12, 0x78, 0x57, 0x56, 0x4F, 0x34};
  EXPECT_EQ(std::vector<uint8_t>(lba, lba + 6), std::vector<uint8_t>(expected, expected + 6));
  EXPECT_EQ(c[14], 0xB4);
}

TEST(AtaReplyFromSense, DescriptorAndFixedFormats) {
  // Recovered error, "ATA pass through information available", with the
  // ATA Status Return descriptor of a SANITIZE STATUS EXT under way.
  uint8_t descriptor[22] = {0x72, 0x01, 0x00, 0x1D, 0, 0, 0, 14, 0x09, 0x0C, 0x01, 0x00, 0x40, 0x00,
                            0x00, 0x34, 0x00, 0x12, 0x00, 0x00, 0x00, 0x50};
  platform::AtaReply reply;
  ASSERT_TRUE(AtaReplyFromSense(descriptor, sizeof descriptor, &reply));
  EXPECT_EQ(reply.status, 0x50);
  EXPECT_EQ(reply.count, 0x4000);
  EXPECT_EQ(reply.lba, 0x1234u);
  EXPECT_TRUE(ata::ParseSanitizeStatus(reply).in_progress);

  uint8_t fixed[18] = {0x70, 0, 0x0B, 0x04, 0x51, 0x40, 0x01, 10, 0, 0, 0, 0};
  ASSERT_TRUE(AtaReplyFromSense(fixed, sizeof fixed, &reply));
  EXPECT_EQ(reply.error, 0x04);
  EXPECT_TRUE(reply.Failed());

  uint8_t other[18] = {0x72, 0x05, 0x20, 0x00, 0, 0, 0, 0};
  EXPECT_FALSE(AtaReplyFromSense(other, sizeof other, &reply));
  // A SCSI disk behind USB refusing the unknown command (invalid opcode).
  uint8_t refused[18] = {0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x20, 0x00};
  EXPECT_FALSE(AtaReplyFromSense(refused, sizeof refused, &reply));
}

TEST(NvmeCompletionOf, StatusFieldWithoutTheRetryBits) {
  const platform::NvmeCompletion invalid = NvmeCompletionOf(0x4002, 0);  // DNR, invalid field
  EXPECT_EQ(invalid.status_type, 0);
  EXPECT_EQ(invalid.status_code, 0x02);
  EXPECT_FALSE(invalid.Succeeded());
  const platform::NvmeCompletion media = NvmeCompletionOf(0x0281, 7);
  EXPECT_EQ(media.status_type, 2);
  EXPECT_EQ(media.status_code, 0x81);
  EXPECT_EQ(media.result, 7u);
  EXPECT_TRUE(NvmeCompletionOf(0, 0).Succeeded());
}

// A namespace in a guest (the controller on a PCI slot) and one under the
// kernel's multipath subsystem node: both take NVMe commands.
TEST(LinuxFirmware, NvmeNamespacesAreKnownByTheirSysfsPath) {
  EXPECT_EQ(TransportOfBus(GuessBusType("/sys/devices/pci0000:00/0000:00:04.0/nvme/nvme0/nvme0n1")), Transport::kNvme);
  EXPECT_EQ(TransportOfBus(GuessBusType("/sys/devices/virtual/nvme-subsystem/nvme-subsys0/nvme0n1")),
            Transport::kNvme);
  EXPECT_EQ(TransportOfBus(GuessBusType("/sys/devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/"
                                        "6:0:0:0/block/sdb")),
            Transport::kUsbBridge);
}

TEST(LinuxFirmware, AnImageFileTakesNoFirmwareCommand) {
  test::ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  test::WriteImage(dir.file("disk.img"), 1 << 20);
  PosixMachine machine;
  auto opened = machine.OpenDevice(dir.file("disk.img"), Access::kReadWrite);
  ASSERT_TRUE(opened.ok());
  uint8_t block[512];
  EXPECT_EQ(opened.value()->AtaPassThrough(ata::Identify(block)).error(), winconst::kErrorNotSupported);
  EXPECT_EQ(opened.value()->NvmeAdmin(nvme::Sanitize(nvme::kSanitizeBlockErase)).error(),
            winconst::kErrorNotSupported);
  EXPECT_EQ(QueryPurgeCapability(*opened.value(), winconst::kBusTypeFileBackedVirtual, platform::HostSystem{}).block,
            PurgeBlock::kNotSupported);
}

// A real driver that knows neither command: the loop driver. Only identify
// commands are sent; a partition refuses them before any reach the kernel.
TEST(LinuxFirmware, ALoopDeviceAnswersNotSupported) {
  if (::geteuid() != 0) GTEST_SKIP() << "loop devices need root";
  test::ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  const std::string image = dir.file("parted.img");
  test::WritePartitionedImage(image);
  test::LoopDevice loop(image, "-P");
  if (!loop.ok() || !std::filesystem::exists(loop.path())) GTEST_SKIP() << "losetup does not work here";
  PosixMachine machine;
  auto whole = machine.OpenDevice(loop.path(), Access::kRead);
  ASSERT_TRUE(whole.ok());
  uint8_t id[4096];
  EXPECT_FALSE(whole.value()->NvmeAdmin(nvme::Identify(1, 0, id)).ok());
  EXPECT_FALSE(whole.value()->NvmeNamespaceId().ok());
  EXPECT_FALSE(QueryPurgeCapability(*whole.value(), winconst::kBusTypeFileBackedVirtual, platform::HostSystem{}).Usable());
  const std::string part = test::FirstPartition(loop);
  if (part.empty()) return;
  auto partition = machine.OpenDevice(part, Access::kRead);
  ASSERT_TRUE(partition.ok());
  EXPECT_EQ(partition.value()->NvmeAdmin(nvme::Identify(1, 0, id)).error(), winconst::kErrorNotSupported);
}

}  // namespace
}  // namespace plexi::posix
