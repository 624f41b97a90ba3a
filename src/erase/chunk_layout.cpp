#include "erase/chunk_layout.h"

#include <limits>

namespace plexi {

uint32_t ChooseSectorsPerChunk(uint64_t count, uint32_t limit) {
  const uint64_t start = count / limit >= 30 ? limit : count / 30;
  for (uint64_t n = start; n >= 17; --n)
    if (count % n == 0) return uint32_t(n);
  return 1;
}

std::optional<ChunkLayout> PlanChunks(const DriveExtent& extent, uint32_t limit) {
  const uint64_t sectors = extent.sector_count;
  uint32_t per_chunk = ChooseSectorsPerChunk(sectors, limit);
  if (sectors / per_chunk > std::numeric_limits<uint32_t>::max()) per_chunk = limit;
  const uint64_t chunks = sectors / per_chunk;
  const uint64_t chunk_bytes = uint64_t(extent.sector_size) * per_chunk;
  const uint64_t tail = (sectors % per_chunk) * extent.sector_size + extent.tail_bytes;
  if (sectors == 0 || chunks > std::numeric_limits<uint32_t>::max() ||
      chunk_bytes > std::numeric_limits<int32_t>::max())
    return std::nullopt;
  return ChunkLayout{per_chunk, uint32_t(chunks), uint32_t(chunk_bytes), uint32_t(tail)};
}

}  // namespace plexi
