// Byte layouts of the Win32 structures a drive's firmware commands travel
// in: the protocol-specific property query (NVMe identify data and log
// pages), the media reinitialisation (NVMe sanitize), the protocol command
// pass-through (other NVMe admin commands) and the ATA pass-through. They
// are written and read explicitly, as in ioctl_layout.h, so that their
// offsets are checked on every platform; the SDK's own definitions are held
// against them in the Windows build where the SDK has them.
#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/ioctl_layout.h"

namespace plexi::layout {

// Control codes (winioctl.h, ntddscsi.h): CTL_CODE(device, function,
// METHOD_BUFFERED, access).
inline constexpr uint32_t kIoctlStorageProtocolCommand = 0x002DD3C0;    // 0x2D, 0x4F0, read|write
inline constexpr uint32_t kIoctlStorageReinitializeMedia = 0x002D9640;  // 0x2D, 0x590, write
inline constexpr uint32_t kIoctlAtaPassThrough = 0x0004D02C;            // 0x04, 0x40B, read|write

// STORAGE_PROPERTY_ID and STORAGE_PROTOCOL_TYPE values.
inline constexpr uint32_t kStorageAdapterProtocolSpecificProperty = 49;
inline constexpr uint32_t kStorageDeviceProtocolSpecificProperty = 50;
inline constexpr uint32_t kProtocolTypeNvme = 3;
// STORAGE_PROTOCOL_NVME_DATA_TYPE.
inline constexpr uint32_t kNvmeDataTypeIdentify = 1;
inline constexpr uint32_t kNvmeDataTypeLogPage = 2;

// STORAGE_PROPERTY_QUERY: PropertyId, QueryType (0, standard), then the
// AdditionalParameters at 8.
inline constexpr uint32_t kPropertyQueryParametersOffset = 8;

// STORAGE_PROTOCOL_SPECIFIC_DATA, ten ULONGs.
inline constexpr uint32_t kProtocolSpecificDataSize = 40;
struct ProtocolSpecificData {
  uint32_t protocol_type = 0;
  uint32_t data_type = 0;
  uint32_t request_value = 0;      // NVMe: the CNS, or the log page id
  uint32_t request_sub_value = 0;  // NVMe identify: the namespace; log page: the offset's low half
  uint32_t data_offset = 0;        // from the start of this structure
  uint32_t data_length = 0;
  uint32_t fixed_return_data = 0;
  uint32_t request_sub_value2 = 0;
  uint32_t request_sub_value3 = 0;
  uint32_t request_sub_value4 = 0;

  static ProtocolSpecificData Decode(const uint8_t* p);
  void Encode(uint8_t* p) const;
};

// STORAGE_PROTOCOL_DATA_DESCRIPTOR: Version and Size (both its own size),
// then STORAGE_PROTOCOL_SPECIFIC_DATA at 8.
inline constexpr uint32_t kProtocolDataDescriptorSize = 48;
inline constexpr uint32_t kProtocolDataDescriptorDataOffset = 8;

// The query of one NVMe identify structure or log page: the query, its
// protocol data, and room for `data_length` bytes after it. The reply comes
// back in the same buffer.
std::vector<uint8_t> NvmeDataQuery(uint32_t property_id, uint32_t data_type, uint32_t request_value,
                                   uint32_t request_sub_value, uint32_t data_length);
// Where the reply's data begins in `reply`, or nothing when the descriptor
// is not the one asked for or the reply does not hold `data_length` bytes.
std::optional<uint32_t> NvmeQueryReplyDataOffset(const std::vector<uint8_t>& reply, uint32_t returned,
                                                 uint32_t data_length);

// STORAGE_REINITIALIZE_MEDIA, 16 bytes: Version and Size (both 16), the
// timeout in seconds, and the sanitize option bits (method in bits 0-3,
// DisallowUnrestrictedSanitizeExit in bit 4).
inline constexpr uint32_t kReinitializeMediaSize = 16;
// STORAGE_SANITIZE_METHOD.
inline constexpr uint32_t kSanitizeMethodBlockErase = 1;
inline constexpr uint32_t kSanitizeMethodCryptoErase = 2;
std::vector<uint8_t> ReinitializeMedia(uint32_t method, bool disallow_unrestricted_exit, uint32_t timeout_seconds);

// STORAGE_PROTOCOL_COMMAND: twenty ULONGs, then the command itself at 80;
// sizeof counts Command[1] and padding (84). The NVMe command (64 bytes),
// the error information (an NVMe error log entry, 64 bytes) and the data
// from the device follow in that order.
inline constexpr uint32_t kProtocolCommandCommandOffset = 80;
inline constexpr uint32_t kProtocolCommandStructSize = 84;
inline constexpr uint32_t kProtocolStructureVersion = 1;
inline constexpr uint32_t kProtocolCommandFlagAdapterRequest = 0x80000000;
inline constexpr uint32_t kProtocolCommandLengthNvme = 64;
inline constexpr uint32_t kProtocolSpecificNvmeAdminCommand = 1;
inline constexpr uint32_t kNvmeErrorInfoSize = 64;
// ReturnStatus values.
inline constexpr uint32_t kProtocolStatusPending = 0;
inline constexpr uint32_t kProtocolStatusSuccess = 1;
inline constexpr uint32_t kProtocolStatusError = 2;
inline constexpr uint32_t kProtocolStatusInvalidRequest = 3;
inline constexpr uint32_t kProtocolStatusNoDevice = 4;
inline constexpr uint32_t kProtocolStatusBusy = 5;
inline constexpr uint32_t kProtocolStatusNotSupported = 0xFF;
// Offsets of the fields the program reads and writes.
namespace protocol_command {
inline constexpr uint32_t kVersion = 0, kLength = 4, kProtocolType = 8, kFlags = 12, kReturnStatus = 16,
                          kErrorCode = 20, kCommandLength = 24, kErrorInfoLength = 28, kDataToDeviceLength = 32,
                          kDataFromDeviceLength = 36, kTimeOutValue = 40, kErrorInfoOffset = 44,
                          kDataToDeviceOffset = 48, kDataFromDeviceOffset = 52, kCommandSpecific = 56,
                          kFixedProtocolReturnData = 64;
}  // namespace protocol_command

// One NVMe admin command as submitted: opcode, namespace, dwords 10-15.
struct NvmeSubmission {
  uint8_t opcode = 0;
  uint32_t nsid = 0;
  uint32_t cdw[6] = {};  // dwords 10 to 15
};
// The buffer of IOCTL_STORAGE_PROTOCOL_COMMAND for an admin command that
// reads `data_length` bytes from the drive (0 for none).
std::vector<uint8_t> NvmeAdminProtocolCommand(const NvmeSubmission& command, uint32_t data_length,
                                              uint32_t timeout_seconds);
// What the driver wrote back: the request's status, the completion's
// dword 0, and the status field of the error information (status code
// type in bits 9-11, status code in bits 1-8).
struct ProtocolCommandReply {
  uint32_t return_status = 0;
  uint32_t error_code = 0;
  uint32_t fixed_return_data = 0;
  uint16_t error_status_field = 0;
  uint32_t data_offset = 0;  // where the data from the device is
};
ProtocolCommandReply ReadProtocolCommandReply(const std::vector<uint8_t>& buffer);

// ATA_PASS_THROUGH_EX of a 64-bit process, 48 bytes: the data buffer
// (DataBufferOffset) follows it in the same allocation.
inline constexpr uint32_t kAtaPassThroughExSize = 48;
namespace ata_pass_through {
inline constexpr uint32_t kLength = 0, kAtaFlags = 2, kDataTransferLength = 8, kTimeOutValue = 12,
                          kDataBufferOffset = 24, kPreviousTaskFile = 32, kCurrentTaskFile = 40;
}  // namespace ata_pass_through
inline constexpr uint16_t kAtaFlagsDrdyRequired = 1 << 0;
inline constexpr uint16_t kAtaFlagsDataIn = 1 << 1;
inline constexpr uint16_t kAtaFlagsDataOut = 1 << 2;
inline constexpr uint16_t kAtaFlags48BitCommand = 1 << 3;

// A task file as the registers hold it: features, sector count, LBA low,
// mid and high, device, command (status on return; features is error).
struct AtaTaskFiles {
  uint8_t previous[8] = {};  // the high bytes of a 48-bit command
  uint8_t current[8] = {};
};
struct AtaRegisters {
  uint16_t feature = 0;
  uint16_t count = 0;
  uint64_t lba = 0;
  uint8_t device = 0;
  uint8_t command = 0;
  bool extended = false;  // 48-bit
};
AtaTaskFiles EncodeAtaTaskFiles(const AtaRegisters& registers);
// The request with `data_length` bytes of data after it (copied in from
// `data_out` when given).
std::vector<uint8_t> AtaPassThroughEx(const AtaRegisters& registers, uint16_t data_flags, uint32_t data_length,
                                      const uint8_t* data_out, uint32_t timeout_seconds);
// The returned registers: error, count, LBA, device and status, the high
// bytes from the previous task file for a 48-bit command.
struct AtaReturned {
  uint8_t error = 0;
  uint16_t count = 0;
  uint64_t lba = 0;
  uint8_t device = 0;
  uint8_t status = 0;
};
AtaReturned ReadAtaPassThroughEx(const uint8_t* buffer, bool extended);

}  // namespace plexi::layout
