// Finds the drives behind the machine's drive letters, asks each what it is
// and builds the list rows.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "drives/drive_types.h"
#include "drives/target_check.h"
#include "errors/error_report.h"
#include "platform/platform.h"

namespace plexi {

enum class ViewMode { kPhysical, kPartition };

// Sector size and count of an open drive or volume, and the bytes after
// its last whole sector (an image file whose length is not a whole number
// of sectors).
struct DriveExtent {
  uint32_t sector_size = 0;
  uint64_t sector_count = 0;
  uint32_t tail_bytes = 0;

  uint64_t Bytes() const { return sector_count * sector_size + tail_bytes; }
};

// Positions the handle at sector × sector size; the system's error code when
// it cannot (the caller shows it).
platform::Result<> SeekToSector(platform::Device& device, uint64_t sector, uint32_t sector_size);

// The sector size and the last readable sector of an open volume, searched
// backwards from the partition's end over at most kProbeLimit sectors. A
// failure carries the first positioning error of the search, or
// ERROR_READ_FAULT when no sector read.
platform::Result<DriveExtent> ProbePartitionSize(platform::Device& volume);
inline constexpr uint64_t kProbeLimit = 65536;

// Geometry of a physical drive (IOCTL_DISK_GET_DRIVE_GEOMETRY); a short or
// implausible reply fails with ERROR_INVALID_DATA.
platform::Result<DriveExtent> DriveGeometry(platform::Device& device);

// The exact byte length of a drive or volume (IOCTL_DISK_GET_LENGTH_INFO),
// when the system tells it.
std::optional<uint64_t> DriveLength(platform::Device& device);

// The storage descriptor of an open drive (IOCTL_STORAGE_QUERY_PROPERTY),
// its strings trimmed; nothing when the drive does not answer or answers
// with no bytes. An NVMe drive whose descriptor names its namespace
// ("0025_3857_11B0_1234.") has the controller's own serial number instead,
// where the controller tells it.
struct DescriptorFacts {
  bool has_header = false;  // the reply held the 40-byte header
  std::string vendor, product, serial;
  std::string reported_serial;  // the descriptor's serial, where `serial` replaced it
  // Where earlier copies read other names (Device::NamesBefore): their
  // vendor and model; their serial is then `reported_serial`.
  std::optional<std::string> reported_vendor, reported_product;
  std::string revision;  // the firmware revision
  std::string identity_hex;
  std::string identity_source;  // Device::IdentitySource, or where `serial` replaced it
  uint32_t bus_type = 0;
  bool removable = false;
};
std::optional<DescriptorFacts> QueryDescriptor(platform::Device& device);

// Whether the drive spins: the seek-penalty property
// (StorageDeviceSeekPenaltyProperty) says so; unknown when the drive or its
// bridge does not answer.
enum class MediaKind { kUnknown, kSsd, kHdd };
MediaKind QueryMediaKind(platform::Device& device);

// Whether a path names a volume: "\\.\E:", "\\?\Volume{...}", any case.
bool IsVolumePath(const std::string& path);

// The size an erase writes and the list shows, the same for both: the
// handle's exact length (IOCTL_DISK_GET_LENGTH_INFO); without it a volume's
// partition length, or a disk's size (IOCTL_DISK_GET_DRIVE_GEOMETRY_EX); the
// readable-sector probe and the cylinder count only as the last resort. A
// volume is never sized by its disk's geometry. A failure carries the code
// of a failed geometry query, or 0 when only the size could not be found.
platform::Result<DriveExtent> MeasureDrive(platform::Device& device, const std::string& path, ViewMode view);

// The machine's drive letters, in order.
std::vector<char> LettersOf(platform::Machine& machine);

// The numbers of every physical drive the machine has, lettered or not, in
// order: the system's own list, or where it has none, \\.\PHYSICALDRIVE0
// upward until kProbeMisses numbers in a row open nothing.
std::vector<uint32_t> PhysicalDriveNumbers(platform::Machine& machine);
inline constexpr uint32_t kProbeMisses = 8;
inline constexpr uint32_t kProbeLast = 255;

// Whether any extent of the volume at `volume_path` lies on physical drive
// `disk` (all extents are looked at, also of a spanned volume).
bool VolumeLiesOnDisk(platform::Machine& machine, const std::string& volume_path, uint32_t disk);

// One entry of the volume map: a letter and, once mapped, the physical drive
// number or the letter itself for an unmapped removable volume.
struct VolumeMapEntry {
  char letter = 0;
  std::optional<DriveDesignator> target;
  std::string Text() const;  // "C:", "C:=0", "A:=A"
};

class DriveDiscovery {
 public:
  // `is_forbidden` answers for a row whether the user protected its drive.
  DriveDiscovery(platform::Machine& machine, Notifier& notifier,
                 std::function<bool(const DriveRow&)> is_forbidden = {});

  // Letter list from GetLogicalDriveStrings: "C:", "D:", ...
  std::vector<std::string> LetterList();
  // Maps each lettered volume to the physical drive that holds it. A volume
  // that cannot be opened is reported and left unmapped; network drives are
  // skipped.
  std::vector<VolumeMapEntry> MapVolumesToDisks(ViewMode view);
  // Fills `info` as far as the query gets; returns the trimmed product name,
  // empty on any failure.
  std::string QueryDrive(const DriveDesignator& designator, TDriveInfo& info, ViewMode view);
  // Rebuilds every row for the view. With `every_disk` the physical view
  // also has a row for each drive without a lettered volume (no letters);
  // the drives numbered in `kept` get one in any case while they are there
  // (a drive just erased, whose volumes went with its partition table).
  std::vector<DriveRow> Refresh(ViewMode view, bool every_disk = false, const std::vector<uint32_t>& kept = {});

  // The system drive text ("C:") taken when the object is made.
  const std::string& SystemDrive() const { return system_drive_; }

  // The change watch: true when the logical-drive mask differs from the last
  // one seen (the first call always does).
  bool DriveMaskChanged();
  // The same for the physical drive numbers (PhysicalDriveNumbers).
  bool DiskNumbersChanged();

 private:
  void MapVolume(VolumeMapEntry& entry, ViewMode view);
  bool HoldsSystem(const std::optional<SystemPlacement>& system, const DriveDesignator& designator);
  std::set<uint32_t> RamDiskNumbers();

  platform::Machine& machine_;
  Notifier& notifier_;
  std::function<bool(const DriveRow&)> is_forbidden_;
  std::string system_drive_;
  uint32_t last_mask_ = 0;
  std::optional<std::vector<uint32_t>> last_disks_;
};

// Index of the first row whose caption equals `caption`, if any.
std::optional<size_t> FindRowByCaption(const std::vector<DriveRow>& rows, const std::string& caption);

}  // namespace plexi
