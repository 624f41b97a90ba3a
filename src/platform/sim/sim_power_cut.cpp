#include "platform/sim/sim_power_cut.h"

#include "platform/winconst.h"

namespace plexi::sim {

PowerCut::PowerCut(const FaultSpec& fault) : fault_(fault) {}

bool PowerCut::Due() {
  if (spent_) return false;
  const auto now = std::chrono::steady_clock::now();
  if (!first_write_) first_write_ = now;
  ++writes_;
  if (fault_.after_writes) return writes_ >= *fault_.after_writes;
  return now - *first_write_ >= std::chrono::milliseconds(fault_.after_ms.value_or(0));
}

uint32_t PowerCut::Write(DiskStore& store, uint64_t offset, const uint8_t* data, size_t length) {
  if (off_) return winconst::kErrorDeviceNotConnected;
  Undo undo{offset, std::vector<uint8_t>(length)};
  if (uint32_t e = store.Read(offset, undo.before.data(), length)) return e;
  if (uint32_t e = store.Write(offset, data, length)) return e;
  undo_.push_back(std::move(undo));
  if (!Due()) return winconst::kErrorSuccess;
  Cut(store, offset, data, length);
  return winconst::kErrorDeviceNotConnected;
}

uint32_t PowerCut::Flush(DiskStore& store) {
  if (off_) return winconst::kErrorDeviceNotConnected;
  const uint32_t e = store.Flush();
  if (e == winconst::kErrorSuccess) undo_.clear();
  return e;
}

// Undoes every unflushed write, newest first; with keep=last the write that
// met the cut is put back on top, as the one the cache happened to write out.
void PowerCut::Cut(DiskStore& store, uint64_t offset, const uint8_t* data, size_t length) {
  for (auto it = undo_.rbegin(); it != undo_.rend(); ++it)
    static_cast<void>(store.Write(it->offset, it->before.data(), it->before.size()));
  if (fault_.keep_last) static_cast<void>(store.Write(offset, data, length));
  undo_.clear();
  static_cast<void>(store.Flush());
  spent_ = true;
  off_ = true;
}

}  // namespace plexi::sim
