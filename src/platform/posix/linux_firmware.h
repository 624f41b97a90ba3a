// Firmware commands on Linux: NVMe admin commands through the NVMe driver's
// pass-through ioctl (NVME_IOCTL_ADMIN_CMD, on a namespace or controller
// device), ATA commands through SG_IO with the SCSI ATA PASS-THROUGH (16)
// command, which libata and USB bridges that speak SAT translate.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

namespace plexi::posix {

platform::Result<platform::NvmeCompletion> LinuxNvmeAdmin(int fd, const platform::NvmeAdminCommand& command);
platform::Result<uint32_t> LinuxNvmeNamespaceId(int fd);
platform::Result<platform::AtaReply> LinuxAtaPassThrough(int fd, const platform::AtaCommand& command);
// Drops the block device's cached pages (best effort).
void DropCachedPages(int fd);

// The 16-byte CDB, with CK_COND set so that the registers come back in the
// sense data.
std::array<uint8_t, 16> AtaPassThroughCdb(const platform::AtaCommand& command);
// The registers from descriptor-format sense data (the ATA Status Return
// descriptor) or from fixed-format sense data; false when neither is there
// or the sense refuses the command as an illegal request.
bool AtaReplyFromSense(const uint8_t* sense, size_t length, platform::AtaReply* reply);
// The NVMe status field the ioctl returns (bits 7:0 code, 10:8 type).
platform::NvmeCompletion NvmeCompletionOf(uint32_t status, uint32_t result);

}  // namespace plexi::posix
