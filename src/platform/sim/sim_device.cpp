// An open handle on a simulated physical drive or volume. It behaves like a
// raw device handle on Windows: sector-aligned transfers at the handle's
// position, and DeviceIoControl replies in the raw Win32 layouts.
#include <algorithm>
#include <chrono>
#include <thread>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "platform/ioctl_layout.h"
#include "platform/sim/sim_state.h"
#include "platform/winconst.h"

namespace plexi::sim {
namespace {

using platform::Access;
using platform::IoResult;
using platform::Result;

IoResult Failed(uint32_t error) { return IoResult::Failure(error); }
IoResult Done(uint32_t bytes) { return IoResult(bytes); }

std::string Hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
  return text;
}

constexpr uint32_t kFixedMedia = 12;      // MEDIA_TYPE FixedMedia
constexpr uint32_t kRemovableMedia = 11;  // MEDIA_TYPE RemovableMedia
constexpr uint32_t kPartitionTypeNtfs = 0x07;
// What a file system writes back over a volume's first sector when a lock
// ends on a volume that was written but never dismounted.
constexpr char kCachedMetadata[] = "SIM-FS-METADATA!";

// A whole disk held for an erase until the claim ends; the disk itself,
// not its number, so that a swap of numbers cannot hand it to another.
class SimDiskClaim : public platform::DriveClaim {
 public:
  explicit SimDiskClaim(std::shared_ptr<DiskState> disk) : disk_(std::move(disk)) {}
  ~SimDiskClaim() override { disk_->erase_claimed = false; }
  SimDiskClaim(const SimDiskClaim&) = delete;
  SimDiskClaim& operator=(const SimDiskClaim&) = delete;

 private:
  std::shared_ptr<DiskState> disk_;
};

class SimDevice : public platform::Device {
 public:
  SimDevice(std::shared_ptr<DiskState> disk, std::shared_ptr<VolumeState> volume, Access access,
            std::string path, std::shared_ptr<DeviceTrace> trace)
      : disk_(std::move(disk)), volume_(std::move(volume)), access_(access), path_(std::move(path)),
        trace_(std::move(trace)) {
    ForEachCounters([](AtomicCounters& c) { ++c.opens; ++c.open_handles; });
  }
  ~SimDevice() override {
    if (volume_) ReleaseVolume(true, true);
    ForEachCounters([](AtomicCounters& c) { --c.open_handles; });
  }

  IoResult Read(void* buffer, uint32_t length) override {
    ForEachCounters([](AtomicCounters& c) { ++c.reads; });
    if (trace_) trace_->Read(path_, position_, length);
    if (access_ == Access::kQuery) return Failed(winconst::kErrorAccessDenied);
    if (uint32_t e = NoMediaError()) return Failed(e);
    if (disk_->firmware.Busy()) return Failed(winconst::kErrorNotReady);  // sanitizing
    if (!Aligned(length)) return Failed(winconst::kErrorInvalidParameter);
    if (length > 0 && buffer == nullptr) return Failed(winconst::kErrorNoAccess);
    uint64_t size = RouteBytes();
    if (position_ >= size) return Done(0);  // at or past the end: nothing, no error
    uint32_t n = uint32_t(std::min<uint64_t>(length, size - position_));
    if (n == 0) return Done(0);
    if (auto fault = FireIoFault({FaultOp::kRead}, n)) {
      if (!fault->short_bytes) return Failed(fault->error);
      n = std::min(n, *fault->short_bytes);
    }
    uint32_t error;
    {
      std::lock_guard lock(disk_->mutex);
      error = disk_->store->Read(DiskOffset(), static_cast<uint8_t*>(buffer), n);
    }
    if (error) return Failed(error);
    position_ += n;
    ForEachCounters([n](AtomicCounters& c) { c.bytes_read += n; });
    return Done(n);
  }

  IoResult Write(const void* buffer, uint32_t length) override {
    ForEachCounters([](AtomicCounters& c) { ++c.writes; });
    if (trace_) trace_->Write(path_, position_, length);
    if (access_ != Access::kReadWrite) return Failed(winconst::kErrorAccessDenied);
    if (uint32_t e = NoMediaError()) return Failed(e);
    if (disk_->firmware.Busy()) return Failed(winconst::kErrorNotReady);  // sanitizing
    if (!Aligned(length)) return Failed(winconst::kErrorInvalidParameter);
    if (length == 0) return Done(0);
    if (buffer == nullptr) return Failed(winconst::kErrorNoAccess);
    uint64_t size = RouteBytes();
    if (position_ >= size) return Failed(winconst::kErrorSectorNotFound);
    uint32_t n = uint32_t(std::min<uint64_t>(length, size - position_));  // spanning the end: short
    if (TouchesMountedVolume(n)) return Failed(winconst::kErrorAccessDenied);
    if (disk_->desc.write_delay_ms > 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(disk_->desc.write_delay_ms));
    bool store = true;
    if (auto fault = FireIoFault({FaultOp::kWrite, FaultOp::kDropWrite}, n)) {
      if (fault->op == FaultOp::kDropWrite) store = false;
      else if (!fault->short_bytes) return Failed(fault->error);
      else n = std::min(n, *fault->short_bytes);
    }
    if (store && n > 0) {
      uint32_t error;
      {
        std::lock_guard lock(disk_->mutex);
        error = disk_->HostWrite(DiskOffset(), static_cast<const uint8_t*>(buffer), n);
      }
      if (error) return Failed(error);
    }
    if (n > 0) NoteWriteToLockedVolumes(n);
    position_ += n;
    ForEachCounters([n](AtomicCounters& c) { c.bytes_written += n; });
    return Done(n);
  }

  Result<> SetPosition(uint64_t offset) override {
    // Like SetFilePointerEx: any position is accepted (the transfer checks it),
    // except one that does not fit the signed 64-bit distance.
    if (offset > uint64_t(std::numeric_limits<int64_t>::max()))
      return Result<>::Failure(winconst::kErrorNegativeSeek);
    position_ = offset;
    return Result<>::Success();
  }

  IoResult Control(uint32_t code, const void* in, uint32_t in_length, void* out,
                   uint32_t out_length) override {
    ForEachCounters([](AtomicCounters& c) { ++c.controls; });
    IoResult r = Dispatch(code, static_cast<const uint8_t*>(in), in_length, static_cast<uint8_t*>(out),
                          out_length);
    if (trace_) trace_->Control(path_, code, r.ok() ? 0 : r.error());
    return r;
  }

  // Firmware commands reach the drive through a handle on the whole drive
  // only; a volume's driver does not pass them.
  Result<platform::NvmeCompletion> NvmeAdmin(const platform::NvmeAdminCommand& command) override {
    ForEachCounters([](AtomicCounters& c) { ++c.controls; });
    Result<platform::NvmeCompletion> r = IsVolume() || !disk_
                                             ? Result<platform::NvmeCompletion>::Failure(winconst::kErrorNotSupported)
                                             : disk_->firmware.Nvme(*disk_, command, access_ == Access::kReadWrite);
    if (trace_) {
      std::string text = "nvme opcode=" + Hex(command.opcode) + " cdw10=" + Hex(command.cdw10);
      text += r.ok() ? " status=" + std::to_string(r->status_type) + "/" + std::to_string(r->status_code)
                     : " error=" + std::to_string(r.error());
      trace_->Command(path_, text);
    }
    return r;
  }

  Result<platform::AtaReply> AtaPassThrough(const platform::AtaCommand& command) override {
    ForEachCounters([](AtomicCounters& c) { ++c.controls; });
    Result<platform::AtaReply> r = IsVolume() || !disk_
                                       ? Result<platform::AtaReply>::Failure(winconst::kErrorNotSupported)
                                       : disk_->firmware.Ata(*disk_, command, access_ == Access::kReadWrite);
    if (trace_) {
      std::string text = "ata command=" + Hex(command.command) + " feature=" + Hex(command.feature);
      text += r.ok() ? " ata-status=" + Hex(r->status) : " error=" + std::to_string(r.error());
      trace_->Command(path_, text);
    }
    return r;
  }

  // Windows's handles do not tell their namespace; Linux's do.
  Result<uint32_t> NvmeNamespaceId() override {
    if (IsVolume() || !disk_ || disk_->desc.bus_type != winconst::kBusTypeNvme || disk_->host.windows)
      return Result<uint32_t>::Failure(winconst::kErrorNotSupported);
    return 1u;
  }

  // A volume is held by its lock; a physical drive by a claim on its disk.
  Result<std::unique_ptr<platform::DriveClaim>> ClaimForErase() override {
    using ClaimResult = Result<std::unique_ptr<platform::DriveClaim>>;
    if (IsVolume() || !disk_) return ClaimResult(std::make_unique<platform::DriveClaim>());
    bool unclaimed = false;
    if (!disk_->erase_claimed.compare_exchange_strong(unclaimed, true))
      return ClaimResult::Failure(winconst::kErrorLockViolation);
    return ClaimResult(std::make_unique<SimDiskClaim>(disk_));
  }

  Result<> Flush() override {
    // FlushFileBuffers needs a handle opened for writing.
    if (access_ != Access::kReadWrite) return Result<>::Failure(winconst::kErrorAccessDenied);
    if (uint32_t e = NoMediaError()) return Result<>::Failure(e);
    std::lock_guard lock(disk_->mutex);
    return Result<>::FromCode(disk_->HostFlush());
  }

 private:
  template <class F>
  void ForEachCounters(F f) {
    if (volume_) f(volume_->counters);
    if (disk_) f(disk_->counters);
  }

  bool IsVolume() const { return volume_ != nullptr; }

  IoResult Dispatch(uint32_t code, const uint8_t* in, uint32_t in_length, uint8_t* reply,
                    uint32_t out_length) {
    // The access bits of the control code, as the I/O manager checks them.
    uint32_t required = (code >> 14) & 3;
    if ((required & 1) && access_ == Access::kQuery) return Failed(winconst::kErrorAccessDenied);
    if ((required & 2) && access_ != Access::kReadWrite) return Failed(winconst::kErrorAccessDenied);
    if ((reply == nullptr && out_length > 0) || (in == nullptr && in_length > 0))
      return Failed(winconst::kErrorNoAccess);
    if (disk_ && disk_->PoweredOff()) return Failed(winconst::kErrorDeviceNotConnected);
    switch (code) {
      case winconst::kIoctlDiskGetDriveGeometry: return Geometry(reply, out_length);
      case winconst::kIoctlDiskGetDriveGeometryEx: return GeometryEx(reply, out_length);
      case winconst::kIoctlDiskGetPartitionInfo: return PartitionInfo(reply, out_length);
      case winconst::kIoctlDiskGetLengthInfo: return LengthInfo(reply, out_length);
      case winconst::kIoctlStorageQueryProperty: return QueryProperty(in, in_length, reply, out_length);
      case winconst::kIoctlVolumeGetVolumeDiskExtents: return Extents(reply, out_length);
      case winconst::kIoctlDiskUpdateProperties: return UpdateProperties();
      case winconst::kIoctlDiskUpdateDriveSize: return UpdateDriveSize(reply, out_length);
      case winconst::kIoctlStorageGetDeviceNumber: return DeviceNumber(reply, out_length);
      case winconst::kFsctlLockVolume: return LockVolume();
      case winconst::kFsctlUnlockVolume: return UnlockVolume();
      case winconst::kFsctlDismountVolume: return DismountVolume();
      case winconst::kFsctlAllowExtendedDasdIo: return VolumeControl(std::nullopt);
      default: return Failed(winconst::kErrorInvalidFunction);
    }
  }

  // The error of a drive with nothing behind it: an empty CD drive is not
  // ready; a network drive has no device to talk to.
  uint32_t NoMediaError() const {
    if (disk_) return disk_->PoweredOff() ? winconst::kErrorDeviceNotConnected : 0;
    return volume_->desc.type == VolumeType::kRemote ? winconst::kErrorInvalidFunction
                                                     : winconst::kErrorNotReady;
  }

  bool Aligned(uint32_t length) const {
    uint32_t ss = disk_->desc.sector_size;
    return position_ % ss == 0 && length % ss == 0;
  }

  uint64_t RouteBytes() const { return IsVolume() ? volume_->Length() : disk_->Bytes(); }
  // What the size queries answer: for a disk, the size the system last read.
  uint64_t ReportedRouteBytes() const { return IsVolume() ? volume_->Length() : disk_->ReportedBytes(); }
  uint64_t RouteStart() const { return IsVolume() ? volume_->desc.offset : 0; }
  uint64_t DiskOffset() const { return RouteStart() + position_; }

  // Faults for a transfer of n bytes at the position: the volume's own, in
  // volume sectors, then the disk's, in disk sectors.
  std::optional<FaultSpec> FireIoFault(std::initializer_list<FaultOp> ops, uint32_t n) {
    uint32_t ss = disk_->desc.sector_size;
    if (IsVolume()) {
      uint64_t first = position_ / ss;
      if (auto f = volume_->faults.Fire(ops, first, first + (n - 1) / ss)) return f;
    }
    uint64_t first = DiskOffset() / ss;
    return disk_->faults.Fire(ops, first, first + (n - 1) / ss);
  }

  // Faults of a control call: the volume's on a volume handle, the disk's on
  // a physical drive handle.
  std::optional<FaultSpec> FireControlFault(std::initializer_list<FaultOp> ops) {
    return IsVolume() ? volume_->faults.Fire(ops) : disk_->faults.Fire(ops);
  }

  // Common start of the disk queries: a fault, or no disk to ask.
  uint32_t DiskQueryError(std::initializer_list<FaultOp> ops) {
    if (auto fault = FireControlFault(ops)) return fault->error;
    return NoMediaError();
  }

  IoResult Geometry(uint8_t* out, uint32_t out_length) {
    if (uint32_t e = DiskQueryError({FaultOp::kGeometry})) return Failed(e);
    if (out_length < winconst::kDiskGeometrySize) return Failed(winconst::kErrorInsufficientBuffer);
    EncodeGeometry(out);
    return Done(winconst::kDiskGeometrySize);
  }

  // DISK_GEOMETRY_EX: the geometry, then the disk's exact size at 24; the
  // partition and detection data after it are not simulated.
  IoResult GeometryEx(uint8_t* out, uint32_t out_length) {
    if (uint32_t e = DiskQueryError({FaultOp::kGeometry})) return Failed(e);
    if (out_length < winconst::kDiskGeometryExSize) return Failed(winconst::kErrorInsufficientBuffer);
    EncodeGeometry(out);
    layout::Store64(out + winconst::kDiskGeometrySize, disk_->ReportedBytes());
    return Done(winconst::kDiskGeometryExSize);
  }

  void EncodeGeometry(uint8_t* out) const {
    const DiskSpec& d = disk_->desc;
    layout::DiskGeometry g;
    // Whole cylinders only: the sectors of a last partial cylinder are not
    // counted, as on Windows.
    g.cylinders = int64_t(disk_->ReportedBytes() / d.sector_size / (uint64_t(d.heads) * d.sectors_per_track));
    g.media_type = d.removable ? kRemovableMedia : kFixedMedia;
    g.tracks_per_cylinder = d.heads;
    g.sectors_per_track = d.sectors_per_track;
    g.bytes_per_sector = d.sector_size;
    g.Encode(out);
  }

  IoResult PartitionInfo(uint8_t* out, uint32_t out_length) {
    if (uint32_t e = DiskQueryError({FaultOp::kPartitionInfo})) return Failed(e);
    if (disk_->desc.gpt) return Failed(winconst::kErrorInvalidFunction);  // an MBR-only query
    if (out_length < winconst::kPartitionInformationSize) return Failed(winconst::kErrorInsufficientBuffer);
    layout::PartitionInformation p;
    p.starting_offset = int64_t(RouteStart());
    p.partition_length = int64_t(ReportedRouteBytes());
    if (IsVolume()) {
      p.hidden_sectors = uint32_t(RouteStart() / disk_->desc.sector_size);
      p.partition_number = 1;
      p.partition_type = kPartitionTypeNtfs;
      p.recognized = 1;
    }
    std::memset(out, 0, winconst::kPartitionInformationSize);
    p.Encode(out);
    return Done(winconst::kPartitionInformationSize);
  }

  // GET_LENGTH_INFORMATION: the exact size of the disk or the volume. Its own
  // faults, and the geometry's (faults written before it had its own op).
  IoResult LengthInfo(uint8_t* out, uint32_t out_length) {
    if (uint32_t e = DiskQueryError({FaultOp::kLength, FaultOp::kGeometry})) return Failed(e);
    if (out_length < winconst::kLengthInformationSize) return Failed(winconst::kErrorInsufficientBuffer);
    layout::Store64(out, ReportedRouteBytes());
    return Done(winconst::kLengthInformationSize);
  }

  IoResult QueryProperty(const uint8_t* in, uint32_t in_length, uint8_t* out, uint32_t out_length) {
    if (in_length < winconst::kStoragePropertyQuerySize) return Failed(winconst::kErrorInvalidParameter);
    uint32_t property = layout::Load32(in);
    uint32_t query_type = layout::Load32(in + 4);
    if (property == winconst::kStorageDeviceSeekPenaltyProperty) return SeekPenalty(query_type, out, out_length);
    if (property != 0) return Failed(winconst::kErrorNotSupported);  // only StorageDeviceProperty
    if (query_type > 1) return Failed(winconst::kErrorInvalidParameter);
    if (uint32_t e = DiskQueryError({FaultOp::kDescriptor})) return Failed(e);
    if (query_type == 1) return Done(0);  // PropertyExistsQuery: yes
    // At least the version and size fields, so a caller can learn the length.
    if (out_length < 8) return Failed(winconst::kErrorInsufficientBuffer);
    std::vector<uint8_t> descriptor = BuildStorageDescriptor(disk_->desc);
    uint32_t n = std::min<uint32_t>(uint32_t(descriptor.size()), out_length);
    std::memcpy(out, descriptor.data(), n);
    return Done(n);
  }

  // DEVICE_SEEK_PENALTY_DESCRIPTOR, from the disk's media= key.
  IoResult SeekPenalty(uint32_t query_type, uint8_t* out, uint32_t out_length) {
    if (query_type > 1) return Failed(winconst::kErrorInvalidParameter);
    // A volume without a disk (a CD drive with no disc) has no media to tell.
    if (uint32_t e = DiskQueryError({FaultOp::kDescriptor})) return Failed(e);
    if (disk_->desc.media == DiskSpec::Media::kUnknown) return Failed(winconst::kErrorNotSupported);
    if (query_type == 1) return Done(0);
    if (out_length < winconst::kSeekPenaltyDescriptorSize) return Failed(winconst::kErrorInsufficientBuffer);
    std::memset(out, 0, winconst::kSeekPenaltyDescriptorSize);
    layout::Store32(out, winconst::kSeekPenaltyDescriptorSize);
    layout::Store32(out + 4, winconst::kSeekPenaltyDescriptorSize);
    out[8] = disk_->desc.media == DiskSpec::Media::kHdd ? 1 : 0;
    return Done(winconst::kSeekPenaltyDescriptorSize);
  }

  IoResult Extents(uint8_t* out, uint32_t out_length) {
    if (!IsVolume()) return Failed(winconst::kErrorInvalidFunction);
    if (auto fault = FireControlFault({FaultOp::kExtents})) return Failed(fault->error);
    if (volume_->desc.extents == ExtentMode::kNone) return Failed(winconst::kErrorInvalidFunction);
    if (out_length < winconst::kDiskExtentsBufferSize) return Failed(winconst::kErrorInsufficientBuffer);
    // A spanned volume (two extents) is split into two halves on its disk.
    std::vector<layout::DiskExtent> extents;
    uint64_t start = volume_->desc.offset, length = volume_->Length();
    const uint32_t number = disk_->number;  // the disk's number now
    if (volume_->desc.extents == ExtentMode::kOne) {
      extents.push_back({number, int64_t(start), int64_t(length)});
    } else {
      uint64_t half = length / 2 / disk_->desc.sector_size * disk_->desc.sector_size;
      extents.push_back({number, int64_t(start), int64_t(half)});
      extents.push_back({number, int64_t(start + half), int64_t(length - half)});
    }
    std::memset(out, 0, out_length);
    layout::Store32(out, uint32_t(extents.size()));
    uint32_t fit = (out_length - layout::kDiskExtentsHeaderSize) / layout::kDiskExtentSize;
    uint32_t written = std::min<uint32_t>(fit, uint32_t(extents.size()));
    for (uint32_t i = 0; i < written; ++i) {
      uint8_t* e = out + layout::kDiskExtentsHeaderSize + i * layout::kDiskExtentSize;
      layout::Store32(e, extents[i].disk_number);
      layout::Store64(e + 8, uint64_t(extents[i].starting_offset));
      layout::Store64(e + 16, uint64_t(extents[i].extent_length));
    }
    uint32_t bytes = layout::kDiskExtentsHeaderSize + written * layout::kDiskExtentSize;
    // The reply holds the extents that fit; the caller asks again for the rest.
    if (written < extents.size()) return Failed(winconst::kErrorMoreData);
    return Done(bytes);
  }

  // Windows refuses writes into the sectors of a mounted file system: through
  // a volume handle unless the volume is locked or dismounted, through the
  // physical drive unless every volume the write touches is.
  bool TouchesMountedVolume(uint32_t n) {
    if (volume_) return volume_->Mounted();
    const uint64_t first = position_, end = position_ + n;
    for (const std::weak_ptr<VolumeState>& weak : disk_->volumes) {
      std::shared_ptr<VolumeState> v = weak.lock();
      if (!v) continue;
      const uint64_t v_first = v->desc.offset, v_end = v->desc.offset + v->Length();
      if (first < v_end && v_first < end && v->Mounted()) return true;
    }
    return false;
  }

  // A successful write of n bytes at the position: every volume it reached
  // that is locked now has sectors written under its lock.
  void NoteWriteToLockedVolumes(uint32_t n) {
    if (volume_) {
      std::lock_guard lock(volume_->lock_mutex);
      if (volume_->locked_by) volume_->written_while_locked = true;
      return;
    }
    const uint64_t first = position_, end = position_ + n;
    for (const std::weak_ptr<VolumeState>& weak : disk_->volumes) {
      std::shared_ptr<VolumeState> v = weak.lock();
      if (!v || first >= v->desc.offset + v->Length() || v->desc.offset >= end) continue;
      std::lock_guard lock(v->lock_mutex);
      if (v->locked_by) v->written_while_locked = true;
    }
  }

  // Windows: a program that unlocks a volume without dismounting it lets the
  // file system write its cached metadata back over what was written.
  void WriteBackCachedMetadata() {
    const uint32_t ss = disk_->desc.sector_size;
    std::vector<uint8_t> sector(ss);
    std::lock_guard lock(disk_->mutex);
    if (disk_->store->Read(volume_->desc.offset, sector.data(), ss) != 0) return;
    std::memcpy(sector.data(), kCachedMetadata, sizeof kCachedMetadata - 1);
    (void)disk_->store->Write(volume_->desc.offset, sector.data(), ss);  // a write-protected disk keeps its bytes
  }

  IoResult LockVolume() {
    IoResult r = VolumeControl({FaultOp::kLock});
    if (!r.ok() || !volume_) return r;
    std::lock_guard lock(volume_->lock_mutex);
    if (volume_->locked_by && volume_->locked_by != this) return Failed(winconst::kErrorAccessDenied);
    if (volume_->locked_by != this) {
      // A volume dismounted already has no cache to write back.
      volume_->written_while_locked = false;
      volume_->dismounted_while_locked = volume_->dismounted_by != nullptr;
    }
    volume_->locked_by = this;
    return r;
  }

  IoResult UnlockVolume() {
    IoResult r = VolumeControl({FaultOp::kUnlock});
    if (!r.ok() || !volume_) return r;
    if (!ReleaseVolume(true, false)) return Failed(winconst::kErrorNotLocked);
    return r;
  }

  IoResult DismountVolume() {
    IoResult r = VolumeControl(std::nullopt);
    if (!r.ok() || !volume_) return r;
    std::lock_guard lock(volume_->lock_mutex);
    volume_->dismounted_by = this;
    if (volume_->locked_by) volume_->dismounted_while_locked = true;
    return r;
  }

  // Drops this handle's lock and/or dismount; true when it held the lock.
  // Ending a lock may make the file system write its cache back.
  bool ReleaseVolume(bool lock_too, bool dismount_too) {
    bool held, write_back = false;
    {
      std::lock_guard lock(volume_->lock_mutex);
      held = volume_->locked_by == this;
      if (lock_too && held) {
        volume_->locked_by = nullptr;
        write_back = disk_ && volume_->desc.mounted && volume_->written_while_locked &&
                     !volume_->dismounted_while_locked;
        volume_->written_while_locked = volume_->dismounted_while_locked = false;
      }
      if (dismount_too && volume_->dismounted_by == this) volume_->dismounted_by = nullptr;
    }
    if (write_back) WriteBackCachedMetadata();
    return held;
  }

  // STORAGE_DEVICE_NUMBER: a disk is partition 0 of itself; a volume is
  // numbered by its place among the disk's volumes, from 1.
  IoResult DeviceNumber(uint8_t* out, uint32_t out_length) {
    if (uint32_t e = NoMediaError()) return Failed(e);
    if (out_length < winconst::kStorageDeviceNumberSize) return Failed(winconst::kErrorInsufficientBuffer);
    uint32_t partition = 0;
    if (IsVolume()) {
      for (size_t i = 0; i < disk_->volumes.size(); ++i)
        if (disk_->volumes[i].lock() == volume_) partition = uint32_t(i + 1);
    }
    layout::Store32(out, winconst::kFileDeviceDisk);
    layout::Store32(out + 4, disk_->number.load());
    layout::Store32(out + 8, partition);
    return Done(winconst::kStorageDeviceNumberSize);
  }

  // Makes the system read the disk's layout again; a disk request only.
  IoResult UpdateProperties() {
    if (IsVolume()) return Failed(winconst::kErrorInvalidFunction);
    ++disk_->counters.update_properties;
    disk_->reported_sectors = disk_->Sectors();
    return Done(0);
  }

  // Makes the disk driver read the drive's size again; answers with the
  // geometry, as disk.sys does.
  IoResult UpdateDriveSize(uint8_t* reply, uint32_t out_length) {
    if (IsVolume()) return Failed(winconst::kErrorInvalidFunction);
    disk_->reported_sectors = disk_->Sectors();
    return Geometry(reply, out_length);
  }

  // Lock, unlock, dismount and extended DASD access: the faults; a network
  // drive refuses them.
  IoResult VolumeControl(std::optional<FaultOp> op) {
    if (!disk_ && volume_->desc.type == VolumeType::kRemote) return Failed(winconst::kErrorInvalidFunction);
    if (op) {
      if (auto fault = FireControlFault({*op})) return Failed(fault->error);
    }
    return Done(0);
  }

  std::shared_ptr<DiskState> disk_;
  std::shared_ptr<VolumeState> volume_;
  Access access_;
  std::string path_;
  std::shared_ptr<DeviceTrace> trace_;
  uint64_t position_ = 0;
};

}  // namespace

std::unique_ptr<platform::Device> MakeDevice(std::shared_ptr<DiskState> disk,
                                             std::shared_ptr<VolumeState> volume, Access access,
                                             std::string path, std::shared_ptr<DeviceTrace> trace) {
  return std::make_unique<SimDevice>(std::move(disk), std::move(volume), access, std::move(path),
                                     std::move(trace));
}

std::vector<uint8_t> BuildStorageDescriptor(const DiskSpec& disk) {
  constexpr uint32_t kHeader = winconst::kStorageDescriptorHeaderSize;
  std::vector<uint8_t> tail;
  layout::StorageDescriptorHeader h;
  if (disk.trailing) {
    tail = *disk.trailing;
    h.vendor_id_offset = disk.vendor_offset;
    h.product_id_offset = disk.product_offset;
    h.product_revision_offset = disk.revision_offset;
    h.serial_number_offset = disk.serial_offset;
  } else {
    // Each non-empty string NUL-terminated right after the header; an empty
    // one has offset 0.
    auto append = [&](const std::string& text) -> uint32_t {
      if (text.empty()) return 0;
      uint32_t offset = kHeader + uint32_t(tail.size());
      tail.insert(tail.end(), text.begin(), text.end());
      tail.push_back(0);
      return offset;
    };
    h.vendor_id_offset = append(disk.vendor);
    h.product_id_offset = append(disk.product);
    h.product_revision_offset = append(disk.revision);
    h.serial_number_offset = append(disk.namespace_serial.empty() ? disk.serial : disk.namespace_serial);
  }
  std::vector<uint8_t> reply(kHeader + tail.size());
  h.version = h.size = uint32_t(reply.size());
  h.removable_media = disk.removable ? 1 : 0;
  h.bus_type = disk.bus_type;
  h.Encode(reply.data());
  std::copy(tail.begin(), tail.end(), reply.begin() + kHeader);
  return reply;
}

}  // namespace plexi::sim
