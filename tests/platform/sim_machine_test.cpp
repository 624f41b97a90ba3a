#include "platform/sim/sim_machine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/ioctl_layout.h"
#include "platform/winconst.h"

namespace plexi::sim {
namespace {

using platform::Access;

std::unique_ptr<SimMachine> Make(const std::string& text, const std::string& base_dir = "") {
  std::string error;
  auto m = SimMachine::Parse(text, base_dir, &error);
  EXPECT_NE(m, nullptr) << error;
  return m;
}

std::string ParseError(const std::string& text) {
  std::string error;
  EXPECT_EQ(SimMachine::Parse(text, "", &error), nullptr) << text;
  return error;
}

std::unique_ptr<platform::Device> Open(SimMachine& m, const std::string& path, Access access) {
  platform::Result<std::unique_ptr<platform::Device>> r = m.OpenDevice(path, access);
  EXPECT_TRUE(r.ok()) << path << " error " << r.error();
  return std::move(r.value());
}

platform::IoResult Query(platform::Device& d, uint32_t code, std::vector<uint8_t>& out) {
  uint8_t query[12] = {};
  bool storage = code == winconst::kIoctlStorageQueryProperty;
  return d.Control(code, storage ? query : nullptr, storage ? 12 : 0, out.data(), uint32_t(out.size()));
}

const char kTwoDisks[] = R"(
disk 0 sectors=1000000 bus=11 product="Disk Zero" serial="SER0" ata=yes
volume C: disk=0 offset=1M length=100M label="Sys"
volume D: disk=0 offset=101M label="Data"
disk 1 sectors=4096 sector-size=4096 bus=7 vendor="Acme" product="Stick" removable=yes
volume E: disk=1 type=removable
volume Q: type=cdrom
volume Z: type=remote
)";

TEST(SimParse, ErrorsNameTheLine) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"disk 0 sectors=8\n\n\ndisk 1 sectorz=8", "line 4: unknown key 'sectorz'"},
      {"disks 0", "line 1: unknown directive 'disks'"},
      {"disk 0 size=12Q", "line 1: bad number"},
      {"disk 0 size=1000", "line 1: size is not a whole number of sectors"},
      {"disk 0 sectors=8\ndisk 0 sectors=8", "line 2: disk 0 defined twice"},
      {"volume C: disk=3", "line 1: unknown disk 3"},
      {"disk 0 sectors=8 product=\"open", "line 1: unterminated quote"},
      {"disk 0 sectors=8 sector-size=1000", "line 1: sector-size"},
      {"disk 0 sectors=8\nvolume C: disk=0 offset=1K length=4K", "line 2: volume runs past the end"},
      {"disk 0 sectors=8\nvolume C: disk=0 offset=4K", "line 2: offset lies beyond"},
      {"disk 0 sectors=8\nvolume C: disk=0 offset=100", "line 2: offset is not a whole number"},
      {"disk 0 sectors=8\nfault disk=0 op=read error=5 short=1", "line 2: give error= or short="},
      {"disk 0 sectors=8\nfault disk=0 op=geometry sector=1", "line 2: sector= applies"},
      {"disk 0 sectors=8\nfault disk=0 op=melt", "line 2: unknown fault op 'melt'"},
      {"disk 0 sectors=8\nfault disk=0 op=power-cut", "line 2: a power cut needs after="},
      {"disk 0 sectors=8\nfault disk=0 op=power-cut after=1 after-ms=5", "line 2: a power cut needs after="},
      {"disk 0 sectors=8\nvolume C: disk=0\nfault volume=C: op=power-cut after=1", "line 3: a power cut applies to a disk"},
      {"disk 0 sectors=8\nfault disk=0 op=write after=1", "line 2: after=, after-ms= and keep= apply to power-cut"},
      {"record volume=Q: kind=complete\nvolume Q: type=cdrom", "line 1: volume Q: has no disk"},
      {"clock 2026-02-30 10:00:00", "line 1: bad date"},
      {"disk 0 sectors=8 removable=maybe", "must be yes or no"},
      {"disk 0 sectors=8 sectors=9", "line 1: key 'sectors' given twice"},
  };
  for (const Case& c : cases)
    EXPECT_NE(ParseError(c.text).find(c.message), std::string::npos)
        << c.text << "\n got: " << ParseError(c.text);
}

TEST(SimParse, QuotingSizesAndDefaults) {
  auto m = Make(R"(system-directory "D:\WINNT\system32"  # comment after a value
disk 7 size=2M product="say \"hi\" \\ ok" bus=nvme
volume k: disk=7 offset=1K)");
  EXPECT_EQ(m->SystemDirectory(), "D:\\WINNT\\system32");
  EXPECT_EQ(m->DiskSize(7), 2u << 20);
  EXPECT_EQ(m->LogicalDriveStrings(), std::string("K:\\\0\0", 5));
  auto d = Open(*m, "\\\\.\\PHYSICALDRIVE7", Access::kQuery);
  std::vector<uint8_t> out(1024);
  ASSERT_TRUE(Query(*d, winconst::kIoctlStorageQueryProperty, out).ok());
  auto h = layout::StorageDescriptorHeader::Decode(out.data());
  EXPECT_STREQ(reinterpret_cast<const char*>(out.data() + h.product_id_offset), "say \"hi\" \\ ok");
  EXPECT_EQ(h.bus_type, winconst::kBusTypeNvme);
  platform::LocalTime now = m->Now();
  EXPECT_EQ(now.year, 2026);
  EXPECT_EQ(now.month, 1);
}

TEST(SimMachine, DevicePaths) {
  auto m = Make(kTwoDisks);
  EXPECT_TRUE(m->OpenDevice("\\\\.\\PHYSICALDRIVE0", Access::kQuery).ok());
  EXPECT_TRUE(m->OpenDevice("\\\\.\\PhysicalDrive1", Access::kQuery).ok());
  EXPECT_TRUE(m->OpenDevice("\\\\.\\c:", Access::kQuery).ok());
  for (const char* bad : {"\\\\.\\PHYSICALDRIVE2", "\\\\.\\PHYSICALDRIVE01", "\\\\.\\PHYSICALDRIVE",
                          "\\\\.\\F:", "C:", "\\\\.\\C:\\", "\\\\.\\PHYSICALDRIVE-1", ""}) {
    platform::Result<std::unique_ptr<platform::Device>> r = m->OpenDevice(bad, Access::kQuery);
    EXPECT_FALSE(r.ok()) << bad;
    EXPECT_EQ(r.error(), winconst::kErrorFileNotFound) << bad;
  }
}

TEST(SimMachine, AccessRights) {
  auto m = Make(kTwoDisks);
  uint8_t sector[512] = {};
  auto query = Open(*m, "\\\\.\\PHYSICALDRIVE0", Access::kQuery);
  EXPECT_EQ(query->Read(sector, 512).error(), winconst::kErrorAccessDenied);
  EXPECT_EQ(query->Write(sector, 512).error(), winconst::kErrorAccessDenied);
  std::vector<uint8_t> out(64);
  EXPECT_TRUE(Query(*query, winconst::kIoctlDiskGetDriveGeometry, out).ok());
  EXPECT_EQ(Query(*query, winconst::kIoctlDiskGetPartitionInfo, out).error(), winconst::kErrorAccessDenied);
  auto read = Open(*m, "\\\\.\\PHYSICALDRIVE0", Access::kRead);
  EXPECT_TRUE(read->Read(sector, 512).ok());
  EXPECT_EQ(read->Write(sector, 512).error(), winconst::kErrorAccessDenied);
  EXPECT_EQ(read->Flush().error(), winconst::kErrorAccessDenied);
  EXPECT_TRUE(Query(*read, winconst::kIoctlDiskGetPartitionInfo, out).ok());
}

TEST(SimMachine, TransfersAreSectorAlignedAndBounded) {
  auto m = Make("disk 0 sectors=16\ndisk 1 sectors=4 sector-size=4096");
  auto d = Open(*m, "\\\\.\\PHYSICALDRIVE0", Access::kReadWrite);
  std::vector<uint8_t> buf(4096, 0xAB);
  EXPECT_EQ(d->Write(buf.data(), 100).error(), winconst::kErrorInvalidParameter);
  ASSERT_TRUE(d->SetPosition(256).ok());  // the seek itself is allowed
  EXPECT_EQ(d->Read(buf.data(), 512).error(), winconst::kErrorInvalidParameter);

  ASSERT_TRUE(d->SetPosition(14 * 512).ok());
  platform::IoResult w = d->Write(buf.data(), 4 * 512);  // spans the end: short
  EXPECT_TRUE(w.ok());
  EXPECT_EQ(w.value(), 2u * 512);
  EXPECT_EQ(d->Write(buf.data(), 512).error(), winconst::kErrorSectorNotFound);  // at the end
  platform::IoResult r = d->Read(buf.data(), 512);
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.value(), 0u);
  ASSERT_TRUE(d->SetPosition(15 * 512).ok());
  r = d->Read(buf.data(), 4 * 512);
  EXPECT_EQ(r.value(), 512u);
  EXPECT_EQ(m->PeekDisk(0, 14 * 512, 1024), std::vector<uint8_t>(1024, 0xAB));
  EXPECT_EQ(m->PeekDisk(0, 13 * 512, 512), std::vector<uint8_t>(512, 0));

  // 4096-byte sectors: a 512-byte transfer is misaligned.
  auto big = Open(*m, "\\\\.\\PHYSICALDRIVE1", Access::kReadWrite);
  EXPECT_EQ(big->Read(buf.data(), 512).error(), winconst::kErrorInvalidParameter);
  EXPECT_EQ(big->Read(buf.data(), 4096).value(), 4096u);
}

TEST(SimMachine, VolumeTransfersAreRelativeAndBounded) {
  auto m = Make("disk 0 sectors=100\nvolume C: disk=0 offset=10K length=4K mounted=no");
  auto v = Open(*m, "\\\\.\\C:", Access::kReadWrite);
  std::vector<uint8_t> data(8192, 0x5A);
  ASSERT_TRUE(v->SetPosition(512).ok());
  platform::IoResult w = v->Write(data.data(), 8192);
  EXPECT_EQ(w.value(), 4096u - 512);  // bounded by the volume, not the disk
  EXPECT_EQ(m->PeekDisk(0, 10 * 1024 + 512, 1), std::vector<uint8_t>{0x5A});
  EXPECT_EQ(m->PeekDisk(0, 10 * 1024, 1), std::vector<uint8_t>{0});
  EXPECT_EQ(m->PeekDisk(0, 14 * 1024, 1), std::vector<uint8_t>{0});
  EXPECT_EQ(v->Write(data.data(), 512).error(), winconst::kErrorSectorNotFound);

  std::vector<uint8_t> out(64);
  ASSERT_TRUE(Query(*v, winconst::kIoctlDiskGetPartitionInfo, out).ok());
  auto p = layout::PartitionInformation::Decode(out.data());
  EXPECT_EQ(p.starting_offset, 10 * 1024);
  EXPECT_EQ(p.partition_length, 4 * 1024);
  auto disk = Open(*m, "\\\\.\\PHYSICALDRIVE0", Access::kRead);
  ASSERT_TRUE(Query(*disk, winconst::kIoctlDiskGetPartitionInfo, out).ok());
  p = layout::PartitionInformation::Decode(out.data());
  EXPECT_EQ(p.starting_offset, 0);
  EXPECT_EQ(p.partition_length, 100 * 512);
}

TEST(SimMachine, GeometryTruncatesCylinders) {
  auto m = Make(
      "disk 0 sectors=976773168\ndisk 1 sectors=1000 heads=16 sectors-per-track=32 removable=yes\n"
      "volume C: disk=0\nvolume Q: type=cdrom");
  std::vector<uint8_t> out(24);
  auto d = Open(*m, "\\\\.\\C:", Access::kQuery);  // a volume gives its disk's geometry
  ASSERT_TRUE(Query(*d, winconst::kIoctlDiskGetDriveGeometry, out).ok());
  auto g = layout::DiskGeometry::Decode(out.data());
  EXPECT_EQ(g.cylinders, 60801);  // 976773168 / (255 * 63) = 60801.9
  EXPECT_EQ(g.tracks_per_cylinder, 255u);
  EXPECT_EQ(g.sectors_per_track, 63u);
  EXPECT_EQ(g.bytes_per_sector, 512u);
  EXPECT_EQ(g.media_type, 12u);
  EXPECT_LT(g.SectorCount(), 976773168u);

  d = Open(*m, "\\\\.\\PHYSICALDRIVE1", Access::kQuery);
  ASSERT_TRUE(Query(*d, winconst::kIoctlDiskGetDriveGeometry, out).ok());
  g = layout::DiskGeometry::Decode(out.data());
  EXPECT_EQ(g.cylinders, 1);  // 1000 / 512
  EXPECT_EQ(g.media_type, 11u);
  std::vector<uint8_t> small(23);
  EXPECT_EQ(Query(*d, winconst::kIoctlDiskGetDriveGeometry, small).error(), winconst::kErrorInsufficientBuffer);

  d = Open(*m, "\\\\.\\Q:", Access::kQuery);
  EXPECT_EQ(Query(*d, winconst::kIoctlDiskGetDriveGeometry, out).error(), winconst::kErrorNotReady);
}

TEST(SimMachine, StorageDescriptorLayout) {
  auto m = Make(kTwoDisks);
  std::vector<uint8_t> out(1024, 0xEE);
  auto d = Open(*m, "\\\\.\\PHYSICALDRIVE0", Access::kQuery);
  platform::IoResult r = Query(*d, winconst::kIoctlStorageQueryProperty, out);
  ASSERT_TRUE(r.ok());
  // "Disk Zero\0SER0\0" right after the header; no vendor, no revision.
  ASSERT_EQ(r.value(), 40u + 10 + 5);
  auto h = layout::StorageDescriptorHeader::Decode(out.data());
  EXPECT_EQ(h.version, r.value());
  EXPECT_EQ(h.size, r.value());
  EXPECT_EQ(h.vendor_id_offset, 0u);
  EXPECT_EQ(h.product_id_offset, 40u);
  EXPECT_EQ(h.product_revision_offset, 0u);
  EXPECT_EQ(h.serial_number_offset, 50u);
  EXPECT_EQ(h.bus_type, winconst::kBusTypeSata);
  EXPECT_EQ(h.removable_media, 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out.data() + 40), 15), std::string("Disk Zero\0SER0\0", 15));
  EXPECT_EQ(out[55], 0xEE);  // nothing written past the reply

  // Through a volume: the volume's disk. A short buffer truncates the reply.
  d = Open(*m, "\\\\.\\E:", Access::kQuery);
  std::vector<uint8_t> small(42);
  r = Query(*d, winconst::kIoctlStorageQueryProperty, small);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.value(), 42u);
  h = layout::StorageDescriptorHeader::Decode(small.data());
  EXPECT_EQ(h.size, 40u + 5 + 6);
  EXPECT_EQ(h.removable_media, 1);
  EXPECT_EQ(h.bus_type, winconst::kBusTypeUsb);
  EXPECT_EQ(small[40], 'A');
  std::vector<uint8_t> tiny(7);
  EXPECT_EQ(Query(*d, winconst::kIoctlStorageQueryProperty, tiny).error(), winconst::kErrorInsufficientBuffer);
  EXPECT_EQ(d->Control(winconst::kIoctlStorageQueryProperty, nullptr, 0, out.data(), 1024).error(),
            winconst::kErrorInvalidParameter);
}

TEST(SimMachine, TrailingBytesReplaceTheStrings) {
  auto m = Make("disk 0 sectors=8 product=\"ignored\" trailing-hex=\"00 00 41 42 00\" product-offset=42");
  auto d = Open(*m, "\\\\.\\PHYSICALDRIVE0", Access::kQuery);
  std::vector<uint8_t> out(1024);
  platform::IoResult r = Query(*d, winconst::kIoctlStorageQueryProperty, out);
  ASSERT_EQ(r.value(), 45u);
  auto h = layout::StorageDescriptorHeader::Decode(out.data());
  EXPECT_EQ(h.product_id_offset, 42u);
  EXPECT_EQ(h.vendor_id_offset, 0u);
  EXPECT_EQ(std::vector<uint8_t>(out.begin() + 40, out.begin() + 45),
            (std::vector<uint8_t>{0, 0, 0x41, 0x42, 0}));
}

TEST(SimMachine, DiskExtents) {
  auto m = Make(
      "disk 3 sectors=2048\nvolume C: disk=3 offset=512 length=1K\n"
      "volume D: disk=3 offset=1K length=1K extents=two\nvolume E: disk=3 extents=none");
  std::vector<uint8_t> out(32);
  auto c = Open(*m, "\\\\.\\C:", Access::kQuery);
  platform::IoResult r = Query(*c, winconst::kIoctlVolumeGetVolumeDiskExtents, out);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.value(), 32u);
  EXPECT_EQ(layout::Load32(out.data()), 1u);
  EXPECT_EQ(layout::Load32(out.data() + 8), 3u);
  EXPECT_EQ(layout::Load64(out.data() + 16), 512u);
  EXPECT_EQ(layout::Load64(out.data() + 24), 1024u);

  auto d = Open(*m, "\\\\.\\D:", Access::kQuery);
  r = Query(*d, winconst::kIoctlVolumeGetVolumeDiskExtents, out);
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.error(), winconst::kErrorMoreData);
  EXPECT_EQ(layout::Load32(out.data()), 2u);
  std::vector<uint8_t> room(56);
  r = Query(*d, winconst::kIoctlVolumeGetVolumeDiskExtents, room);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(layout::Load64(room.data() + 32 + 8) + layout::Load64(room.data() + 32 + 16), 2048u);

  auto e = Open(*m, "\\\\.\\E:", Access::kQuery);
  EXPECT_EQ(Query(*e, winconst::kIoctlVolumeGetVolumeDiskExtents, out).error(), winconst::kErrorInvalidFunction);
  auto p = Open(*m, "\\\\.\\PHYSICALDRIVE3", Access::kQuery);
  EXPECT_EQ(Query(*p, winconst::kIoctlVolumeGetVolumeDiskExtents, out).error(), winconst::kErrorInvalidFunction);
  std::vector<uint8_t> small(31);
  EXPECT_EQ(Query(*c, winconst::kIoctlVolumeGetVolumeDiskExtents, small).error(), winconst::kErrorInsufficientBuffer);
}

TEST(SimMachine, VolumeControlsAndUnknownCodes) {
  auto m = Make(kTwoDisks);
  auto c = Open(*m, "\\\\.\\C:", Access::kReadWrite);
  for (uint32_t code : {winconst::kFsctlLockVolume, winconst::kFsctlDismountVolume,
                        winconst::kFsctlAllowExtendedDasdIo, winconst::kFsctlUnlockVolume})
    EXPECT_TRUE(c->Control(code, nullptr, 0, nullptr, 0).ok()) << code;
  EXPECT_EQ(c->Control(0x12345678, nullptr, 0, nullptr, 0).error(), winconst::kErrorInvalidFunction);

  auto z = Open(*m, "\\\\.\\Z:", Access::kQuery);
  std::vector<uint8_t> out(1024);
  EXPECT_EQ(Query(*z, winconst::kIoctlDiskGetDriveGeometry, out).error(), winconst::kErrorInvalidFunction);
  EXPECT_EQ(Query(*z, winconst::kIoctlStorageQueryProperty, out).error(), winconst::kErrorInvalidFunction);
  EXPECT_EQ(Query(*z, winconst::kIoctlVolumeGetVolumeDiskExtents, out).error(), winconst::kErrorInvalidFunction);
}

// One fault of each op, each on its own machine, and what it breaks.
TEST(SimMachine, EveryFaultOp) {
  const std::string base = "disk 0 sectors=64\nvolume C: disk=0 offset=4K mounted=no\n";
  std::vector<uint8_t> out(1024), sector(512, 0x11);
  auto fails = [&](const std::string& fault, auto call, uint32_t expected) {
    auto m = Make(base + fault);
    auto d = Open(*m, "\\\\.\\C:", Access::kReadWrite);
    platform::IoResult r = call(*d);
    EXPECT_FALSE(r.ok()) << fault;
    EXPECT_EQ(r.error(), expected) << fault;
  };
  auto control = [&](uint32_t code) {
    return [&, code](platform::Device& d) { return Query(d, code, out); };
  };
  fails("fault volume=C: op=geometry error=1117", control(winconst::kIoctlDiskGetDriveGeometry), 1117);
  fails("fault volume=C: op=partition-info", control(winconst::kIoctlDiskGetPartitionInfo), 1);
  fails("fault volume=C: op=descriptor error=31", control(winconst::kIoctlStorageQueryProperty), 31);
  fails("fault volume=C: op=extents", control(winconst::kIoctlVolumeGetVolumeDiskExtents), 1);
  fails("fault volume=C: op=lock", control(winconst::kFsctlLockVolume), 5);
  fails("fault volume=C: op=unlock", control(winconst::kFsctlUnlockVolume), 158);
  fails("fault volume=C: op=read", [&](platform::Device& d) { return d.Read(sector.data(), 512); }, 23);
  fails("fault volume=C: op=write", [&](platform::Device& d) { return d.Write(sector.data(), 512); }, 29);

  auto m = Make(base + "fault volume=C: op=open error=32\nfault disk=0 op=open");
  EXPECT_EQ(m->OpenDevice("\\\\.\\C:", Access::kRead).error(), 32u);
  EXPECT_EQ(m->OpenDevice("\\\\.\\PHYSICALDRIVE0", Access::kRead).error(), 5u);

  // A dropped write reports success and changes nothing.
  m = Make(base + "fault disk=0 op=drop-write sector=9");
  auto d = Open(*m, "\\\\.\\C:", Access::kReadWrite);
  ASSERT_TRUE(d->SetPosition(512).ok());  // disk sector 9
  platform::IoResult w = d->Write(sector.data(), 512);
  EXPECT_TRUE(w.ok());
  EXPECT_EQ(w.value(), 512u);
  EXPECT_EQ(m->PeekDisk(0, 9 * 512, 512), std::vector<uint8_t>(512, 0));
  EXPECT_TRUE(d->Write(sector.data(), 512).ok());  // sector 10 is stored
  EXPECT_EQ(m->PeekDisk(0, 10 * 512, 512), sector);

  // A power cut on time: the first write after it fails and takes every
  // unflushed one with it; what was flushed stays, and nothing answers
  // until the power is back.
  m = Make(base + "fault disk=0 op=power-cut after-ms=50");
  d = Open(*m, "\\\\.\\PHYSICALDRIVE0", Access::kReadWrite);
  ASSERT_TRUE(d->SetPosition(512).ok());
  ASSERT_TRUE(d->Write(sector.data(), 512).ok());
  ASSERT_TRUE(d->Flush().ok());
  ASSERT_TRUE(d->Write(sector.data(), 512).ok());
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_EQ(d->Write(sector.data(), 512).error(), winconst::kErrorDeviceNotConnected);
  EXPECT_EQ(d->Read(sector.data(), 512).error(), winconst::kErrorDeviceNotConnected);
  EXPECT_EQ(m->PeekDisk(0, 512, 512), sector);
  EXPECT_EQ(m->PeekDisk(0, 1024, 1024), std::vector<uint8_t>(1024, 0));
  m->RestorePower();
  EXPECT_TRUE(d->Write(sector.data(), 512).ok());
}

TEST(SimMachine, FaultsBySectorCountAndShortTransfers) {
  auto m = Make(
      "disk 0 sectors=64\nvolume C: disk=0 offset=8K mounted=no\n"
      "fault disk=0 op=read sector=20 count=2\n"
      "fault disk=0 op=read sector=40 short=256\n"
      "fault disk=0 op=write sector=30 short=1024\n"
      "fault volume=C: op=read sector=3 error=1117\n");
  std::vector<uint8_t> buf(2048, 0x77);
  auto d = Open(*m, "\\\\.\\PHYSICALDRIVE0", Access::kReadWrite);
  ASSERT_TRUE(d->SetPosition(16 * 512).ok());
  EXPECT_TRUE(d->Read(buf.data(), 2048).ok());  // sectors 16..19
  ASSERT_TRUE(d->SetPosition(17 * 512).ok());
  platform::IoResult r = d->Read(buf.data(), 2048);  // 17..20
  EXPECT_EQ(r.error(), 23u);
  EXPECT_EQ(d->Read(buf.data(), 2048).error(), 23u);  // a failed read does not move on
  r = d->Read(buf.data(), 2048);  // count=2 used up
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.value(), 2048u);

  ASSERT_TRUE(d->SetPosition(40 * 512).ok());
  r = d->Read(buf.data(), 1024);
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.value(), 256u);

  std::fill(buf.begin(), buf.end(), 0x77);
  ASSERT_TRUE(d->SetPosition(29 * 512).ok());
  platform::IoResult w = d->Write(buf.data(), 2048);
  EXPECT_TRUE(w.ok());
  EXPECT_EQ(w.value(), 1024u);
  EXPECT_EQ(m->PeekDisk(0, 29 * 512, 1), std::vector<uint8_t>{0x77});
  EXPECT_EQ(m->PeekDisk(0, 31 * 512, 1), std::vector<uint8_t>{0});

  // A disk's bad sector also fails reads through its volume; the volume's
  // own fault counts sectors from the volume's start and spares the disk.
  auto v = Open(*m, "\\\\.\\C:", Access::kRead);
  ASSERT_TRUE(v->SetPosition((40 - 16) * 512).ok());
  EXPECT_EQ(v->Read(buf.data(), 512).value(), 256u);
  ASSERT_TRUE(v->SetPosition(3 * 512).ok());
  EXPECT_EQ(v->Read(buf.data(), 512).error(), 1117u);
  ASSERT_TRUE(d->SetPosition((16 + 3) * 512).ok());
  EXPECT_TRUE(d->Read(buf.data(), 512).ok());
}

TEST(SimMachine, DrivesLabelsAndTypes) {
  auto m = Make(kTwoDisks);
  EXPECT_EQ(m->LogicalDriveStrings(), std::string("C:\\\0D:\\\0E:\\\0Q:\\\0Z:\\\0\0", 21));
  EXPECT_EQ(m->LogicalDriveMask(), (1u << 2) | (1u << 3) | (1u << 4) | (1u << 16) | (1u << 25));
  EXPECT_EQ(m->DriveType("C:\\"), winconst::kDriveFixed);
  EXPECT_EQ(m->DriveType("e:\\"), winconst::kDriveRemovable);
  EXPECT_EQ(m->DriveType("Q:\\"), winconst::kDriveCdrom);
  EXPECT_EQ(m->DriveType("Z:\\"), winconst::kDriveRemote);
  EXPECT_EQ(m->DriveType("F:\\"), winconst::kDriveNoRootDir);
  EXPECT_EQ(m->VolumeLabel("C:\\"), "Sys");
  EXPECT_EQ(m->VolumeLabel("E:\\"), "");
  EXPECT_EQ(m->VolumeLabel("Q:\\"), std::nullopt);
  EXPECT_EQ(m->VolumeLabel("Z:\\"), std::nullopt);
  EXPECT_EQ(m->VolumeLabel("F:\\"), std::nullopt);
  EXPECT_EQ(m->SystemDirectory(), "C:\\Windows\\system32");
}

TEST(SimMachine, IdentifyLibrary) {
  auto m = Make(kTwoDisks);
  uint8_t reply[512];
  auto word0 = [&] { return uint16_t(reply[0] | reply[1] << 8); };
  ASSERT_TRUE(m->IdentifyDevice(0, reply));
  EXPECT_EQ(word0(), 0x0040);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(reply + 54), 4), "iDks");  // "Disk" byte-swapped
  ASSERT_TRUE(m->IdentifyDevice('C', reply));
  EXPECT_EQ(word0(), 0x0040);
  ASSERT_TRUE(m->IdentifyDevice(1, reply));
  EXPECT_EQ(word0(), 0x8080);
  EXPECT_FALSE(m->IdentifyDevice(2, reply));
  EXPECT_FALSE(m->IdentifyDevice('Q', reply));
  EXPECT_FALSE(m->IdentifyDevice('F', reply));
  auto absent = Make(std::string(kTwoDisks) + "identify-library absent");
  EXPECT_FALSE(absent->IdentifyDevice(0, reply));
}

TEST(SimMachine, RecordsAreWrittenAtStart) {
  auto m = Make(
      "disk 0 sectors=64\ndisk 1 sectors=64 sector-size=4096\nvolume G: disk=1 offset=8K\n"
      "record disk=0 kind=complete method=2\n"
      "record volume=G: kind=resume chunk=120 method=-1 pass=3\n");
  std::vector<uint8_t> complete = m->PeekDisk(0, 0, 512);
  std::vector<uint8_t> expected(512, 0);
  std::memcpy(expected.data(), "plexi scrub ok", 14);
  expected[15] = 2;
  EXPECT_EQ(complete, expected);

  std::vector<uint8_t> resume = m->PeekDisk(1, 8192, 4096);
  expected.assign(4096, 0);
  std::memcpy(expected.data(), "plexi scrub", 11);
  layout::Store32(expected.data() + 16, 120);
  layout::Store32(expected.data() + 20, 0xFFFFFFFF);
  layout::Store32(expected.data() + 24, 3);
  EXPECT_EQ(resume, expected);
  EXPECT_EQ(m->PeekDisk(1, 0, 4096), std::vector<uint8_t>(4096, 0));
}

TEST(SimMachine, SparseDiskCostsOnlyWhatIsWritten) {
  auto m = Make("disk 5 size=3T");
  ASSERT_GT(m->DiskSize(5) / 512, uint64_t(1) << 32);
  auto d = Open(*m, "\\\\.\\PHYSICALDRIVE5", Access::kReadWrite);
  std::vector<uint8_t> data(1 << 20, 0xC3);
  uint64_t last = m->DiskSize(5) - data.size();
  ASSERT_TRUE(d->SetPosition(last).ok());
  ASSERT_EQ(d->Write(data.data(), uint32_t(data.size())).value(), data.size());
  EXPECT_EQ(m->StoredBytes(5), data.size());
  EXPECT_EQ(m->PeekDisk(5, m->DiskSize(5) - 1, 8), std::vector<uint8_t>{0xC3});
  std::vector<uint8_t> zeros(data.size(), 0);  // erasing with zeros frees the memory
  ASSERT_TRUE(d->SetPosition(last).ok());
  ASSERT_TRUE(d->Write(zeros.data(), uint32_t(zeros.size())).ok());
  EXPECT_EQ(m->StoredBytes(5), 0u);
}

class SimImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("plexi_sim_image_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(SimImageTest, WritesReachTheFile) {
  {
    std::ofstream image(dir_ / "disk.img", std::ios::binary);
    std::vector<char> bytes(8192, 0x01);
    image.write(bytes.data(), std::streamsize(bytes.size()));
  }
  auto m = Make("disk 0 image=disk.img\nrecord disk=0 kind=complete method=0", dir_.string());
  ASSERT_EQ(m->DiskSize(0), 8192u);  // taken from the file
  auto d = Open(*m, "\\\\.\\PHYSICALDRIVE0", Access::kReadWrite);
  std::vector<uint8_t> data(512, 0x99);
  ASSERT_TRUE(d->SetPosition(1024).ok());
  ASSERT_TRUE(d->Write(data.data(), 512).ok());
  ASSERT_TRUE(d->Flush().ok());

  std::ifstream in(dir_ / "disk.img", std::ios::binary);
  std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(file.size(), 8192u);
  EXPECT_EQ(file.substr(0, 14), "plexi scrub ok");
  EXPECT_EQ(file[1023], 0x01);
  EXPECT_EQ(uint8_t(file[1024]), 0x99);
  EXPECT_EQ(uint8_t(file[1535]), 0x99);
  EXPECT_EQ(file[1536], 0x01);

  // A missing image is an error of its line.
  std::string error;
  EXPECT_EQ(SimMachine::Parse("\ndisk 0 image=nothere.img", dir_.string(), &error), nullptr);
  EXPECT_NE(error.find("line 2: cannot open image"), std::string::npos) << error;
}

TEST(SimMachine, HandlesOutliveTheMachine) {
  auto m = Make("disk 0 sectors=8\nvolume C: disk=0 mounted=no");
  auto d = Open(*m, "\\\\.\\C:", Access::kReadWrite);
  EXPECT_EQ(m->OpenHandleCount(), 1u);
  EXPECT_EQ(m->VolumeCounters('C').open_handles, 1u);
  m.reset();
  std::vector<uint8_t> data(512, 3);
  EXPECT_TRUE(d->Write(data.data(), 512).ok());
  ASSERT_TRUE(d->SetPosition(0).ok());
  EXPECT_EQ(d->Read(data.data(), 512).value(), 512u);
}

TEST(SimMachine, CountersFollowTraffic) {
  auto m = Make("disk 0 sectors=8\nvolume C: disk=0 mounted=no");
  std::vector<uint8_t> data(1024);
  {
    auto v = Open(*m, "\\\\.\\C:", Access::kRead);
    static_cast<void>(v->Read(data.data(), 1024));
    static_cast<void>(v->Write(data.data(), 512));  // refused, still counted
    auto p = Open(*m, "\\\\.\\PHYSICALDRIVE0", Access::kReadWrite);
    static_cast<void>(p->Write(data.data(), 512));
    EXPECT_EQ(m->OpenHandleCount(), 2u);
  }
  DeviceCounters disk = m->DiskCounters(0), volume = m->VolumeCounters('C');
  EXPECT_EQ(disk.opens, 2u);
  EXPECT_EQ(disk.reads, 1u);
  EXPECT_EQ(disk.writes, 2u);
  EXPECT_EQ(disk.bytes_read, 1024u);
  EXPECT_EQ(disk.bytes_written, 512u);
  EXPECT_EQ(volume.opens, 1u);
  EXPECT_EQ(volume.bytes_written, 0u);
  EXPECT_EQ(m->OpenHandleCount(), 0u);
}

TEST(SimMachine, TextsAndClock) {
  auto m = Make("clock 2026-12-08 09:30:00");
  EXPECT_EQ(m->ErrorText(5), "アクセスが拒否されました。\r\n");
  EXPECT_EQ(m->ErrorText(23), "データ エラー (巡回冗長検査 (CRC) エラー) です。\r\n");
  EXPECT_EQ(m->ErrorText(87), "パラメーターが間違っています。\r\n");
  for (uint32_t code : {2u, 21u, 27u, 29u, 30u, 31u, 32u, 112u, 122u, 158u, 234u, 1117u, 1167u})
    EXPECT_EQ(m->ErrorText(code).substr(m->ErrorText(code).size() - 5), "。\r\n") << code;
  EXPECT_EQ(m->ErrorText(424242), "");
  platform::LocalTime now = m->Now();
  EXPECT_EQ(m->DateText(now), "2026/12/08");
  EXPECT_EQ(m->TimeText(now), "9:30:00");
  m->SetClock({2027, 3, 4, 23, 5, 9});
  EXPECT_EQ(m->TimeText(m->Now()), "23:05:09");
}

TEST(SimMachine, DemoMachineLoads) {
  const char* source = std::getenv("PLEXISCRUB_SOURCE");
  if (!source) GTEST_SKIP() << "PLEXISCRUB_SOURCE is not set (ctest sets it)";
  std::filesystem::path top = source;
  std::string error;
  auto m = SimMachine::Load((top / "demo" / "demo.machine").string(), &error);
  ASSERT_NE(m, nullptr) << error;
  EXPECT_EQ(m->LogicalDriveStrings().size(), 10u * 4 + 1);  // C D E F G H I Q R Z
  EXPECT_GT(m->DiskSize(5) / 512, uint64_t(1) << 32);
  std::vector<uint8_t> f = m->PeekDisk(2, 0, 14);
  EXPECT_EQ(std::string(f.begin(), f.end()), "plexi scrub ok");
  std::vector<uint8_t> g = m->PeekDisk(3, 0, 11);
  EXPECT_EQ(std::string(g.begin(), g.end()), "plexi scrub");
  auto h = Open(*m, "\\\\.\\H:", Access::kQuery);
  std::vector<uint8_t> out(24);
  ASSERT_TRUE(Query(*h, winconst::kIoctlDiskGetDriveGeometry, out).ok());
  EXPECT_EQ(layout::DiskGeometry::Decode(out.data()).bytes_per_sector, 4096u);
  EXPECT_TRUE(m->OpenDevice("\\\\.\\Z:", Access::kQuery).ok());

  // The example machines of the tests load as well.
  for (const auto& entry : std::filesystem::directory_iterator(top / "tests" / "data")) {
    if (entry.path().extension() != ".machine") continue;
    EXPECT_NE(SimMachine::Load(entry.path().string(), &error), nullptr) << error;
  }
}

}  // namespace
}  // namespace plexi::sim
