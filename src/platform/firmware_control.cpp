#include "platform/firmware_control.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/firmware_codes.h"
#include "platform/firmware_routes.h"
#include "platform/storage_protocol_layout.h"
#include "platform/winconst.h"

namespace plexi::platform {
namespace {

// The "allow unrestricted sanitize exit" bit of a sanitize's dword 10.
constexpr uint32_t kAuseBit = 1u << 3;
constexpr uint8_t kSanitizeInProgress = 2;
// NVMe generic status "internal error": the driver said the command failed
// without saying how.
constexpr uint8_t kInternalError = 0x06;

constexpr uint32_t kDefaultNvmeTimeoutSeconds = 60;
// A sanitize may run for hours, and the driver may hold the request until
// it has finished.
constexpr uint32_t kSanitizeTimeoutSeconds = 12u * 3600;
constexpr uint32_t kDefaultAtaTimeoutSeconds = 60;

// Errors with which the storage stack turns a request down before it
// reaches the drive: an unknown control code, a request this driver does
// not carry, parameters it does not take.
bool NeverSent(uint32_t error) {
  return error == winconst::kErrorInvalidFunction || error == winconst::kErrorNotSupported ||
         error == winconst::kErrorInvalidParameter;
}

template <class T>
Result<T> ControlFailure(uint32_t error) {
  return Result<T>::Failure(NeverSent(error) ? winconst::kErrorNotSupported : error);
}

uint32_t SecondsOf(uint32_t timeout_ms, uint32_t fallback) {
  return timeout_ms == 0 ? fallback : std::max<uint32_t>(1, (timeout_ms + 999) / 1000);
}

// Identify (controller from the adapter, a namespace from the device) and
// log pages, through IOCTL_STORAGE_QUERY_PROPERTY with protocol-specific
// data: "Working with NVMe drives",
// https://learn.microsoft.com/en-us/windows/win32/fileio/working-with-nvme-devices
// (protocol-specific queries). The reply's descriptor says where the data is.
Result<NvmeCompletion> QueryNvmeData(Device& device, uint32_t property, uint32_t data_type, uint32_t value,
                                     uint32_t sub_value, const NvmeAdminCommand& command) {
  if (command.data == nullptr || command.data_length == 0)
    return Result<NvmeCompletion>::Failure(winconst::kErrorInvalidParameter);
  std::vector<uint8_t> buffer = layout::NvmeDataQuery(property, data_type, value, sub_value, command.data_length);
  const IoResult r = device.Control(winconst::kIoctlStorageQueryProperty, buffer.data(), uint32_t(buffer.size()),
                                    buffer.data(), uint32_t(buffer.size()));
  if (!r.ok()) return ControlFailure<NvmeCompletion>(r.error());
  const std::optional<uint32_t> at = layout::NvmeQueryReplyDataOffset(buffer, *r, command.data_length);
  if (!at) return Result<NvmeCompletion>::Failure(winconst::kErrorInvalidData);
  std::memcpy(command.data, buffer.data() + *at, command.data_length);
  return NvmeCompletion{};
}

Result<NvmeCompletion> Identify(Device& device, const NvmeAdminCommand& command) {
  const uint32_t cns = command.cdw10 & 0xFF;
  const uint32_t property = cns == nvme::kCnsController ? layout::kStorageAdapterProtocolSpecificProperty
                                                  : layout::kStorageDeviceProtocolSpecificProperty;
  const uint32_t nsid = cns == nvme::kCnsNamespace ? command.nsid : 0;
  return QueryNvmeData(device, property, layout::kNvmeDataTypeIdentify, cns, nsid, command);
}

Result<NvmeCompletion> GetLogPage(Device& device, const NvmeAdminCommand& command) {
  // Dword 12 holds the offset's low half; the program reads logs whole.
  return QueryNvmeData(device, layout::kStorageDeviceProtocolSpecificProperty, layout::kNvmeDataTypeLogPage,
                       command.cdw10 & 0xFF, command.cdw12, command);
}

std::optional<std::vector<uint8_t>> SanitizeLog(Device& device) {
  std::vector<uint8_t> log(nvme::kSanitizeLogBytes);
  NvmeAdminCommand read;
  read.opcode = nvme::kOpGetLogPage;
  read.nsid = 0xFFFFFFFF;
  read.cdw10 = nvme::kLogSanitizeStatus | (nvme::kSanitizeLogBytes / 4 - 1) << 16;
  read.data = log.data();
  read.data_length = nvme::kSanitizeLogBytes;
  if (!GetLogPage(device, read).ok()) return std::nullopt;
  return log;
}

// Whether a request that failed on its way back has still started the
// sanitize: only a log that changed, or shows one under way, says so; then
// the caller follows it there.
bool SanitizeStarted(Device& device, const std::optional<std::vector<uint8_t>>& before) {
  const std::optional<std::vector<uint8_t>> after = SanitizeLog(device);
  const bool started = after && ((*after)[2] & 0x07) == kSanitizeInProgress;
  const bool changed = before && after && *before != *after;
  return started || changed;
}

// Sanitize through IOCTL_STORAGE_REINITIALIZE_MEDIA with its sanitize
// options (taken from Windows Server 2022 on):
// https://learn.microsoft.com/en-us/windows-hardware/drivers/ddi/ntddstor/ni-ntddstor-ioctl_storage_reinitialize_media
// https://learn.microsoft.com/en-us/windows-hardware/drivers/ddi/ntddstor/ns-ntddstor-storage_reinitialize_media
// https://learn.microsoft.com/en-us/windows-hardware/drivers/ddi/ntddstor/ne-ntddstor-storage_sanitize_method
// The methods are block erase and crypto erase only; an overwrite has none.
// The request may return at once (the drive then works on its own) or only
// once the sanitize has ended; either way the status log tells the rest.
Result<NvmeCompletion> SanitizeByReinitialize(Device& device, const NvmeAdminCommand& command) {
  const uint32_t method = (command.cdw10 & 0x07) == nvme::kSanitizeCryptoErase ? layout::kSanitizeMethodCryptoErase
                                                                       : layout::kSanitizeMethodBlockErase;
  const bool restricted = (command.cdw10 & kAuseBit) == 0;
  const std::optional<std::vector<uint8_t>> before = SanitizeLog(device);
  std::vector<uint8_t> options =
      layout::ReinitializeMedia(method, restricted, SecondsOf(command.timeout_ms, kSanitizeTimeoutSeconds));
  const IoResult r = device.Control(layout::kIoctlStorageReinitializeMedia, options.data(), uint32_t(options.size()),
                                    nullptr, 0);
  if (r.ok()) return NvmeCompletion{};
  if (NeverSent(r.error())) return Result<NvmeCompletion>::Failure(winconst::kErrorNotSupported);
  if (SanitizeStarted(device, before)) return NvmeCompletion{};
  return Result<NvmeCompletion>::Failure(r.error());
}

// A crypto-erase Format NVM as IOCTL_STORAGE_REINITIALIZE_MEDIA without
// input, the only way full Windows carries a format ("StorNVMe command set
// support",
// https://learn.microsoft.com/en-us/windows-hardware/drivers/storage/stornvme-command-set-support).
// The driver formats the namespace of this handle; its answer is the
// format's.
Result<NvmeCompletion> FormatByReinitialize(Device& device) {
  const IoResult r = device.Control(layout::kIoctlStorageReinitializeMedia, nullptr, 0, nullptr, 0);
  if (r.ok()) return NvmeCompletion{};
  return ControlFailure<NvmeCompletion>(r.error());
}

// Any other admin command (Format NVM) through IOCTL_STORAGE_PROTOCOL_COMMAND:
// https://learn.microsoft.com/en-us/windows/win32/fileio/working-with-nvme-devices (pass-through mechanism),
// https://learn.microsoft.com/en-us/windows-hardware/drivers/ddi/ntddstor/ns-ntddstor-_storage_protocol_command
// The pass-through is documented for vendor-specific commands, and the
// driver may refuse others: a refusal is ERROR_NOT_SUPPORTED, so that the
// caller can choose another command.
Result<NvmeCompletion> ProtocolCommand(Device& device, const NvmeAdminCommand& command) {
  layout::NvmeSubmission submission;
  submission.opcode = command.opcode;
  submission.nsid = command.nsid;
  const uint32_t dwords[6] = {command.cdw10, command.cdw11, command.cdw12,
                              command.cdw13, command.cdw14, command.cdw15};
  std::copy(std::begin(dwords), std::end(dwords), submission.cdw);
  const uint32_t data_length = command.data != nullptr ? command.data_length : 0;
  std::vector<uint8_t> buffer = layout::NvmeAdminProtocolCommand(
      submission, data_length, SecondsOf(command.timeout_ms, kDefaultNvmeTimeoutSeconds));
  const IoResult r = device.Control(layout::kIoctlStorageProtocolCommand, buffer.data(), uint32_t(buffer.size()),
                                    buffer.data(), uint32_t(buffer.size()));
  const layout::ProtocolCommandReply reply = layout::ReadProtocolCommandReply(buffer);
  if (!r.ok() && reply.return_status != layout::kProtocolStatusError) return ControlFailure<NvmeCompletion>(r.error());
  NvmeCompletion completion;
  completion.result = reply.fixed_return_data;
  switch (reply.return_status) {
    case layout::kProtocolStatusSuccess:
      if (data_length > 0 && uint64_t(reply.data_offset) + data_length <= buffer.size())
        std::memcpy(command.data, buffer.data() + reply.data_offset, data_length);
      return completion;
    case layout::kProtocolStatusError:
      completion.status_code = uint8_t(reply.error_status_field >> 1);
      completion.status_type = uint8_t(reply.error_status_field >> 9 & 0x07);
      if (completion.Succeeded()) completion.status_code = kInternalError;
      return completion;
    case layout::kProtocolStatusInvalidRequest:
    case layout::kProtocolStatusNotSupported:
      return Result<NvmeCompletion>::Failure(winconst::kErrorNotSupported);
    case layout::kProtocolStatusNoDevice: return Result<NvmeCompletion>::Failure(winconst::kErrorDeviceNotConnected);
    case layout::kProtocolStatusBusy: return Result<NvmeCompletion>::Failure(winconst::kErrorBusy);
    default: return Result<NvmeCompletion>::Failure(winconst::kErrorIoDevice);
  }
}

bool Extended(const AtaCommand& c) {
  // SANITIZE DEVICE and the EXT commands of the host protected area are
  // 48-bit commands whatever their fields: READ NATIVE MAX ADDRESS EXT
  // returns the high bytes of its address in the previous task file.
  const bool always = c.command == ata::kCmdSanitize || c.command == ata::kCmdReadNativeMaxExt ||
                      c.command == ata::kCmdSetMaxAddressExt;
  return always || c.lba > 0x0FFFFFFF || c.feature > 0xFF || c.count > 0xFF;
}

}  // namespace

Result<NvmeCompletion> NvmeAdminByControl(Device& device, const NvmeAdminCommand& command, const HostSystem& host) {
  switch (RouteOfNvme(host, command)) {
    case NvmeRoute::kPropertyQuery:
      return command.opcode == nvme::kOpIdentify ? Identify(device, command) : GetLogPage(device, command);
    case NvmeRoute::kReinitializeSanitize: return SanitizeByReinitialize(device, command);
    case NvmeRoute::kReinitializeMedia: return FormatByReinitialize(device);
    case NvmeRoute::kProtocolCommand: return ProtocolCommand(device, command);
    case NvmeRoute::kDirect:  // not a Windows host: these control codes are Windows's
    case NvmeRoute::kNone: break;
  }
  return Result<NvmeCompletion>::Failure(winconst::kErrorNotSupported);
}

// IOCTL_ATA_PASS_THROUGH with ATA_PASS_THROUGH_EX and its data in one buffer
// (DataBufferOffset); a 48-bit command's high bytes in PreviousTaskFile, the
// returned registers in CurrentTaskFile:
// https://learn.microsoft.com/en-us/windows-hardware/drivers/ddi/ntddscsi/ni-ntddscsi-ioctl_ata_pass_through
// https://learn.microsoft.com/en-us/windows-hardware/drivers/ddi/ntddscsi/ns-ntddscsi-_ata_pass_through_ex
Result<AtaReply> AtaPassThroughByControl(Device& device, const AtaCommand& command, const HostSystem& host) {
  if (!AtaCommandCarried(host, command)) return Result<AtaReply>::Failure(winconst::kErrorNotSupported);
  const bool has_data = command.direction != AtaCommand::Data::kNone;
  if (has_data && (command.data == nullptr || command.data_length == 0 || command.data_length % 512 != 0))
    return Result<AtaReply>::Failure(winconst::kErrorInvalidParameter);
  const uint32_t length = has_data ? command.data_length : 0;
  const uint16_t flags = command.direction == AtaCommand::Data::kIn    ? layout::kAtaFlagsDataIn
                         : command.direction == AtaCommand::Data::kOut ? layout::kAtaFlagsDataOut
                                                                       : 0;
  layout::AtaRegisters registers{command.feature, command.count, command.lba, command.device, command.command,
                                 Extended(command)};
  std::vector<uint8_t> buffer = layout::AtaPassThroughEx(
      registers, flags, length, command.direction == AtaCommand::Data::kOut ? command.data : nullptr,
      command.timeout_seconds == 0 ? kDefaultAtaTimeoutSeconds : command.timeout_seconds);
  const IoResult r = device.Control(layout::kIoctlAtaPassThrough, buffer.data(), uint32_t(buffer.size()),
                                    buffer.data(), uint32_t(buffer.size()));
  if (!r.ok()) return ControlFailure<AtaReply>(r.error());
  if (*r < layout::kAtaPassThroughExSize) return Result<AtaReply>::Failure(winconst::kErrorInvalidData);
  if (command.direction == AtaCommand::Data::kIn)
    std::memcpy(command.data, buffer.data() + layout::kAtaPassThroughExSize, length);
  const layout::AtaReturned returned = layout::ReadAtaPassThroughEx(buffer.data(), registers.extended);
  AtaReply reply;
  reply.status = returned.status;
  reply.error = returned.error;
  reply.count = returned.count;
  reply.lba = returned.lba;
  return reply;
}

}  // namespace plexi::platform
