#include "platform/posix/linux_firmware.h"

#include <linux/fs.h>
#include <linux/nvme_ioctl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/posix/posix_errors.h"
#include "platform/winconst.h"

namespace plexi::posix {
namespace {

constexpr uint8_t kAtaPassThrough16 = 0x85;
constexpr uint8_t kProtocolNonData = 3;
constexpr uint8_t kProtocolPioIn = 4;
constexpr uint8_t kProtocolPioOut = 5;
constexpr uint32_t kDefaultAtaTimeoutMs = 60 * 1000;
constexpr uint8_t kSenseIllegalRequest = 0x05;

// Errors that mean "this device or its driver does not take the command".
uint32_t CommandError(int err) {
  if (err == ENOTTY || err == EINVAL || err == EOPNOTSUPP) return winconst::kErrorNotSupported;
  return WindowsErrorFromErrno(err);
}

}  // namespace

platform::NvmeCompletion NvmeCompletionOf(uint32_t status, uint32_t result) {
  return platform::NvmeCompletion{uint8_t(status >> 8 & 0x07), uint8_t(status & 0xFF), result};
}

platform::Result<platform::NvmeCompletion> LinuxNvmeAdmin(int fd, const platform::NvmeAdminCommand& c) {
  nvme_admin_cmd cmd;
  std::memset(&cmd, 0, sizeof cmd);
  cmd.opcode = c.opcode;
  cmd.nsid = c.nsid;
  cmd.cdw10 = c.cdw10;
  cmd.cdw11 = c.cdw11;
  cmd.cdw12 = c.cdw12;
  cmd.cdw13 = c.cdw13;
  cmd.cdw14 = c.cdw14;
  cmd.cdw15 = c.cdw15;
  cmd.addr = reinterpret_cast<uintptr_t>(c.data);
  cmd.data_len = c.data ? c.data_length : 0;
  cmd.timeout_ms = c.timeout_ms;
  const int r = ::ioctl(fd, NVME_IOCTL_ADMIN_CMD, &cmd);
  if (r < 0) return platform::Result<platform::NvmeCompletion>::Failure(CommandError(errno));
  // A positive answer is the completion's status field.
  return NvmeCompletionOf(uint32_t(r), cmd.result);
}

void DropCachedPages(int fd) {
  // Best effort: a device without a cache refuses, and has nothing stale.
  static_cast<void>(::ioctl(fd, BLKFLSBUF, 0));
}

platform::Result<uint32_t> LinuxNvmeNamespaceId(int fd) {
  const int r = ::ioctl(fd, NVME_IOCTL_ID);
  if (r <= 0) return platform::Result<uint32_t>::Failure(r < 0 ? CommandError(errno) : winconst::kErrorNotSupported);
  return uint32_t(r);
}

std::array<uint8_t, 16> AtaPassThroughCdb(const platform::AtaCommand& c) {
  using Data = platform::AtaCommand::Data;
  std::array<uint8_t, 16> cdb{};
  const bool has_data = c.direction != Data::kNone && c.data && c.data_length > 0;
  const uint8_t protocol = !has_data ? kProtocolNonData : c.direction == Data::kIn ? kProtocolPioIn : kProtocolPioOut;
  uint16_t count = c.count;
  if (has_data && count == 0) count = uint16_t(c.data_length / 512);  // the transfer length is in blocks
  cdb[0] = kAtaPassThrough16;
  cdb[1] = uint8_t(protocol << 1 | 1);  // EXTEND: a 48-bit command
  // CK_COND; for data, the length is in COUNT, in blocks, in the T_DIR direction.
  cdb[2] = uint8_t(0x20 | (has_data ? (c.direction == Data::kIn ? 0x08 : 0x00) | 0x04 | 0x02 : 0x00));
  cdb[3] = uint8_t(c.feature >> 8);
  cdb[4] = uint8_t(c.feature);
  cdb[5] = uint8_t(count >> 8);
  cdb[6] = uint8_t(count);
  cdb[7] = uint8_t(c.lba >> 24);
  cdb[8] = uint8_t(c.lba);
  cdb[9] = uint8_t(c.lba >> 32);
  cdb[10] = uint8_t(c.lba >> 8);
  cdb[11] = uint8_t(c.lba >> 40);
  cdb[12] = uint8_t(c.lba >> 16);
  cdb[13] = c.device;
  cdb[14] = c.command;
  return cdb;
}

bool AtaReplyFromSense(const uint8_t* s, size_t length, platform::AtaReply* reply) {
  if (length < 8) return false;
  const uint8_t code = s[0] & 0x7F;
  if (code == 0x72 || code == 0x73) {
    const size_t end = std::min<size_t>(length, 8 + size_t(s[7]));
    for (size_t at = 8; at + 2 <= end; at += 2 + size_t(s[at + 1])) {
      if (s[at] != 0x09 || at + 14 > end) continue;
      const uint8_t* d = s + at;  // ATA Status Return descriptor
      reply->error = d[3];
      reply->count = uint16_t(d[4] << 8 | d[5]);
      reply->lba = uint64_t(d[7]) | uint64_t(d[9]) << 8 | uint64_t(d[11]) << 16 | uint64_t(d[6]) << 24 |
                   uint64_t(d[8]) << 32 | uint64_t(d[10]) << 40;
      reply->status = d[13];
      return true;
    }
    return false;
  }
  // A device that does not know the pass-through command (a SCSI disk, a
  // bridge without a translation) refuses it as an illegal request: its
  // INFORMATION field holds no registers, and reading zeros there as a
  // good status would take a command never run for one that succeeded.
  if ((code == 0x70 || code == 0x71) && length >= 12 && (s[2] & 0x0F) != kSenseIllegalRequest) {
    // The INFORMATION field: ERROR, STATUS, DEVICE, COUNT (7:0).
    reply->error = s[3];
    reply->status = s[4];
    reply->count = s[6];
    reply->lba = uint64_t(s[9]) | uint64_t(s[10]) << 8 | uint64_t(s[11]) << 16;
    return true;
  }
  return false;
}

platform::Result<platform::AtaReply> LinuxAtaPassThrough(int fd, const platform::AtaCommand& c) {
  using Data = platform::AtaCommand::Data;
  std::array<uint8_t, 16> cdb = AtaPassThroughCdb(c);
  uint8_t sense[64] = {};
  sg_io_hdr_t io;
  std::memset(&io, 0, sizeof io);
  io.interface_id = 'S';
  io.cmd_len = uint8_t(cdb.size());
  io.cmdp = cdb.data();
  io.mx_sb_len = sizeof sense;
  io.sbp = sense;
  const bool has_data = c.direction != Data::kNone && c.data && c.data_length > 0;
  io.dxfer_direction = !has_data ? SG_DXFER_NONE : c.direction == Data::kIn ? SG_DXFER_FROM_DEV : SG_DXFER_TO_DEV;
  io.dxferp = has_data ? c.data : nullptr;
  io.dxfer_len = has_data ? c.data_length : 0;
  io.timeout = c.timeout_seconds > 0 ? c.timeout_seconds * 1000u : kDefaultAtaTimeoutMs;
  if (::ioctl(fd, SG_IO, &io) < 0) return platform::Result<platform::AtaReply>::Failure(CommandError(errno));
  if (io.host_status != 0 || (io.driver_status & 0x0F) == 0x06 /* DRIVER_TIMEOUT */)
    return platform::Result<platform::AtaReply>::Failure(winconst::kErrorIoDevice);
  platform::AtaReply reply;
  if (AtaReplyFromSense(sense, io.sb_len_wr, &reply)) return reply;
  // Sense without the registers: a device (or bridge) that does not know
  // the pass-through command says so as an illegal request.
  if (io.sb_len_wr >= 3) {
    const uint8_t key = (sense[0] & 0x7F) >= 0x72 ? sense[1] & 0x0F : sense[2] & 0x0F;
    if (key == kSenseIllegalRequest) return platform::Result<platform::AtaReply>::Failure(winconst::kErrorNotSupported);
    return platform::Result<platform::AtaReply>::Failure(winconst::kErrorIoDevice);
  }
  if (io.status != 0) return platform::Result<platform::AtaReply>::Failure(winconst::kErrorIoDevice);
  reply.status = 0x50;  // done, nothing reported back
  return reply;
}

}  // namespace plexi::posix
