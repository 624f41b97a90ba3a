// The shared state behind the simulated machine's devices. Handles hold it by
// shared_ptr, so an open handle stays valid whatever happens to the machine.
#pragma once
#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/sim_description.h"
#include "platform/sim/sim_firmware.h"
#include "platform/sim/sim_machine.h"
#include "platform/sim/sim_power_cut.h"
#include "platform/sim/sim_storage.h"

namespace plexi::sim {

struct AtomicCounters {
  std::atomic<uint64_t> opens{0}, open_handles{0}, reads{0}, writes{0}, controls{0};
  std::atomic<uint64_t> bytes_read{0}, bytes_written{0};
  std::atomic<uint64_t> update_properties{0};

  DeviceCounters Snapshot() const {
    return {opens.load(),      open_handles.load(),  reads.load(),
            writes.load(),     controls.load(),      bytes_read.load(),
            bytes_written.load(), update_properties.load()};
  }
};

// The faults of one disk or volume, in description order; a fault with a
// count stops firing when it is used up. Safe to use from any thread.
class FaultList {
 public:
  void Add(const FaultSpec& desc) {
    std::lock_guard lock(mutex_);
    faults_.push_back({desc, desc.count});
  }
  // The first fault of one of `ops` that applies to the sectors first..last
  // (ignored for faults without sector=), counting one firing.
  std::optional<FaultSpec> Fire(std::initializer_list<FaultOp> ops, uint64_t first = 0,
                                uint64_t last = 0) {
    std::lock_guard lock(mutex_);
    for (Entry& f : faults_) {
      bool op_matches = false;
      for (FaultOp op : ops) op_matches = op_matches || f.desc.op == op;
      if (!op_matches || (f.remaining && *f.remaining == 0)) continue;
      if (f.desc.sector && (*f.desc.sector < first || *f.desc.sector > last)) continue;
      if (f.remaining) --*f.remaining;
      return f.desc;
    }
    return std::nullopt;
  }

 private:
  struct Entry {
    FaultSpec desc;
    std::optional<uint32_t> remaining;
  };
  std::mutex mutex_;
  std::vector<Entry> faults_;
};

struct VolumeState;

struct DiskState {
  DiskSpec desc;  // sectors filled in (also for image-backed disks)
  // The number the machine gives the disk now (\\.\PHYSICALDRIVEn and its
  // extents); it changes when disks are swapped, desc.number does not.
  std::atomic<uint32_t> number{0};
  std::mutex mutex;  // guards store: the erase worker writes while the GUI reads
  std::unique_ptr<DiskStore> store;
  // A power cut the description schedules (null: the power never goes);
  // writes then go through the drive's volatile cache.
  std::unique_ptr<PowerCut> power_cut;
  // Read, write and drop-write faults here are the disk's own and hit every
  // route to it; the other ops apply to handles on the physical drive.
  FaultList faults;
  AtomicCounters counters;
  // Every volume on this disk, lettered or not: writes through the physical
  // drive may not touch a mounted one (one that is neither locked nor
  // dismounted).
  std::vector<std::weak_ptr<VolumeState>> volumes;
  // Unplugged: the disk has no number and its volumes are gone, while
  // handles already open keep it.
  std::atomic<bool> detached{false};
  // Held by an erase through the physical drive (any process of the
  // simulated machine): the named object Windows keeps per disk number.
  std::atomic<bool> erase_claimed{false};
  // Answers the firmware commands sent through the physical drive, as far
  // as the system the machine models carries them.
  SimFirmware firmware;
  platform::HostSystem host;

  // The sectors the host can address now: desc.sectors at start, more once
  // a SET MAX ADDRESS lifts a host protected area (fewer if one sets it).
  std::atomic<uint64_t> visible_sectors{0};

  // The size the system's disk driver keeps: read again only when it is
  // asked to (IOCTL_DISK_UPDATE_PROPERTIES), as after a SET MAX ADDRESS.
  std::atomic<uint64_t> reported_sectors{0};

  uint64_t Sectors() const { return visible_sectors.load(); }
  uint64_t ReportedBytes() const { return reported_sectors.load() * desc.sector_size; }
  uint64_t Bytes() const { return Sectors() * desc.sector_size; }
  // Beyond the host protected area the sectors an overlay hides: the whole medium.
  uint64_t NativeSectors() const { return desc.sectors + (desc.firmware ? desc.firmware->hpa_sectors : 0); }
  uint64_t MediumSectors() const { return NativeSectors() + (desc.firmware ? desc.firmware->dco_sectors : 0); }
  uint64_t MediumBytes() const { return MediumSectors() * desc.sector_size; }
  bool PoweredOff() const { return power_cut && power_cut->Off(); }
  // The host's writes and flushes, under the mutex: through the cache when
  // the power can go.
  uint32_t HostWrite(uint64_t offset, const uint8_t* data, size_t length) {
    return power_cut ? power_cut->Write(*store, offset, data, length) : store->Write(offset, data, length);
  }
  uint32_t HostFlush() { return power_cut ? power_cut->Flush(*store) : store->Flush(); }
};

struct VolumeState {
  VolumeSpec desc;       // length filled in
  std::shared_ptr<DiskState> disk;  // null: a drive without a disk behind it
  FaultList faults;      // apply to handles on this volume only
  AtomicCounters counters;
  // A hidden volume is not among the machine's letters: the GUI polls the
  // letters while the changes file shows and hides volumes.
  std::atomic<bool> hidden{false};
  // Plugged in: shown, and on a disk that is attached (or on none).
  bool Present() const { return !hidden && !(disk && disk->detached); }
  // The handle holding FSCTL_LOCK_VOLUME, and the one that dismounted the
  // volume; both end when that handle unlocks or closes.
  std::mutex lock_mutex;
  const void* locked_by = nullptr;
  const void* dismounted_by = nullptr;
  // Since the lock was taken: whether the volume's sectors were written, and
  // whether it was dismounted. A file system that was locked but never
  // dismounted writes its cached metadata back when the lock ends.
  bool written_while_locked = false;
  bool dismounted_while_locked = false;

  uint64_t Length() const { return desc.length.value_or(0); }
  bool Mounted() {
    std::lock_guard lock(lock_mutex);
    return desc.mounted && locked_by == nullptr && dismounted_by == nullptr;
  }
};

// A handle on a physical drive (volume null) or on a volume.
// `path` names the handle in the trace, if there is one.
std::unique_ptr<platform::Device> MakeDevice(std::shared_ptr<DiskState> disk,
                                             std::shared_ptr<VolumeState> volume,
                                             platform::Access access, std::string path = {},
                                             std::shared_ptr<DeviceTrace> trace = nullptr);

// The STORAGE_DEVICE_DESCRIPTOR a disk answers with, complete.
std::vector<uint8_t> BuildStorageDescriptor(const DiskSpec& disk);

// The Japanese system message for an error code, "\r\n" included; empty if unknown.
std::string JapaneseErrorText(uint32_t code);

}  // namespace plexi::sim
