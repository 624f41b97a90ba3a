#include "probe/replay_machine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/firmware_codes.h"
#include "platform/ioctl_layout.h"
#include "platform/japanese_time_text.h"
#include "platform/winconst.h"
#include "util/ascii_text.h"

namespace plexi::probe {
namespace {

using platform::Access;
using platform::IoResult;
using platform::Result;

// The property query's id and type: what tells one query from another.
constexpr uint32_t kPropertyKeyBytes = 8;

// The bytes of the data area, from the recorded length, else the size the
// geometry-ex reply gives; nothing when neither was recorded.
std::optional<uint64_t> RecordedSize(const RecordedDevice& device) {
  for (const RecordedControl& c : device.controls) {
    if (c.error != 0) continue;
    if (c.code == winconst::kIoctlDiskGetLengthInfo && c.out.size() >= winconst::kLengthInformationSize)
      return layout::Load64(c.out.data());
  }
  for (const RecordedControl& c : device.controls)
    if (c.error == 0 && c.code == winconst::kIoctlDiskGetDriveGeometryEx && c.out.size() >= winconst::kDiskGeometryExSize)
      return layout::Load64(c.out.data() + winconst::kDiskGeometrySize);
  return std::nullopt;
}

// A recorded reply handed to a caller's buffer. A reply larger than the
// buffer is cut as Windows cuts it: a property query returns what fits (its
// Size field tells the rest), the geometry-ex reply too once its fixed part
// fits, the extents say ERROR_MORE_DATA with what fits, and any other
// structure does not fit at all.
IoResult CopyReply(const RecordedControl& c, void* out, uint32_t out_length) {
  if (c.error != 0) return IoResult::Failure(c.error);
  const uint32_t whole = uint32_t(c.out.size());
  if (whole > 0 && out == nullptr) return IoResult::Failure(winconst::kErrorNoAccess);
  const uint32_t n = std::min(whole, out_length);
  if (n < whole) {
    const bool cut_ok = c.code == winconst::kIoctlStorageQueryProperty ||
                        (c.code == winconst::kIoctlDiskGetDriveGeometryEx && n >= winconst::kDiskGeometryExSize);
    const bool more = c.code == winconst::kIoctlVolumeGetVolumeDiskExtents && n >= winconst::kDiskExtentsBufferSize;
    if (!cut_ok && !more) return IoResult::Failure(winconst::kErrorInsufficientBuffer);
    std::memcpy(out, c.out.data(), n);
    if (more) return IoResult::Failure(winconst::kErrorMoreData);
    return n;
  }
  if (n > 0) std::memcpy(out, c.out.data(), n);
  return n;
}

class ReplayDevice : public platform::Device {
 public:
  ReplayDevice(std::shared_ptr<const ProbeRecording> recording, const RecordedDevice& device, Access access)
      : recording_(std::move(recording)), device_(device), access_(access), size_(RecordedSize(device)) {}

  // Zeros: the probe reads no data.
  IoResult Read(void* buffer, uint32_t length) override {
    if (access_ == Access::kQuery) return IoResult::Failure(winconst::kErrorAccessDenied);
    if (length > 0 && buffer == nullptr) return IoResult::Failure(winconst::kErrorNoAccess);
    uint32_t n = length;
    if (size_) n = position_ >= *size_ ? 0 : uint32_t(std::min<uint64_t>(length, *size_ - position_));
    std::memset(buffer, 0, n);
    position_ += n;
    return n;
  }
  // A replayed handle is never opened for writing.
  IoResult Write(const void*, uint32_t) override { return IoResult::Failure(winconst::kErrorAccessDenied); }
  Result<> SetPosition(uint64_t offset) override {
    position_ = offset;
    return Result<>::Success();
  }
  Result<> Flush() override { return Result<>::Success(); }

  IoResult Control(uint32_t code, const void* in, uint32_t in_length, void* out, uint32_t out_length) override {
    // The access bits of the control code, as the I/O manager checks them
    // ("Defining I/O Control Codes", RequiredAccess):
    // https://learn.microsoft.com/en-us/windows-hardware/drivers/kernel/defining-i-o-control-codes
    const uint32_t required = (code >> 14) & 3;
    if (((required & 1) && access_ == Access::kQuery) || (required & 2))
      return IoResult::Failure(winconst::kErrorAccessDenied);
    const auto* query = static_cast<const uint8_t*>(in);
    for (const RecordedControl& c : device_.controls) {
      if (c.code != code) continue;
      const bool keyed = code == winconst::kIoctlStorageQueryProperty;
      const uint32_t key = std::min<uint32_t>(kPropertyKeyBytes, uint32_t(c.in.size()));
      if (keyed && (in_length < key || query == nullptr || std::memcmp(query, c.in.data(), key) != 0)) continue;
      return CopyReply(c, out, out_length);
    }
    return IoResult::Failure(winconst::kErrorInvalidFunction);
  }

  Result<platform::NvmeCompletion> NvmeAdmin(const platform::NvmeAdminCommand& command) override;
  Result<platform::AtaReply> AtaPassThrough(const platform::AtaCommand& command) override;
  Result<uint32_t> NvmeNamespaceId() override {
    if (device_.namespace_error != 0) return Result<uint32_t>::Failure(device_.namespace_error);
    return device_.namespace_id;
  }

 private:
  std::shared_ptr<const ProbeRecording> recording_;  // keeps device_ alive
  const RecordedDevice& device_;
  Access access_;
  std::optional<uint64_t> size_;
  uint64_t position_ = 0;
};

// The recorded data in the caller's buffer; the rest of it zeros.
void CopyData(const std::vector<uint8_t>& data, uint8_t* out, uint32_t length) {
  if (out == nullptr) return;
  const size_t n = std::min<size_t>(data.size(), length);
  std::memcpy(out, data.data(), n);
  std::memset(out + n, 0, length - n);
}

// Identify by its CNS (and namespace, for a namespace's own data), a log
// page by its id; anything else would change the drive.
Result<platform::NvmeCompletion> ReplayDevice::NvmeAdmin(const platform::NvmeAdminCommand& command) {
  using Answer = Result<platform::NvmeCompletion>;
  if (command.opcode != nvme::kOpIdentify && command.opcode != nvme::kOpGetLogPage)
    return Answer::Failure(winconst::kErrorAccessDenied);
  const uint32_t selector = command.cdw10 & 0xFF;
  const bool by_namespace = command.opcode == nvme::kOpIdentify && selector == nvme::kCnsNamespace;
  for (const RecordedNvme& r : device_.nvme) {
    if (r.opcode != command.opcode || r.selector != selector || (by_namespace && r.nsid != command.nsid)) continue;
    if (r.error != 0) return Answer::Failure(r.error);
    if (r.completion.Succeeded()) CopyData(r.data, command.data, command.data_length);
    return r.completion;
  }
  return Answer::Failure(winconst::kErrorNotSupported);
}

Result<platform::AtaReply> ReplayDevice::AtaPassThrough(const platform::AtaCommand& command) {
  using Answer = Result<platform::AtaReply>;
  if (command.command != ata::kCmdIdentify) return Answer::Failure(winconst::kErrorAccessDenied);
  for (const RecordedAta& r : device_.ata) {
    if (r.command != command.command) continue;
    if (r.error != 0) return Answer::Failure(r.error);
    if (!r.reply.Failed()) CopyData(r.data, command.data, command.data_length);
    return r.reply;
  }
  return Answer::Failure(winconst::kErrorNotSupported);
}

}  // namespace

std::unique_ptr<ReplayMachine> ReplayMachine::Parse(const std::string& text, std::string* error) {
  std::optional<ProbeRecording> recording = ReadProbe(text, error);
  if (!recording) return nullptr;
  return std::make_unique<ReplayMachine>(std::move(*recording));
}

platform::Result<std::unique_ptr<platform::Device>> ReplayMachine::OpenDevice(const std::string& path,
                                                                              Access access) {
  using Opened = platform::Result<std::unique_ptr<platform::Device>>;
  const auto found = std::find_if(recording_->devices.begin(), recording_->devices.end(),
                                  [&](const RecordedDevice& d) { return EqualIgnoringAsciiCase(d.path, path); });
  if (found == recording_->devices.end()) return Opened::Failure(winconst::kErrorFileNotFound);
  if (access == Access::kReadWrite) return Opened::Failure(winconst::kErrorAccessDenied);
  const uint32_t error = access == Access::kQuery ? found->query_open_error : found->read_open_error;
  if (error != 0) return Opened::Failure(error);
  return std::unique_ptr<platform::Device>(std::make_unique<ReplayDevice>(recording_, *found, access));
}

std::string ReplayMachine::LogicalDriveStrings() {
  std::string strings;
  for (const RecordedLetter& letter : recording_->letters) strings += letter.root + '\0';
  return strings;
}

uint32_t ReplayMachine::LogicalDriveMask() {
  uint32_t mask = 0;
  for (const RecordedLetter& letter : recording_->letters) {
    const char c = UpperAscii(letter.root[0]);
    if (c >= 'A' && c <= 'Z') mask |= 1u << (c - 'A');
  }
  return mask;
}

const RecordedLetter* ReplayMachine::FindLetter(const std::string& root) const {
  for (const RecordedLetter& letter : recording_->letters)
    if (EqualIgnoringAsciiCase(letter.root, root)) return &letter;
  return nullptr;
}

uint32_t ReplayMachine::DriveType(const std::string& root) {
  const RecordedLetter* letter = FindLetter(root);
  return letter ? letter->type : winconst::kDriveNoRootDir;
}

std::optional<std::string> ReplayMachine::VolumeLabel(const std::string& root) {
  const RecordedLetter* letter = FindLetter(root);
  return letter ? letter->label : std::nullopt;
}

std::string ReplayMachine::ErrorText(uint32_t code) {
  const auto found = recording_->error_texts.find(code);
  return found == recording_->error_texts.end() ? std::string() : found->second;
}

std::string ReplayMachine::DateText(const platform::LocalTime& t) { return platform::JapaneseDateText(t); }

std::string ReplayMachine::TimeText(const platform::LocalTime& t) { return platform::JapaneseTimeText(t); }

}  // namespace plexi::probe
