// A drive opened for viewing (read access only) with its sector buffer, and
// the read of one sector into that buffer. The sector viewer and the
// command-line dump share it.
#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "drives/discovery.h"
#include "errors/error_report.h"
#include "platform/aligned_buffer.h"
#include "platform/platform.h"

namespace plexi {

class SectorReader {
 public:
  // Bytes after the sector that nothing writes: a UTF-16 text that runs to
  // the sector's end always finds its terminating zero unit there.
  static constexpr uint32_t kZeroTail = 4;

  // Opens `path` for reading and finds its sector size and count: in the
  // partition view the partition probe first, then (or else) the drive's
  // geometry, extended to the drive's exact length when the system tells it
  // (the geometry counts whole cylinders only). A failure is reported with
  // the system's text and gives nullptr.
  static std::unique_ptr<SectorReader> Open(platform::Machine& machine, Notifier& notifier,
                                            const std::string& path, ViewMode view);

  uint32_t SectorSize() const { return sector_size_; }
  uint64_t SectorCount() const { return sector_count_; }

  // Reads sector `sector` into the buffer, which is zeroed first. A failed
  // positioning or read, or a short one, is reported; the buffer then holds
  // zeros, or what the short read brought. Returns whether the whole sector
  // was read.
  bool ReadSector(uint64_t sector);

  // The sector's bytes as last read.
  std::span<const uint8_t> Sector() const { return {buffer_.data(), sector_size_}; }
  // The whole buffer: the sector, at least 512 bytes for the dump, and the
  // zero tail.
  std::span<const uint8_t> Buffer() const { return {buffer_.data(), buffer_.size()}; }

 private:
  SectorReader(platform::Machine& machine, Notifier& notifier, std::unique_ptr<platform::Device> device,
               DriveExtent extent);

  platform::Machine& machine_;
  Notifier& notifier_;
  std::unique_ptr<platform::Device> device_;
  uint32_t sector_size_;
  uint64_t sector_count_;
  // Sector-aligned: a raw device handle that bypasses the system cache
  // refuses reads into unaligned memory.
  AlignedBuffer buffer_;
};

}  // namespace plexi
