// Volumes of a simulated machine beyond the lettered ones, and the device
// answers the erase's trust checks rely on: GUID paths, the volume list,
// partition tables, the extended geometry, the file system's cache, swapped
// disks and the control trace.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/ioctl_layout.h"
#include "platform/sim/sim_machine.h"
#include "platform/winconst.h"
#include "support/test_support.h"

namespace plexi::sim {
namespace {

using platform::Access;

// Disk 0: EFI system partition, C:, a recovery partition; disk 1: E: with a
// folder mount on C:.
constexpr char kEfiMachine[] =
    "disk 0 size=1G table=gpt bus=nvme product=\"System\"\n"
    "volume - disk=0 offset=1M length=100M boot=yes label=\"EFI\"\n"
    "volume C: disk=0 offset=101M length=800M\n"
    "volume - disk=0 offset=901M length=100M\n"
    "disk 1 size=64M bus=sata product=\"Data\"\n"
    "volume E: disk=1 offset=1M mount=\"C:\\Mount\\Data\\\\\"\n"  // \\ before the closing quote
    "volume J: disk=1 offset=1M length=1M hidden=yes mounted=no\n"
    "volume Z: type=remote\n";

std::string Guid(uint32_t position) {
  char text[64];
  std::snprintf(text, sizeof text, "\\\\?\\Volume{5eed0000-0000-0000-0000-%012x}", position);
  return text;
}

std::unique_ptr<platform::Device> Open(SimMachine& m, const std::string& path, Access access) {
  platform::Result<std::unique_ptr<platform::Device>> r = m.OpenDevice(path, access);
  EXPECT_TRUE(r.ok()) << path << " error " << r.error();
  return std::move(r.value());
}

platform::IoResult Control(platform::Device& d, uint32_t code, std::vector<uint8_t>& out) {
  return d.Control(code, nullptr, 0, out.data(), uint32_t(out.size()));
}

platform::IoResult Control(platform::Device& d, uint32_t code) { return d.Control(code, nullptr, 0, nullptr, 0); }

std::string ParseError(const std::string& text) {
  std::string error;
  EXPECT_EQ(SimMachine::Parse(text, ".", &error), nullptr) << text;
  return error;
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(SimVolumes, DescriptionErrorsNameTheLine) {
  const std::string disk = "disk 0 size=8M\n";
  struct Case {
    std::string text;
    const char* message;
  } cases[] = {
      {disk + "volume - disk=0 hidden=yes", "line 2: hidden= needs a drive letter"},
      {disk + "volume - type=cdrom", "line 2: a volume without a letter needs disk="},
      {disk + "volume -- disk=0", "line 2: bad drive letter '--'"},
      {disk + "volume - disk=0 boot=maybe", "line 2: 'boot' must be yes or no"},
      {disk + "volume - disk=0 mount=\"D:\\Data\"", "line 2: mount= must be a folder"},
      {disk + "volume - disk=0 mount=D:\\", "line 2: mount= must be a folder"},
      {disk + "volume - disk=0 mount=D:\\A\\\nvolume - disk=0 mount=\"d:\\a\\\\\"",
       "line 3: mount point d:\\a\\ given twice"},
      {disk + "volume - disk=0 boot=yes\nvolume C: disk=0 boot=yes", "line 3: boot=yes given twice"},
      {disk + "volume - disk=0 letter=C:", "line 2: unknown key 'letter'"},
      {"disk 0 size=8M table=apm", "line 1: table must be mbr or gpt"},
      {disk + "volume - disk=0\nfault volume=#2 op=read", "line 3: unknown volume #2"},
      {disk + "volume - disk=0\nfault volume=#0 op=read", "line 3: volume positions start at #1"},
      {disk + "volume - disk=0\nrecord volume=" + Guid(1) + "\\ kind=complete", "line 3: bad volume GUID path"},
      {disk + "volume - disk=0\nfault volume=\\\\?\\Volume{1234} op=read", "line 3: bad volume GUID path"},
      {disk + "fault disk=0 op=length error=0", "line 2: error=0 is not a failure"},
      {"volumes listed", "line 1: volumes takes one word: unlisted"},
      {"disk 0 size=8M write-delay=10001", "line 1: write-delay is at most 10000 milliseconds"},
      {"disk 0 size=8M bus=nvme eui64=0025_3857", "line 1: eui64= is 16 hex digits (an EUI-64) or 32 (an NGUID)"},
      {"disk 0 size=8M bus=sata eui64=0025385711B01234", "line 1: eui64= needs bus=nvme"},
  };
  for (const Case& c : cases) {
    std::string error = ParseError(c.text);
    EXPECT_NE(error.find(c.message), std::string::npos) << c.text << "\n got: " << error;
  }
}

TEST(SimVolumes, GuidPathsOpenTheSameVolumeAsItsLetter) {
  auto m = test::MakeMachine(kEfiMachine);
  ASSERT_TRUE(m);
  // Lettered or not, the GUID path follows the volume's line; any case, either prefix.
  auto efi = Open(*m, Guid(1), Access::kQuery);
  auto c_by_guid = Open(*m, "\\\\.\\VOLUME{5EED0000-0000-0000-0000-000000000002}", Access::kReadWrite);
  auto c = Open(*m, "\\\\.\\C:", Access::kReadWrite);
  std::vector<uint8_t> out(32);
  ASSERT_TRUE(Control(*efi, winconst::kIoctlVolumeGetVolumeDiskExtents, out).ok());
  EXPECT_EQ(layout::Load64(out.data() + 16), 1u << 20);
  ASSERT_TRUE(Control(*c_by_guid, winconst::kIoctlVolumeGetVolumeDiskExtents, out).ok());
  EXPECT_EQ(layout::Load64(out.data() + 16), 101u << 20);

  // One volume state: a lock through one path excludes the other, and the
  // counters add up on the letter.
  EXPECT_TRUE(Control(*c_by_guid, winconst::kFsctlLockVolume).ok());
  EXPECT_EQ(Control(*c, winconst::kFsctlLockVolume).error(), winconst::kErrorAccessDenied);
  EXPECT_EQ(m->VolumeCounters('C').opens, 2u);
  EXPECT_EQ(m->VolumeCountersAt(2).opens, 2u);
  EXPECT_EQ(m->VolumeCountersAt(1).opens, 1u);

  EXPECT_EQ(m->OpenDevice(Guid(2) + "\\", Access::kQuery).error(), winconst::kErrorPathNotFound);
  EXPECT_EQ(m->OpenDevice(Guid(9), Access::kQuery).error(), winconst::kErrorFileNotFound);
  EXPECT_EQ(m->OpenDevice(Guid(0), Access::kQuery).error(), winconst::kErrorFileNotFound);
  EXPECT_EQ(m->OpenDevice("\\\\?\\Volume{5eed0000-0000-0000-0000-00000000000}", Access::kQuery).error(),
            winconst::kErrorFileNotFound);
  // A volume not plugged in is not reachable by GUID either, until shown.
  EXPECT_EQ(m->OpenDevice(Guid(5), Access::kQuery).error(), winconst::kErrorFileNotFound);
  ASSERT_TRUE(m->ShowVolume('J'));
  EXPECT_TRUE(m->OpenDevice(Guid(5), Access::kQuery).ok());

  // A letterless volume has no letter in the drive strings.
  EXPECT_EQ(m->LogicalDriveStrings(), std::string("C:\\\0E:\\\0J:\\\0Z:\\\0\0", 17));
}

TEST(SimVolumes, FaultsAndRecordsNameLetterlessVolumes) {
  auto m = test::MakeMachine(
      "disk 0 size=8M\n"
      "volume - disk=0 offset=1M length=1M\n"
      "volume - disk=0 offset=2M length=1M\n"
      "fault volume=#1 op=open error=32\n"
      "fault volume=\\\\.\\volume{5EED0000-0000-0000-0000-000000000002} op=read sector=1\n"
      "record volume=#2 kind=complete method=3\n");
  ASSERT_TRUE(m);
  EXPECT_EQ(m->OpenDevice(Guid(1), Access::kRead).error(), 32u);
  auto second = Open(*m, Guid(2), Access::kRead);
  std::vector<uint8_t> sector(512);
  ASSERT_TRUE(second->Read(sector.data(), 512).ok());
  EXPECT_EQ(std::string(reinterpret_cast<char*>(sector.data()), 14), "plexi scrub ok");
  EXPECT_EQ(second->Read(sector.data(), 512).error(), winconst::kErrorCrc);
  EXPECT_EQ(m->PeekDisk(0, 2u << 20, 14), std::vector<uint8_t>(sector.begin(), sector.begin() + 14));
}

TEST(SimVolumes, VolumeListMarksSystemAndBootAndLeavesOutHiddenAndRemote) {
  auto m = test::MakeMachine(kEfiMachine);
  ASSERT_TRUE(m);
  platform::VolumeList list = m->Volumes();
  EXPECT_TRUE(list.complete);
  ASSERT_EQ(list.volumes.size(), 4u);  // J: is hidden, Z: is a network share
  const platform::VolumeEntry &efi = list.volumes[0], &c = list.volumes[1], &recovery = list.volumes[2],
                              &e = list.volumes[3];
  EXPECT_EQ(efi.path, Guid(1));
  EXPECT_TRUE(efi.boot);
  EXPECT_FALSE(efi.holds_system);
  EXPECT_TRUE(efi.mount_points.empty());
  EXPECT_EQ(c.path, "\\\\?\\Volume{5eed0000-0000-0000-0000-000000000002}");
  EXPECT_TRUE(c.holds_system);
  EXPECT_FALSE(c.boot);
  EXPECT_EQ(c.mount_points, std::vector<std::string>{"C:\\"});
  EXPECT_EQ(recovery.path, Guid(3));
  EXPECT_FALSE(recovery.holds_system || recovery.boot);
  EXPECT_EQ(e.mount_points, (std::vector<std::string>{"E:\\", "C:\\Mount\\Data\\"}));
  for (const auto& v : list.volumes) EXPECT_TRUE(m->OpenDevice(v.path, Access::kQuery).ok()) << v.path;

  ASSERT_TRUE(m->ShowVolume('J'));
  EXPECT_EQ(m->Volumes().volumes.size(), 5u);

  // The system's volume hidden or absent: the list cannot be trusted.
  ASSERT_TRUE(m->HideVolume('C'));
  list = m->Volumes();
  EXPECT_FALSE(list.complete);
  EXPECT_EQ(list.volumes.size(), 4u);
  auto other = test::MakeMachine(std::string("system-directory \"x:\\Windows\\system32\"\n") + kEfiMachine);
  ASSERT_TRUE(other);
  EXPECT_FALSE(other->Volumes().complete);

  auto unlisted = test::MakeMachine(std::string(kEfiMachine) + "volumes unlisted\n");
  ASSERT_TRUE(unlisted);
  list = unlisted->Volumes();
  EXPECT_FALSE(list.complete);
  EXPECT_TRUE(list.volumes.empty());
}

// Writes through the physical drive may not touch any mounted volume,
// lettered or not, until it is locked or dismounted.
TEST(SimVolumes, LetterlessMountedVolumesBlockRawWrites) {
  auto m = test::MakeMachine(kEfiMachine);
  ASSERT_TRUE(m);
  auto disk = Open(*m, "\\\\.\\PHYSICALDRIVE0", Access::kReadWrite);
  std::vector<uint8_t> data(512, 0x42);
  ASSERT_TRUE(disk->Write(data.data(), 512).ok());  // the gap before the first partition
  for (uint64_t at : {uint64_t(1) << 20, uint64_t(901) << 20}) {  // EFI, recovery
    ASSERT_TRUE(disk->SetPosition(at).ok());
    EXPECT_EQ(disk->Write(data.data(), 512).error(), winconst::kErrorAccessDenied) << at;
  }
  auto recovery = Open(*m, Guid(3), Access::kReadWrite);
  ASSERT_TRUE(Control(*recovery, winconst::kFsctlDismountVolume).ok());
  EXPECT_TRUE(disk->Write(data.data(), 512).ok());
  recovery.reset();  // the dismount ends with its handle
  ASSERT_TRUE(disk->SetPosition(uint64_t(901) << 20).ok());
  EXPECT_EQ(disk->Write(data.data(), 512).error(), winconst::kErrorAccessDenied);
}

TEST(SimVolumes, GptDisksRefusePartitionInfo) {
  auto m = test::MakeMachine(kEfiMachine);
  ASSERT_TRUE(m);
  std::vector<uint8_t> out(64);
  for (const char* path : {"\\\\.\\PHYSICALDRIVE0", "\\\\.\\C:"}) {
    auto d = Open(*m, path, Access::kRead);
    EXPECT_EQ(Control(*d, winconst::kIoctlDiskGetPartitionInfo, out).error(), winconst::kErrorInvalidFunction) << path;
  }
  auto mbr = Open(*m, "\\\\.\\E:", Access::kRead);  // table=mbr is the default
  EXPECT_TRUE(Control(*mbr, winconst::kIoctlDiskGetPartitionInfo, out).ok());
}

TEST(SimVolumes, GeometryExAndLengthFaults) {
  auto m = test::MakeMachine(
      "disk 0 sectors=1000 heads=16 sectors-per-track=32\n"
      "volume C: disk=0 offset=4K\n"
      "fault disk=0 op=length error=1117\n"
      "fault volume=C: op=geometry count=1\n");
  ASSERT_TRUE(m);
  auto disk = Open(*m, "\\\\.\\PHYSICALDRIVE0", Access::kRead);
  auto volume = Open(*m, "\\\\.\\C:", Access::kRead);
  std::vector<uint8_t> plain(24), ex(40, 0xEE), small(31);
  // The volume's one geometry fault hits the extended query, then both work.
  EXPECT_EQ(Control(*volume, winconst::kIoctlDiskGetDriveGeometryEx, ex).error(), winconst::kErrorInvalidFunction);
  for (platform::Device* d : {disk.get(), volume.get()}) {
    ASSERT_TRUE(Control(*d, winconst::kIoctlDiskGetDriveGeometry, plain).ok());
    platform::IoResult r = Control(*d, winconst::kIoctlDiskGetDriveGeometryEx, ex);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value(), 32u);
    EXPECT_EQ(std::vector<uint8_t>(ex.begin(), ex.begin() + 24), plain);
    EXPECT_EQ(layout::Load64(ex.data() + 24), 1000u * 512);  // the disk, also through a volume
    EXPECT_EQ(ex[32], 0xEE);
    EXPECT_EQ(Control(*d, winconst::kIoctlDiskGetDriveGeometryEx, small).error(), winconst::kErrorInsufficientBuffer);
  }
  // op=length fails only the length query.
  std::vector<uint8_t> length(8);
  EXPECT_EQ(Control(*disk, winconst::kIoctlDiskGetLengthInfo, length).error(), 1117u);
  ASSERT_TRUE(Control(*volume, winconst::kIoctlDiskGetLengthInfo, length).ok());
  EXPECT_EQ(layout::Load64(length.data()), 1000u * 512 - 4096);
}

TEST(SimVolumes, UpdatePropertiesOnPhysicalDrivesOnly) {
  auto m = test::MakeMachine(kEfiMachine);
  ASSERT_TRUE(m);
  auto disk = Open(*m, "\\\\.\\PHYSICALDRIVE1", Access::kQuery);  // any access will do
  auto volume = Open(*m, "\\\\.\\E:", Access::kReadWrite);
  EXPECT_TRUE(Control(*disk, winconst::kIoctlDiskUpdateProperties).ok());
  EXPECT_TRUE(Control(*disk, winconst::kIoctlDiskUpdateProperties).ok());
  EXPECT_EQ(Control(*volume, winconst::kIoctlDiskUpdateProperties).error(), winconst::kErrorInvalidFunction);
  EXPECT_EQ(m->DiskCounters(1).update_properties, 2u);
  EXPECT_EQ(m->DiskCounters(0).update_properties, 0u);
  EXPECT_EQ(m->VolumeCounters('E').update_properties, 0u);
}

// A file system that was locked but not dismounted writes its cached
// metadata back over the volume's first bytes when the lock ends.
class SimCacheWriteBack : public ::testing::Test {
 protected:
  void SetUp() override {
    machine_ = test::MakeMachine(
        "disk 0 size=8M\n"
        "volume - disk=0 offset=1M length=1M\n"
        "volume F: disk=0 offset=2M length=1M mounted=no\n");
    ASSERT_TRUE(machine_);
  }
  // Writes 0x5A over the volume's first two sectors.
  void Fill(platform::Device& d) {
    std::vector<uint8_t> data(1024, 0x5A);
    ASSERT_TRUE(d.SetPosition(0).ok());
    ASSERT_TRUE(d.Write(data.data(), 1024).ok());
  }
  std::vector<uint8_t> First(size_t n, uint64_t volume = 1u << 20) { return machine_->PeekDisk(0, volume, n); }
  std::vector<uint8_t> Expected() {
    std::vector<uint8_t> bytes(1024, 0x5A);
    std::memcpy(bytes.data(), "SIM-FS-METADATA!", 16);
    return bytes;
  }
  std::unique_ptr<SimMachine> machine_;
};

TEST_F(SimCacheWriteBack, UnlockOrCloseWithoutDismountWritesMetadata) {
  auto v = Open(*machine_, Guid(1), Access::kReadWrite);
  ASSERT_TRUE(Control(*v, winconst::kFsctlLockVolume).ok());
  Fill(*v);
  EXPECT_EQ(First(1024), std::vector<uint8_t>(1024, 0x5A));
  DeviceCounters before = machine_->DiskCounters(0);
  ASSERT_TRUE(Control(*v, winconst::kFsctlUnlockVolume).ok());
  EXPECT_EQ(First(1024), Expected());  // 16 bytes; the rest of the sector unchanged
  EXPECT_EQ(machine_->DiskCounters(0).writes, before.writes);
  EXPECT_EQ(machine_->DiskCounters(0).bytes_written, before.bytes_written);

  // Closing the lock holder does the same; a write through the physical
  // drive counts as a write to the locked volume.
  auto disk = Open(*machine_, "\\\\.\\PHYSICALDRIVE0", Access::kReadWrite);
  ASSERT_TRUE(Control(*v, winconst::kFsctlLockVolume).ok());
  std::vector<uint8_t> zeros(512, 0);
  ASSERT_TRUE(disk->SetPosition(1u << 20).ok());
  ASSERT_TRUE(disk->Write(zeros.data(), 512).ok());
  v.reset();
  std::vector<uint8_t> expected(512, 0);
  std::memcpy(expected.data(), "SIM-FS-METADATA!", 16);
  EXPECT_EQ(First(512), expected);
}

TEST_F(SimCacheWriteBack, DismountUnwrittenOrUnmountedVolumesAreLeftAlone) {
  // Dismounted by the holder, or by another handle, before the unlock.
  for (bool by_holder : {true, false}) {
    auto v = Open(*machine_, Guid(1), Access::kReadWrite);
    auto other = Open(*machine_, Guid(1), Access::kQuery);
    ASSERT_TRUE(Control(*v, winconst::kFsctlLockVolume).ok());
    Fill(*v);
    ASSERT_TRUE(Control(by_holder ? *v : *other, winconst::kFsctlDismountVolume).ok());
    ASSERT_TRUE(Control(*v, winconst::kFsctlUnlockVolume).ok());
    EXPECT_EQ(First(1024), std::vector<uint8_t>(1024, 0x5A)) << by_holder;
  }
  // Locked and unlocked without a write; written before the lock.
  std::vector<uint8_t> zeros(1024, 0);
  auto disk = Open(*machine_, "\\\\.\\PHYSICALDRIVE0", Access::kReadWrite);
  auto v = Open(*machine_, Guid(1), Access::kReadWrite);
  ASSERT_TRUE(Control(*v, winconst::kFsctlDismountVolume).ok());
  Fill(*v);
  ASSERT_TRUE(Control(*v, winconst::kFsctlLockVolume).ok());  // already dismounted when locked
  Fill(*v);
  v.reset();
  EXPECT_EQ(First(1024), std::vector<uint8_t>(1024, 0x5A));
  v = Open(*machine_, Guid(1), Access::kReadWrite);
  ASSERT_TRUE(Control(*v, winconst::kFsctlLockVolume).ok());
  ASSERT_TRUE(Control(*v, winconst::kFsctlUnlockVolume).ok());
  EXPECT_EQ(First(1024), std::vector<uint8_t>(1024, 0x5A));

  // mounted=no: no file system, no cache.
  auto f = Open(*machine_, "\\\\.\\F:", Access::kReadWrite);
  ASSERT_TRUE(Control(*f, winconst::kFsctlLockVolume).ok());
  Fill(*f);
  f.reset();
  EXPECT_EQ(First(1024, 2u << 20), std::vector<uint8_t>(1024, 0x5A));
}

TEST(SimSwap, SwappedDisksTradeNumbersAndKeepTheirVolumes) {
  auto m = test::MakeMachine(kEfiMachine);
  ASSERT_TRUE(m);
  auto old_zero = Open(*m, "\\\\.\\PHYSICALDRIVE0", Access::kQuery);
  ASSERT_TRUE(m->PokeDisk(0, 0, reinterpret_cast<const uint8_t*>("zero"), 4));
  ASSERT_TRUE(m->SwapDisks(0, 1));
  EXPECT_EQ(m->PeekDisk(1, 0, 4), (std::vector<uint8_t>{'z', 'e', 'r', 'o'}));
  EXPECT_EQ(m->DiskSize(0), 64u << 20);

  std::vector<uint8_t> out(1024);
  uint8_t query[12] = {};
  auto zero = Open(*m, "\\\\.\\PHYSICALDRIVE0", Access::kQuery);
  ASSERT_TRUE(zero->Control(winconst::kIoctlStorageQueryProperty, query, 12, out.data(), 1024).ok());
  auto h = layout::StorageDescriptorHeader::Decode(out.data());
  EXPECT_STREQ(reinterpret_cast<char*>(out.data() + h.product_id_offset), "Data");
  // The handle opened before the swap keeps the disk it opened.
  ASSERT_TRUE(old_zero->Control(winconst::kIoctlStorageQueryProperty, query, 12, out.data(), 1024).ok());
  EXPECT_STREQ(reinterpret_cast<char*>(out.data() + h.product_id_offset), "System");

  // Extents name the new number.
  auto c = Open(*m, "\\\\.\\C:", Access::kQuery);
  ASSERT_TRUE(Control(*c, winconst::kIoctlVolumeGetVolumeDiskExtents, out).ok());
  EXPECT_EQ(layout::Load32(out.data() + 8), 1u);

  // A disk can move to a free number; two free numbers are no swap.
  ASSERT_TRUE(m->SwapDisks(1, 7));
  EXPECT_EQ(m->DiskSize(1), 0u);
  EXPECT_EQ(m->DiskSize(7), 1u << 30);
  EXPECT_FALSE(m->SwapDisks(2, 3));
}

TEST(SimSwap, ChangesFileSwapsOnceHoweverOftenItIsRead) {
  test::TempDir dir;
  const std::string path = dir.file("pc.machine");
  std::ofstream(path, std::ios::binary) << kEfiMachine;
  std::string error;
  auto m = SimMachine::Load(path, &error);
  ASSERT_TRUE(m) << error;
  std::ofstream(path + ".changes", std::ios::binary) << "show J:\r\nswap-disks 0 1\r\nswap-disks 0 x\n";
  m->LogicalDriveMask();
  EXPECT_EQ(m->DiskSize(0), 64u << 20);
  m->LogicalDriveMask();  // read again: still swapped
  EXPECT_EQ(m->DiskSize(0), 64u << 20);
  EXPECT_EQ(m->DiskSize(1), 1u << 30);
  std::ofstream(path + ".changes", std::ios::binary) << "show J:\n";
  m->LogicalDriveMask();  // the line removed: back in place
  EXPECT_EQ(m->DiskSize(0), 1u << 30);
}

TEST(SimTrace, ControlsAreNamedWithTheirErrors) {
  test::TempDir dir;
  const std::string path = dir.file("m.machine");
  std::ofstream(path, std::ios::binary) << kEfiMachine << "trace controls\n";
  std::string error;
  auto m = SimMachine::Load(path, &error);
  ASSERT_TRUE(m) << error;
  std::vector<uint8_t> out(1024);
  {
    auto v = Open(*m, Guid(1), Access::kReadWrite);
    for (uint32_t code : {winconst::kIoctlDiskGetDriveGeometry, winconst::kIoctlDiskGetDriveGeometryEx,
                          winconst::kIoctlDiskGetPartitionInfo, winconst::kIoctlDiskGetLengthInfo,
                          winconst::kIoctlStorageQueryProperty, winconst::kIoctlVolumeGetVolumeDiskExtents,
                          winconst::kFsctlLockVolume, winconst::kFsctlDismountVolume, winconst::kFsctlAllowExtendedDasdIo,
                          winconst::kFsctlUnlockVolume, winconst::kIoctlDiskUpdateProperties, 0x00012345u})
      static_cast<void>(Control(*v, code, out));  // only the trace counts
  }
  auto disk = Open(*m, "\\\\.\\PHYSICALDRIVE0", Access::kQuery);
  static_cast<void>(Control(*disk, winconst::kIoctlDiskUpdateProperties));
  const std::string v = "control " + Guid(1) + " ";
  EXPECT_EQ(ReadFile(path + ".trace"),
            v + "geometry\n" + v + "geometry-ex\n" + v + "partition-info error=1\n" + v + "length\n" + v +
                "descriptor error=87\n" + v + "extents\n" + v + "lock\n" + v + "dismount\n" + v + "dasd\n" + v +
                "unlock\n" + v + "update-properties error=1\n" + v + "code=0x00012345 error=1\n" +
                "control \\\\.\\PHYSICALDRIVE0 update-properties\n");
}

}  // namespace
}  // namespace plexi::sim
