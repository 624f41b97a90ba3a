// The sectors an erase could not write or read back, however often it met
// them, merged into ranges; and which errors the erase works around.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace plexi {

struct SectorRange {
  uint64_t first = 0;
  uint64_t count = 0;
  uint32_t error = 0;  // the Windows error code the first of them failed with
  bool operator==(const SectorRange&) const = default;
};

class SectorExceptions {
 public:
  // Notes one sector; one already noted (a later pass met it again) keeps
  // its range and error.
  void Add(uint64_t sector, uint32_t error);
  std::vector<SectorRange> Ranges() const;
  // The sector after the range that holds `sector`; nothing when none does.
  std::optional<uint64_t> EndOfRangeAt(uint64_t sector) const;
  uint64_t SectorCount() const { return sectors_; }
  bool Empty() const { return sectors_ == 0; }

 private:
  std::map<uint64_t, SectorRange> ranges_;  // by first sector
  uint64_t sectors_ = 0;
};

inline uint64_t SectorsIn(const std::vector<SectorRange>& ranges) {
  uint64_t sectors = 0;
  for (const SectorRange& r : ranges) sectors += r.count;
  return sectors;
}

// An error of the medium under some sectors (a bad sector, a failed
// transfer), which a retry and a sector-by-sector pass may get around.
// Anything else (the drive is gone or not ready, access refused, a request
// it rejects) ends the erase.
bool IsMediaError(uint32_t code);

}  // namespace plexi
