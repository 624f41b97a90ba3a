#include "platform/storage_protocol_layout.h"

#include <algorithm>
#include <cstring>

namespace plexi::layout {
namespace {

uint16_t Load16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
void Store16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}

// The NVMe submission queue entry: opcode in byte 0, the namespace at 4,
// dwords 10-15 from byte 40. The driver fills in the command id and the
// data pointers.
constexpr uint32_t kNvmeNsidOffset = 4;
constexpr uint32_t kNvmeCdw10Offset = 40;
// The status field of an NVMe error log entry.
constexpr uint32_t kErrorInfoStatusOffset = 12;

}  // namespace

ProtocolSpecificData ProtocolSpecificData::Decode(const uint8_t* p) {
  ProtocolSpecificData d;
  uint32_t* fields[] = {&d.protocol_type,     &d.data_type,          &d.request_value,
                        &d.request_sub_value, &d.data_offset,        &d.data_length,
                        &d.fixed_return_data, &d.request_sub_value2, &d.request_sub_value3,
                        &d.request_sub_value4};
  for (uint32_t i = 0; i < 10; ++i) *fields[i] = Load32(p + 4 * i);
  return d;
}

void ProtocolSpecificData::Encode(uint8_t* p) const {
  const uint32_t fields[] = {protocol_type,     data_type,          request_value,      request_sub_value,
                             data_offset,       data_length,        fixed_return_data,  request_sub_value2,
                             request_sub_value3, request_sub_value4};
  for (uint32_t i = 0; i < 10; ++i) Store32(p + 4 * i, fields[i]);
}

std::vector<uint8_t> NvmeDataQuery(uint32_t property_id, uint32_t data_type, uint32_t request_value,
                                   uint32_t request_sub_value, uint32_t data_length) {
  std::vector<uint8_t> buffer(kPropertyQueryParametersOffset + kProtocolSpecificDataSize + data_length);
  Store32(buffer.data(), property_id);
  Store32(buffer.data() + 4, 0);  // PropertyStandardQuery
  ProtocolSpecificData data;
  data.protocol_type = kProtocolTypeNvme;
  data.data_type = data_type;
  data.request_value = request_value;
  data.request_sub_value = request_sub_value;
  data.data_offset = kProtocolSpecificDataSize;  // right after this structure
  data.data_length = data_length;
  data.Encode(buffer.data() + kPropertyQueryParametersOffset);
  return buffer;
}

std::optional<uint32_t> NvmeQueryReplyDataOffset(const std::vector<uint8_t>& reply, uint32_t returned,
                                                 uint32_t data_length) {
  const uint64_t held = std::min<uint64_t>(returned, reply.size());
  if (held < kProtocolDataDescriptorSize) return std::nullopt;
  if (Load32(reply.data()) != kProtocolDataDescriptorSize || Load32(reply.data() + 4) != kProtocolDataDescriptorSize)
    return std::nullopt;
  const ProtocolSpecificData data = ProtocolSpecificData::Decode(reply.data() + kProtocolDataDescriptorDataOffset);
  if (data.data_offset < kProtocolSpecificDataSize || data.data_length < data_length) return std::nullopt;
  // The offset counts from the protocol data, which is 8 bytes in.
  const uint64_t begin = uint64_t(kProtocolDataDescriptorDataOffset) + data.data_offset;
  if (begin + data_length > held) return std::nullopt;
  return uint32_t(begin);
}

std::vector<uint8_t> ReinitializeMedia(uint32_t method, bool disallow_unrestricted_exit, uint32_t timeout_seconds) {
  std::vector<uint8_t> buffer(kReinitializeMediaSize);
  Store32(buffer.data(), kReinitializeMediaSize);
  Store32(buffer.data() + 4, kReinitializeMediaSize);
  Store32(buffer.data() + 8, timeout_seconds);
  Store32(buffer.data() + 12, (method & 0x0F) | uint32_t(disallow_unrestricted_exit) << 4);
  return buffer;
}

std::vector<uint8_t> NvmeAdminProtocolCommand(const NvmeSubmission& command, uint32_t data_length,
                                              uint32_t timeout_seconds) {
  namespace f = protocol_command;
  const uint32_t error_info = kProtocolCommandCommandOffset + kProtocolCommandLengthNvme;
  const uint32_t data = error_info + kNvmeErrorInfoSize;
  std::vector<uint8_t> buffer(data + data_length);
  uint8_t* p = buffer.data();
  Store32(p + f::kVersion, kProtocolStructureVersion);
  Store32(p + f::kLength, kProtocolCommandStructSize);
  Store32(p + f::kProtocolType, kProtocolTypeNvme);
  // Admin commands go to the controller, that is the adapter.
  Store32(p + f::kFlags, kProtocolCommandFlagAdapterRequest);
  Store32(p + f::kCommandLength, kProtocolCommandLengthNvme);
  Store32(p + f::kErrorInfoLength, kNvmeErrorInfoSize);
  Store32(p + f::kDataFromDeviceLength, data_length);
  Store32(p + f::kTimeOutValue, timeout_seconds);
  Store32(p + f::kErrorInfoOffset, error_info);
  Store32(p + f::kDataFromDeviceOffset, data_length > 0 ? data : 0);
  Store32(p + f::kCommandSpecific, kProtocolSpecificNvmeAdminCommand);
  uint8_t* sqe = p + kProtocolCommandCommandOffset;
  sqe[0] = command.opcode;
  Store32(sqe + kNvmeNsidOffset, command.nsid);
  for (int i = 0; i < 6; ++i) Store32(sqe + kNvmeCdw10Offset + 4 * i, command.cdw[i]);
  return buffer;
}

ProtocolCommandReply ReadProtocolCommandReply(const std::vector<uint8_t>& buffer) {
  namespace f = protocol_command;
  ProtocolCommandReply reply;
  if (buffer.size() < kProtocolCommandCommandOffset) return reply;
  const uint8_t* p = buffer.data();
  reply.return_status = Load32(p + f::kReturnStatus);
  reply.error_code = Load32(p + f::kErrorCode);
  reply.fixed_return_data = Load32(p + f::kFixedProtocolReturnData);
  const uint64_t error_info = Load32(p + f::kErrorInfoOffset);
  if (error_info + kErrorInfoStatusOffset + 2 <= buffer.size())
    reply.error_status_field = Load16(p + error_info + kErrorInfoStatusOffset);
  reply.data_offset = Load32(p + f::kDataFromDeviceOffset);
  return reply;
}

AtaTaskFiles EncodeAtaTaskFiles(const AtaRegisters& r) {
  AtaTaskFiles files;
  uint8_t* cur = files.current;
  cur[0] = uint8_t(r.feature);
  cur[1] = uint8_t(r.count);
  cur[2] = uint8_t(r.lba);
  cur[3] = uint8_t(r.lba >> 8);
  cur[4] = uint8_t(r.lba >> 16);
  cur[6] = r.command;
  if (r.extended) {
    cur[5] = r.device;
    uint8_t* prev = files.previous;
    prev[0] = uint8_t(r.feature >> 8);
    prev[1] = uint8_t(r.count >> 8);
    prev[2] = uint8_t(r.lba >> 24);
    prev[3] = uint8_t(r.lba >> 32);
    prev[4] = uint8_t(r.lba >> 40);
  } else {
    // A 28-bit command keeps LBA bits 24-27 in the device register.
    cur[5] = uint8_t((r.device & 0xF0) | ((r.lba >> 24) & 0x0F));
  }
  return files;
}

std::vector<uint8_t> AtaPassThroughEx(const AtaRegisters& registers, uint16_t data_flags, uint32_t data_length,
                                      const uint8_t* data_out, uint32_t timeout_seconds) {
  namespace f = ata_pass_through;
  std::vector<uint8_t> buffer(kAtaPassThroughExSize + data_length);
  uint8_t* p = buffer.data();
  Store16(p + f::kLength, uint16_t(kAtaPassThroughExSize));
  const uint16_t flags = uint16_t(kAtaFlagsDrdyRequired | data_flags |
                                  (registers.extended ? kAtaFlags48BitCommand : 0));
  Store16(p + f::kAtaFlags, flags);
  Store32(p + f::kDataTransferLength, data_length);
  Store32(p + f::kTimeOutValue, timeout_seconds);
  Store64(p + f::kDataBufferOffset, data_length > 0 ? kAtaPassThroughExSize : 0);
  const AtaTaskFiles files = EncodeAtaTaskFiles(registers);
  std::memcpy(p + f::kPreviousTaskFile, files.previous, 8);
  std::memcpy(p + f::kCurrentTaskFile, files.current, 8);
  if (data_out != nullptr && data_length > 0) std::memcpy(p + kAtaPassThroughExSize, data_out, data_length);
  return buffer;
}

AtaReturned ReadAtaPassThroughEx(const uint8_t* buffer, bool extended) {
  const uint8_t* cur = buffer + ata_pass_through::kCurrentTaskFile;
  const uint8_t* prev = buffer + ata_pass_through::kPreviousTaskFile;
  AtaReturned r;
  r.error = cur[0];
  r.count = cur[1];
  r.lba = uint64_t(cur[2]) | uint64_t(cur[3]) << 8 | uint64_t(cur[4]) << 16;
  r.device = cur[5];
  r.status = cur[6];
  if (extended) {
    r.count = uint16_t(r.count | prev[1] << 8);
    r.lba |= uint64_t(prev[2]) << 24 | uint64_t(prev[3]) << 32 | uint64_t(prev[4]) << 40;
  }
  return r;
}

}  // namespace plexi::layout
