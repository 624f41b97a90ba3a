// Finding mounts and swap that make a target unsafe to write, on fixture
// copies of /proc/self/mountinfo and /proc/swaps.
#include <sys/sysmacros.h>

#include <map>

#include "platform/posix/device_use.h"
#include "posix_test_support.h"

namespace plexi::posix {
namespace {

constexpr const char* kMountInfo =
    "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
    "27 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
    "40 27 8:17 / /media/usb\\040stick rw,nosuid master:7 - vfat /dev/sdb1 rw\n"
    "41 27 0:45 /@home /home rw,relatime shared:30 - btrfs /dev/nvme0n1p3 rw\n"
    "42 27 7:0 / /mnt/img rw - ext2 /dev/loop0 rw";

constexpr const char* kSwaps =
    "Filename\t\t\t\tType\t\tSize\t\tUsed\t\tPriority\n"
    "/dev/sdc2                               partition\t8388604\t\t0\t\t-2\n"
    "/var/swap\\040file                       file\t\t1048572\t\t0\t\t-3\n";

// Stands in for stat() on the names the fixtures use.
PathResolver FixtureResolver() {
  static const std::map<std::string, PathId> known = {
      {"/dev/sda2", {true, makedev(8, 2), 0, 0}},
      {"/dev/sdb1", {true, makedev(8, 17), 0, 0}},
      {"/dev/nvme0n1p3", {true, makedev(259, 3), 0, 0}},
      {"/dev/loop0", {true, makedev(7, 0), 0, 0}},
      {"/dev/sdc2", {true, makedev(8, 34), 0, 0}},
      {"/var/swap file", {false, 0, makedev(8, 2), 777}},
  };
  return [](const std::string& path) -> std::optional<PathId> {
    auto it = known.find(path);
    if (it == known.end()) return std::nullopt;
    return it->second;
  };
}

std::string UseOf(UseTarget target) {
  return FindUse(target, kMountInfo, kSwaps, FixtureResolver());
}

TEST(PosixDeviceUse, ParsesMountInfoWithOptionalFieldsAndEscapes) {
  std::vector<MountEntry> entries = ParseMountInfo(kMountInfo);
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries[2].major, 8u);
  EXPECT_EQ(entries[2].minor, 17u);
  EXPECT_EQ(entries[2].mount_point, "/media/usb stick");
  EXPECT_EQ(entries[2].source, "/dev/sdb1");
  EXPECT_EQ(entries[3].source, "/dev/nvme0n1p3");
  EXPECT_EQ(entries[0].source, "proc");
  EXPECT_TRUE(ParseMountInfo("garbage\n\n").empty());

  EXPECT_EQ(ParseSwapPaths(kSwaps), (std::vector<std::string>{"/dev/sdc2", "/var/swap file"}));
}

TEST(PosixDeviceUse, AMountedDeviceOrPartitionMakesTheTargetBusy) {
  // A disk whose partition is mounted: the target lists its partitions.
  EXPECT_EQ(UseOf({{makedev(8, 16), makedev(8, 17)}, {}}),
            "/dev/sdb1 is mounted on /media/usb stick");
  EXPECT_EQ(UseOf({{makedev(7, 0)}, {}}), "/dev/loop0 is mounted on /mnt/img");
  // btrfs mounts under an anonymous number; its source names the partition.
  EXPECT_EQ(UseOf({{makedev(259, 0), makedev(259, 3)}, {}}),
            "/dev/nvme0n1p3 is mounted on /home");
  EXPECT_EQ(UseOf({{makedev(8, 32), makedev(8, 34)}, {}}), "/dev/sdc2 is in use as swap");

  // Free: another disk, or the anonymous number matching nothing of ours.
  EXPECT_EQ(UseOf({{makedev(8, 48), makedev(8, 49)}, {}}), "");
  EXPECT_EQ(UseOf({{makedev(0, 45)}, {}}), "/dev/nvme0n1p3 is mounted on /home")
      << "a device numbered like the mount itself is that mount";
}

TEST(PosixDeviceUse, AnImageFileInUseAsSwapIsBusy) {
  EXPECT_EQ(UseOf({{}, PathId{false, 0, makedev(8, 2), 777}}), "/var/swap file is in use as swap");
  EXPECT_EQ(UseOf({{}, PathId{false, 0, makedev(8, 2), 778}}), "");
}

}  // namespace
}  // namespace plexi::posix
