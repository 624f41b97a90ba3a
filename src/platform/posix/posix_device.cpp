#include "platform/posix/posix_device.h"

#include <fcntl.h>
#include <sys/file.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/ioctl_layout.h"
#include "platform/posix/linux_firmware.h"
#include "platform/posix/sysfs_info.h"
#include "platform/winconst.h"

namespace plexi::posix {

using platform::Access;
using platform::IoResult;
using platform::Result;

namespace {

constexpr uint32_t kBounceBytes = 1u << 20;
constexpr uint8_t kFixedMedia = 12;      // MEDIA_TYPE FixedMedia
constexpr uint8_t kRemovableMedia = 11;  // MEDIA_TYPE RemovableMedia
constexpr uint32_t kStorageDeviceProperty = 0;
constexpr uint32_t kPropertyStandardQuery = 0;

IoResult Failed(uint32_t code) { return IoResult::Failure(code); }
IoResult Done(uint32_t bytes) { return IoResult(bytes); }

// A STORAGE_DEVICE_DESCRIPTOR with its strings after the 40-byte header;
// an empty string is left out and its offset stays 0.
std::vector<uint8_t> EncodeDescriptor(const DeviceIdentity& id) {
  std::vector<uint8_t> reply(winconst::kStorageDescriptorHeaderSize, 0);
  layout::StorageDescriptorHeader header;
  auto append = [&](const std::string& text) -> uint32_t {
    if (text.empty()) return 0;
    uint32_t offset = uint32_t(reply.size());
    reply.insert(reply.end(), text.begin(), text.end());
    reply.push_back(0);
    return offset;
  };
  header.vendor_id_offset = append(id.vendor);
  header.product_id_offset = append(id.product);
  header.product_revision_offset = append(id.revision);
  header.serial_number_offset = append(id.serial);
  header.version = winconst::kStorageDescriptorHeaderSize;
  header.size = uint32_t(reply.size());
  header.removable_media = id.removable ? 1 : 0;
  header.bus_type = id.bus_type;
  header.Encode(reply.data());
  return reply;
}

// The lock of flock(2) belongs to the open file, which the duplicate
// descriptor keeps open: the claim holds the image also when the handle it
// came from is closed first, and lets it go when the claim ends.
class ImageClaim : public platform::DriveClaim {
 public:
  explicit ImageClaim(UniqueFd fd) : fd_(std::move(fd)) {}
  ~ImageClaim() override { ::flock(fd_.get(), LOCK_UN); }
  ImageClaim(const ImageClaim&) = delete;
  ImageClaim& operator=(const ImageClaim&) = delete;

 private:
  UniqueFd fd_;
};

}  // namespace

PosixDevice::PosixDevice(UniqueFd fd, Access access, bool direct, DeviceFacts facts)
    : fd_(std::move(fd)), access_(access), direct_(direct), facts_(std::move(facts)) {}

IoResult PosixDevice::Read(void* buffer, uint32_t length) {
  return Transfer(IoKind::kRead, static_cast<uint8_t*>(buffer), length);
}

IoResult PosixDevice::Write(const void* buffer, uint32_t length) {
  // Move() only reads from the buffer when writing.
  return Transfer(IoKind::kWrite, static_cast<uint8_t*>(const_cast<void*>(buffer)), length);
}

Result<> PosixDevice::SetPosition(uint64_t offset) {
  // Windows takes the position as a signed 64-bit value.
  if (offset > uint64_t(INT64_MAX)) return Result<>::Failure(winconst::kErrorNegativeSeek);
  position_ = offset;
  return Result<>::Success();
}

Result<std::unique_ptr<platform::DriveClaim>> PosixDevice::ClaimForErase() {
  using ClaimResult = Result<std::unique_ptr<platform::DriveClaim>>;
  if (facts_.block_device) return ClaimResult(std::make_unique<platform::DriveClaim>());
  UniqueFd fd(::fcntl(fd_.get(), F_DUPFD_CLOEXEC, 0));
  if (!fd) return ClaimResult::Failure(WindowsErrorFromErrno(errno));
  int locked;
  do locked = ::flock(fd.get(), LOCK_EX | LOCK_NB);
  while (locked != 0 && errno == EINTR);
  if (locked == 0) return ClaimResult(std::make_unique<ImageClaim>(std::move(fd)));
  if (errno == EWOULDBLOCK) return ClaimResult::Failure(winconst::kErrorLockViolation);
  // A file system that keeps no locks (ENOLCK, EINVAL): nothing can be
  // claimed there, as before there were claims.
  return ClaimResult(std::make_unique<platform::DriveClaim>());
}

Result<> PosixDevice::Flush() {
  if (::fdatasync(fd_.get()) != 0) return Result<>::Failure(WindowsErrorFromErrno(errno));
  return Result<>::Success();
}

IoResult PosixDevice::Transfer(IoKind kind, uint8_t* data, uint32_t length) {
  bool writing = kind == IoKind::kWrite;
  if (access_ == Access::kQuery || (writing && access_ != Access::kReadWrite))
    return Failed(winconst::kErrorAccessDenied);
  uint32_t sector = facts_.sector_size;
  if (length % sector != 0 || position_ % sector != 0)
    return Failed(winconst::kErrorInvalidParameter);
  if (length == 0) return Done(0);
  if (position_ >= facts_.size_bytes)
    return writing ? Failed(winconst::kErrorDiskFull) : Done(0);

  uint64_t wanted = std::min<uint64_t>(length, facts_.size_bytes - position_);
  bool aligned = reinterpret_cast<uintptr_t>(data) % MemoryAlignment() == 0;
  const Moved moved = direct_ && !aligned ? MoveThroughBounce(kind, data, wanted, position_)
                                          : Move(kind, data, wanted, position_);
  position_ += moved.bytes;
  return moved.error != 0 ? Failed(moved.error) : Done(moved.bytes);
}

// pread/pwrite until everything moved, the end was met or an error came.
PosixDevice::Moved PosixDevice::Move(IoKind kind, uint8_t* data, uint64_t length, uint64_t position) {
  uint64_t done = 0;
  while (done < length) {
    ssize_t n = kind == IoKind::kRead
                    ? ::pread(fd_.get(), data + done, length - done, off_t(position + done))
                    : ::pwrite(fd_.get(), data + done, length - done, off_t(position + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      // The target accepted O_DIRECT at open but not this aligned request.
      if (errno == EINVAL && direct_ && DropDirect()) continue;
      return {uint32_t(done), WindowsErrorFromErrno(errno, kind)};
    }
    if (n == 0) break;
    done += uint64_t(n);
  }
  return {uint32_t(done), 0};
}

// Direct I/O needs aligned memory; a caller's unaligned buffer is copied
// through an aligned one, a piece at a time.
PosixDevice::Moved PosixDevice::MoveThroughBounce(IoKind kind, uint8_t* data, uint64_t length,
                                                  uint64_t position) {
  if (!bounce_) {
    uint32_t size = std::max(kBounceBytes, facts_.sector_size);
    if (::posix_memalign(bounce_.put(), MemoryAlignment(), size) != 0)
      return {0, winconst::kErrorNotEnoughMemory};
    bounce_size_ = size;
  }
  auto* bounce = static_cast<uint8_t*>(bounce_.get());
  uint64_t done = 0;
  while (done < length) {
    uint64_t piece = std::min<uint64_t>(bounce_size_, length - done);
    if (kind == IoKind::kWrite) std::memcpy(bounce, data + done, piece);
    const Moved step = Move(kind, bounce, piece, position + done);
    if (kind == IoKind::kRead) std::memcpy(data + done, bounce, step.bytes);
    done += step.bytes;
    if (step.error != 0) return {uint32_t(done), step.error};
    if (step.bytes < piece) break;
  }
  return {uint32_t(done), 0};
}

bool PosixDevice::DropDirect() {
  int flags = ::fcntl(fd_.get(), F_GETFL);
  if (flags < 0 || ::fcntl(fd_.get(), F_SETFL, flags & ~O_DIRECT) != 0) return false;
  direct_ = false;
  return true;
}

// A command without data from the drive may have changed every sector
// behind the kernel's back: pages it cached before must not be read again.
Result<platform::NvmeCompletion> PosixDevice::NvmeAdmin(const platform::NvmeAdminCommand& command) {
  if (!WholeDisk()) return Result<platform::NvmeCompletion>::Failure(winconst::kErrorNotSupported);
  Result<platform::NvmeCompletion> r = LinuxNvmeAdmin(fd_.get(), command);
  if (command.data == nullptr) DropCachedPages(fd_.get());
  return r;
}

Result<platform::AtaReply> PosixDevice::AtaPassThrough(const platform::AtaCommand& command) {
  if (!WholeDisk()) return Result<platform::AtaReply>::Failure(winconst::kErrorNotSupported);
  Result<platform::AtaReply> r = LinuxAtaPassThrough(fd_.get(), command);
  if (command.direction != platform::AtaCommand::Data::kIn) DropCachedPages(fd_.get());
  return r;
}

Result<uint32_t> PosixDevice::NvmeNamespaceId() {
  if (!WholeDisk()) return Result<uint32_t>::Failure(winconst::kErrorNotSupported);
  return LinuxNvmeNamespaceId(fd_.get());
}

uint32_t PosixDevice::MemoryAlignment() const { return std::max(4096u, facts_.sector_size); }

IoResult PosixDevice::Control(uint32_t code, const void* in, uint32_t in_length, void* out,
                              uint32_t out_length) {
  auto* reply = static_cast<uint8_t*>(out);
  switch (code) {
    case winconst::kIoctlDiskGetDriveGeometry: return Geometry(reply, out_length);
    case winconst::kIoctlDiskGetPartitionInfo: return PartitionInfo(reply, out_length);
    case winconst::kIoctlDiskGetLengthInfo:
      if (reply == nullptr || out_length < winconst::kLengthInformationSize)
        return Failed(winconst::kErrorInsufficientBuffer);
      layout::Store64(reply, facts_.size_bytes);
      return Done(winconst::kLengthInformationSize);
    case winconst::kIoctlStorageQueryProperty:
      return StorageDescriptor(static_cast<const uint8_t*>(in), in_length, reply, out_length);
    // Nothing can hold the target mounted: the open refused that already.
    case winconst::kFsctlLockVolume:
    case winconst::kFsctlUnlockVolume: return Done(0);
    default: return Failed(winconst::kErrorInvalidFunction);
  }
}

// One sector per cylinder so that the product of the three counts is the
// exact number of sectors: nothing at the end is left out of an erase.
IoResult PosixDevice::Geometry(uint8_t* out, uint32_t out_length) const {
  if (out == nullptr || out_length < winconst::kDiskGeometrySize)
    return Failed(winconst::kErrorInsufficientBuffer);
  bool removable = facts_.block_device && IdentityFromSysfs(facts_.sysfs_dir).removable;
  layout::DiskGeometry geometry;
  geometry.cylinders = int64_t(facts_.size_bytes / facts_.sector_size);
  geometry.media_type = removable ? kRemovableMedia : kFixedMedia;
  geometry.tracks_per_cylinder = 1;
  geometry.sectors_per_track = 1;
  geometry.bytes_per_sector = facts_.sector_size;
  geometry.Encode(out);
  return Done(winconst::kDiskGeometrySize);
}

IoResult PosixDevice::PartitionInfo(uint8_t* out, uint32_t out_length) const {
  if (out == nullptr || out_length < winconst::kPartitionInformationSize)
    return Failed(winconst::kErrorInsufficientBuffer);
  layout::PartitionInformation info;
  info.starting_offset = int64_t(facts_.partition_start);
  info.partition_length = int64_t(facts_.size_bytes);
  info.hidden_sectors = uint32_t(facts_.partition_start / facts_.sector_size);
  info.partition_number = facts_.partition_number;
  info.recognized = facts_.partition_number != 0 ? 1 : 0;
  info.Encode(out);
  return Done(winconst::kPartitionInformationSize);
}

IoResult PosixDevice::StorageDescriptor(const uint8_t* in, uint32_t in_length, uint8_t* out,
                                        uint32_t out_length) const {
  if (in == nullptr || in_length < 8) return Failed(winconst::kErrorInvalidParameter);
  if (layout::Load32(in) == winconst::kStorageDeviceSeekPenaltyProperty &&
      layout::Load32(in + 4) == kPropertyStandardQuery)
    return SeekPenalty(out, out_length);
  if (layout::Load32(in) != kStorageDeviceProperty ||
      layout::Load32(in + 4) != kPropertyStandardQuery)
    return Failed(winconst::kErrorNotSupported);
  // Smaller than the version and size fields: the caller learns nothing.
  if (out == nullptr || out_length < 8) return Failed(winconst::kErrorInsufficientBuffer);

  DeviceIdentity id;
  if (facts_.block_device) {
    id = IdentityFromSysfs(facts_.sysfs_dir);
  } else {
    id.product = "Image file";
    id.serial = facts_.path;
    id.bus_type = winconst::kBusTypeFileBackedVirtual;
  }
  std::vector<uint8_t> reply = EncodeDescriptor(id);
  uint32_t bytes = std::min(uint32_t(reply.size()), out_length);
  std::memcpy(out, reply.data(), bytes);
  return Done(bytes);
}

std::string PosixDevice::IdentitySource() const {
  return facts_.block_device ? IdentityFromSysfs(facts_.sysfs_dir).source : "image_file";
}

std::optional<platform::Device::Names> PosixDevice::NamesBefore() const {
  if (!facts_.block_device) return std::nullopt;
  const DeviceIdentity now = IdentityFromSysfs(facts_.sysfs_dir);
  const DeviceIdentity before = InquiryIdentityFromSysfs(facts_.sysfs_dir);
  if (before.vendor == now.vendor && before.product == now.product && before.serial == now.serial) return std::nullopt;
  return Names{before.vendor, before.product, before.serial};
}

// DEVICE_SEEK_PENALTY_DESCRIPTOR from the disk's rotational flag; an image
// file, or a disk the kernel says nothing about, does not answer.
IoResult PosixDevice::SeekPenalty(uint8_t* out, uint32_t out_length) const {
  const std::optional<bool> rotational = facts_.block_device ? RotationalOf(facts_.sysfs_dir) : std::nullopt;
  if (!rotational) return Failed(winconst::kErrorNotSupported);
  if (out == nullptr || out_length < winconst::kSeekPenaltyDescriptorSize)
    return Failed(winconst::kErrorInsufficientBuffer);
  std::memset(out, 0, winconst::kSeekPenaltyDescriptorSize);
  layout::Store32(out, winconst::kSeekPenaltyDescriptorSize);
  layout::Store32(out + 4, winconst::kSeekPenaltyDescriptorSize);
  out[8] = *rotational ? 1 : 0;
  return Done(winconst::kSeekPenaltyDescriptorSize);
}

}  // namespace plexi::posix
