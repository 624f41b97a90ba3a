#include "erase/sector_exceptions.h"

#include "platform/winconst.h"

namespace plexi {

void SectorExceptions::Add(uint64_t sector, uint32_t error) {
  auto next = ranges_.upper_bound(sector);
  if (next != ranges_.begin()) {
    auto before = std::prev(next);
    SectorRange& range = before->second;
    if (sector < range.first + range.count) return;
    if (sector == range.first + range.count) {
      ++range.count;
      ++sectors_;
      if (next != ranges_.end() && next->first == sector + 1) {  // the gap between two ranges closed
        range.count += next->second.count;
        ranges_.erase(next);
      }
      return;
    }
  }
  ++sectors_;
  if (next != ranges_.end() && next->first == sector + 1) {
    SectorRange grown = next->second;
    grown.first = sector;
    ++grown.count;
    ranges_.erase(next);
    ranges_.emplace(sector, grown);
    return;
  }
  ranges_.emplace(sector, SectorRange{sector, 1, error});
}

std::vector<SectorRange> SectorExceptions::Ranges() const {
  std::vector<SectorRange> ranges;
  ranges.reserve(ranges_.size());
  for (const auto& [first, range] : ranges_) ranges.push_back(range);
  return ranges;
}

std::optional<uint64_t> SectorExceptions::EndOfRangeAt(uint64_t sector) const {
  auto next = ranges_.upper_bound(sector);
  if (next == ranges_.begin()) return std::nullopt;
  const SectorRange& range = std::prev(next)->second;
  if (sector >= range.first + range.count) return std::nullopt;
  return range.first + range.count;
}

bool IsMediaError(uint32_t code) {
  switch (code) {
    case winconst::kErrorCrc:
    case winconst::kErrorSectorNotFound:
    case winconst::kErrorWriteFault:
    case winconst::kErrorReadFault:
    case winconst::kErrorGenFailure:
    case winconst::kErrorIoDevice:
    case winconst::kErrorDeviceHardwareError: return true;
    default: return false;
  }
}

}  // namespace plexi
