// A drive's firmware commands carried by the Windows storage stack's device
// control calls, built on Device::Control so that the mapping is the same
// code whichever handle carries it (the Win32 device, or a test's double).
#pragma once
#include "platform/platform.h"

namespace plexi::platform {

// NVMe identify and the sanitize status log as protocol-specific property
// queries, sanitize as a media reinitialisation, any other admin command
// through the protocol command pass-through. A command the driver will not
// carry fails with ERROR_NOT_SUPPORTED.
Result<NvmeCompletion> NvmeAdminByControl(Device& device, const NvmeAdminCommand& command);

// An ATA command through the ATA pass-through, its data in the same buffer.
Result<AtaReply> AtaPassThroughByControl(Device& device, const AtaCommand& command);

}  // namespace plexi::platform
