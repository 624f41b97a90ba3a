#include "erase/volume_locks.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "drives/discovery.h"
#include "drives/target_check.h"
#include "erase/erase_texts.h"
#include "errors/error_report.h"
#include "platform/winconst.h"

namespace plexi {

platform::Result<> LockDrive(platform::Device& device) {
  platform::IoResult r = device.Control(winconst::kFsctlLockVolume, nullptr, 0, nullptr, 0);
  return r.ok() ? platform::Result<>::Success() : platform::Result<>::Failure(r.error());
}

platform::Result<> UnlockDrive(platform::Device& device) {
  platform::IoResult r = device.Control(winconst::kFsctlUnlockVolume, nullptr, 0, nullptr, 0);
  return r.ok() ? platform::Result<>::Success() : platform::Result<>::Failure(r.error());
}

platform::Result<> LockWithRetry(platform::Device& device, const Pacing& pacing) {
  for (int attempt = 1;; ++attempt) {
    platform::Result<> locked = LockDrive(device);
    if (locked.ok()) return locked;
    const uint32_t code = locked.error();
    const bool busy = code == winconst::kErrorAccessDenied || code == winconst::kErrorSharingViolation ||
                      code == winconst::kErrorLockViolation || code == winconst::kErrorBusy;
    if (!busy || attempt >= pacing.lock_attempts) return locked;
    if (pacing.lock_retry_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(pacing.lock_retry_ms));
  }
}

HeldLock& HeldLock::operator=(HeldLock&& other) noexcept {
  if (this != &other) {
    static_cast<void>(Release());
    device_ = std::exchange(other.device_, nullptr);
  }
  return *this;
}

HeldLock::~HeldLock() { static_cast<void>(Release()); }

platform::Result<> HeldLock::Release() {
  if (!device_) return platform::Result<>::Success();
  return UnlockDrive(*std::exchange(device_, nullptr));
}

namespace {

struct Candidate {
  std::string path, name;  // `name` is how the user knows the volume
};

// The system's volumes; without its volume list, the lettered volumes are
// all there is.
std::vector<Candidate> VolumeCandidates(platform::Machine& machine) {
  std::vector<Candidate> candidates;
  for (const platform::VolumeEntry& volume : machine.Volumes().volumes) {
    std::string name = volume.mount_points.empty() ? volume.path : volume.mount_points.front();
    if (name.size() == 3 && name[1] == ':') name.pop_back();  // "K:\" is shown as "K:"
    candidates.push_back({volume.path, name});
  }
  if (candidates.empty())
    for (char letter : LettersOf(machine))
      candidates.push_back({DriveDesignator::Letter(letter).DevicePath(), std::string{letter, ':'}});
  return candidates;
}

// One volume: locked, then dismounted; the system's error code when either
// is refused.
platform::Result<std::unique_ptr<platform::Device>> TakeVolume(platform::Machine& machine, const std::string& path,
                                                               const Pacing& pacing) {
  platform::Result<std::unique_ptr<platform::Device>> opened = machine.OpenDevice(path, platform::Access::kReadWrite);
  if (!opened.ok()) return opened;
  platform::Result<> locked = LockWithRetry(**opened, pacing);
  if (!locked.ok()) return platform::Result<std::unique_ptr<platform::Device>>::Failure(locked.error());
  platform::IoResult r = opened.value()->Control(winconst::kFsctlDismountVolume, nullptr, 0, nullptr, 0);
  if (!r.ok()) {
    // Best effort: the handle is closed right after, which ends the lock.
    static_cast<void>(UnlockDrive(**opened));
    return platform::Result<std::unique_ptr<platform::Device>>::Failure(r.error());
  }
  return opened;
}

}  // namespace

// Windows refuses writes into the sectors of a mounted file system, so
// every volume on the disk is locked and dismounted first. A volume that
// cannot be taken stops the erase before anything is written.
TakenVolumes TakeVolumesOfDisk(platform::Machine& machine, uint32_t disk, const Pacing& pacing, Language language) {
  TakenVolumes taken;
  for (const Candidate& c : VolumeCandidates(machine)) {
    std::optional<std::vector<DiskSpan>> spans = VolumeExtents(machine, c.path);
    if (!spans || std::none_of(spans->begin(), spans->end(), [&](const DiskSpan& s) { return s.disk == disk; }))
      continue;
    platform::Result<std::unique_ptr<platform::Device>> volume = TakeVolume(machine, c.path, pacing);
    if (!volume.ok()) {
      taken.volumes.clear();
      taken.refusal = VolumeRefusal{erase_text::InUse(erase_text::VolumeName(c.name, language),
                                                      SystemErrorText(machine, volume.error()), language),
                                    volume.error()};
      return taken;
    }
    taken.volumes.emplace_back(std::move(volume.value()));
  }
  return taken;
}

}  // namespace plexi
