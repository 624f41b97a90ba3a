#include "drives/discovery.h"
#include "record/erase_method.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <vector>

#include "drives/purge_capability.h"
#include "drives/target_check.h"
#include "record/erase_record.h"
#include "platform/aligned_buffer.h"
#include "platform/device_paths.h"
#include "platform/ioctl_layout.h"
#include "platform/winconst.h"
#include "util/ascii_text.h"

namespace plexi {

namespace {

using platform::Access;
using platform::Device;

// Sector sizes outside this range come only from a broken device reply;
// treating them as a failed query keeps every later division and buffer sane.
bool PlausibleSectorSize(uint32_t size) { return size >= 128 && size <= (1u << 20); }

// The NUL-terminated string at `offset` of a reply of `length` bytes; empty
// when the offset points outside the reply.
std::string StringAt(const uint8_t* reply, uint32_t length, uint32_t offset) {
  if (offset == 0 || offset >= length) return {};
  const char* start = reinterpret_cast<const char*>(reply + offset);
  size_t max = length - offset;
  size_t n = 0;
  while (n < max && start[n] != '\0') ++n;
  return std::string(start, n);
}

// Hex of the bytes after the 40-byte descriptor header, from the first
// non-zero byte on; all of them when only zeros follow.
std::string IdentityOf(const uint8_t* reply, uint32_t length) {
  const uint32_t start = winconst::kStorageDescriptorHeaderSize;
  if (length <= start) return {};
  uint32_t first = start;
  while (first < length && reply[first] == 0) ++first;
  if (first == length) first = start;
  return HexOfBytes(reply + first, length - first);
}

bool SaysAta(const uint8_t* identify) {
  uint16_t word0 = uint16_t(identify[0] | identify[1] << 8);
  return (word0 & 0x8000) == 0 && (word0 & 0x0080) == 0;
}

std::optional<uint64_t> DiskSizeOf(Device& device) {
  uint8_t reply[winconst::kDiskGeometryExBufferSize] = {};
  platform::IoResult r = device.Control(winconst::kIoctlDiskGetDriveGeometryEx, nullptr, 0, reply, sizeof reply);
  if (!r.ok() || r.value() < winconst::kDiskGeometryExSize) return std::nullopt;
  return layout::Load64(reply + winconst::kDiskGeometrySize);
}

// A volume handle answers the extents query (or says they do not all fit).
bool AnswersAsVolume(Device& device) {
  uint8_t reply[winconst::kDiskExtentsBufferSize] = {};
  platform::IoResult r = device.Control(winconst::kIoctlVolumeGetVolumeDiskExtents, nullptr, 0, reply, sizeof reply);
  return r.ok() || r.error() == winconst::kErrorMoreData;
}

std::optional<layout::PartitionInformation> PartitionInfo(Device& device) {
  uint8_t reply[winconst::kPartitionInfoBufferSize] = {};
  platform::IoResult r = device.Control(winconst::kIoctlDiskGetPartitionInfo, nullptr, 0, reply,
                                        sizeof reply);
  if (!r.ok() || r.value() < winconst::kPartitionInformationSize) return std::nullopt;
  return layout::PartitionInformation::Decode(reply);
}

}  // namespace

std::string VolumeMapEntry::Text() const {
  std::string text{letter, ':'};
  if (!target) return text;
  if (target->IsPhysical()) return text + "=" + std::to_string(target->number());
  return text + "=" + target->letter();
}

platform::Result<> SeekToSector(Device& device, uint64_t sector, uint32_t sector_size) {
  return device.SetPosition(sector * sector_size);
}

platform::Result<DriveExtent> DriveGeometry(Device& device) {
  uint8_t reply[winconst::kDiskGeometrySize] = {};
  platform::IoResult r = device.Control(winconst::kIoctlDiskGetDriveGeometry, nullptr, 0, reply,
                                        sizeof reply);
  if (!r.ok()) return platform::Result<DriveExtent>::Failure(r.error());
  if (*r < sizeof reply) return platform::Result<DriveExtent>::Failure(winconst::kErrorInvalidData);
  layout::DiskGeometry g = layout::DiskGeometry::Decode(reply);
  if (!PlausibleSectorSize(g.bytes_per_sector) || g.cylinders < 0)
    return platform::Result<DriveExtent>::Failure(winconst::kErrorInvalidData);
  return DriveExtent{g.bytes_per_sector, g.SectorCount()};
}

std::optional<uint64_t> DriveLength(Device& device) {
  uint8_t reply[winconst::kLengthInformationSize] = {};
  platform::IoResult r = device.Control(winconst::kIoctlDiskGetLengthInfo, nullptr, 0, reply, sizeof reply);
  if (!r.ok() || r.value() < sizeof reply) return std::nullopt;
  return layout::Load64(reply);
}

namespace {

// StorNVMe reports a namespace's EUI-64 or NGUID as the descriptor's serial
// number, in groups of four hex digits joined by '_' and ending in '.'
// ("0025_3857_11B0_1234."): an id of the namespace, not of the drive.
bool LooksLikeNamespaceId(std::string_view serial) {
  if (serial.size() != 20 && serial.size() != 40) return false;
  for (size_t i = 0; i < serial.size(); ++i) {
    const char c = serial[i];
    const bool ok = i + 1 == serial.size() ? c == '.'
                    : i % 5 == 4           ? c == '_'
                                           : std::isxdigit(static_cast<unsigned char>(c)) != 0;
    if (!ok) return false;
  }
  return true;
}

// The controller's serial number, Identify Controller bytes 4-23 (ASCII,
// padded with spaces), asked as protocol-specific data, which a handle
// opened for reading may ask; empty when the controller does not answer.
// NVME_IDENTIFY_CONTROLLER_DATA, SN:
// https://learn.microsoft.com/en-us/windows/win32/api/nvme/ns-nvme-nvme_identify_controller_data
std::string ControllerSerial(Device& device) {
  std::vector<uint8_t> ctrl(nvme::kIdentifyBytes);
  platform::Result<platform::NvmeCompletion> r = device.NvmeAdmin(nvme::Identify(1, 0, ctrl.data()));
  if (!r.ok() || !r->Succeeded()) return {};
  std::string sn(ctrl.begin() + 4, ctrl.begin() + 24);
  return TrimBlanks(sn.substr(0, sn.find('\0')));
}

// The NVMe drive's own serial where Windows names the namespace instead
// (see "Working with NVMe drives",
// https://learn.microsoft.com/en-us/windows/win32/fileio/working-with-nvme-devices);
// the list, the erase's identity check and the report all take the serial
// from here, so that they agree.
void PreferControllerSerial(Device& device, DescriptorFacts& facts) {
  if (facts.bus_type != winconst::kBusTypeNvme || !LooksLikeNamespaceId(facts.serial)) return;
  std::string own = ControllerSerial(device);
  if (own.empty()) return;
  facts.reported_serial = std::move(facts.serial);
  facts.serial = std::move(own);
  facts.identity_source = "nvme_identify_controller";
}

// The names a drive may be protected under from earlier copies, which read
// weaker sources (a cut model, a made-up serial).
void NoteNamesBefore(Device& device, DescriptorFacts& facts) {
  const std::optional<Device::Names> before = device.NamesBefore();
  if (!before) return;
  facts.reported_vendor = TrimBlanks(before->vendor);
  facts.reported_product = TrimBlanks(before->product);
  facts.reported_serial = TrimBlanks(before->serial);
}

}  // namespace

std::optional<DescriptorFacts> QueryDescriptor(Device& device) {
  uint8_t reply[winconst::kStorageDescriptorBufferSize] = {};
  uint8_t query[winconst::kStoragePropertyQuerySize] = {};  // StorageDeviceProperty, standard query
  platform::IoResult r = device.Control(winconst::kIoctlStorageQueryProperty, query, sizeof query,
                                        reply, sizeof reply);
  if (!r.ok() || r.value() == 0) return std::nullopt;
  const uint32_t length = std::min<uint32_t>(r.value(), sizeof reply);
  DescriptorFacts facts;
  if (length < winconst::kStorageDescriptorHeaderSize) return facts;
  layout::StorageDescriptorHeader header = layout::StorageDescriptorHeader::Decode(reply);
  facts.has_header = true;
  facts.product = TrimBlanks(StringAt(reply, length, header.product_id_offset));
  facts.vendor = TrimBlanks(StringAt(reply, length, header.vendor_id_offset));
  facts.serial = TrimBlanks(StringAt(reply, length, header.serial_number_offset));
  facts.revision = TrimBlanks(StringAt(reply, length, header.product_revision_offset));
  facts.identity_hex = IdentityOf(reply, length);
  facts.bus_type = header.bus_type;
  facts.removable = header.removable_media != 0;
  facts.identity_source = device.IdentitySource();
  PreferControllerSerial(device, facts);
  NoteNamesBefore(device, facts);
  return facts;
}

MediaKind QueryMediaKind(Device& device) {
  uint8_t query[winconst::kStoragePropertyQuerySize] = {};  // standard query
  layout::Store32(query, winconst::kStorageDeviceSeekPenaltyProperty);
  uint8_t reply[winconst::kSeekPenaltyDescriptorSize] = {};
  platform::IoResult r = device.Control(winconst::kIoctlStorageQueryProperty, query, sizeof query, reply, sizeof reply);
  if (!r.ok() || r.value() < 9) return MediaKind::kUnknown;
  return reply[8] != 0 ? MediaKind::kHdd : MediaKind::kSsd;
}

bool IsVolumePath(const std::string& path) { return platform::IsVolumePath(path); }

platform::Result<DriveExtent> MeasureDrive(Device& device, const std::string& path, ViewMode view) {
  platform::Result<DriveExtent> geometry = DriveGeometry(device);
  if (!geometry.ok()) return geometry;
  const uint32_t sector_size = geometry->sector_size;
  const bool volume = view == ViewMode::kPartition || IsVolumePath(path) || AnswersAsVolume(device);
  std::optional<uint64_t> bytes = DriveLength(device);
  if (!bytes && volume) {
    std::optional<layout::PartitionInformation> partition = PartitionInfo(device);
    if (partition && partition->partition_length > 0) bytes = uint64_t(partition->partition_length);
  }
  if (!bytes && !volume) bytes = DiskSizeOf(device);
  if (bytes) return DriveExtent{sector_size, *bytes / sector_size, uint32_t(*bytes % sector_size)};
  // Nothing tells the length: a volume ends where its sectors stop reading,
  // a disk where its geometry says.
  if (volume) return ProbePartitionSize(device);
  return geometry;
}

platform::Result<DriveExtent> ProbePartitionSize(Device& volume) {
  using Probe = platform::Result<DriveExtent>;
  platform::Result<DriveExtent> geometry = DriveGeometry(volume);
  if (!geometry.ok()) return geometry;
  std::optional<layout::PartitionInformation> partition = PartitionInfo(volume);
  if (!partition || partition->partition_length <= 0) return Probe::Failure(winconst::kErrorInvalidData);

  const uint32_t sector_size = geometry->sector_size;
  const uint64_t count = uint64_t(partition->partition_length) / sector_size;
  AlignedBuffer sector(sector_size);
  // Search backwards for the last sector that reads whole; bounded, so an
  // unreadable volume fails the probe instead of hanging the window. The
  // first refused position is the failure the user hears of: one message
  // per probe, not one per sector.
  std::optional<uint64_t> found;
  uint32_t seek_error = 0;
  for (uint64_t index = count - 1, tried = 0; count > 0 && index > 0 && tried < kProbeLimit;
       --index, ++tried) {
    platform::Result<> s = SeekToSector(volume, index, sector_size);
    if (!s.ok()) {
      if (seek_error == 0) seek_error = s.error();
      continue;
    }
    platform::IoResult r = volume.Read(sector.data(), sector_size);
    if (r.ok() && r.value() == sector_size) {
      found = index + 1;
      break;
    }
  }
  if (!found) return Probe::Failure(seek_error != 0 ? seek_error : winconst::kErrorReadFault);
  platform::Result<> rewound = SeekToSector(volume, 0, sector_size);
  if (!rewound.ok()) return Probe::Failure(rewound.error());
  return DriveExtent{sector_size, *found};
}

std::optional<size_t> FindRowByCaption(const std::vector<DriveRow>& rows,
                                       const std::string& caption) {
  for (size_t i = 0; i < rows.size(); ++i)
    if (rows[i].caption == caption) return i;
  return std::nullopt;
}

DriveDiscovery::DriveDiscovery(platform::Machine& machine, Notifier& notifier,
                               std::function<bool(const DriveRow&)> is_forbidden)
    : machine_(machine), notifier_(notifier), is_forbidden_(std::move(is_forbidden)) {
  // Upper-cased: a system directory reported as "c:\windows" must still
  // protect the C: row.
  system_drive_ = UpperAscii(machine_.SystemDirectory().substr(0, 2));
}

std::vector<char> LettersOf(platform::Machine& machine) {
  std::vector<char> letters;
  const std::string raw = machine.LogicalDriveStrings();
  size_t pos = 0;
  while (pos < raw.size()) {
    size_t end = raw.find('\0', pos);
    if (end == std::string::npos) end = raw.size();
    std::string entry = raw.substr(pos, end - pos);
    if (entry.size() >= 2 && entry[1] == ':' && std::isalpha(static_cast<unsigned char>(entry[0])))
      letters.push_back(char(std::toupper(static_cast<unsigned char>(entry[0]))));
    pos = end + 1;
  }
  return letters;
}

std::vector<uint32_t> PhysicalDriveNumbers(platform::Machine& machine) {
  if (std::optional<std::vector<uint32_t>> listed = machine.DiskNumbers()) {
    std::sort(listed->begin(), listed->end());
    return *listed;
  }
  // Numbers can have gaps (a drive pulled out keeps its neighbours'
  // numbers), so a few misses in a row end the search, not the first.
  std::vector<uint32_t> found;
  uint32_t misses = 0;
  for (uint32_t number = 0; number <= kProbeLast && misses < kProbeMisses; ++number) {
    const bool opened = machine.OpenDevice(DriveDesignator::Physical(number).DevicePath(), Access::kQuery).ok();
    misses = opened ? 0 : misses + 1;
    if (opened) found.push_back(number);
  }
  return found;
}

bool VolumeLiesOnDisk(platform::Machine& machine, const std::string& volume_path, uint32_t disk) {
  platform::Result<std::unique_ptr<platform::Device>> opened = machine.OpenDevice(volume_path, Access::kQuery);
  if (!opened.ok()) return false;
  constexpr uint32_t kMaxExtents = 64;
  std::vector<uint8_t> reply(layout::kDiskExtentsHeaderSize + kMaxExtents * layout::kDiskExtentSize);
  platform::IoResult r = opened.value()->Control(winconst::kIoctlVolumeGetVolumeDiskExtents, nullptr, 0,
                                                reply.data(), uint32_t(reply.size()));
  if (!r.ok() || r.value() < layout::kDiskExtentsHeaderSize) return false;
  const uint32_t count = std::min(layout::Load32(reply.data()), kMaxExtents);
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t at = layout::kDiskExtentsHeaderSize + i * layout::kDiskExtentSize;
    if (at + layout::kDiskExtentSize <= r.value() && layout::Load32(reply.data() + at) == disk) return true;
  }
  return false;
}

std::vector<std::string> DriveDiscovery::LetterList() {
  std::vector<std::string> letters;
  for (char letter : LettersOf(machine_)) letters.push_back(std::string{letter, ':'});
  return letters;
}

std::vector<VolumeMapEntry> DriveDiscovery::MapVolumesToDisks(ViewMode view) {
  std::vector<VolumeMapEntry> map;
  for (const std::string& letter_text : LetterList()) {
    VolumeMapEntry entry{letter_text[0], std::nullopt};
    MapVolume(entry, view);
    map.push_back(entry);
  }
  return map;
}

namespace {

// A RAM disk is no drive to erase; it is left out of the list. Its product
// name says so in a word of its own ("RAM Disk", "RamDisk", "RAMDRIVE"),
// unlike a drive whose name only holds the letters ("DRAM-less", "PROGRAM").
bool IsRamDisk(const TDriveInfo& info) {
  const std::string name = UpperAscii(info.ProductName);
  for (size_t at = name.find("RAM"); at != std::string::npos; at = name.find("RAM", at + 1)) {
    const bool starts_word = at == 0 || !std::isalnum(static_cast<unsigned char>(name[at - 1]));
    const std::string rest = name.substr(at + 3);
    const bool ends_word = rest.empty() || !std::isalnum(static_cast<unsigned char>(rest[0])) ||
                           rest.rfind("DISK", 0) == 0 || rest.rfind("DRIVE", 0) == 0;
    if (starts_word && ends_word) return true;
  }
  return false;
}

}  // namespace

void DriveDiscovery::MapVolume(VolumeMapEntry& entry, ViewMode view) {
  const std::string root = std::string{entry.letter, ':', '\\'};
  const uint32_t drive_type = machine_.DriveType(root);
  // A network drive has no disk of this machine behind it, and opening it
  // fails; it is simply not a candidate.
  if (drive_type == winconst::kDriveRemote) return;

  const DriveDesignator self = DriveDesignator::Letter(entry.letter);
  platform::Result<std::unique_ptr<platform::Device>> opened = machine_.OpenDevice(self.DevicePath(), Access::kQuery);
  if (!opened.ok()) {
    // Reported, left unmapped; the letters after it are still mapped.
    ReportSystemError(machine_, notifier_, opened.error());
    return;
  }
  TDriveInfo scratch;
  QueryDrive(self, scratch, view);

  uint8_t reply[winconst::kDiskExtentsBufferSize] = {};
  platform::IoResult r = opened.value()->Control(winconst::kIoctlVolumeGetVolumeDiskExtents, nullptr,
                                                0, reply, sizeof reply);
  const bool is_ram = drive_type == winconst::kDriveRamdisk || IsRamDisk(scratch);
  if (r.ok() && r.value() >= layout::kDiskExtentsHeaderSize && !scratch.BusType.empty() && !is_ram) {
    uint32_t count = layout::Load32(reply);
    if (count >= 1 && r.value() >= layout::kDiskExtentsHeaderSize + layout::kDiskExtentSize)
      entry.target = DriveDesignator::Physical(layout::Load32(reply + layout::kDiskExtentsHeaderSize));
  } else if (drive_type == winconst::kDriveRemovable && scratch.BusType.empty()) {
    entry.target = self;
  }
}

std::string DriveDiscovery::QueryDrive(const DriveDesignator& designator, TDriveInfo& info,
                                       ViewMode view) {
  platform::Result<std::unique_ptr<platform::Device>> opened = machine_.OpenDevice(designator.DevicePath(), Access::kRead);
  if (!opened.ok()) return {};
  Device& device = *opened.value();

  platform::Result<DriveExtent> extent = MeasureDrive(device, designator.DevicePath(), view);
  if (!extent.ok()) return {};

  AlignedBuffer sector(std::max<size_t>(extent->sector_size, 1024));
  // A failed or short read leaves zeros: no record.
  static_cast<void>(device.Read(sector.data(), extent->sector_size));
  ListRecord record = RecogniseForList(sector.data(), extent->sector_size);

  std::optional<DescriptorFacts> descriptor = QueryDescriptor(device);
  opened.value().reset();
  if (!descriptor) return {};

  info.MarkerKind = int32_t(record.kind);
  info.MarkerValue = record.method;
  info.SizeBytes = extent->Bytes();
  info.ProductName.clear();
  info.VendorName.clear();
  info.SerialNumber.clear();
  info.ReportedSerial.clear();
  info.Identity.clear();
  if (descriptor->has_header) {
    info.ProductName = descriptor->product;
    info.VendorName = descriptor->vendor;
    info.SerialNumber = descriptor->serial;
    info.ReportedSerial = descriptor->reported_serial;
    info.Identity = descriptor->identity_hex;
    info.BusType = BusTypeName(descriptor->bus_type);
  } else {
    info.BusType.clear();
  }
  if (info.BusType.empty()) {
    uint8_t identify[512] = {};
    if (machine_.IdentifyDevice(designator.Code(), identify) && SaysAta(identify))
      info.BusType = "ATA";
  }
  return info.ProductName;
}

namespace {

struct Group {
  std::string name;
  DriveDesignator designator;
  std::string letters;
  char first_letter;
};

// A group for each drive the volume map did not reach: no letters.
void AddLetterlessDrives(const std::vector<uint32_t>& numbers, std::vector<Group>& groups) {
  for (uint32_t number : numbers) {
    const DriveDesignator designator = DriveDesignator::Physical(number);
    const bool listed = std::any_of(groups.begin(), groups.end(), [&](const Group& g) { return g.designator == designator; });
    if (!listed) groups.push_back({std::to_string(number), designator, "", 0});
  }
}

std::vector<Group> GroupVolumes(const std::vector<VolumeMapEntry>& map, ViewMode view,
                                const std::vector<uint32_t>& letterless) {
  std::vector<Group> groups;
  for (const VolumeMapEntry& entry : map) {
    if (!entry.target) continue;
    const std::string letter_text{entry.letter, ':'};
    if (view == ViewMode::kPartition) {
      groups.push_back({letter_text, DriveDesignator::Letter(entry.letter), letter_text, entry.letter});
      continue;
    }
    const std::string name = entry.Text().substr(3);
    auto same = std::find_if(groups.begin(), groups.end(),
                             [&](const Group& g) { return g.name == name; });
    if (same == groups.end())
      groups.push_back({name, *entry.target, letter_text, entry.letter});
    else
      same->letters += " " + letter_text;
  }
  if (view == ViewMode::kPhysical) AddLetterlessDrives(letterless, groups);
  // Sorted as text, case-insensitively: drive 10 before drive 2, letters last.
  std::sort(groups.begin(), groups.end(), [](const Group& a, const Group& b) {
    return std::lexicographical_compare(
        a.name.begin(), a.name.end(), b.name.begin(), b.name.end(), [](char x, char y) {
          return std::toupper(static_cast<unsigned char>(x)) < std::toupper(static_cast<unsigned char>(y));
        });
  });
  return groups;
}

}  // namespace

// Whether the row's drive holds the running system, asked of the volumes
// themselves: the letters alone miss a system disk whose volumes the list
// did not map, and the boot volume, which has no letter.
bool DriveDiscovery::HoldsSystem(const std::optional<SystemPlacement>& system, const DriveDesignator& designator) {
  Placement placement;
  if (designator.IsPhysical()) {
    placement.kind = Placement::Kind::kDisk;
    placement.disk = designator.number();
  } else {
    placement.kind = Placement::Kind::kVolume;
    placement.spans = VolumeExtents(machine_, designator.DevicePath()).value_or(std::vector<DiskSpan>{});
  }
  return SystemRefusal(system, machine_.SystemDirectory(), placement, designator.DevicePath()).has_value();
}

// The disks behind the volumes the system reports as RAM disks, so that
// such a disk is not listed as a drive without letters either.
std::set<uint32_t> DriveDiscovery::RamDiskNumbers() {
  std::set<uint32_t> disks;
  for (const std::string& letter : LetterList()) {
    if (machine_.DriveType(letter + "\\") != winconst::kDriveRamdisk) continue;
    const DriveDesignator volume = DriveDesignator::Letter(letter[0]);
    for (const DiskSpan& span : VolumeExtents(machine_, volume.DevicePath()).value_or(std::vector<DiskSpan>{}))
      disks.insert(span.disk);
  }
  return disks;
}

std::vector<DriveRow> DriveDiscovery::Refresh(ViewMode view, bool every_disk, const std::vector<uint32_t>& kept) {
  std::vector<DriveRow> rows;
  const std::optional<SystemPlacement> system = FindSystemPlacement(machine_);
  std::vector<uint32_t> letterless;
  if (view == ViewMode::kPhysical && (every_disk || !kept.empty())) {
    letterless = PhysicalDriveNumbers(machine_);
    if (!every_disk)
      std::erase_if(letterless, [&](uint32_t n) { return std::find(kept.begin(), kept.end(), n) == kept.end(); });
    const std::set<uint32_t> ram = RamDiskNumbers();
    std::erase_if(letterless, [&](uint32_t n) { return ram.count(n) > 0; });
  }
  for (const Group& group : GroupVolumes(MapVolumesToDisks(view), view, letterless)) {
    TDriveInfo info = TDriveInfo::ForRefresh();
    QueryDrive(group.designator, info, view);
    if (group.letters.empty() && IsRamDisk(info)) continue;

    DriveRow row;
    row.caption = info.VendorName + (info.VendorName.empty() ? "" : " ") + info.ProductName;
    if (view == ViewMode::kPartition) {
      std::optional<std::string> label = machine_.VolumeLabel(std::string{group.first_letter, ':', '\\'});
      row.caption += (label && !label->empty()) ? " 【 " + *label + " 】" : " 【 】";
    }
    row.bus_type = info.BusType;
    row.letters = group.letters;
    row.size_text = FormatSize(info.SizeBytes);
    row.method_text = info.MarkerValue ? EraseMethodText(*info.MarkerValue) : "";
    row.method = info.MarkerValue;
    row.designator = group.designator;
    row.record_kind = info.MarkerKind;
    row.identity = info.Identity;
    row.vendor = info.VendorName;
    row.product = info.ProductName;
    row.serial = info.SerialNumber;
    row.reported_serial = info.ReportedSerial;
    row.root = group.first_letter ? std::string{group.first_letter, ':', '\\'} : std::string();
    row.not_erasable = (!row.letters.empty() && row.letters.find(system_drive_) != std::string::npos) ||
                       HoldsSystem(system, row.designator) ||
                       (is_forbidden_ && is_forbidden_(row));
    rows.push_back(std::move(row));
  }
  return rows;
}

bool DriveDiscovery::DiskNumbersChanged() {
  std::vector<uint32_t> now = PhysicalDriveNumbers(machine_);
  if (last_disks_ == now) return false;
  last_disks_ = std::move(now);
  return true;
}

bool DriveDiscovery::DriveMaskChanged() {
  uint32_t mask = machine_.LogicalDriveMask();
  if (mask == last_mask_) return false;
  last_mask_ = mask;
  return true;
}

}  // namespace plexi
