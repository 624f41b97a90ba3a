// What must hold before an erase writes a byte: the target is the drive the
// user confirmed, it holds no part of the running system, and every volume
// on it is out of the file systems' hands. The answers come from the
// devices themselves, never from the list or from how the target was named.
#pragma once
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "util/language.h"

namespace plexi {

// What names a drive: its descriptor's strings and raw bytes, and its size.
struct DriveIdentity {
  std::string vendor, product, serial;
  std::string identity_hex;  // the list's identity column
  std::string size_text;     // FormatSize of the size an erase uses

  bool operator==(const DriveIdentity&) const = default;
};

// The descriptor (IOCTL_STORAGE_QUERY_PROPERTY) of an open drive; nothing
// when the drive does not answer (it is gone, or never had one).
std::optional<DriveIdentity> ReadDriveIdentity(platform::Device& device);

// A stretch of a physical disk, in bytes. A length of 0 means "unknown":
// the whole disk must be assumed.
struct DiskSpan {
  uint32_t disk = 0;
  uint64_t offset = 0;
  uint64_t length = 0;

  bool Overlaps(const DiskSpan& other) const;
};

// Where the bytes written through a handle land.
struct Placement {
  enum class Kind { kUnknown, kDisk, kVolume };
  Kind kind = Kind::kUnknown;
  uint32_t disk = 0;             // kDisk: the whole disk
  std::vector<DiskSpan> spans;   // kVolume: its extents
  std::set<uint32_t> Disks() const;
};

// Asks the open handle itself: a volume answers with its extents, a disk
// with its device number; the path is only the last resort
// ("\\.\PHYSICALDRIVEn" in any letter case).
Placement PlaceDevice(platform::Device& device, const std::string& path);

// The extents of the volume at `path` (every extent, also of a spanned
// volume); nothing when the volume cannot be asked.
std::optional<std::vector<DiskSpan>> VolumeExtents(platform::Machine& machine, const std::string& path);

// The disks and stretches holding the system directory's volume and the
// boot (EFI) volume; nothing when they cannot be determined.
struct SystemPlacement {
  std::vector<DiskSpan> spans;
  std::set<uint32_t> disks;
};
std::optional<SystemPlacement> FindSystemPlacement(platform::Machine& machine);

// Why a target must never be written because of the system, in one
// sentence; nothing when it may be. A disk is refused when it holds the
// system or the system cannot be located; a volume when it overlaps the
// system or boot volume, or, when those cannot be located, when it is the
// system directory's drive letter.
// The sentence is in `language`.
std::optional<std::string> SystemRefusal(platform::Machine& machine, const Placement& target,
                                         const std::string& path, Language language = Language::kJapanese);

// The same, with the system located once for many targets (a list refresh).
std::optional<std::string> SystemRefusal(const std::optional<SystemPlacement>& system,
                                         const std::string& system_directory, const Placement& target,
                                         const std::string& path, Language language = Language::kJapanese);

inline constexpr char kSystemDiskRefusal[] =
    "このドライブにはWindowsのシステムがあるため、消去できません。";
inline constexpr char kUnplacedRefusal[] =
    "このドライブがどのディスクにあたるかを確認できないため、消去は行いません。";
inline constexpr char kSystemUnknownRefusal[] =
    "Windowsのシステムがどのドライブにあるかを確認できないため、物理ドライブの消去は行いません。";

// Their English twins, for the command-line tool.
namespace english {
inline constexpr char kSystemDiskRefusal[] = "This drive holds the system, so it cannot be erased.";
inline constexpr char kUnplacedRefusal[] = "It cannot be told which disk this drive is on, so it is not erased.";
inline constexpr char kSystemUnknownRefusal[] =
    "It cannot be told which drive holds the system, so no physical drive is erased.";
}  // namespace english

}  // namespace plexi
