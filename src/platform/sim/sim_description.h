// The machine description of the simulated machine: what its text says, before
// any disk contents exist. The format is documented in demo/README.md.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/sim_trace.h"

namespace plexi::sim {

// A drive's own purge commands, from the firmware keys of its disk line.
// Whether it answers as an NVMe or an ATA drive follows from bus= (a USB
// disk is a bridge that passes ATA commands only with bridge=passes).
struct FirmwareSpec {
  bool sanitize_crypto = false, sanitize_block = false, sanitize_overwrite = false;
  bool format_user_data = false, format_crypto = false;  // NVMe
  bool format_all_namespaces = false;                    // NVMe FNA bit 0
  uint32_t namespaces = 1;                               // NVMe: active namespaces
  uint8_t dealloc_read = 0;                              // NVMe DLFEAT: 1 zeros, 2 0xFF
  enum class Security { kNone, kNormal, kEnhanced };
  Security security = Security::kNone;                   // ATA
  bool frozen = false, password_set = false, count_expired = false;
  uint32_t erase_minutes = 0;
  // Status polls a sanitize stays under way for.
  uint32_t sanitize_steps = 3;
  // NVMe: how the drive takes No-Deallocate After Sanitize: it keeps the
  // blocks mapped; it takes the request but deallocates all the same and
  // says so in the log (state 4); or it cannot be asked (SANICAP NDI set,
  // the request refused with Invalid Field).
  enum class NoDeallocate { kHonoured, kIgnored, kInhibited };
  NoDeallocate no_deallocate = NoDeallocate::kInhibited;
  // NVMe: the seconds the sanitize status log estimates; none when unset.
  std::optional<uint32_t> sanitize_estimate;
  bool bridge_passes = false;  // bus=usb: the bridge passes ATA commands
  // ATA: sectors past the host-visible size that a host protected area
  // hides (SET MAX ADDRESS) and that a device configuration overlay hides
  // beyond that (DEVICE CONFIGURATION SET). The overlay's identify command
  // answers only with dco= given.
  uint64_t hpa_sectors = 0, dco_sectors = 0;
  bool dco_supported = false;
  // SET MAX FREEZE LOCK came at start (as many BIOSes send it): every SET MAX
  // ADDRESS is refused until the next power cycle.
  bool hpa_frozen = false;
};

struct DiskSpec {
  int line = 0;
  uint32_t number = 0;
  uint64_t sectors = 0;         // 0 with an image: taken from the image's size
  uint32_t sector_size = 512;
  uint32_t bus_type = 0;
  std::string vendor, product, revision, serial;
  // NVMe: the descriptor's serial names the namespace ("0025_3857_11B0_1234."),
  // as StorNVMe reports it; `serial` is then the controller's alone.
  std::string namespace_serial;
  // Bytes after the 40-byte descriptor header, replacing the strings above;
  // the string offsets then come from the *-offset keys (0: none).
  std::optional<std::vector<uint8_t>> trailing;
  uint32_t vendor_offset = 0, product_offset = 0, revision_offset = 0, serial_offset = 0;
  bool removable = false;
  bool ata = false;
  std::string image;  // empty: sparse memory
  uint32_t heads = 255;
  uint32_t sectors_per_track = 63;
  uint32_t write_delay_ms = 0;  // a slow drive: each write call takes this long at least
  // GPT disks refuse IOCTL_DISK_GET_PARTITION_INFO, which Windows answers on
  // MBR disks only.
  bool gpt = false;
  // A disk not plugged in at start (attached=no): no number, no volumes,
  // until the changes file attaches it.
  bool attached = true;
  // What the seek-penalty query answers: a hard disk has one, an SSD none;
  // unknown media refuse the query, as many USB bridges do.
  enum class Media { kUnknown, kSsd, kHdd };
  Media media = Media::kUnknown;
  // Set by any firmware key; without it, firmware commands are refused as
  // a driver that does not pass them refuses them.
  std::optional<FirmwareSpec> firmware;
};

enum class VolumeType { kFixed, kRemovable, kCdrom, kRemote, kRamdisk };
enum class ExtentMode { kOne, kNone, kTwo };

struct VolumeSpec {
  int line = 0;
  // 1-based among the description's volume lines; it names the volume's GUID
  // path and "#N" targets.
  uint32_t position = 0;
  char letter = 'C';    // 0: no drive letter (EFI, recovery, folder-mounted)
  std::optional<uint32_t> disk;
  uint64_t offset = 0;
  std::optional<uint64_t> length;  // default: to the end of the disk
  VolumeType type = VolumeType::kFixed;
  std::string label;
  ExtentMode extents = ExtentMode::kOne;
  bool mounted = true;  // a file system is mounted: raw writes need a lock or dismount
  bool hidden = false;  // not among the machine's letters until shown
  bool boot = false;    // the partition the firmware starts Windows from
  std::string mount;    // a folder mount point such as "D:\Data\" (may be empty)
};

// Where a record or a fault applies: a disk by number, or a volume by letter
// or by position (from "#N" or its GUID path).
struct Target {
  std::optional<uint32_t> disk;
  char letter = 0;
  uint32_t position = 0;
};

struct RecordSpec {
  int line = 0;
  Target target;
  bool complete = true;
  int32_t method = 0;
  uint32_t chunk = 0;
  int32_t pass = 0;
};

enum class FaultOp {
  kOpen,
  // Only opens for writing fail: write access denied to removable drives by
  // policy, say, while reading them is allowed.
  kOpenWrite,
  kGeometry, kPartitionInfo, kDescriptor, kExtents,
  kRead, kWrite, kLock, kUnlock, kDropWrite, kLength,
  // Firmware commands: the drive answers with a failure status (or, with
  // error=, the call never reaches it). A sanitize is accepted and then
  // ends failed.
  kSanitize, kFormat, kSetPassword, kEraseUnit, kDisablePassword,
  // The disk loses its power: every write not yet flushed is lost and
  // nothing answers until the machine restores it.
  kPowerCut,
};

struct FaultSpec {
  int line = 0;
  Target target;
  FaultOp op = FaultOp::kRead;
  std::optional<uint64_t> sector;  // read, write, drop-write: only I/O touching it
  uint32_t error = 0;              // 0: the operation's usual error
  std::optional<uint32_t> short_bytes;
  std::optional<uint32_t> count;   // times it fires; none: always
  // power-cut: after this many writes to the disk, or this long after its
  // first write; keep=last keeps the last write before the cut (a cache
  // that wrote it out first) while dropping the other unflushed ones.
  std::optional<uint64_t> after_writes;
  std::optional<uint32_t> after_ms;
  bool keep_last = false;
};

struct MachineDescription {
  std::string system_directory = "C:\\Windows\\system32";
  bool identify_library = true;
  platform::LocalTime clock{2026, 1, 1, 0, 0, 0};
  std::vector<DiskSpec> disks;
  std::vector<VolumeSpec> volumes;
  std::vector<RecordSpec> records;
  std::vector<FaultSpec> faults;
  TraceKinds trace;  // "trace opens reads writes controls"
  bool volumes_listed = true;  // false: "volumes unlisted"
  // "windows-version 10.0.19045" and "windows-pe yes": the machine is that
  // Windows, whose drivers carry only some firmware commands.
  platform::HostSystem host;
};

// Parses the text; on error returns nullopt with "line N: ..." in *error.
// Checks that references and ranges are consistent, except what needs the
// image files (their sizes are known only when they are opened).
std::optional<MachineDescription> ParseDescription(const std::string& text, std::string* error);

// The error a fault gives when its line names none.
uint32_t DefaultFaultError(FaultOp op);

// The volume a target names (null for a disk target or an unknown volume).
const VolumeSpec* TargetVolume(const MachineDescription& desc, const Target& target);

// "\\?\Volume{5eed0000-0000-0000-0000-000000000003}" for position 3.
std::string VolumeGuidPath(uint32_t position);
// The position a volume GUID path names, with the "\\?\" or "\\.\" prefix
// and in any letter case; 0 when the text is not such a path. A trailing
// backslash is left to the caller (it is stripped and reported in *trailing).
uint32_t ParseVolumeGuidPath(std::string text, bool* trailing = nullptr);

}  // namespace plexi::sim
