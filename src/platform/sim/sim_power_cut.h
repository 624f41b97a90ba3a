// A scheduled loss of a simulated disk's power: the writes since the last
// flush sit in the drive's volatile cache, and the cut loses them. Used under
// the disk's mutex.
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/sim/sim_description.h"
#include "platform/sim/sim_storage.h"

namespace plexi::sim {

class PowerCut {
 public:
  explicit PowerCut(const FaultSpec& fault);

  // Stores the write and remembers what it covered; the write that meets
  // the cut is stored, the cut made, and ERROR_DEVICE_NOT_CONNECTED returned.
  uint32_t Write(DiskStore& store, uint64_t offset, const uint8_t* data, size_t length);
  // The cache reaches the medium: nothing before this is lost any more.
  uint32_t Flush(DiskStore& store);
  // The store changed on the drive's own (a purge): as good as flushed.
  void Commit() { undo_.clear(); }
  bool Off() const { return off_; }
  // The machine is powered again; the cut does not come back.
  void Restore() { off_ = false; }

 private:
  struct Undo {
    uint64_t offset;
    std::vector<uint8_t> before;
  };
  bool Due();
  void Cut(DiskStore& store, uint64_t offset, const uint8_t* data, size_t length);

  const FaultSpec fault_;
  std::vector<Undo> undo_;  // in the order written
  uint64_t writes_ = 0;
  std::optional<std::chrono::steady_clock::time_point> first_write_;
  bool spent_ = false;
  std::atomic<bool> off_{false};
};

}  // namespace plexi::sim
