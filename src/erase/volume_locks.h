// Locking what an erase writes to: the drive's own handle, and for a whole
// disk every volume on it, so that no file system writes into the sectors
// being erased or keeps a cached view of them. Every lock is an owner that
// unlocks when it ends.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "erase/worker_interface.h"
#include "platform/platform.h"
#include "util/language.h"

namespace plexi {

// FSCTL_LOCK_VOLUME and FSCTL_UNLOCK_VOLUME on an open handle (no input, no
// output): whether the system accepted them.
platform::Result<> LockDrive(platform::Device& device);
platform::Result<> UnlockDrive(platform::Device& device);

// The lock, tried again for a few seconds while another program (an
// indexer, a virus scanner) briefly holds the volume.
platform::Result<> LockWithRetry(platform::Device& device, const Pacing& pacing);

// A lock held on an open device. It is unlocked when it ends (best effort:
// closing the handle ends the lock anyway), or by Release, which says
// whether the system accepted the unlock.
class HeldLock {
 public:
  explicit HeldLock(platform::Device& device) : device_(&device) {}
  HeldLock(HeldLock&& other) noexcept : device_(std::exchange(other.device_, nullptr)) {}
  HeldLock& operator=(HeldLock&& other) noexcept;
  HeldLock(const HeldLock&) = delete;
  HeldLock& operator=(const HeldLock&) = delete;
  ~HeldLock();

  platform::Result<> Release();

 private:
  platform::Device* device_;
};

// A volume of the disk being erased: opened, locked and dismounted, and held
// so until it ends; then unlocked and closed, in that order.
class HeldVolume {
 public:
  explicit HeldVolume(std::unique_ptr<platform::Device> device) : device_(std::move(device)), lock_(*device_) {}

 private:
  std::unique_ptr<platform::Device> device_;
  HeldLock lock_;
};

// Why a volume could not be taken: the message names it, and the system's
// error code behind it.
struct VolumeRefusal {
  std::string message;
  uint32_t code = 0;
};

// Every volume on `disk` (lettered, EFI, recovery, mounted in a folder),
// taken; or the refusal of the first that could not be, with the ones
// taken before it let go.
struct TakenVolumes {
  std::vector<HeldVolume> volumes;
  std::optional<VolumeRefusal> refusal;
};
// The refusal is said in `language`.
TakenVolumes TakeVolumesOfDisk(platform::Machine& machine, uint32_t disk, const Pacing& pacing,
                               Language language = Language::kJapanese);

}  // namespace plexi
