#include "storage_model.h"

#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <cwctype>

#include "platform/ioctl_layout.h"
#include "platform/storage_protocol_layout.h"
#include "platform/win/utf.h"
#include "platform/win/win_machine.h"
#include "platform/winconst.h"

namespace plexi::win::test {

struct StorageModel::Open {
  std::unique_ptr<platform::Device> device;  // none for a volume search
  DWORD access = 0;
  bool unbuffered = false;
  uint32_t sector_size = 512;
  std::vector<std::wstring> volumes;  // a search: every name, the next one's index
  size_t next_volume = 0;
};

namespace {

using platform::Access;

constexpr wchar_t kInterfacePrefix[] = L"\\\\?\\simdisk#";
constexpr wchar_t kInterfaceSuffix[] = L"#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";
constexpr wchar_t kDevicePrefix[] = L"\\Device\\HarddiskVolume";
// The key Windows PE has and a full Windows lacks.
constexpr wchar_t kMiniNtKey[] = L"SYSTEM\\CurrentControlSet\\Control\\MiniNT";
const HKEY kMiniNtHandle = reinterpret_cast<HKEY>(uintptr_t(0x5EE0));

BOOL Fail(DWORD error) {
  ::SetLastError(error);
  return FALSE;
}

bool SameText(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
           return std::towupper(x) == std::towupper(y);
         });
}

bool StartsWithText(const std::wstring& text, const std::wstring& prefix) {
  return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

// Copies `text` and its NUL when it fits in `length` characters.
bool CopyOut(const std::wstring& text, wchar_t* buffer, DWORD length) {
  if (buffer == nullptr || text.size() + 1 > length) return false;
  std::copy(text.begin(), text.end(), buffer);
  buffer[text.size()] = L'\0';
  return true;
}

Access AccessOf(DWORD desired) {
  if (desired & GENERIC_WRITE) return Access::kReadWrite;
  return (desired & GENERIC_READ) ? Access::kRead : Access::kQuery;
}

// The access bits of a control code, which the I/O manager holds against
// the handle's before any driver sees the request ("Defining I/O Control
// Codes", RequiredAccess,
// https://learn.microsoft.com/en-us/windows-hardware/drivers/kernel/defining-i-o-control-codes).
bool HandleMayUse(DWORD handle_access, DWORD code) {
  const DWORD required = (code >> 14) & 3;
  if ((required & FILE_READ_ACCESS) && !(handle_access & GENERIC_READ)) return false;
  if ((required & FILE_WRITE_ACCESS) && !(handle_access & GENERIC_WRITE)) return false;
  return true;
}

// The sector size an unbuffered handle must keep to, from the geometry the
// device reports.
uint32_t SectorSizeOf(platform::Device& device) {
  uint8_t geometry[winconst::kDiskGeometrySize] = {};
  const platform::IoResult r =
      device.Control(winconst::kIoctlDiskGetDriveGeometry, nullptr, 0, geometry, sizeof geometry);
  const uint32_t size = r.ok() ? layout::Load32(geometry + 20) : 0;
  return size == 0 ? 512 : size;
}

// The volumes as the machine underneath lists them.
std::vector<platform::VolumeEntry> VolumesOf(platform::Machine& machine) { return machine.Volumes().volumes; }

std::wstring VolumeName(const platform::VolumeEntry& volume) { return Utf8ToWide(volume.path) + L"\\"; }

}  // namespace

StorageModel::StorageModel(platform::Machine& machine, WindowsEdition edition) : machine_(machine), edition_(edition) {}
StorageModel::~StorageModel() = default;

std::shared_ptr<StorageModel::Open> StorageModel::Find(HANDLE handle) const {
  std::lock_guard lock(mutex_);
  const auto it = opens_.find(reinterpret_cast<uintptr_t>(handle));
  return it == opens_.end() ? nullptr : it->second;
}

HANDLE StorageModel::Keep(std::shared_ptr<Open> open) {
  std::lock_guard lock(mutex_);
  const uintptr_t value = next_;
  next_ += 4;
  opens_[value] = std::move(open);
  return reinterpret_cast<HANDLE>(value);
}

bool StorageModel::Release(HANDLE handle) {
  std::shared_ptr<Open> open;
  {
    std::lock_guard lock(mutex_);
    const auto it = opens_.find(reinterpret_cast<uintptr_t>(handle));
    if (it == opens_.end()) return false;
    open = std::move(it->second);
    opens_.erase(it);
  }
  return true;  // the device closes as the last user lets go
}

size_t StorageModel::OpenCount() const {
  std::lock_guard lock(mutex_);
  return opens_.size();
}

HANDLE StorageModel::CreateFileW(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
  static_cast<void>(share);
  std::wstring name = path != nullptr ? path : L"";
  if (StartsWithText(name, kInterfacePrefix)) {
    // A disk interface path names the disk it was listed for.
    const std::wstring rest = name.substr(std::size(kInterfacePrefix) - 1);
    name = L"\\\\.\\PHYSICALDRIVE" + rest.substr(0, rest.find(L'#'));
  }
  if (disposition != OPEN_EXISTING) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  platform::Result<std::unique_ptr<platform::Device>> device = machine_.OpenDevice(WideToUtf8(name), AccessOf(access));
  if (!device.ok()) {
    ::SetLastError(device.error());
    return INVALID_HANDLE_VALUE;
  }
  auto open = std::make_shared<Open>();
  open->device = std::move(device.value());
  open->access = access;
  open->unbuffered = (flags & FILE_FLAG_NO_BUFFERING) != 0;
  if (open->unbuffered) open->sector_size = SectorSizeOf(*open->device);
  return Keep(std::move(open));
}

BOOL StorageModel::CloseHandle(HANDLE handle) {
  const std::shared_ptr<Open> open = Find(handle);
  if (!open || !open->device) return Fail(ERROR_INVALID_HANDLE);
  return Release(handle) ? TRUE : Fail(ERROR_INVALID_HANDLE);
}

namespace {

// An unbuffered handle moves whole sectors from sector-aligned memory
// ("File Buffering", Alignment and File Access Requirements,
// https://learn.microsoft.com/en-us/windows/win32/fileio/file-buffering).
// The file offset and the length are the simulated device's to check, as
// are writes into a mounted volume's sectors, through the volume or the
// disk, before the volume is locked or dismounted (KB942448, "Blocking
// Direct Write Operations to Volumes and Disks",
// https://learn.microsoft.com/en-us/windows-hardware/drivers/ifs/blocking-direct-write-operations-to-volumes-and-disks).
template <class Move>
BOOL Transfer(const std::shared_ptr<StorageModel::Open>& open, const void* buffer, DWORD* done, Move move) {
  *done = 0;
  if (!open || !open->device) return Fail(ERROR_INVALID_HANDLE);
  if (open->unbuffered && reinterpret_cast<uintptr_t>(buffer) % open->sector_size != 0)
    return Fail(ERROR_INVALID_PARAMETER);
  const platform::IoResult r = move(*open->device);
  if (!r.ok()) return Fail(r.error());
  *done = r.value();
  return TRUE;
}

}  // namespace

BOOL StorageModel::ReadFile(HANDLE handle, void* buffer, DWORD length, DWORD* done) {
  return Transfer(Find(handle), buffer, done, [&](platform::Device& d) { return d.Read(buffer, length); });
}

BOOL StorageModel::WriteFile(HANDLE handle, const void* buffer, DWORD length, DWORD* done) {
  return Transfer(Find(handle), buffer, done, [&](platform::Device& d) { return d.Write(buffer, length); });
}

// The backend positions from the start only.
BOOL StorageModel::SetFilePointerEx(HANDLE handle, LARGE_INTEGER distance, LARGE_INTEGER* position, DWORD method) {
  const std::shared_ptr<Open> open = Find(handle);
  if (!open || !open->device) return Fail(ERROR_INVALID_HANDLE);
  if (method != FILE_BEGIN) return Fail(ERROR_INVALID_PARAMETER);
  if (distance.QuadPart < 0) return Fail(ERROR_NEGATIVE_SEEK);
  const platform::Result<> r = open->device->SetPosition(uint64_t(distance.QuadPart));
  if (!r.ok()) return Fail(r.error());
  if (position != nullptr) *position = distance;
  return TRUE;
}

BOOL StorageModel::FlushFileBuffers(HANDLE handle) {
  const std::shared_ptr<Open> open = Find(handle);
  if (!open || !open->device) return Fail(ERROR_INVALID_HANDLE);
  const platform::Result<> r = open->device->Flush();
  return r.ok() ? TRUE : Fail(r.error());
}

BOOL StorageModel::DeviceIoControl(HANDLE handle, DWORD code, void* in, DWORD in_length, void* out,
                                   DWORD out_length, DWORD* returned) {
  *returned = 0;
  const std::shared_ptr<Open> open = Find(handle);
  if (!open || !open->device) return Fail(ERROR_INVALID_HANDLE);
  // The request's input is read whole before the reply is written: callers
  // pass one buffer as both.
  const auto* bytes = static_cast<const uint8_t*>(in);
  const std::vector<uint8_t> input(bytes, bytes + (in ? in_length : 0));
  return Dispatch(*open, code, in ? input.data() : nullptr, in_length, static_cast<uint8_t*>(out), out_length,
                  returned);
}

// The requests the model answers itself are the firmware pass-throughs;
// the rest are the simulated device's, which checks their access bits.
BOOL StorageModel::Dispatch(Open& open, DWORD code, const uint8_t* in, DWORD in_length, uint8_t* out,
                            DWORD out_length, DWORD* returned) {
  const bool protocol_query =
      code == winconst::kIoctlStorageQueryProperty && in != nullptr && in_length >= 4 &&
      (layout::Load32(in) == layout::kStorageAdapterProtocolSpecificProperty ||
       layout::Load32(in) == layout::kStorageDeviceProtocolSpecificProperty);
  const bool own = protocol_query || code == layout::kIoctlStorageProtocolCommand ||
                   code == layout::kIoctlStorageReinitializeMedia || code == layout::kIoctlAtaPassThrough;
  if (own && !HandleMayUse(open.access, code)) return Fail(ERROR_ACCESS_DENIED);
  if (protocol_query) return NvmeQuery(open, in, in_length, out, out_length, returned);
  if (code == layout::kIoctlStorageProtocolCommand)
    return ProtocolCommand(open, in, in_length, out, out_length, returned);
  if (code == layout::kIoctlStorageReinitializeMedia) return ReinitializeMedia(open, in, in_length);
  if (code == layout::kIoctlAtaPassThrough) return AtaPassThrough(open, in, in_length, out, out_length, returned);
  const platform::IoResult r = open.device->Control(code, in, in_length, out, out_length);
  if (!r.ok()) return Fail(r.error());
  *returned = r.value();
  return TRUE;
}


namespace {

constexpr uint8_t kNvmeIdentify = 0x06;
constexpr uint8_t kNvmeGetLogPage = 0x02;
constexpr uint8_t kNvmeSanitize = 0x84;
constexpr uint32_t kCnsNamespace = 0, kCnsController = 1;

// What a completion that did not succeed leaves in the error information:
// status code type in bits 9-11, status code in bits 1-8.
uint16_t StatusField(const platform::NvmeCompletion& c) {
  return uint16_t((c.status_type & 0x07) << 9 | c.status_code << 1);
}

}  // namespace

// Identify data and log pages come through the protocol-specific property
// queries, the reply a STORAGE_PROTOCOL_DATA_DESCRIPTOR with the data after
// it; identify is asked for the controller or one namespace, not for the
// lists ("Working with NVMe drives", protocol-specific queries,
// https://learn.microsoft.com/en-us/windows/win32/fileio/working-with-nvme-devices).
BOOL StorageModel::NvmeQuery(Open& open, const uint8_t* in, DWORD in_length, uint8_t* out, DWORD out_length,
                             DWORD* returned) {
  constexpr uint32_t kHeader = layout::kPropertyQueryParametersOffset + layout::kProtocolSpecificDataSize;
  if (in_length < kHeader) return Fail(ERROR_INVALID_PARAMETER);
  const layout::ProtocolSpecificData asked =
      layout::ProtocolSpecificData::Decode(in + layout::kPropertyQueryParametersOffset);
  if (asked.protocol_type != layout::kProtocolTypeNvme) return Fail(ERROR_NOT_SUPPORTED);
  platform::NvmeAdminCommand command;
  if (asked.data_type == layout::kNvmeDataTypeIdentify) {
    if (asked.request_value != kCnsNamespace && asked.request_value != kCnsController) return Fail(ERROR_NOT_SUPPORTED);
    command.opcode = kNvmeIdentify;
    command.cdw10 = asked.request_value;
    command.nsid = asked.request_value == kCnsNamespace ? asked.request_sub_value : 0;
  } else if (asked.data_type == layout::kNvmeDataTypeLogPage) {
    command.opcode = kNvmeGetLogPage;
    command.nsid = 0xFFFFFFFF;
    command.cdw10 = asked.request_value | ((asked.data_length / 4 - 1) << 16);
    command.cdw12 = asked.request_sub_value;
  } else {
    return Fail(ERROR_NOT_SUPPORTED);
  }
  if (asked.data_length == 0 || out_length < layout::kProtocolDataDescriptorSize + asked.data_length)
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  std::vector<uint8_t> data(asked.data_length);
  command.data = data.data();
  command.data_length = asked.data_length;
  const platform::Result<platform::NvmeCompletion> r = open.device->NvmeAdmin(command);
  if (!r.ok()) return Fail(r.error());
  if (!r->Succeeded()) return Fail(ERROR_IO_DEVICE);
  layout::Store32(out, layout::kProtocolDataDescriptorSize);
  layout::Store32(out + 4, layout::kProtocolDataDescriptorSize);
  layout::ProtocolSpecificData reply = asked;
  reply.data_offset = layout::kProtocolSpecificDataSize;
  reply.data_length = asked.data_length;
  reply.Encode(out + layout::kProtocolDataDescriptorDataOffset);
  std::memcpy(out + layout::kProtocolDataDescriptorSize, data.data(), data.size());
  *returned = layout::kProtocolDataDescriptorSize + asked.data_length;
  return TRUE;
}

// StorNVMe's admin commands through IOCTL_STORAGE_PROTOCOL_COMMAND ("StorNVMe
// command set support", Windows 10 version 1903 and later,
// https://learn.microsoft.com/en-us/windows-hardware/drivers/storage/stornvme-command-set-support):
// Device Self-test and the vendor-specific commands anywhere; Namespace
// Management and Attachment, NVMe-MI Send and Receive, Format NVM and
// Sanitize in Windows PE only. Before 1903 the pass-through carries the
// vendor-specific commands only ("Working with NVMe drives", pass-through
// mechanism).
bool StorageModel::NvmeCommandAllowed(uint8_t opcode) const {
  constexpr uint8_t kSelfTest = 0x14, kVendorFirst = 0xC0;
  constexpr uint8_t kWinPeOnly[] = {0x0D, 0x15, 0x1D, 0x1E, 0x80, kNvmeSanitize};
  if (opcode >= kVendorFirst) return true;
  if (edition_.build < kBuildWindows10v1903) return false;
  if (opcode == kSelfTest) return true;
  return edition_.windows_pe && std::find(std::begin(kWinPeOnly), std::end(kWinPeOnly), opcode) != std::end(kWinPeOnly);
}

BOOL StorageModel::ProtocolCommand(Open& open, const uint8_t* in, DWORD in_length, uint8_t* out, DWORD out_length,
                                   DWORD* returned) {
  namespace f = layout::protocol_command;
  constexpr uint32_t kCommandEnd = layout::kProtocolCommandCommandOffset + layout::kProtocolCommandLengthNvme;
  if (in_length < kCommandEnd || out_length < in_length ||
      layout::Load32(in + f::kProtocolType) != layout::kProtocolTypeNvme)
    return Fail(ERROR_INVALID_PARAMETER);
  std::memcpy(out, in, in_length);
  const uint8_t* sqe = in + layout::kProtocolCommandCommandOffset;
  if (!NvmeCommandAllowed(sqe[0])) {
    layout::Store32(out + f::kReturnStatus, layout::kProtocolStatusNotSupported);
    return Fail(ERROR_NOT_SUPPORTED);
  }
  platform::NvmeAdminCommand command;
  command.opcode = sqe[0];
  command.nsid = layout::Load32(sqe + 4);
  uint32_t* dwords[] = {&command.cdw10, &command.cdw11, &command.cdw12, &command.cdw13, &command.cdw14, &command.cdw15};
  for (int i = 0; i < 6; ++i) *dwords[i] = layout::Load32(sqe + 40 + 4 * i);
  const uint32_t data_length = layout::Load32(in + f::kDataFromDeviceLength);
  const uint32_t data_offset = layout::Load32(in + f::kDataFromDeviceOffset);
  if (data_length > 0 && uint64_t(data_offset) + data_length > out_length) return Fail(ERROR_INVALID_PARAMETER);
  command.data = data_length > 0 ? out + data_offset : nullptr;
  command.data_length = data_length;
  const platform::Result<platform::NvmeCompletion> r = open.device->NvmeAdmin(command);
  if (!r.ok()) return Fail(r.error());
  const uint32_t error_info = layout::Load32(in + f::kErrorInfoOffset);
  const bool succeeded = r->Succeeded();
  layout::Store32(out + f::kReturnStatus, succeeded ? layout::kProtocolStatusSuccess : layout::kProtocolStatusError);
  layout::Store32(out + f::kFixedProtocolReturnData, r->result);
  if (!succeeded && uint64_t(error_info) + 14 <= out_length) {
    const uint16_t field = StatusField(*r);
    out[error_info + 12] = uint8_t(field);
    out[error_info + 13] = uint8_t(field >> 8);
  }
  *returned = out_length;
  return TRUE;
}

// IOCTL_STORAGE_REINITIALIZE_MEDIA, an NVMe sanitize: from Windows 10
// version 1607, without input before Windows Server 2022 (build 20348,
// Windows 11 too), from it optionally the STORAGE_REINITIALIZE_MEDIA options
// (default method: crypto erase). The page names 21H1 for the input length
// but Server 2022 for the input and the structure, so the model takes the
// options only where both hold. Outside Windows PE for data disks only
// (https://learn.microsoft.com/en-us/windows-hardware/drivers/ddi/ntddstor/ni-ntddstor-ioctl_storage_reinitialize_media,
// https://learn.microsoft.com/en-us/windows-hardware/drivers/ddi/ntddstor/ns-ntddstor-storage_reinitialize_media).
BOOL StorageModel::ReinitializeMedia(Open& open, const uint8_t* in, DWORD in_length) {
  if (edition_.build < kBuildWindows10v1607) return Fail(ERROR_INVALID_FUNCTION);
  uint32_t method = layout::kSanitizeMethodCryptoErase;
  bool disallow_unrestricted = false;
  if (in != nullptr && in_length > 0) {
    if (edition_.build < kBuildServer2022 || in_length < layout::kReinitializeMediaSize)
      return Fail(ERROR_INVALID_PARAMETER);
    const uint32_t options = layout::Load32(in + 12);
    if ((options & 0x0F) != 0) method = options & 0x0F;
    disallow_unrestricted = (options & 0x10) != 0;
  }
  constexpr uint32_t kSanactBlock = 2, kSanactCrypto = 4, kAuse = 1u << 3;
  platform::NvmeAdminCommand command;
  command.opcode = kNvmeSanitize;
  command.cdw10 = (method == layout::kSanitizeMethodBlockErase ? kSanactBlock : kSanactCrypto) |
                  (disallow_unrestricted ? 0 : kAuse);
  const platform::Result<platform::NvmeCompletion> r = open.device->NvmeAdmin(command);
  if (!r.ok()) return Fail(r.error());
  return r->Succeeded() ? TRUE : Fail(ERROR_IO_DEVICE);
}

namespace {

constexpr uint8_t kSecuritySetPassword = 0xF1, kSecurityDisablePassword = 0xF6;
constexpr uint8_t kSanitizeDevice = 0xB4;
constexpr uint16_t kCryptoScrambleExt = 0x0011;
// The one user password Windows PE lets a program set, its bytes in the
// order the page spells them.
constexpr char kWinPePassword[] = "AutoATAWindowsString12345678901";
constexpr DWORD kBuildWindows8 = 9200;

platform::AtaCommand DecodeAta(const uint8_t* p, bool extended) {
  namespace f = layout::ata_pass_through;
  const uint8_t* cur = p + f::kCurrentTaskFile;
  const uint8_t* prev = p + f::kPreviousTaskFile;
  platform::AtaCommand c;
  c.command = cur[6];
  c.device = cur[5];
  c.feature = uint16_t(cur[0] | (extended ? prev[0] << 8 : 0));
  c.count = uint16_t(cur[1] | (extended ? prev[1] << 8 : 0));
  c.lba = uint64_t(cur[2]) | uint64_t(cur[3]) << 8 | uint64_t(cur[4]) << 16;
  if (extended) c.lba |= uint64_t(prev[2]) << 24 | uint64_t(prev[3]) << 32 | uint64_t(prev[4]) << 40;
  return c;
}

void EncodeAtaReply(uint8_t* p, const platform::AtaReply& reply, bool extended) {
  namespace f = layout::ata_pass_through;
  uint8_t* cur = p + f::kCurrentTaskFile;
  uint8_t* prev = p + f::kPreviousTaskFile;
  cur[0] = reply.error;
  cur[1] = uint8_t(reply.count);
  cur[2] = uint8_t(reply.lba);
  cur[3] = uint8_t(reply.lba >> 8);
  cur[4] = uint8_t(reply.lba >> 16);
  cur[6] = reply.status;
  if (!extended) return;
  prev[1] = uint8_t(reply.count >> 8);
  prev[2] = uint8_t(reply.lba >> 24);
  prev[3] = uint8_t(reply.lba >> 32);
  prev[4] = uint8_t(reply.lba >> 40);
}

}  // namespace

// Since Windows 8 the ATA security commands, and the crypto-scramble
// sanitize, pass only in Windows PE, and there SECURITY SET PASSWORD only
// sets the user password to the fixed string ("Security Group Commands",
// https://learn.microsoft.com/en-us/windows-hardware/drivers/storage/security-group-commands).
// The page does not name the error of a refused command; the model answers
// as for a request the stack does not carry.
bool StorageModel::AtaCommandAllowed(const platform::AtaCommand& c) const {
  const bool security = c.command >= kSecuritySetPassword && c.command <= kSecurityDisablePassword;
  const bool scramble = c.command == kSanitizeDevice && c.feature == kCryptoScrambleExt;
  if (!security && !scramble) return true;
  if (!edition_.windows_pe || edition_.build < kBuildWindows8) return false;
  if (c.command != kSecuritySetPassword) return true;
  if (c.data == nullptr || c.data_length < 34) return false;
  const bool master = (c.data[0] & 0x01) != 0;
  uint8_t expected[32] = {};
  std::memcpy(expected, kWinPePassword, sizeof kWinPePassword - 1);
  return !master && std::memcmp(c.data + 2, expected, sizeof expected) == 0;
}

BOOL StorageModel::AtaPassThrough(Open& open, const uint8_t* in, DWORD in_length, uint8_t* out, DWORD out_length,
                                  DWORD* returned) {
  namespace f = layout::ata_pass_through;
  if (in_length < layout::kAtaPassThroughExSize || out_length < in_length) return Fail(ERROR_INVALID_PARAMETER);
  const uint16_t flags = uint16_t(in[f::kAtaFlags] | in[f::kAtaFlags + 1] << 8);
  const uint32_t length = layout::Load32(in + f::kDataTransferLength);
  const uint64_t offset = layout::Load64(in + f::kDataBufferOffset);
  const bool has_data = (flags & (layout::kAtaFlagsDataIn | layout::kAtaFlagsDataOut)) != 0;
  if (has_data && (offset < layout::kAtaPassThroughExSize || offset + length > in_length))
    return Fail(ERROR_INVALID_PARAMETER);
  const bool extended = (flags & layout::kAtaFlags48BitCommand) != 0;
  std::memcpy(out, in, in_length);
  platform::AtaCommand command = DecodeAta(in, extended);
  command.direction = (flags & layout::kAtaFlagsDataIn)    ? platform::AtaCommand::Data::kIn
                      : (flags & layout::kAtaFlagsDataOut) ? platform::AtaCommand::Data::kOut
                                                           : platform::AtaCommand::Data::kNone;
  command.data = has_data ? out + offset : nullptr;
  command.data_length = has_data ? length : 0;
  if (!AtaCommandAllowed(command)) return Fail(ERROR_INVALID_FUNCTION);
  const platform::Result<platform::AtaReply> r = open.device->AtaPassThrough(command);
  if (!r.ok()) return Fail(r.error());
  EncodeAtaReply(out, *r, extended);
  *returned = command.direction == platform::AtaCommand::Data::kIn ? DWORD(offset + length)
                                                                    : layout::kAtaPassThroughExSize;
  return TRUE;
}

// Volume names as FindFirstVolumeW gives them, with the trailing backslash.
HANDLE StorageModel::FindFirstVolumeW(wchar_t* name, DWORD length) {
  auto search = std::make_shared<Open>();
  for (const platform::VolumeEntry& volume : VolumesOf(machine_)) search->volumes.push_back(VolumeName(volume));
  if (search->volumes.empty()) {
    ::SetLastError(ERROR_NO_MORE_FILES);
    return INVALID_HANDLE_VALUE;
  }
  if (!CopyOut(search->volumes[0], name, length)) {
    ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return INVALID_HANDLE_VALUE;
  }
  search->next_volume = 1;
  return Keep(std::move(search));
}

BOOL StorageModel::FindNextVolumeW(HANDLE search, wchar_t* name, DWORD length) {
  const std::shared_ptr<Open> open = Find(search);
  if (!open || open->device) return Fail(ERROR_INVALID_HANDLE);
  if (open->next_volume >= open->volumes.size()) return Fail(ERROR_NO_MORE_FILES);
  if (!CopyOut(open->volumes[open->next_volume], name, length)) return Fail(ERROR_FILENAME_EXCED_RANGE);
  ++open->next_volume;
  return TRUE;
}

BOOL StorageModel::FindVolumeClose(HANDLE search) {
  const std::shared_ptr<Open> open = Find(search);
  if (!open || open->device) return Fail(ERROR_INVALID_HANDLE);
  return Release(search) ? TRUE : Fail(ERROR_INVALID_HANDLE);
}

// "C:\" NUL "D:\Data\" NUL NUL; the size needed when it does not fit.
BOOL StorageModel::GetVolumePathNamesForVolumeNameW(const wchar_t* volume, wchar_t* names, DWORD length,
                                                    DWORD* needed) {
  for (const platform::VolumeEntry& entry : VolumesOf(machine_)) {
    if (!SameText(VolumeName(entry), volume)) continue;
    std::wstring list;
    for (const std::string& mount : entry.mount_points) list += Utf8ToWide(mount) + L'\0';
    list += L'\0';
    if (needed != nullptr) *needed = DWORD(list.size());
    if (names == nullptr || list.size() > length) return Fail(ERROR_MORE_DATA);
    std::copy(list.begin(), list.end(), names);
    return TRUE;
  }
  return Fail(ERROR_INVALID_NAME);
}

// The deepest mount point above the path, else its drive's root.
BOOL StorageModel::GetVolumePathNameW(const wchar_t* path, wchar_t* mount_point, DWORD length) {
  std::wstring wanted = path;
  if (wanted.empty()) return Fail(ERROR_INVALID_NAME);
  if (wanted.back() != L'\\') wanted += L'\\';
  std::wstring best = wanted.substr(0, std::min<size_t>(3, wanted.size()));
  for (const platform::VolumeEntry& entry : VolumesOf(machine_))
    for (const std::string& mount : entry.mount_points) {
      const std::wstring wide = Utf8ToWide(mount);
      if (wide.size() > best.size() && StartsWithText(wanted, wide)) best = wide;
    }
  return CopyOut(best, mount_point, length) ? TRUE : Fail(ERROR_FILENAME_EXCED_RANGE);
}

BOOL StorageModel::GetVolumeNameForVolumeMountPointW(const wchar_t* mount_point, wchar_t* name, DWORD length) {
  for (const platform::VolumeEntry& entry : VolumesOf(machine_))
    for (const std::string& mount : entry.mount_points)
      if (SameText(Utf8ToWide(mount), mount_point))
        return CopyOut(VolumeName(entry), name, length) ? TRUE : Fail(ERROR_FILENAME_EXCED_RANGE);
  return Fail(ERROR_FILE_NOT_FOUND);
}

// "Volume{GUID}" -> "\Device\HarddiskVolumeN", N its place in the list.
DWORD StorageModel::QueryDosDeviceW(const wchar_t* name, wchar_t* target, DWORD length) {
  const std::vector<platform::VolumeEntry> volumes = VolumesOf(machine_);
  for (size_t i = 0; i < volumes.size(); ++i) {
    if (!SameText(VolumeName(volumes[i]), std::wstring(L"\\\\?\\") + name + L"\\")) continue;
    const std::wstring device = kDevicePrefix + std::to_wstring(i + 1);
    if (target == nullptr || device.size() + 2 > length) {
      ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return 0;
    }
    std::copy(device.begin(), device.end(), target);
    target[device.size()] = target[device.size() + 1] = L'\0';
    return DWORD(device.size() + 2);
  }
  ::SetLastError(ERROR_FILE_NOT_FOUND);
  return 0;
}

UINT StorageModel::GetDriveTypeW(const wchar_t* root) { return machine_.DriveType(WideToUtf8(root)); }
DWORD StorageModel::GetLogicalDrives() { return machine_.LogicalDriveMask(); }

// The length without the list's last NUL, or the size needed with it.
DWORD StorageModel::GetLogicalDriveStringsW(DWORD length, wchar_t* buffer) {
  const std::wstring list = Utf8ToWide(machine_.LogicalDriveStrings());
  if (buffer == nullptr || list.size() > length) return DWORD(list.size());
  std::copy(list.begin(), list.end(), buffer);
  return DWORD(list.size() - 1);
}

BOOL StorageModel::GetVolumeInformationW(const wchar_t* root, wchar_t* label, DWORD label_length) {
  const std::optional<std::string> text = machine_.VolumeLabel(WideToUtf8(root));
  if (!text) return Fail(ERROR_NOT_READY);
  return CopyOut(Utf8ToWide(*text), label, label_length) ? TRUE : Fail(ERROR_BAD_LENGTH);
}

UINT StorageModel::GetSystemDirectoryW(wchar_t* buffer, UINT length) {
  const std::wstring directory = Utf8ToWide(machine_.SystemDirectory());
  if (buffer == nullptr || directory.size() + 1 > length) return UINT(directory.size() + 1);
  std::copy(directory.begin(), directory.end(), buffer);
  buffer[directory.size()] = L'\0';
  return UINT(directory.size());
}

std::optional<std::vector<std::wstring>> StorageModel::DiskInterfacePaths() {
  const std::optional<std::vector<uint32_t>> numbers = machine_.DiskNumbers();
  std::vector<std::wstring> paths;
  for (uint32_t number : numbers.value_or(std::vector<uint32_t>{}))
    paths.push_back(kInterfacePrefix + std::to_wstring(number) + kInterfaceSuffix);
  return paths;
}

// HKLM\SYSTEM\Setup SystemPartition: the boot volume's device name.
LSTATUS StorageModel::RegGetValueW(HKEY key, const wchar_t* subkey, const wchar_t* value, DWORD flags, DWORD* type,
                                   void* data, DWORD* bytes) {
  static_cast<void>(flags);
  if (key != HKEY_LOCAL_MACHINE || !SameText(subkey, L"SYSTEM\\Setup") || !SameText(value, L"SystemPartition"))
    return ERROR_FILE_NOT_FOUND;
  const std::vector<platform::VolumeEntry> volumes = VolumesOf(machine_);
  const auto boot = std::find_if(volumes.begin(), volumes.end(), [](const platform::VolumeEntry& v) { return v.boot; });
  if (boot == volumes.end()) return ERROR_FILE_NOT_FOUND;
  const std::wstring device = kDevicePrefix + std::to_wstring(boot - volumes.begin() + 1);
  const DWORD size = DWORD((device.size() + 1) * sizeof(wchar_t));
  if (type != nullptr) *type = REG_SZ;
  const DWORD room = *bytes;
  *bytes = size;
  if (data == nullptr) return ERROR_SUCCESS;
  if (room < size) return ERROR_MORE_DATA;
  std::memcpy(data, device.c_str(), size);
  return ERROR_SUCCESS;
}

LSTATUS StorageModel::RegOpenKeyExW(HKEY key, const wchar_t* subkey, DWORD options, REGSAM access, HKEY* result) {
  static_cast<void>(options);
  static_cast<void>(access);
  if (key != HKEY_LOCAL_MACHINE || !SameText(subkey, kMiniNtKey) || !edition_.windows_pe) return ERROR_FILE_NOT_FOUND;
  *result = kMiniNtHandle;
  return ERROR_SUCCESS;
}

LSTATUS StorageModel::RegCloseKey(HKEY key) { return key == kMiniNtHandle ? ERROR_SUCCESS : ERROR_INVALID_HANDLE; }

LONG StorageModel::RtlGetVersion(OSVERSIONINFOEXW* info) {
  info->dwMajorVersion = 10;
  info->dwMinorVersion = 0;
  info->dwBuildNumber = edition_.build;
  info->dwPlatformId = VER_PLATFORM_WIN32_NT;
  return 0;
}

std::unique_ptr<platform::Machine> WinMachineOver(platform::Machine& machine, WindowsEdition edition) {
  const platform::HostSystem described = machine.System();
  if (described.windows) {
    if (described.build != 0) edition.build = described.build;
    edition.windows_pe = described.windows_pe;
  }
  return std::make_unique<WinMachine>(nullptr, std::make_shared<StorageModel>(machine, edition));
}

}  // namespace plexi::win::test
