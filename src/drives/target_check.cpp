#include "drives/target_check.h"

#include <algorithm>
#include <cctype>

#include "drives/discovery.h"
#include "platform/ioctl_layout.h"
#include "platform/winconst.h"

namespace plexi {

namespace {

constexpr uint32_t kMaxExtents = 64;

std::optional<uint32_t> PhysicalDriveNumberOf(const std::string& path) {
  static const std::string kWord = "PHYSICALDRIVE";
  if (path.size() <= 4 + kWord.size()) return std::nullopt;
  if (path.compare(0, 4, "\\\\.\\") != 0 && path.compare(0, 4, "\\\\?\\") != 0) return std::nullopt;
  for (size_t i = 0; i < kWord.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(path[4 + i])) != kWord[i]) return std::nullopt;
  const std::string digits = path.substr(4 + kWord.size());
  if (digits.size() > 9) return std::nullopt;
  uint32_t n = 0;
  for (char c : digits) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    n = n * 10 + uint32_t(c - '0');
  }
  return n;
}

// The extents a volume handle reports; nothing when it is no volume.
std::optional<std::vector<DiskSpan>> ExtentsOf(platform::Device& device) {
  std::vector<uint8_t> reply(layout::kDiskExtentsHeaderSize + kMaxExtents * layout::kDiskExtentSize);
  platform::IoResult r = device.Control(winconst::kIoctlVolumeGetVolumeDiskExtents, nullptr, 0, reply.data(),
                                        uint32_t(reply.size()));
  if (!r.ok() || r.value() < layout::kDiskExtentsHeaderSize) return std::nullopt;
  const uint32_t count = layout::Load32(reply.data());
  if (count == 0 || count > kMaxExtents) return std::nullopt;
  std::vector<DiskSpan> spans;
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t at = layout::kDiskExtentsHeaderSize + i * layout::kDiskExtentSize;
    if (at + layout::kDiskExtentSize > r.value()) return std::nullopt;
    const uint8_t* e = reply.data() + at;
    spans.push_back({layout::Load32(e), layout::Load64(e + 8), layout::Load64(e + 16)});
  }
  return spans;
}

}  // namespace

std::optional<DriveIdentity> ReadDriveIdentity(platform::Device& device) {
  std::optional<DescriptorFacts> facts = QueryDescriptor(device);
  if (!facts) return std::nullopt;
  return DriveIdentity{facts->vendor, facts->product, facts->serial, facts->identity_hex, {}};
}

bool DiskSpan::Overlaps(const DiskSpan& other) const {
  if (disk != other.disk) return false;
  if (length == 0 || other.length == 0) return true;
  return offset < other.offset + other.length && other.offset < offset + length;
}

std::set<uint32_t> Placement::Disks() const {
  std::set<uint32_t> disks;
  if (kind == Kind::kDisk) disks.insert(disk);
  for (const DiskSpan& span : spans) disks.insert(span.disk);
  return disks;
}

Placement PlaceDevice(platform::Device& device, const std::string& path) {
  Placement placement;
  if (std::optional<std::vector<DiskSpan>> spans = ExtentsOf(device)) {
    placement.kind = Placement::Kind::kVolume;
    placement.spans = std::move(*spans);
    return placement;
  }
  uint8_t number[winconst::kStorageDeviceNumberSize] = {};
  platform::IoResult r = device.Control(winconst::kIoctlStorageGetDeviceNumber, nullptr, 0, number, sizeof number);
  if (r.ok() && r.value() >= sizeof number && layout::Load32(number) == winconst::kFileDeviceDisk) {
    const uint32_t disk = layout::Load32(number + 4);
    if (layout::Load32(number + 8) == 0) {
      placement.kind = Placement::Kind::kDisk;
      placement.disk = disk;
    } else {
      // A partition named without its volume: where on the disk is unknown.
      placement.kind = Placement::Kind::kVolume;
      placement.spans.push_back({disk, 0, 0});
    }
    return placement;
  }
  if (std::optional<uint32_t> disk = PhysicalDriveNumberOf(path)) {
    placement.kind = Placement::Kind::kDisk;
    placement.disk = *disk;
  } else if (IsVolumePath(path)) {
    placement.kind = Placement::Kind::kVolume;  // a volume that does not say where it lies
  }
  return placement;
}

std::optional<std::vector<DiskSpan>> VolumeExtents(platform::Machine& machine, const std::string& path) {
  platform::Result<std::unique_ptr<platform::Device>> opened = machine.OpenDevice(path, platform::Access::kQuery);
  if (!opened.ok()) return std::nullopt;
  return ExtentsOf(*opened.value());
}

namespace {

// Windows PE started from its image runs from a RAM disk (X:\Windows\System32):
// the system volume then lies on no disk of the machine, and its extents
// cannot be asked for.
bool SystemInMemory(platform::Machine& machine) {
  const std::string directory = machine.SystemDirectory();
  if (directory.size() < 3 || directory[1] != ':' || directory[2] != '\\') return false;
  return machine.DriveType(directory.substr(0, 3)) == winconst::kDriveRamdisk;
}

}  // namespace

std::optional<SystemPlacement> FindSystemPlacement(platform::Machine& machine) {
  const platform::VolumeList list = machine.Volumes();
  if (!list.complete) return std::nullopt;
  const bool in_memory = SystemInMemory(machine);
  SystemPlacement system;
  bool system_volume_seen = in_memory;
  for (const platform::VolumeEntry& volume : list.volumes) {
    if (!volume.holds_system && !volume.boot) continue;
    std::optional<std::vector<DiskSpan>> spans = VolumeExtents(machine, volume.path);
    // Only the RAM disk itself may say nothing of where it lies.
    if (!spans && in_memory && volume.holds_system && !volume.boot) continue;
    if (!spans) return std::nullopt;
    for (const DiskSpan& span : *spans) {
      system.spans.push_back(span);
      system.disks.insert(span.disk);
    }
    system_volume_seen = system_volume_seen || volume.holds_system;
  }
  if (!system_volume_seen) return std::nullopt;
  return system;
}

std::optional<std::string> SystemRefusal(platform::Machine& machine, const Placement& target,
                                         const std::string& path, Language language) {
  if (target.kind == Placement::Kind::kUnknown) return std::nullopt;
  return SystemRefusal(FindSystemPlacement(machine), machine.SystemDirectory(), target, path, language);
}

std::optional<std::string> SystemRefusal(const std::optional<SystemPlacement>& system,
                                         const std::string& system_directory, const Placement& target,
                                         const std::string& path, Language language) {
  if (target.kind == Placement::Kind::kUnknown) return std::nullopt;
  const std::string on_system = InLanguage(language, english::kSystemDiskRefusal, kSystemDiskRefusal);
  const std::string system_unknown = InLanguage(language, english::kSystemUnknownRefusal, kSystemUnknownRefusal);
  if (target.kind == Placement::Kind::kDisk) {
    if (!system) return system_unknown;
    if (system->disks.count(target.disk)) return on_system;
    return std::nullopt;
  }
  // A volume: refused when it shares a byte with the system or boot volume,
  // or when it does not say where it lies and the system cannot be found.
  if (!system) {
    const bool system_letter = IsVolumePath(path) && path.size() == 6 && !system_directory.empty() &&
                               std::toupper(static_cast<unsigned char>(path[4])) ==
                                   std::toupper(static_cast<unsigned char>(system_directory[0]));
    if (system_letter) return on_system;
    return target.spans.empty() ? std::optional<std::string>(system_unknown) : std::nullopt;
  }
  if (target.spans.empty()) return on_system;
  for (const DiskSpan& span : target.spans)
    for (const DiskSpan& held : system->spans)
      if (span.Overlaps(held)) return on_system;
  return std::nullopt;
}

}  // namespace plexi
