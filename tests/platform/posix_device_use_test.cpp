// Finding mounts and swap that make a target unsafe to write, on fixture
// copies of /proc/self/mountinfo and /proc/swaps.
#include <sys/sysmacros.h>

#include <map>

#include "platform/posix/backing_storage.h"
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
  // A Japanese run says the same in Japanese, the names unchanged.
  EXPECT_EQ(FindUse({{makedev(8, 16), makedev(8, 17)}, {}}, kMountInfo, kSwaps, FixtureResolver(), Language::kJapanese),
            "/dev/sdb1 は /media/usb stick にマウントされています");
  EXPECT_EQ(FindUse({{makedev(8, 32), makedev(8, 34)}, {}}, kMountInfo, kSwaps, FixtureResolver(), Language::kJapanese),
            "/dev/sdc2 はスワップとして使用中です");

  // Free: another disk, or the anonymous number matching nothing of ours.
  EXPECT_EQ(UseOf({{makedev(8, 48), makedev(8, 49)}, {}}), "");
  EXPECT_EQ(UseOf({{makedev(0, 45)}, {}}), "/dev/nvme0n1p3 is mounted on /home")
      << "a device numbered like the mount itself is that mount";
}

TEST(PosixDeviceUse, AnImageFileInUseAsSwapIsBusy) {
  EXPECT_EQ(UseOf({{}, PathId{false, 0, makedev(8, 2), 777}}), "/var/swap file is in use as swap");
  EXPECT_EQ(UseOf({{}, PathId{false, 0, makedev(8, 2), 778}}), "");
}

// A machine's block devices as far as where their bytes live: a disk with
// a partition, loop devices over a file (whole, a stretch of it, one over a
// loop device's partition), loop devices over block devices.
constexpr uint64_t kMiB = 1 << 20;
const PathId kImage{false, 0, makedev(8, 2), 4711};
const std::string kImageKey = "file " + std::to_string(makedev(8, 2)) + ":4711";

BlockLayerOf FixtureLayers() {
  using Kind = BlockLayer::Kind;
  static const std::map<dev_t, BlockLayer> layers = {
      {makedev(8, 0), {Kind::kDisk, 0, 0, 0, std::nullopt}},
      {makedev(8, 1), {Kind::kPartition, makedev(8, 0), kMiB, 2 * kMiB, std::nullopt}},
      {makedev(7, 0), {Kind::kLoop, 0, 0, 0, kImage}},
      {makedev(7, 1), {Kind::kLoop, 0, 4 * kMiB, 4 * kMiB, kImage}},
      {makedev(259, 0), {Kind::kPartition, makedev(7, 0), kMiB, kMiB, std::nullopt}},
      {makedev(259, 1), {Kind::kPartition, makedev(7, 1), kMiB, 8 * kMiB, std::nullopt}},
      {makedev(7, 2), {Kind::kLoop, makedev(8, 1), 512 * 1024, 0, std::nullopt}},
      {makedev(7, 3), {Kind::kLoop, makedev(7, 1), kMiB, 8 * kMiB, std::nullopt}},
      {makedev(7, 4), {Kind::kLoop, makedev(7, 0), 2 * kMiB, 0, std::nullopt}},
      {makedev(7, 9), {Kind::kLoop, makedev(7, 9), 0, 0, std::nullopt}},
  };
  return [](dev_t dev) {
    auto it = layers.find(dev);
    return it == layers.end() ? BlockLayer{} : it->second;
  };
}

StorageStretch StretchOf(dev_t dev) { return StretchOfBlock(dev, FixtureLayers()); }

TEST(PosixBackingStorage, ABlockDeviceLivesOnItsDiskOrItsLoopDevicesFile) {
  EXPECT_EQ(StretchOf(makedev(8, 0)), (StorageStretch{"block 8:0", 0, 0}));
  EXPECT_EQ(StretchOf(makedev(8, 1)), (StorageStretch{"block 8:0", kMiB, 2 * kMiB}));
  // A loop device is its file from its offset, up to its size limit.
  EXPECT_EQ(StretchOf(makedev(7, 0)), (StorageStretch{kImageKey, 0, 0}));
  EXPECT_EQ(StretchOf(makedev(7, 1)), (StorageStretch{kImageKey, 4 * kMiB, 4 * kMiB}));
  EXPECT_EQ(StretchOf(makedev(7, 4)), (StorageStretch{kImageKey, 2 * kMiB, 0}));
  // A loop device's partition, cut short by the loop device's size limit.
  EXPECT_EQ(StretchOf(makedev(259, 0)), (StorageStretch{kImageKey, kMiB, kMiB}));
  EXPECT_EQ(StretchOf(makedev(259, 1)), (StorageStretch{kImageKey, 5 * kMiB, 3 * kMiB}));
  // Loop devices over block devices: over a partition, over another loop.
  EXPECT_EQ(StretchOf(makedev(7, 2)), (StorageStretch{"block 8:0", kMiB + 512 * 1024, kMiB + 512 * 1024}));
  EXPECT_EQ(StretchOf(makedev(7, 3)), (StorageStretch{kImageKey, 5 * kMiB, 3 * kMiB}));
  // A device the layers do not know, and one said to rest on itself.
  EXPECT_EQ(StretchOf(makedev(9, 9)), (StorageStretch{"block 9:9", 0, 0}));
  EXPECT_EQ(StretchOf(makedev(7, 9)).storage, "block 7:9");
  EXPECT_EQ(StretchOfFile(kImage), (StorageStretch{kImageKey, 0, 0}));
}

TEST(PosixBackingStorage, StretchesOverlapWhenTheyShareAByte) {
  const auto overlap = [](dev_t a, dev_t b) { return StretchOf(a).Overlaps(StretchOf(b)); };
  EXPECT_TRUE(overlap(makedev(8, 0), makedev(8, 1)));
  EXPECT_TRUE(overlap(makedev(7, 0), makedev(7, 1)));
  EXPECT_TRUE(overlap(makedev(7, 1), makedev(7, 4))) << "to the end of the file overlaps what follows";
  EXPECT_TRUE(overlap(makedev(7, 2), makedev(8, 1)));
  EXPECT_TRUE(StretchOfFile(kImage).Overlaps(StretchOf(makedev(7, 1))));
  // One file cut in two, and two devices.
  EXPECT_FALSE(overlap(makedev(259, 0), makedev(7, 1)));
  EXPECT_FALSE((StorageStretch{kImageKey, 0, 4 * kMiB}).Overlaps(StretchOf(makedev(7, 1))));
  EXPECT_FALSE((StorageStretch{kImageKey, 0, 2 * kMiB}).Overlaps(StretchOf(makedev(7, 4))));
  EXPECT_FALSE(overlap(makedev(7, 0), makedev(8, 0)));
  EXPECT_FALSE((StorageStretch{"block 8:0", 0, kMiB}).Overlaps(StretchOf(makedev(8, 1))));
  EXPECT_TRUE((StorageStretch{"block 8:0", UINT64_MAX - 1, 0}).Overlaps({"block 8:0", UINT64_MAX - 2, 2}));
}

TEST(PosixBackingStorage, AFileOrDiskALoopDeviceIsAttachedToIsInUse) {
  std::vector<LoopBacking> loops(3);
  loops[0] = {makedev(7, 0), "loop0", kImage, 0, 0, 0, "/img/a.img (deleted)"};
  loops[1] = {makedev(7, 1), "loop1", std::nullopt, makedev(8, 17), 0, 0, "/dev/sdb1"};
  loops[2] = {makedev(7, 2), "loop2", std::nullopt, makedev(7, 1), 0, 0, "/dev/loop1"};
  // The file under any name (its first one deleted).
  EXPECT_EQ(LoopUsing(PathId{false, 0, makedev(8, 2), 4711}, {}, loops), "loop0");
  EXPECT_EQ(LoopUsing(PathId{false, 0, makedev(8, 2), 4712}, {}, loops), "");
  // A disk whose partition backs a loop device, and a loop device under another.
  EXPECT_EQ(LoopUsing(PathId{true, makedev(8, 16), 0, 0}, {makedev(8, 16), makedev(8, 17)}, loops), "loop1");
  EXPECT_EQ(LoopUsing(PathId{true, makedev(7, 1), 0, 0}, {makedev(7, 1)}, loops), "loop2");
  EXPECT_EQ(LoopUsing(PathId{true, makedev(7, 2), 0, 0}, {makedev(7, 2)}, loops), "");
}

}  // namespace
}  // namespace plexi::posix
