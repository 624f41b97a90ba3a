// A simulated Windows machine: disks, volumes and system facts read from a
// machine description (see demo/README.md), answering every call with the
// bytes and the Windows error codes a real system gives. Used by the tests,
// the demo and --simulate.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/sim_trace.h"

namespace plexi::sim {

struct DiskState;
struct VolumeState;
struct MachineDescription;

// What happened on a disk or a volume so far. A disk's counters include the
// traffic through its volumes.
struct DeviceCounters {
  uint64_t opens = 0;         // successful opens
  uint64_t open_handles = 0;  // handles open now
  uint64_t reads = 0;         // Read calls, failed ones included
  uint64_t writes = 0;        // Write calls, failed ones included
  uint64_t controls = 0;      // Control calls
  uint64_t bytes_read = 0;
  uint64_t bytes_written = 0;  // bytes reported written (a dropped write counts)
  uint64_t update_properties = 0;  // IOCTL_DISK_UPDATE_PROPERTIES on the physical drive
};

class SimMachine : public platform::Machine {
 public:
  // Parses a machine description; image paths are relative to base_dir. On
  // error returns nullptr and sets *error to a message naming the line.
  static std::unique_ptr<SimMachine> Parse(const std::string& text, const std::string& base_dir,
                                           std::string* error);
  // Reads a description file (UTF-8 path); images are relative to its folder.
  static std::unique_ptr<SimMachine> Load(const std::string& path, std::string* error);
  ~SimMachine() override;

  platform::Result<std::unique_ptr<platform::Device>> OpenDevice(const std::string& path, platform::Access access) override;
  std::string LogicalDriveStrings() override;
  uint32_t LogicalDriveMask() override;
  uint32_t DriveType(const std::string& root) override;
  std::optional<std::string> VolumeLabel(const std::string& root) override;
  std::string SystemDirectory() override;
  platform::HostSystem System() override;
  std::string ErrorText(uint32_t code) override;
  bool IdentifyDevice(int32_t designator, uint8_t* reply512) override;
  platform::VolumeList Volumes() override;
  // The attached disks' numbers now, after the changes file.
  std::optional<std::vector<uint32_t>> DiskNumbers() override;
  platform::LocalTime Now() override;
  std::string DateText(const platform::LocalTime& t) override;
  std::string TimeText(const platform::LocalTime& t) override;

  // Direct access to a disk's contents, by its number now, bypassing faults
  // and counters, over the whole medium (hidden sectors included). Peek
  // returns fewer bytes at the end of the disk (none for an unknown disk);
  // Poke stores what fits and returns false if not all of it did.
  std::vector<uint8_t> PeekDisk(uint32_t disk, uint64_t offset, size_t length);
  bool PokeDisk(uint32_t disk, uint64_t offset, const uint8_t* data, size_t length);
  void SetClock(const platform::LocalTime& t);
  // The machine is started again after a power cut: its disks answer, with
  // what the cut left on them.
  void RestorePower();

  // Size in bytes of a disk (0 for an unknown disk) and the memory its
  // contents take (0 for image-backed disks).
  uint64_t DiskSize(uint32_t disk) const;
  uint64_t StoredBytes(uint32_t disk) const;
  DeviceCounters DiskCounters(uint32_t disk) const;
  // The firmware commands a disk was sent, in order (see SimFirmware), and
  // whether an ATA password is set on it now.
  std::vector<std::string> FirmwareJournal(uint32_t disk) const;
  bool FirmwarePasswordSet(uint32_t disk) const;
  DeviceCounters VolumeCounters(char letter) const;
  // The same by the volume's 1-based position among the volume lines, for
  // volumes without a letter.
  DeviceCounters VolumeCountersAt(uint32_t position) const;
  // Handles open now on the whole machine.
  uint64_t OpenHandleCount() const;

  // Drive letters that come and go at run time (a USB stick plugged in). A
  // hidden volume (hidden=yes in the description) is not among the letters
  // and cannot be opened. Returns false for a letter the machine lacks.
  bool ShowVolume(char letter);
  bool HideVolume(char letter);
  // A text file of "show X:" / "hide X:" lines, applied in order each time
  // the letter mask is asked for, so that another process (a GUI test) can
  // plug drives in; "swap-disks A B" lines swap disks on top of SwapDisks.
  // Load() names "<description>.changes"; a missing file changes nothing.
  // Other lines are ignored.
  // "attach N" / "detach N" lines plug the disk the description numbers N
  // in and out (with its volumes), as SetAttached does.
  void SetChangesFile(std::string path) { changes_file_ = std::move(path); }
  // Exchanges which disks the numbers a and b name, as when drives are
  // replugged between listing and erasing: each disk keeps its contents,
  // descriptor and volumes; \\.\PHYSICALDRIVEn and the extents follow the
  // new numbers, and handles already open keep their disk. A number without
  // a disk may take part (the disk moves there). False when neither has one.
  bool SwapDisks(uint32_t a, uint32_t b);

  // Plugs the disk the description numbers `described_number` in or out:
  // detached, it has no number and its volumes are gone; handles already
  // open keep it. True when that changed anything.
  bool SetAttached(uint32_t described_number, bool attached);

  // Where the opens, reads and writes that the description's "trace" line
  // names are logged; Load() names "<description>.trace". Without a trace
  // line nothing is logged.
  void SetTraceFile(const std::string& path);

 private:
  using DisksByNumber = std::map<uint32_t, std::shared_ptr<DiskState>>;  // by the description's numbers

  SimMachine();
  // The steps of Parse; each says what is wrong, with its line, in `error`.
  bool AddDisks(const MachineDescription& d, const std::string& base_dir, DisksByNumber& described,
                std::string* error);
  bool AddVolumes(const MachineDescription& d, const DisksByNumber& described, std::string* error);
  bool PlaceFaultsAndRecords(const MachineDescription& d, const DisksByNumber& described, std::string* error);
  std::shared_ptr<VolumeState> FindVolume(char letter) const;
  // By a volume GUID path (\\?\ or \\.\, no trailing backslash); null if none.
  std::shared_ptr<VolumeState> FindVolumeByGuidPath(const std::string& path, bool* trailing) const;
  std::shared_ptr<DiskState> FindDisk(uint32_t number) const;
  std::shared_ptr<VolumeState> VolumeOfRoot(const std::string& root) const;
  // The volume at a letter unless it is hidden.
  std::shared_ptr<VolumeState> ShownVolume(char letter) const;
  void ApplyChangesFile();
  // Rebuilds the number -> disk map from the description's numbers, the
  // SwapDisks calls and the changes file's swap lines; needs disks_mutex_.
  void RenumberDisks();

  std::string system_directory_;
  bool identify_library_ = true;
  platform::HostSystem host_;
  mutable std::mutex clock_mutex_;
  platform::LocalTime clock_;
  // The disks by their number now; swaps change it while other threads
  // open devices, so it is guarded.
  mutable std::mutex disks_mutex_;
  std::map<uint32_t, std::shared_ptr<DiskState>> disks_;
  std::vector<std::pair<uint32_t, uint32_t>> swaps_;       // SwapDisks calls, in order
  std::vector<std::pair<uint32_t, uint32_t>> file_swaps_;  // the changes file's, last read
  std::vector<std::shared_ptr<DiskState>> all_disks_;      // description order
  std::vector<std::shared_ptr<VolumeState>> volumes_;      // description order (position - 1)
  std::map<char, std::shared_ptr<VolumeState>> letters_;   // the lettered ones
  bool volumes_listed_ = true;
  std::string changes_file_;
  TraceKinds trace_kinds_;
  std::shared_ptr<DeviceTrace> trace_;
};

}  // namespace plexi::sim
