// A drive's firmware commands carried by the Windows storage stack's device
// control calls, built on Device::Control so that the mapping is the same
// code whichever handle carries it (the Win32 device, or a test's double).
#pragma once
#include "platform/platform.h"

namespace plexi::platform {

// NVMe identify and the sanitize status log as protocol-specific property
// queries, sanitize and format as the Windows of `host` carries them (see
// firmware_routes.h). A command it will not carry fails with
// ERROR_NOT_SUPPORTED before anything is sent.
Result<NvmeCompletion> NvmeAdminByControl(Device& device, const NvmeAdminCommand& command, const HostSystem& host);

// An ATA command through the ATA pass-through, its data in the same buffer;
// one `host` does not carry fails with ERROR_NOT_SUPPORTED.
Result<AtaReply> AtaPassThroughByControl(Device& device, const AtaCommand& command, const HostSystem& host);

}  // namespace plexi::platform
