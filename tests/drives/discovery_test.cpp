// Drive discovery against simulated machines: which drives get a row, what
// the row says, and how failures of single volumes are contained.
#include <gtest/gtest.h>

#include <set>

#include "drives/discovery.h"
#include "drives/target_check.h"
#include "record/erase_record.h"
#include "platform/ioctl_layout.h"
#include "support/forwarding_machine.h"
#include "support/test_support.h"

namespace plexi {
namespace {

using test::MakeMachine;
using test::RecordingNotifier;

constexpr char kTwoDisks[] = R"(
system-directory "C:\Windows\system32"
disk 0 sectors=976773168 bus=11 product="Samsung SSD 860 EVO 500GB" serial="S3Z9NB0K123456A"
disk 1 sectors=1953525168 bus=11 vendor="WDC" product="WD10EZEX-08WN4A0" serial="WD-WCC6Y1234567"
disk 2 sectors=1000000 bus=11 product="Blank disk"
volume C: disk=0 offset=1M length=300G label="Windows"
volume D: disk=0 offset=301G length=100G label="Data"
volume E: disk=1 offset=1M length=900G label="Backup"
)";

std::vector<std::string> Letters(const std::vector<DriveRow>& rows) {
  std::vector<std::string> out;
  for (const DriveRow& r : rows) out.push_back(r.letters);
  return out;
}

TEST(Discovery, GroupsVolumesByDiskOrListsEachVolume) {
  auto machine = MakeMachine(kTwoDisks);
  RecordingNotifier notifier;
  DriveDiscovery discovery(*machine, notifier);

  std::vector<DriveRow> physical = discovery.Refresh(ViewMode::kPhysical);
  ASSERT_EQ(physical.size(), 2u);  // the blank disk without a letter has no row
  EXPECT_EQ(physical[0].letters, "C: D:");
  EXPECT_EQ(physical[0].designator, DriveDesignator::Physical(0));
  EXPECT_EQ(physical[0].SubItem(4), "0");
  EXPECT_EQ(physical[0].caption, "Samsung SSD 860 EVO 500GB");
  EXPECT_EQ(physical[0].bus_type, "SATA");
  EXPECT_TRUE(physical[0].not_erasable);  // the system drive
  EXPECT_EQ(physical[1].letters, "E:");
  EXPECT_EQ(physical[1].caption, "WDC WD10EZEX-08WN4A0");
  EXPECT_FALSE(physical[1].not_erasable);
  EXPECT_EQ(physical[1].SubItem(4), "1");
  EXPECT_TRUE(notifier.messages.empty());

  std::vector<DriveRow> partitions = discovery.Refresh(ViewMode::kPartition);
  EXPECT_EQ(Letters(partitions), (std::vector<std::string>{"C:", "D:", "E:"}));
  EXPECT_EQ(partitions[0].caption, "Samsung SSD 860 EVO 500GB 【 Windows 】");
  EXPECT_EQ(partitions[2].designator, DriveDesignator::Letter('E'));
  EXPECT_EQ(partitions[2].SubItem(4), "69");
  EXPECT_EQ(partitions[1].size_text, "100GB");  // the partition, not the disk
  EXPECT_TRUE(partitions[0].not_erasable);
  EXPECT_FALSE(partitions[1].not_erasable);  // only the row holding C: is the system drive
}

TEST(Discovery, SizeAndIdentityComeFromTheDrive) {
  auto machine = MakeMachine(kTwoDisks);
  RecordingNotifier notifier;
  DriveDiscovery discovery(*machine, notifier);
  std::vector<DriveRow> rows = discovery.Refresh(ViewMode::kPhysical);
  ASSERT_EQ(rows.size(), 2u);
  // 976773168 sectors cut down to whole 255 x 63 cylinders, as Windows reports.
  uint64_t cylinders = 976773168ull / (255 * 63);
  EXPECT_EQ(rows[0].size_text, FormatSize(cylinders * 255 * 63 * 512));
  // The identity is the hex of the descriptor's strings after its header.
  EXPECT_NE(rows[0].identity.find(HexOfBytes(reinterpret_cast<const uint8_t*>("S3Z9NB0K123456A"), 15)),
            std::string::npos);
  EXPECT_NE(rows[0].identity, rows[1].identity);
  EXPECT_EQ(rows[0].identity.size() % 2, 0u);
}

// Windows gives an NVMe namespace's EUI-64 or NGUID as the serial; the row,
// and the identity an erase checks, carry the controller's own instead,
// where the controller answers its identify command.
TEST(Discovery, NvmeSerialIsTheControllersWhereWindowsNamesTheNamespace) {
  auto machine = MakeMachine(R"(
system-directory "C:\Windows\system32"
windows-version 10.0.19045
disk 0 size=100G bus=nvme product="Sys" serial="SYS0" sanitize=crypto
disk 1 size=1G bus=nvme product="A" serial="S4EWNX0R123456" eui64=0025385711b01234 sanitize=crypto
disk 2 size=1G bus=nvme product="B" serial="  PADDED  " eui64=e9accd3b83904e13167cf0593437f57d format=crypto
disk 3 size=1G bus=nvme product="C" serial="NOFW" eui64=0025385711B05678
disk 4 size=1G bus=sata product="D" serial="0025_3857_11B0_9999."
disk 5 size=1G bus=nvme product="E" serial="" eui64=0025385711B0AAAA sanitize=crypto
volume C: disk=0 offset=1M length=99G
)");
  RecordingNotifier notifier;
  DriveDiscovery discovery(*machine, notifier);
  std::vector<DriveRow> rows = discovery.Refresh(ViewMode::kPhysical, true);
  ASSERT_EQ(rows.size(), 6u);
  const struct {
    const char* serial;
    const char* reported;
  } expected[] = {
      {"SYS0", ""},
      {"S4EWNX0R123456", "0025_3857_11B0_1234."},
      {"PADDED", "E9AC_CD3B_8390_4E13_167C_F059_3437_F57D."},  // an NGUID; the blanks trimmed
      {"0025_3857_11B0_5678.", ""},  // no identify answer: the descriptor's is kept
      {"0025_3857_11B0_9999.", ""},  // not NVMe
      {"0025_3857_11B0_AAAA.", ""},  // the controller names no serial
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(rows[i].caption);
    EXPECT_EQ(rows[i].serial, expected[i].serial);
    EXPECT_EQ(rows[i].reported_serial, expected[i].reported);
    auto device = machine->OpenDevice(rows[i].designator.DevicePath(), platform::Access::kRead);
    ASSERT_TRUE(device.ok());
    std::optional<DriveIdentity> identity = ReadDriveIdentity(*device.value());
    ASSERT_TRUE(identity);
    EXPECT_EQ(identity->serial, rows[i].serial) << "the erase would see another drive";
  }
}

TEST(Discovery, WhichVolumesAreListed) {
  auto machine = MakeMachine(R"(
system-directory "C:\Windows\system32"
identify-library absent
disk 0 size=100G bus=11 product="System"
disk 1 size=8G bus=0 product="Card reader" removable=yes
disk 2 size=4G bus=1 product="RamDisk Virtual"
disk 3 size=64G bus=0 product="Old IDE disk" ata=yes
volume C: disk=0 offset=1M length=99G
volume F: disk=1 offset=0 length=8G type=removable extents=none
volume Q: type=cdrom
volume R: disk=2 offset=0 length=4G type=fixed
volume S: disk=3 offset=1M length=63G type=fixed
)");
  RecordingNotifier notifier;
  DriveDiscovery discovery(*machine, notifier);
  std::vector<DriveRow> rows = discovery.Refresh(ViewMode::kPhysical);
  // The removable volume without extents and bus type is listed by its
  // letter; the CD drive, the RAM disk and (without the identify library) the
  // disk of unknown bus type are not.
  EXPECT_EQ(Letters(rows), (std::vector<std::string>{"C:", "F:"}));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].designator, DriveDesignator::Letter('F'));
  EXPECT_EQ(rows[1].SubItem(4), "70");
}

TEST(Discovery, IdentifyLibraryNamesAtaDisks) {
  auto machine = MakeMachine(R"(
system-directory "C:\Windows\system32"
identify-library present
disk 0 size=100G bus=11 product="System"
disk 3 size=64G bus=0 product="Old IDE disk" ata=yes
disk 4 size=64G bus=0 product="Odd disk" ata=no
volume C: disk=0 offset=1M length=99G
volume S: disk=3 offset=1M length=63G type=fixed
volume T: disk=4 offset=1M length=63G type=fixed
)");
  RecordingNotifier notifier;
  DriveDiscovery discovery(*machine, notifier);
  std::vector<DriveRow> rows = discovery.Refresh(ViewMode::kPhysical);
  EXPECT_EQ(Letters(rows), (std::vector<std::string>{"C:", "S:"}));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].bus_type, "ATA");
  EXPECT_EQ(rows[1].designator, DriveDesignator::Physical(3));
}

TEST(Discovery, RecordsInTheFirstSectorFillTheMethodColumn) {
  auto machine = MakeMachine(R"(
system-directory "C:\Windows\system32"
disk 0 size=100G bus=11 product="System"
disk 1 size=10G bus=17 product="NVMe A"
disk 2 size=10G bus=7 product="USB B" removable=yes
disk 3 size=10G bus=11 product="Plain"
volume C: disk=0 offset=1M length=99G
volume E: disk=1 offset=1M length=9G
volume F: disk=2 offset=0 length=10G type=removable
volume G: disk=3 offset=1M length=9G
record disk=1 kind=complete method=1
record disk=2 kind=resume chunk=0 method=2 pass=0
)");
  RecordingNotifier notifier;
  DriveDiscovery discovery(*machine, notifier);
  std::vector<DriveRow> rows = discovery.Refresh(ViewMode::kPhysical);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[1].record_kind, 2);
  EXPECT_EQ(rows[1].method_text, "255,ゼロ");
  EXPECT_EQ(rows[1].bus_type, "NVMe");
  EXPECT_EQ(rows[2].record_kind, 1);  // even without a resume point
  EXPECT_EQ(rows[2].method_text, "米国陸軍");
  EXPECT_EQ(rows[3].record_kind, 0);
  EXPECT_EQ(rows[3].method_text, "");

  // The partition view reads the volume's first sector: F: starts at the
  // disk's start, E: does not.
  std::vector<DriveRow> parts = discovery.Refresh(ViewMode::kPartition);
  ASSERT_EQ(parts.size(), 4u);
  EXPECT_EQ(parts[1].record_kind, 0);
  EXPECT_EQ(parts[2].record_kind, 1);
}

TEST(Discovery, DriveNumbersSortAsTextAndHighNumbersStayPhysical) {
  std::string text = "system-directory \"C:\\Windows\\system32\"\n";
  const std::string letters = "CDEFGHIJKLM";
  for (int n = 0; n <= 10; ++n) {
    text += "disk " + std::to_string(n) + " size=1G bus=11 product=\"Disk " + std::to_string(n) + "\"\n";
    text += std::string("volume ") + letters[n] + ": disk=" + std::to_string(n) + " offset=1M length=512M\n";
  }
  text += "disk 70 size=2G bus=11 product=\"Far disk\"\nvolume Z: disk=70 offset=1M length=1G\n";
  auto machine = MakeMachine(text);
  RecordingNotifier notifier;
  DriveDiscovery discovery(*machine, notifier);
  std::vector<DriveRow> rows = discovery.Refresh(ViewMode::kPhysical);
  std::vector<std::string> order;
  for (const DriveRow& r : rows) order.push_back(r.SubItem(4));
  EXPECT_EQ(order, (std::vector<std::string>{"0", "1", "10", "2", "3", "4", "5", "6", "7", "70", "8", "9"}));
  // Drive 70 is queried as \\.\PHYSICALDRIVE70, not as the volume F: (70).
  auto far = std::find_if(rows.begin(), rows.end(), [](const DriveRow& r) { return r.letters == "Z:"; });
  ASSERT_NE(far, rows.end());
  EXPECT_EQ(far->designator, DriveDesignator::Physical(70));
  EXPECT_EQ(far->caption, "Far disk");
  EXPECT_EQ(far->size_text, FormatSize(2ull << 30));  // the exact length, not whole cylinders
}

// The system is found from the volumes themselves: the disk that holds the
// boot volume (no letter) is as untouchable as the one that holds C:, and so
// is every disk when the system cannot be located.
TEST(Discovery, DisksHoldingTheSystemOrBootVolumeAreNotErasable) {
  const std::string disks = R"(
system-directory "C:\Windows\system32"
disk 0 size=10G bus=nvme product="System"
disk 1 size=1G bus=sata product="Boot"
disk 2 size=1G bus=usb product="Stick"
volume C: disk=0 offset=1M
volume - disk=1 offset=1M length=100M boot=yes
volume E: disk=1 offset=101M
volume F: disk=2 offset=1M
)";
  auto machine = MakeMachine(disks);
  RecordingNotifier notifier;
  DriveDiscovery discovery(*machine, notifier);
  std::vector<DriveRow> rows = discovery.Refresh(ViewMode::kPhysical);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_TRUE(rows[0].not_erasable);
  EXPECT_TRUE(rows[1].not_erasable) << "the boot volume's disk";
  EXPECT_FALSE(rows[2].not_erasable);
  // In the partition view only the volumes that are system or boot volumes.
  rows = discovery.Refresh(ViewMode::kPartition);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_TRUE(rows[0].not_erasable);
  EXPECT_FALSE(rows[1].not_erasable) << "E: shares a disk with the boot volume, not its sectors";
  EXPECT_FALSE(rows[2].not_erasable);

  machine = MakeMachine(disks + "volumes unlisted\n");
  DriveDiscovery blind(*machine, notifier);
  for (const DriveRow& row : blind.Refresh(ViewMode::kPhysical)) EXPECT_TRUE(row.not_erasable) << row.caption;
}

// Windows PE runs from a RAM disk that lies on no disk: the internal disks
// are then no system disks, the stick it started from (its boot volume)
// still is, and the RAM disk itself is never a target.
TEST(Discovery, SystemOnRamDiskMarksNoInternalDisk) {
  auto machine = MakeMachine(R"(
system-directory "X:\Windows\System32"
disk 0 size=10G bus=nvme product="Internal"
disk 1 size=1G bus=usb product="Stick"
volume X: type=ramdisk extents=none
volume C: disk=0 offset=1M
volume D: disk=1 offset=1M boot=yes
)");
  RecordingNotifier notifier;
  DriveDiscovery discovery(*machine, notifier);
  const std::vector<DriveRow> rows = discovery.Refresh(ViewMode::kPhysical);
  ASSERT_EQ(Letters(rows), (std::vector<std::string>{"C:", "D:"}));
  EXPECT_FALSE(rows[0].not_erasable) << "the internal disk";
  EXPECT_TRUE(rows[1].not_erasable) << "the boot volume's disk";
  EXPECT_TRUE(notifier.messages.empty());
  Placement ram;
  ram.kind = Placement::Kind::kVolume;
  EXPECT_EQ(SystemRefusal(*machine, ram, "\\\\.\\X:"), std::optional<std::string>(kSystemDiskRefusal));
}

// Asked for every disk, the physical view adds the drives the letters do
// not reach: a blank disk, a boot disk whose only volume has no letter, and
// a protected one, each with no letters ("―" in the column), its record,
// and the same erase rules as a lettered drive. The default list is the
// letters' list. A RAM disk stays out either way.
TEST(Discovery, EveryDiskAddsTheDrivesWithoutLetters) {
  const std::string text = R"(
system-directory "C:\Windows\system32"
disk 0 size=10G bus=nvme product="System"
disk 1 size=1G bus=sata product="Boot"
disk 2 size=1G bus=usb vendor="Blank" product="Stick" serial="BL2"
disk 3 size=1G bus=usb vendor="Kept" product="Stick" serial="KP3"
disk 4 size=1G bus=scsi vendor="Primo" product="RamDisk Virtual Disk"
disk 11 size=2G bus=sata product="Far"
volume C: disk=0 offset=1M
volume - disk=1 offset=1M length=100M boot=yes
volume R: disk=4 offset=0 type=ramdisk
)";
  auto machine = MakeMachine(text);
  const uint8_t record[] = "plexi scrub ok\0\x01";
  ASSERT_TRUE(machine->PokeDisk(2, 0, record, sizeof record));
  RecordingNotifier notifier;
  auto is_protected = [](const DriveRow& row) { return row.serial == "KP3"; };
  DriveDiscovery discovery(*machine, notifier, is_protected);

  EXPECT_EQ(Letters(discovery.Refresh(ViewMode::kPhysical)), (std::vector<std::string>{"C:"}));
  const std::vector<DriveRow> rows = discovery.Refresh(ViewMode::kPhysical, true);
  ASSERT_EQ(rows.size(), 5u);
  std::vector<std::string> numbers;
  for (const DriveRow& row : rows) numbers.push_back(row.SubItem(4));
  EXPECT_EQ(numbers, (std::vector<std::string>{"0", "1", "11", "2", "3"})) << "sorted as text, like the rest";
  EXPECT_EQ(rows[1].SubItem(1), "―");
  EXPECT_TRUE(rows[1].not_erasable) << "the boot volume's disk";
  EXPECT_EQ(rows[1].root, "");
  EXPECT_FALSE(rows[2].not_erasable);
  EXPECT_EQ(rows[3].caption, "Blank Stick");
  EXPECT_EQ(rows[3].method_text, "255,ゼロ");
  EXPECT_EQ(rows[3].record_kind, 2);
  EXPECT_FALSE(rows[3].not_erasable);
  EXPECT_TRUE(rows[4].not_erasable) << "protected";
  EXPECT_EQ(discovery.Refresh(ViewMode::kPartition, true).size(), 1u) << "volumes only in the partition view";
  EXPECT_TRUE(notifier.messages.empty());
}

// RAM disks are left out by the drive type the system reports or by "RAM"
// as a word of the name; drives whose names merely hold the letters stay.
TEST(Discovery, OnlyRamDisksAreLeftOutNotNamesThatHoldTheLetters) {
  auto machine = MakeMachine(R"(
system-directory "C:\Windows\system32"
disk 0 size=10G bus=nvme product="System"
volume C: disk=0 offset=1M
disk 1 size=1G bus=sata product="CT500MX500SSD1 DRAM-less"
volume E: disk=1 offset=1M
disk 2 size=1G bus=nvme product="PM9A1 PROGRAM"
disk 3 size=1G bus=scsi product="RAM Disk"
disk 4 size=1G bus=scsi product="Virtual Disk"
volume R: disk=4 offset=0 type=ramdisk
)");
  RecordingNotifier notifier;
  DriveDiscovery discovery(*machine, notifier);
  std::vector<std::string> products;
  for (const DriveRow& row : discovery.Refresh(ViewMode::kPhysical, true)) products.push_back(row.product);
  EXPECT_EQ(products, (std::vector<std::string>{"System", "CT500MX500SSD1 DRAM-less", "PM9A1 PROGRAM"}));
}

// Disks plugged in and out as whole drives: a detached disk has no number,
// no volumes and cannot be opened; attached again it comes back with them.
TEST(Discovery, DetachedDisksAndTheirVolumesAreGone) {
  auto machine = MakeMachine(R"(
disk 0 size=10G bus=nvme product="System"
disk 1 size=1G bus=usb product="Stick" attached=no
volume C: disk=0 offset=1M
volume E: disk=1 offset=1M
)");
  RecordingNotifier notifier;
  DriveDiscovery discovery(*machine, notifier);
  EXPECT_EQ(PhysicalDriveNumbers(*machine), std::vector<uint32_t>{0});
  EXPECT_FALSE(machine->OpenDevice("\\\\.\\PHYSICALDRIVE1", platform::Access::kQuery).ok());
  EXPECT_EQ(Letters(discovery.Refresh(ViewMode::kPartition)), std::vector<std::string>{"C:"});

  EXPECT_TRUE(machine->SetAttached(1, true));
  EXPECT_FALSE(machine->SetAttached(1, true)) << "already attached";
  EXPECT_EQ(PhysicalDriveNumbers(*machine), (std::vector<uint32_t>{0, 1}));
  EXPECT_EQ(Letters(discovery.Refresh(ViewMode::kPartition)), (std::vector<std::string>{"C:", "E:"}));
  EXPECT_TRUE(discovery.DriveMaskChanged());

  auto held = machine->OpenDevice("\\\\.\\PHYSICALDRIVE1", platform::Access::kRead);
  ASSERT_TRUE(held.ok());
  EXPECT_TRUE(machine->SetAttached(1, false));
  EXPECT_EQ(Letters(discovery.Refresh(ViewMode::kPhysical, true)), std::vector<std::string>{"C:"});
  uint8_t sector[512];
  EXPECT_TRUE(held.value()->Read(sector, sizeof sector).ok()) << "an open handle keeps its disk";
}

// Without the system's list the numbers are probed upward; a gap shorter
// than the run of misses is crossed, a longer one ends the search.
TEST(Discovery, ProbedDriveNumbersCrossShortGaps) {
  auto machine = MakeMachine(R"(
disk 0 size=1G
disk 3 size=1G
disk 12 size=1G
)");
  test::ForwardingMachine unlisted(*machine);
  EXPECT_EQ(PhysicalDriveNumbers(unlisted), (std::vector<uint32_t>{0, 3}));
  EXPECT_EQ(PhysicalDriveNumbers(*machine), (std::vector<uint32_t>{0, 3, 12}));
}

// The list shows the size an erase writes, also for a GPT volume, which
// does not answer the partition query.
TEST(Discovery, AGptVolumeIsListedWithItsOwnSize) {
  auto machine = MakeMachine(R"(
system-directory "C:\Windows\system32"
disk 0 size=10G bus=nvme product="System"
disk 1 size=8G bus=sata product="Data" table=gpt
volume C: disk=0 offset=1M
volume E: disk=1 offset=1M length=3G
)");
  RecordingNotifier notifier;
  DriveDiscovery discovery(*machine, notifier);
  std::vector<DriveRow> rows = discovery.Refresh(ViewMode::kPartition);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].size_text, "3GB");
  rows = discovery.Refresh(ViewMode::kPhysical);
  EXPECT_EQ(rows[1].size_text, "8GB");
}

TEST(Discovery, SystemDriveAndProtectedDrivesAreNotErasable) {
  auto machine = MakeMachine(kTwoDisks);
  RecordingNotifier notifier;
  std::set<std::string> protected_keys;
  DriveDiscovery discovery(*machine, notifier,
                           [&](const DriveRow& row) { return protected_keys.count(row.IdentityKey()) > 0; });
  std::vector<DriveRow> rows = discovery.Refresh(ViewMode::kPhysical);
  ASSERT_EQ(rows.size(), 2u);
  protected_keys = {rows[0].IdentityKey(), rows[1].IdentityKey()};
  rows = discovery.Refresh(ViewMode::kPhysical);
  EXPECT_TRUE(rows[0].not_erasable);
  EXPECT_TRUE(rows[1].not_erasable);
  protected_keys.clear();
  rows = discovery.Refresh(ViewMode::kPhysical);
  EXPECT_TRUE(rows[0].not_erasable);  // the system drive whatever the list says
  EXPECT_FALSE(rows[1].not_erasable);
}

TEST(Discovery, LowerCaseSystemDirectoryStillProtectsTheSystemDrive) {
  auto machine = MakeMachine(R"(
system-directory "c:\windows\system32"
disk 0 size=100G bus=11 product="System"
volume C: disk=0 offset=1M length=99G
)");
  RecordingNotifier notifier;
  DriveDiscovery discovery(*machine, notifier);
  std::vector<DriveRow> rows = discovery.Refresh(ViewMode::kPhysical);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_TRUE(rows[0].not_erasable);
}

TEST(Discovery, OneBadVolumeDoesNotHideTheDrivesAfterIt) {
  auto machine = MakeMachine(R"(
system-directory "C:\Windows\system32"
disk 0 size=100G bus=11 product="System"
disk 1 size=10G bus=11 product="Second"
disk 2 size=10G bus=11 product="Third"
volume C: disk=0 offset=1M length=99G
volume E: disk=1 offset=1M length=9G
volume F: disk=2 offset=1M length=9G
volume N: type=remote
fault volume=E: op=open error=5
)");
  RecordingNotifier notifier;
  DriveDiscovery discovery(*machine, notifier);
  std::vector<DriveRow> rows = discovery.Refresh(ViewMode::kPhysical);
  EXPECT_EQ(Letters(rows), (std::vector<std::string>{"C:", "F:"}));
  // E: is reported once; the network drive N: is skipped silently.
  ASSERT_EQ(notifier.messages.size(), 1u);
  EXPECT_EQ(notifier.messages[0], SystemErrorText(*machine, 5));
}

TEST(Discovery, AFailedQueryStillGivesTheMappedDriveARow) {
  auto machine = MakeMachine(R"(
system-directory "C:\Windows\system32"
disk 0 size=100G bus=11 product="System"
disk 1 size=10G bus=11 product="Second"
volume C: disk=0 offset=1M length=99G
volume E: disk=1 offset=1M length=9G
fault volume=E: op=descriptor error=1 count=1
)");
  // The descriptor fails once: during the mapping, so E: has no bus type and
  // stays unmapped.
  RecordingNotifier notifier;
  DriveDiscovery discovery(*machine, notifier);
  EXPECT_EQ(Letters(discovery.Refresh(ViewMode::kPhysical)), (std::vector<std::string>{"C:"}));

  auto second = MakeMachine(R"(
system-directory "C:\Windows\system32"
disk 0 size=100G bus=11 product="System"
disk 1 size=10G bus=11 product="Second"
volume C: disk=0 offset=1M length=99G
volume E: disk=1 offset=1M length=9G
fault disk=1 op=open error=5
)");
  // Opening the physical drive fails, the volume maps: the row keeps the
  // starting values.
  DriveDiscovery again(*second, notifier);
  std::vector<DriveRow> rows = again.Refresh(ViewMode::kPhysical);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].caption, "");
  EXPECT_EQ(rows[1].bus_type, "0");
  EXPECT_EQ(rows[1].size_text, "0B");
  EXPECT_EQ(rows[1].record_kind, 0);
  EXPECT_EQ(rows[1].identity, "");
  EXPECT_EQ(rows[1].method_text, "");
}

TEST(Discovery, AVolumeIsSizedByItsLengthEvenWhenItsLastSectorsCannotBeRead) {
  auto machine = MakeMachine(R"(
system-directory "C:\Windows\system32"
disk 0 size=100G bus=11 product="System"
disk 1 sectors=400000 bus=11 product="Second"
volume C: disk=0 offset=1M length=99G
volume E: disk=1 offset=1M length=100M
fault disk=1 op=read sector=206847 error=23
fault disk=1 op=read sector=206846 error=23
)");
  // E: spans disk sectors 2048 .. 206847; its last two cannot be read, but
  // they can still be written, so they count.
  RecordingNotifier notifier;
  DriveDiscovery discovery(*machine, notifier);
  TDriveInfo info = TDriveInfo::ForRefresh();
  EXPECT_EQ(discovery.QueryDrive(DriveDesignator::Letter('E'), info, ViewMode::kPartition), "Second");
  EXPECT_EQ(info.SizeBytes, 204800ull * 512);

  // The probe, the last resort when the system tells no length, stops at
  // the last sector that reads.

  platform::Result<std::unique_ptr<platform::Device>> volume = machine->OpenDevice("\\\\.\\E:", platform::Access::kRead);
  ASSERT_TRUE(volume.ok());
  platform::Result<DriveExtent> probe = ProbePartitionSize(*volume.value());
  ASSERT_TRUE(probe.ok());
  EXPECT_EQ(probe->sector_size, 512u);
  EXPECT_EQ(probe->sector_count, 204798u);
  uint8_t sector[512];
  EXPECT_TRUE(volume.value()->Read(sector, 512).ok());  // left at the start
}

TEST(Discovery, UnreadableVolumeFailsTheProbeInBoundedTime) {
  auto machine = MakeMachine(R"(
system-directory "C:\Windows\system32"
disk 1 size=2T bus=11 product="Dead"
volume E: disk=1 offset=1M length=1T
fault disk=1 op=read error=23
)");
  platform::Result<std::unique_ptr<platform::Device>> volume = machine->OpenDevice("\\\\.\\E:", platform::Access::kRead);
  ASSERT_TRUE(volume.ok());
  EXPECT_FALSE(ProbePartitionSize(*volume.value()).ok());
}

TEST(Discovery, ChangeWatchComparesTheDriveMask) {
  auto machine = MakeMachine(kTwoDisks);
  RecordingNotifier notifier;
  DriveDiscovery discovery(*machine, notifier);
  EXPECT_TRUE(discovery.DriveMaskChanged());  // the first tick always refreshes
  EXPECT_FALSE(discovery.DriveMaskChanged());
  EXPECT_EQ(machine->LogicalDriveMask(), (1u << 2) | (1u << 3) | (1u << 4));
}

TEST(Discovery, ReselectionFindsTheFirstRowOfACaption) {
  std::vector<DriveRow> rows(3);
  rows[0].caption = "A";
  rows[1].caption = "Same";
  rows[2].caption = "Same";
  EXPECT_EQ(FindRowByCaption(rows, "Same"), 1u);
  EXPECT_EQ(FindRowByCaption(rows, "Gone"), std::nullopt);
}

TEST(Discovery, VolumeMapTexts) {
  auto machine = MakeMachine(R"(
system-directory "C:\Windows\system32"
disk 0 size=100G bus=11 product="System"
disk 1 size=8G bus=0 product="Card" removable=yes
volume C: disk=0 offset=1M length=99G
volume A: disk=1 offset=0 length=8G type=removable extents=none
volume Q: type=cdrom
)");
  RecordingNotifier notifier;
  DriveDiscovery discovery(*machine, notifier);
  std::vector<std::string> texts;
  for (const VolumeMapEntry& e : discovery.MapVolumesToDisks(ViewMode::kPhysical)) texts.push_back(e.Text());
  EXPECT_EQ(texts, (std::vector<std::string>{"A:=A", "C:=0", "Q:"}));
}

}  // namespace
}  // namespace plexi

namespace plexi {
namespace {

TEST(DevicePaths, VolumesAreLettersAndGuidNamesWithoutTheRootBackslash) {
  EXPECT_TRUE(IsVolumePath("\\\\.\\C:"));
  EXPECT_TRUE(IsVolumePath("\\\\?\\e:"));
  EXPECT_FALSE(IsVolumePath("\\\\.\\C:\\"));
  EXPECT_FALSE(IsVolumePath("\\\\.\\PHYSICALDRIVE1"));
  const std::string guid = "{5eed0000-0000-0000-0000-000000000001}";
  EXPECT_TRUE(IsVolumePath("\\\\?\\Volume" + guid));
  EXPECT_TRUE(IsVolumePath("\\\\.\\volume" + guid));
  EXPECT_FALSE(IsVolumePath("\\\\?\\Volume" + guid + "\\"));
  EXPECT_FALSE(IsVolumePath("\\\\?\\Volume{5eed0000-0000-0000-0000-00000000001}"));
  EXPECT_FALSE(IsVolumePath("\\\\?\\Volume{5eed0000_0000-0000-0000-000000000001}"));
}

}  // namespace
}  // namespace plexi
