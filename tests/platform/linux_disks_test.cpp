// The Linux disk list: which /sys/block entries it shows, how it names
// their bus, and, on loop devices the tests attach themselves, a disk's
// size, partitions and what holds it. The machine's own disks are only
// listed, never opened for writing.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

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
