#include "viewer/sector_reader.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "platform/winconst.h"
#include "viewer/sector_dump.h"

namespace plexi {

SectorReader::SectorReader(platform::Machine& machine, Notifier& notifier,
                           std::unique_ptr<platform::Device> device, DriveExtent extent)
    : machine_(machine),
      notifier_(notifier),
      device_(std::move(device)),
      sector_size_(extent.sector_size),
      sector_count_(extent.sector_count),
      buffer_(std::max(extent.sector_size, kDumpBytes) + kZeroTail) {}

std::unique_ptr<SectorReader> SectorReader::Open(platform::Machine& machine, Notifier& notifier,
                                                 const std::string& path, ViewMode view) {
  // Viewing never needs more than read access; the drive cannot be changed
  // through this handle.
  platform::Result<std::unique_ptr<platform::Device>> opened = machine.OpenDevice(path, platform::Access::kRead);
  if (!opened.ok()) {
    ReportSystemError(machine, notifier, opened.error());
    return nullptr;
  }
  platform::Result<DriveExtent> extent = MeasureDrive(**opened, path, view);
  if (!extent.ok()) {
    ReportSystemError(machine, notifier, extent.error());
    return nullptr;
  }
  // Every byte offset must fit the system's signed 64-bit position; a
  // larger count can only come from a broken reply.
  const uint64_t reachable = uint64_t(std::numeric_limits<int64_t>::max()) / extent->sector_size;
  extent->sector_count = std::min(extent->sector_count, reachable);
  return std::unique_ptr<SectorReader>(
      new SectorReader(machine, notifier, std::move(opened.value()), *extent));
}

bool SectorReader::ReadSector(uint64_t sector) {
  std::fill_n(buffer_.data(), sector_size_, uint8_t{0});
  // Reading after a failed positioning would show another sector's bytes
  // under this sector's address; the zeroed buffer is shown instead.
  if (platform::Result<> s = SeekToSector(*device_, sector, sector_size_); !s.ok()) {
    ReportSystemError(machine_, notifier_, s.error());
    return false;
  }
  platform::IoResult r = device_->Read(buffer_.data(), sector_size_);
  if (r.ok() && r.value() == sector_size_) return true;
  // A short read succeeds as far as the system is concerned; it is reported
  // as the read fault it is, not with the text of success.
  ReportSystemError(machine_, notifier_, r.ok() ? winconst::kErrorReadFault : r.error());
  return false;
}

}  // namespace plexi
