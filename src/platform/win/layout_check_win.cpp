// The portable code spells the Win32 numbers and structure layouts it needs
// itself (winconst.h, ioctl_layout.h), so that it builds without the SDK.
// Here every one of them is held against the SDK's own definitions; a wrong
// value stops the Windows build. Nothing in this file runs.
#include <windows.h>
#include <winioctl.h>
#include <reason.h>

#include <cstddef>

#include "platform/ioctl_layout.h"
#include "platform/winconst.h"

namespace plexi::win {
namespace {

// Error codes.
static_assert(winconst::kErrorSuccess == ERROR_SUCCESS);
static_assert(winconst::kErrorInvalidFunction == ERROR_INVALID_FUNCTION);
static_assert(winconst::kErrorFileNotFound == ERROR_FILE_NOT_FOUND);
static_assert(winconst::kErrorPathNotFound == ERROR_PATH_NOT_FOUND);
static_assert(winconst::kErrorAccessDenied == ERROR_ACCESS_DENIED);
static_assert(winconst::kErrorInvalidHandle == ERROR_INVALID_HANDLE);
static_assert(winconst::kErrorNotEnoughMemory == ERROR_NOT_ENOUGH_MEMORY);
static_assert(winconst::kErrorInvalidData == ERROR_INVALID_DATA);
static_assert(winconst::kErrorOutOfMemory == ERROR_OUTOFMEMORY);
static_assert(winconst::kErrorWriteProtect == ERROR_WRITE_PROTECT);
static_assert(winconst::kErrorNotReady == ERROR_NOT_READY);
static_assert(winconst::kErrorCrc == ERROR_CRC);
static_assert(winconst::kErrorSeek == ERROR_SEEK);
static_assert(winconst::kErrorSectorNotFound == ERROR_SECTOR_NOT_FOUND);
static_assert(winconst::kErrorWriteFault == ERROR_WRITE_FAULT);
static_assert(winconst::kErrorReadFault == ERROR_READ_FAULT);
static_assert(winconst::kErrorGenFailure == ERROR_GEN_FAILURE);
static_assert(winconst::kErrorSharingViolation == ERROR_SHARING_VIOLATION);
static_assert(winconst::kErrorLockViolation == ERROR_LOCK_VIOLATION);
static_assert(winconst::kErrorHandleEof == ERROR_HANDLE_EOF);
static_assert(winconst::kErrorNotSupported == ERROR_NOT_SUPPORTED);
static_assert(winconst::kErrorFileExists == ERROR_FILE_EXISTS);
static_assert(winconst::kErrorInvalidParameter == ERROR_INVALID_PARAMETER);
static_assert(winconst::kErrorDiskFull == ERROR_DISK_FULL);
static_assert(winconst::kErrorInsufficientBuffer == ERROR_INSUFFICIENT_BUFFER);
static_assert(winconst::kErrorInvalidName == ERROR_INVALID_NAME);
static_assert(winconst::kErrorNegativeSeek == ERROR_NEGATIVE_SEEK);
static_assert(winconst::kErrorBusy == ERROR_BUSY);
static_assert(winconst::kErrorNotLocked == ERROR_NOT_LOCKED);
static_assert(winconst::kErrorTooManyOpenFiles == ERROR_TOO_MANY_OPEN_FILES);
static_assert(winconst::kErrorSemTimeout == ERROR_SEM_TIMEOUT);
static_assert(winconst::kErrorFilenameTooLong == ERROR_FILENAME_EXCED_RANGE);
static_assert(winconst::kErrorFileTooLarge == ERROR_FILE_TOO_LARGE);
static_assert(winconst::kErrorNoAccess == ERROR_NOACCESS);
static_assert(winconst::kErrorAlreadyExists == ERROR_ALREADY_EXISTS);
static_assert(winconst::kErrorMoreData == ERROR_MORE_DATA);
static_assert(winconst::kErrorNoMoreItems == ERROR_NO_MORE_ITEMS);
static_assert(winconst::kErrorOperationAborted == ERROR_OPERATION_ABORTED);
static_assert(winconst::kErrorIoDevice == ERROR_IO_DEVICE);
static_assert(winconst::kErrorNoMediaInDrive == ERROR_NO_MEDIA_IN_DRIVE);
static_assert(winconst::kErrorDeviceNotConnected == ERROR_DEVICE_NOT_CONNECTED);
static_assert(winconst::kErrorNotAllAssigned == ERROR_NOT_ALL_ASSIGNED);
static_assert(winconst::kErrorPrivilegeNotHeld == ERROR_PRIVILEGE_NOT_HELD);

// Device and file system control codes.
static_assert(winconst::kIoctlDiskGetDriveGeometry == IOCTL_DISK_GET_DRIVE_GEOMETRY);
static_assert(winconst::kIoctlDiskGetPartitionInfo == IOCTL_DISK_GET_PARTITION_INFO);
static_assert(winconst::kIoctlDiskGetLengthInfo == IOCTL_DISK_GET_LENGTH_INFO);
static_assert(winconst::kIoctlDiskGetDriveGeometryEx == IOCTL_DISK_GET_DRIVE_GEOMETRY_EX);
static_assert(winconst::kIoctlDiskUpdateProperties == IOCTL_DISK_UPDATE_PROPERTIES);
static_assert(winconst::kIoctlStorageQueryProperty == IOCTL_STORAGE_QUERY_PROPERTY);
static_assert(winconst::kIoctlStorageGetDeviceNumber == IOCTL_STORAGE_GET_DEVICE_NUMBER);
static_assert(winconst::kIoctlVolumeGetVolumeDiskExtents == IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS);
static_assert(winconst::kFsctlLockVolume == FSCTL_LOCK_VOLUME);
static_assert(winconst::kFsctlUnlockVolume == FSCTL_UNLOCK_VOLUME);
static_assert(winconst::kFsctlDismountVolume == FSCTL_DISMOUNT_VOLUME);
static_assert(winconst::kFsctlAllowExtendedDasdIo == FSCTL_ALLOW_EXTENDED_DASD_IO);

// GetDriveType results.
static_assert(winconst::kDriveUnknown == DRIVE_UNKNOWN);
static_assert(winconst::kDriveNoRootDir == DRIVE_NO_ROOT_DIR);
static_assert(winconst::kDriveRemovable == DRIVE_REMOVABLE);
static_assert(winconst::kDriveFixed == DRIVE_FIXED);
static_assert(winconst::kDriveRemote == DRIVE_REMOTE);
static_assert(winconst::kDriveCdrom == DRIVE_CDROM);
static_assert(winconst::kDriveRamdisk == DRIVE_RAMDISK);

// STORAGE_BUS_TYPE.
static_assert(winconst::kBusTypeUnknown == BusTypeUnknown);
static_assert(winconst::kBusTypeScsi == BusTypeScsi);
static_assert(winconst::kBusTypeAtapi == BusTypeAtapi);
static_assert(winconst::kBusTypeAta == BusTypeAta);
static_assert(winconst::kBusType1394 == BusType1394);
static_assert(winconst::kBusTypeSsa == BusTypeSsa);
static_assert(winconst::kBusTypeFibre == BusTypeFibre);
static_assert(winconst::kBusTypeUsb == BusTypeUsb);
static_assert(winconst::kBusTypeRaid == BusTypeRAID);
static_assert(winconst::kBusTypeIscsi == BusTypeiScsi);
static_assert(winconst::kBusTypeSas == BusTypeSas);
static_assert(winconst::kBusTypeSata == BusTypeSata);
static_assert(winconst::kBusTypeSd == BusTypeSd);
static_assert(winconst::kBusTypeMmc == BusTypeMmc);
static_assert(winconst::kBusTypeVirtual == BusTypeVirtual);
static_assert(winconst::kBusTypeFileBackedVirtual == BusTypeFileBackedVirtual);
static_assert(winconst::kBusTypeSpaces == BusTypeSpaces);
static_assert(winconst::kBusTypeNvme == BusTypeNvme);
static_assert(winconst::kBusTypeScm == BusTypeSCM);
static_assert(winconst::kBusTypeUfs == BusTypeUfs);

// ExitWindowsEx flags.
static_assert(winconst::kEwxLogoff == EWX_LOGOFF);
static_assert(winconst::kEwxShutdown == EWX_SHUTDOWN);
static_assert(winconst::kEwxReboot == EWX_REBOOT);
static_assert(winconst::kEwxForce == EWX_FORCE);
static_assert(winconst::kEwxPoweroff == EWX_POWEROFF);
static_assert(winconst::kEwxForceIfHung == EWX_FORCEIFHUNG);
static_assert(winconst::kShtdnReasonMajorOther == SHTDN_REASON_MAJOR_OTHER);
static_assert(winconst::kShtdnReasonMinorOther == SHTDN_REASON_MINOR_OTHER);
static_assert(winconst::kShtdnReasonFlagPlanned == SHTDN_REASON_FLAG_PLANNED);

// DISK_GEOMETRY, as layout::DiskGeometry reads and writes it.
static_assert(winconst::kDiskGeometrySize == sizeof(DISK_GEOMETRY));
static_assert(offsetof(DISK_GEOMETRY, Cylinders) == 0);
static_assert(offsetof(DISK_GEOMETRY, MediaType) == 8 && sizeof(MEDIA_TYPE) == 4);
static_assert(offsetof(DISK_GEOMETRY, TracksPerCylinder) == 12);
static_assert(offsetof(DISK_GEOMETRY, SectorsPerTrack) == 16);
static_assert(offsetof(DISK_GEOMETRY, BytesPerSector) == 20);

// DISK_GEOMETRY_EX: the program reads the geometry and DiskSize, the 32
// bytes before the variable partition and detection data. sizeof counts
// Data[1] and padding as well (40), so the constant is the data's offset.
static_assert(offsetof(DISK_GEOMETRY_EX, Geometry) == 0);
static_assert(offsetof(DISK_GEOMETRY_EX, DiskSize) == 24);
static_assert(winconst::kDiskGeometryExSize == offsetof(DISK_GEOMETRY_EX, Data));
static_assert(sizeof(DISK_GEOMETRY_EX) == 40);
static_assert(winconst::kDiskGeometryExBufferSize >= sizeof(DISK_GEOMETRY_EX));

// PARTITION_INFORMATION, as layout::PartitionInformation reads and writes it.
static_assert(winconst::kPartitionInformationSize == sizeof(PARTITION_INFORMATION));
static_assert(winconst::kPartitionInfoBufferSize >= sizeof(PARTITION_INFORMATION));
static_assert(offsetof(PARTITION_INFORMATION, StartingOffset) == 0);
static_assert(offsetof(PARTITION_INFORMATION, PartitionLength) == 8);
static_assert(offsetof(PARTITION_INFORMATION, HiddenSectors) == 16);
static_assert(offsetof(PARTITION_INFORMATION, PartitionNumber) == 20);
static_assert(offsetof(PARTITION_INFORMATION, PartitionType) == 24);
static_assert(offsetof(PARTITION_INFORMATION, BootIndicator) == 25);
static_assert(offsetof(PARTITION_INFORMATION, RecognizedPartition) == 26);
static_assert(offsetof(PARTITION_INFORMATION, RewritePartition) == 27);
static_assert(sizeof(PARTITION_INFORMATION::BootIndicator) == 1);
static_assert(sizeof(PARTITION_INFORMATION::RecognizedPartition) == 1);
static_assert(sizeof(PARTITION_INFORMATION::RewritePartition) == 1);

// GET_LENGTH_INFORMATION.
static_assert(winconst::kLengthInformationSize == sizeof(GET_LENGTH_INFORMATION));
static_assert(offsetof(GET_LENGTH_INFORMATION, Length) == 0);

// STORAGE_PROPERTY_QUERY: an all-zero query is the standard query of the
// device property, which is how the program builds it.
static_assert(winconst::kStoragePropertyQuerySize == sizeof(STORAGE_PROPERTY_QUERY));
static_assert(offsetof(STORAGE_PROPERTY_QUERY, PropertyId) == 0);
static_assert(offsetof(STORAGE_PROPERTY_QUERY, QueryType) == 4);
static_assert(StorageDeviceProperty == 0 && PropertyStandardQuery == 0);

// STORAGE_DEVICE_DESCRIPTOR, as layout::StorageDescriptorHeader reads and
// writes it. The raw device properties begin at 36; the program's 40-byte
// header is sizeof the structure, which counts RawDeviceProperties[1] and
// three bytes of padding. Windows reports that same 40 as the descriptor's
// Version, and the strings follow from there.
static_assert(offsetof(STORAGE_DEVICE_DESCRIPTOR, Version) == 0);
static_assert(offsetof(STORAGE_DEVICE_DESCRIPTOR, Size) == 4);
static_assert(offsetof(STORAGE_DEVICE_DESCRIPTOR, DeviceType) == 8);
static_assert(offsetof(STORAGE_DEVICE_DESCRIPTOR, DeviceTypeModifier) == 9);
static_assert(offsetof(STORAGE_DEVICE_DESCRIPTOR, RemovableMedia) == 10);
static_assert(offsetof(STORAGE_DEVICE_DESCRIPTOR, CommandQueueing) == 11);
static_assert(offsetof(STORAGE_DEVICE_DESCRIPTOR, VendorIdOffset) == 12);
static_assert(offsetof(STORAGE_DEVICE_DESCRIPTOR, ProductIdOffset) == 16);
static_assert(offsetof(STORAGE_DEVICE_DESCRIPTOR, ProductRevisionOffset) == 20);
static_assert(offsetof(STORAGE_DEVICE_DESCRIPTOR, SerialNumberOffset) == 24);
static_assert(offsetof(STORAGE_DEVICE_DESCRIPTOR, BusType) == 28 && sizeof(STORAGE_BUS_TYPE) == 4);
static_assert(offsetof(STORAGE_DEVICE_DESCRIPTOR, RawPropertiesLength) == 32);
static_assert(offsetof(STORAGE_DEVICE_DESCRIPTOR, RawDeviceProperties) == 36);
static_assert(winconst::kStorageDescriptorHeaderSize == sizeof(STORAGE_DEVICE_DESCRIPTOR));
static_assert(winconst::kStorageDescriptorBufferSize >= sizeof(STORAGE_DEVICE_DESCRIPTOR));

// STORAGE_DEVICE_NUMBER.
static_assert(winconst::kStorageDeviceNumberSize == sizeof(STORAGE_DEVICE_NUMBER));
static_assert(offsetof(STORAGE_DEVICE_NUMBER, DeviceType) == 0);
static_assert(offsetof(STORAGE_DEVICE_NUMBER, DeviceNumber) == 4);
static_assert(offsetof(STORAGE_DEVICE_NUMBER, PartitionNumber) == 8);
static_assert(winconst::kFileDeviceDisk == FILE_DEVICE_DISK);

// VOLUME_DISK_EXTENTS and DISK_EXTENT, as the extent reader walks them.
static_assert(layout::kDiskExtentSize == sizeof(DISK_EXTENT));
static_assert(offsetof(DISK_EXTENT, DiskNumber) == 0);
static_assert(offsetof(DISK_EXTENT, StartingOffset) == 8);
static_assert(offsetof(DISK_EXTENT, ExtentLength) == 16);
static_assert(offsetof(VOLUME_DISK_EXTENTS, NumberOfDiskExtents) == 0);
static_assert(layout::kDiskExtentsHeaderSize == offsetof(VOLUME_DISK_EXTENTS, Extents));
// The one-extent reply buffer is the structure as declared, with Extents[1].
static_assert(winconst::kDiskExtentsBufferSize == sizeof(VOLUME_DISK_EXTENTS));

}  // namespace
}  // namespace plexi::win
