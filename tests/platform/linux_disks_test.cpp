// The Linux disk list: which /sys/block entries it shows, how it names
// their bus, and, on loop devices the tests attach themselves, a disk's
// size, partitions and what holds it. The machine's own disks are only
// listed, never opened for writing.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/posix/linux_disks.h"
#include "posix_test_support.h"

namespace plexi::posix {
namespace {

using test::FirstPartition;
using test::LoopDevice;
using test::Mount;
using test::RunCommand;
using test::ScratchDir;
using test::WriteImage;
using test::WritePartitionedImage;

TEST(LinuxDisks, ListsRealDisksAndLoopDevicesOnlyWhenAsked) {
  const DiskListChoice plain{}, loops{true, false};
  const std::string sata = "/sys/devices/pci0000:00/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0/block/sda";
  EXPECT_TRUE(ListsBlockDevice("sda", sata, plain));
  EXPECT_TRUE(ListsBlockDevice("vda", "/sys/devices/pci0000:00/0000:00:02.0/virtio1/block/vda", plain));
  EXPECT_FALSE(ListsBlockDevice("loop0", "/sys/devices/virtual/block/loop0", plain));
  EXPECT_TRUE(ListsBlockDevice("loop0", "/sys/devices/virtual/block/loop0", loops));
  for (const char* name : {"zram0", "ram0", "dm-0", "md127"})
    EXPECT_FALSE(ListsBlockDevice(name, std::string("/sys/devices/virtual/block/") + name, loops)) << name;

  EXPECT_EQ(LinuxBusName(sata), "sata");
  EXPECT_EQ(LinuxBusName("/sys/devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0/block/sdb"),
            "usb");
  EXPECT_EQ(LinuxBusName("/sys/devices/pci0000:00/0000:00:1d.0/0000:3d:00.0/nvme/nvme0/nvme0n1"), "nvme");
  EXPECT_EQ(LinuxBusName("/sys/devices/pci0000:00/0000:00:02.0/virtio1/block/vda"), "virtio");
  EXPECT_EQ(LinuxBusName("/sys/devices/virtual/block/loop3"), "loop");
}

// Whatever this machine has: every row is a block device of its own name,
// and the disk the root file system is mounted from is marked.
TEST(LinuxDisks, TheMachinesOwnDisksAreListedAndTheRootDiskMarked) {
  const std::vector<LinuxDisk> disks = ListLinuxDisks({});
  for (const LinuxDisk& disk : disks) {
    SCOPED_TRACE(disk.path);
    struct stat st {};
    EXPECT_EQ(::stat(disk.path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISBLK(st.st_mode));
    EXPECT_EQ(disk.path, "/dev/" + disk.name);
    EXPECT_GT(disk.bytes, 0u);
    EXPECT_EQ(disk.name.rfind("loop", 0), std::string::npos) << "no loop devices unless asked";
    EXPECT_FALSE(disk.partition);
  }
  // The root's source, when it is a whole disk or a partition of one.
  struct stat root {};
  ASSERT_EQ(::stat("/", &root), 0);
  const std::string root_dir = SysfsDirOf(root.st_dev);
  if (root_dir.empty() || root_dir.find("/devices/virtual/") != std::string::npos)
    GTEST_SKIP() << "the root file system is not on a listed disk here";
  const std::string disk_name = std::filesystem::path(DiskDirOf(root_dir)).filename().string();
  const auto root_disk = std::find_if(disks.begin(), disks.end(), [&](const LinuxDisk& d) { return d.name == disk_name; });
  ASSERT_NE(root_disk, disks.end()) << disk_name;
  EXPECT_TRUE(root_disk->system);
}

// A SCSI VPD page as sysfs holds it: page code, big-endian length, body.
std::string VpdPage(uint8_t code, const std::string& body) {
  return std::string{'\0', char(code), char(body.size() >> 8), char(body.size() & 0xFF)} + body;
}

// The ATA Information page libata builds: IDENTIFY DEVICE data at byte 60,
// its strings two characters a word, the first in the high byte.
std::string AtaInformationPage(const std::string& serial, const std::string& firmware, const std::string& model,
                               uint8_t command = 0xEC) {
  std::string identify(512, '\0');
  const auto put = [&](size_t word, size_t words, std::string text) {
    text.resize(2 * words, ' ');
    for (size_t i = 0; i < text.size(); i += 2) {
      identify[2 * word + i] = text[i + 1];
      identify[2 * word + i + 1] = text[i];
    }
  };
  put(10, 10, serial);
  put(23, 4, firmware);
  put(27, 20, model);
  std::string body(56, '\0');
  body[52] = char(command);  // byte 56 of the page
  return VpdPage(0x89, body + identify);
}

// Every source of a disk's names, on sysfs trees made up in a scratch folder
// as the kernel's drivers lay them out: the drive's own identify data wins,
// the kernel's made-up world-wide name is taken only when nothing else is
// there, and a USB disk never takes a hub's serial.
TEST(SysfsIdentity, EachDriverLayoutGivesTheDrivesOwnNamesAndSaysWhence) {
  const std::string ata = "pci0000:00/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0";
  const std::string usb = "pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0";
  const std::string sata_wwid = "t10.ATA     QEMU SATA Model X                           SATA0001";
  const std::string model16 = "QEMU SATA Model ";
  struct Row {
    const char* what;
    std::string disk;  // below devices/
    std::vector<std::pair<std::string, std::string>> files;  // below devices/
    std::string vendor, product, serial, revision, source;
  };
  const Row rows[] = {
      {"sata, identify data", ata + "/block/sda",
       {{ata + "/vendor", "ATA     "}, {ata + "/model", model16}, {ata + "/rev", "2.5+"}, {ata + "/wwid", sata_wwid},
        {ata + "/vpd_pg80", VpdPage(0x80, "            SATA0001")},
        {ata + "/vpd_pg89", AtaInformationPage("SATA0001", "2.5+", "QEMU SATA Model X Long Enough To Be Cut")}},
       "", "QEMU SATA Model X Long Enough To Be Cut", "SATA0001", "2.5+", "ata_identify"},
      {"sata, a page 89h that is not one", ata + "/block/sda",
       {{ata + "/vendor", "ATA     "}, {ata + "/model", model16}, {ata + "/wwid", sata_wwid},
        {ata + "/vpd_pg80", VpdPage(0x80, "SATA0001")},
        {ata + "/vpd_pg89", AtaInformationPage("X", "X", "X").substr(0, 300)}},
       "ATA     ", model16, "SATA0001", "", "scsi_vpd_unit_serial"},
      {"sata, only the world-wide name", ata + "/block/sda",
       {{ata + "/model", model16}, {ata + "/wwid", sata_wwid}}, "", model16, sata_wwid, "", "wwid"},
      {"usb, the device's serial", usb + "/block/sdb",
       {{"pci0000:00/0000:00:14.0/usb2/idVendor", "1d6b"}, {"pci0000:00/0000:00:14.0/usb2/serial", "0000:00:14.0"},
        {"pci0000:00/0000:00:14.0/usb2/2-1/idVendor", "46f4"}, {"pci0000:00/0000:00:14.0/usb2/2-1/serial", "USB0001"},
        {usb + "/vendor", "QEMU    "}, {usb + "/model", "QEMU HARDDISK   "}},
       "QEMU    ", "QEMU HARDDISK   ", "USB0001", "", "usb_device"},
      {"usb, a device without a serial behind a hub with one", usb + "/block/sdb",
       {{"pci0000:00/0000:00:14.0/usb2/idVendor", "1d6b"}, {"pci0000:00/0000:00:14.0/usb2/serial", "0000:00:14.0"},
        {"pci0000:00/0000:00:14.0/usb2/2-1/idVendor", "46f4"}, {usb + "/model", "Flash Disk"}},
       "", "Flash Disk", "", "", "scsi_inquiry"},
      {"usb, the unit serial page first", usb + "/block/sdb",
       {{"pci0000:00/0000:00:14.0/usb2/2-1/idVendor", "46f4"}, {"pci0000:00/0000:00:14.0/usb2/2-1/serial", "USB0001"},
        {usb + "/vpd_pg80", VpdPage(0x80, std::string("UNIT0001\0\0", 10))}},
       "", "", "UNIT0001", "", "scsi_vpd_unit_serial"},
      {"nvme, identify controller", "pci0000:00/0000:00:04.0/nvme/nvme0/nvme0n1",
       {{"pci0000:00/0000:00:04.0/nvme/nvme0/model", "QEMU NVMe Ctrl                          "},
        {"pci0000:00/0000:00:04.0/nvme/nvme0/serial", "NVME0001            "},
        {"pci0000:00/0000:00:04.0/nvme/nvme0/firmware_rev", "8.0.0   "},
        {"pci0000:00/0000:00:04.0/nvme/nvme0/nvme0n1/wwid", "nvme.1b36-..."}},
       "", "QEMU NVMe Ctrl                          ", "NVME0001            ", "8.0.0   ", "nvme_identify_controller"},
      {"virtio", "pci0000:00/0000:00:05.0/virtio1/block/vda",
       {{"pci0000:00/0000:00:05.0/virtio1/vendor", "0x1af4"},
        {"pci0000:00/0000:00:05.0/virtio1/block/vda/serial", "VIRT0001"}},
       "", "", "VIRT0001", "", "virtio_serial"},
      {"nothing at all", "platform/unknown/block/xda", {}, "", "", "", "", "none"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ScratchDir scratch;
    ASSERT_TRUE(scratch.ok());
    const std::filesystem::path devices = scratch.file("devices");
    const std::filesystem::path disk = devices / row.disk;
    std::filesystem::create_directories(disk);
    // A disk's device link names the driver's device: the SCSI device two
    // levels up, the NVMe controller or virtio device one or two up.
    const bool nvme = row.disk.find("/nvme/") != std::string::npos;
    std::filesystem::create_directory_symlink(nvme ? ".." : "../..", disk / "device");
    for (const auto& [name, bytes] : row.files) {
      std::filesystem::create_directories((devices / name).parent_path());
      std::ofstream(devices / name, std::ios::binary) << bytes;
    }
    const DeviceIdentity id = IdentityFromSysfs(disk.string());
    EXPECT_EQ(id.vendor, row.vendor);
    EXPECT_EQ(id.product, row.product);
    EXPECT_EQ(id.serial, row.serial);
    EXPECT_EQ(id.revision, row.revision);
    EXPECT_EQ(id.source, row.source);
    // Earlier copies keyed protected drives by the inquiry's names.
    const DeviceIdentity before = InquiryIdentityFromSysfs(disk.string());
    if (row.source == std::string("ata_identify")) {
      EXPECT_EQ(before.product + before.serial, model16 + sata_wwid);
    }
  }
}

class LinuxDisksOnLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "loop devices need root";
    ASSERT_TRUE(dir.ok());
  }
  static std::optional<LinuxDisk> Find(const std::vector<LinuxDisk>& disks, const std::string& path) {
    for (const LinuxDisk& disk : disks)
      if (disk.path == path) return disk;
    return std::nullopt;
  }
  ScratchDir dir;
};

TEST_F(LinuxDisksOnLoop, ALoopDiskWithItsPartitionAndAMountedFileSystemMarked) {
  const std::string image = dir.file("disk.img");
  WritePartitionedImage(image);
  LoopDevice loop(image, "-P");
  if (!loop.ok()) GTEST_SKIP() << "losetup does not work here";
  const std::string part = FirstPartition(loop);
  if (part.empty()) GTEST_SKIP() << "no partitions on loop devices here";

  std::optional<LinuxDisk> disk = Find(ListLinuxDisks({true, false}), loop.path());
  ASSERT_TRUE(disk);
  EXPECT_EQ(disk->bus, "loop");
  EXPECT_EQ(disk->bytes, 4u << 20);
  EXPECT_EQ(disk->sector_size, 512u);
  EXPECT_FALSE(disk->system);
  EXPECT_EQ(disk->in_use, "");
  EXPECT_EQ(disk->identity.serial, std::filesystem::canonical(image).string()) << "known by its backing file";
  EXPECT_FALSE(Find(ListLinuxDisks({true, false}), part)) << "partitions only when asked";

  const std::vector<LinuxDisk> with_parts = ListLinuxDisks({true, true});
  const auto at = std::find_if(with_parts.begin(), with_parts.end(), [&](const LinuxDisk& d) { return d.path == loop.path(); });
  ASSERT_NE(at, with_parts.end());
  ASSERT_NE(at + 1, with_parts.end());
  EXPECT_EQ((at + 1)->path, part) << "the partition follows its disk";
  EXPECT_TRUE((at + 1)->partition);
  EXPECT_EQ((at + 1)->bytes, 2u << 20);

  if (!RunCommand("mkfs.ext2 -q " + part)) GTEST_SKIP() << "mkfs.ext2 failed";
  const std::string where = dir.file("mnt");
  std::filesystem::create_directory(where);
  Mount mounted(part, where);
  if (!mounted.ok()) GTEST_SKIP() << "cannot mount here";
  disk = Find(ListLinuxDisks({true, false}), loop.path());
  ASSERT_TRUE(disk);
  EXPECT_EQ(disk->in_use, part + " is mounted on " + where);
}

TEST_F(LinuxDisksOnLoop, AnEmptyLoopDeviceIsNotListed) {
  const std::string image = dir.file("empty.img");
  WriteImage(image, 0);
  LoopDevice loop(image);
  if (!loop.ok()) GTEST_SKIP() << "losetup does not work here";
  EXPECT_FALSE(Find(ListLinuxDisks({true, false}), loop.path()));
}

}  // namespace
}  // namespace plexi::posix
