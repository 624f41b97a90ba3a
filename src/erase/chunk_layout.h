// How an erase cuts the drive into the chunks it writes, reads back and
// counts its resume point in.
#pragma once
#include <cstdint>
#include <optional>

#include "drives/discovery.h"

namespace plexi {

inline constexpr uint32_t kSectorsPerChunkLimit = 8192;

// Sectors per chunk: the largest divisor of `count` from min(limit, count/30)
// down to 17, so chunks tile the drive exactly; 1 when there is none.
uint32_t ChooseSectorsPerChunk(uint64_t count, uint32_t limit);

// Chunks that tile the drive exactly where the resume record can count
// them, else chunks of `limit` sectors and a tail after them; the tail also
// holds an image file's part sector. Nothing when the drive has no whole
// sector or its chunks would not fit a transfer.
struct ChunkLayout {
  uint32_t sectors_per_chunk = 0;
  uint32_t chunk_count = 0;
  uint32_t chunk_bytes = 0;
  uint32_t tail_bytes = 0;
};
std::optional<ChunkLayout> PlanChunks(const DriveExtent& extent, uint32_t limit);

}  // namespace plexi
