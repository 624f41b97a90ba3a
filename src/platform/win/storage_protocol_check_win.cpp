// The firmware commands' structures as storage_protocol_layout.h spells
// them, held against the SDK's definitions where the SDK has them. The
// SDK headers of this build lack STORAGE_PROTOCOL_COMMAND and
// STORAGE_REINITIALIZE_MEDIA; their layouts are checked by the unit tests
// against the documented structures. Nothing in this file runs.
#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>

#include <cstddef>

#include "platform/storage_protocol_layout.h"

namespace plexi::win {
namespace {

static_assert(layout::kIoctlStorageProtocolCommand == IOCTL_STORAGE_PROTOCOL_COMMAND);
static_assert(layout::kIoctlStorageReinitializeMedia == IOCTL_STORAGE_REINITIALIZE_MEDIA);
static_assert(layout::kIoctlAtaPassThrough == IOCTL_ATA_PASS_THROUGH);

static_assert(layout::kStorageAdapterProtocolSpecificProperty == StorageAdapterProtocolSpecificProperty);
static_assert(layout::kStorageDeviceProtocolSpecificProperty == StorageDeviceProtocolSpecificProperty);
static_assert(layout::kProtocolTypeNvme == ProtocolTypeNvme);
static_assert(layout::kNvmeDataTypeIdentify == NVMeDataTypeIdentify);
static_assert(layout::kNvmeDataTypeLogPage == NVMeDataTypeLogPage);

static_assert(layout::kPropertyQueryParametersOffset == offsetof(STORAGE_PROPERTY_QUERY, AdditionalParameters));

static_assert(layout::kProtocolSpecificDataSize == sizeof(STORAGE_PROTOCOL_SPECIFIC_DATA));
static_assert(offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, ProtocolType) == 0);
static_assert(offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, DataType) == 4);
static_assert(offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, ProtocolDataRequestValue) == 8);
static_assert(offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, ProtocolDataRequestSubValue) == 12);
static_assert(offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, ProtocolDataOffset) == 16);
static_assert(offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, ProtocolDataLength) == 20);
static_assert(offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, FixedProtocolReturnData) == 24);
static_assert(offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, ProtocolDataRequestSubValue4) == 36);

static_assert(layout::kProtocolDataDescriptorSize == sizeof(STORAGE_PROTOCOL_DATA_DESCRIPTOR));
static_assert(layout::kProtocolDataDescriptorDataOffset ==
              offsetof(STORAGE_PROTOCOL_DATA_DESCRIPTOR, ProtocolSpecificData));

static_assert(layout::kAtaPassThroughExSize == sizeof(ATA_PASS_THROUGH_EX));
static_assert(layout::ata_pass_through::kLength == offsetof(ATA_PASS_THROUGH_EX, Length));
static_assert(layout::ata_pass_through::kAtaFlags == offsetof(ATA_PASS_THROUGH_EX, AtaFlags));
static_assert(layout::ata_pass_through::kDataTransferLength == offsetof(ATA_PASS_THROUGH_EX, DataTransferLength));
static_assert(layout::ata_pass_through::kTimeOutValue == offsetof(ATA_PASS_THROUGH_EX, TimeOutValue));
static_assert(layout::ata_pass_through::kDataBufferOffset == offsetof(ATA_PASS_THROUGH_EX, DataBufferOffset));
static_assert(sizeof(ATA_PASS_THROUGH_EX::DataBufferOffset) == 8);
static_assert(layout::ata_pass_through::kPreviousTaskFile == offsetof(ATA_PASS_THROUGH_EX, PreviousTaskFile));
static_assert(layout::ata_pass_through::kCurrentTaskFile == offsetof(ATA_PASS_THROUGH_EX, CurrentTaskFile));
static_assert(layout::kAtaFlagsDrdyRequired == ATA_FLAGS_DRDY_REQUIRED);
static_assert(layout::kAtaFlagsDataIn == ATA_FLAGS_DATA_IN);
static_assert(layout::kAtaFlagsDataOut == ATA_FLAGS_DATA_OUT);
static_assert(layout::kAtaFlags48BitCommand == ATA_FLAGS_48BIT_COMMAND);

}  // namespace
}  // namespace plexi::win
