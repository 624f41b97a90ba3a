// Finds the drives behind the machine's drive letters, asks each what it is
// and builds the list rows.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "drives/drive_types.h"
#include "errors/error_report.h"
#include "platform/platform.h"

namespace plexi {

enum class ViewMode { kPhysical, kPartition };

// Sector size and count of an open drive or volume.
struct DriveExtent {
  uint32_t sector_size = 0;
  uint64_t sector_count = 0;
};

// Positions the handle at sector × sector size; shows the system's text for a
// failure and returns false.
bool SeekToSector(platform::Machine& machine, Notifier& notifier, platform::Device& device,
                  uint64_t sector, uint32_t sector_size);

// The sector size and the last readable sector of an open volume, searched
// backwards from the partition's end over at most kProbeLimit sectors.
std::optional<DriveExtent> ProbePartitionSize(platform::Machine& machine, Notifier& notifier,
                                              platform::Device& volume);
inline constexpr uint64_t kProbeLimit = 65536;

// Geometry of a physical drive (IOCTL_DISK_GET_DRIVE_GEOMETRY).
std::optional<DriveExtent> DriveGeometry(platform::Device& device, uint32_t* error = nullptr);

// The exact byte length of a drive or volume (IOCTL_DISK_GET_LENGTH_INFO),
// when the system tells it.
std::optional<uint64_t> DriveLength(platform::Device& device);

// The machine's drive letters, in order.
std::vector<char> LettersOf(platform::Machine& machine);

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
  // Rebuilds every row for the view.
  std::vector<DriveRow> Refresh(ViewMode view);

  // The system drive text ("C:") taken when the object is made.
  const std::string& SystemDrive() const { return system_drive_; }

  // The change watch: true when the logical-drive mask differs from the last
  // one seen (the first call always does).
  bool DriveMaskChanged();

 private:
  void MapVolume(VolumeMapEntry& entry, ViewMode view);

  platform::Machine& machine_;
  Notifier& notifier_;
  std::function<bool(const DriveRow&)> is_forbidden_;
  std::string system_drive_;
  uint32_t last_mask_ = 0;
};

// Index of the first row whose caption equals `caption`, if any.
std::optional<size_t> FindRowByCaption(const std::vector<DriveRow>& rows, const std::string& caption);

}  // namespace plexi
