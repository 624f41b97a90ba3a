// Win32 numbers the portable logic needs, with their real values, so that the
// Windows backend passes them through unchanged and the other backends answer
// the way Windows would.
#pragma once
#include <cstdint>

namespace plexi::winconst {

// Error codes (winerror.h).
inline constexpr uint32_t kErrorSuccess = 0;
inline constexpr uint32_t kErrorInvalidFunction = 1;
inline constexpr uint32_t kErrorFileNotFound = 2;
inline constexpr uint32_t kErrorPathNotFound = 3;
inline constexpr uint32_t kErrorTooManyOpenFiles = 4;
inline constexpr uint32_t kErrorAccessDenied = 5;
inline constexpr uint32_t kErrorInvalidHandle = 6;
inline constexpr uint32_t kErrorNotEnoughMemory = 8;
inline constexpr uint32_t kErrorInvalidData = 13;
inline constexpr uint32_t kErrorOutOfMemory = 14;
inline constexpr uint32_t kErrorWriteProtect = 19;
inline constexpr uint32_t kErrorNotReady = 21;
inline constexpr uint32_t kErrorCrc = 23;
inline constexpr uint32_t kErrorSeek = 25;
inline constexpr uint32_t kErrorSectorNotFound = 27;
inline constexpr uint32_t kErrorWriteFault = 29;
inline constexpr uint32_t kErrorReadFault = 30;
inline constexpr uint32_t kErrorGenFailure = 31;
inline constexpr uint32_t kErrorSharingViolation = 32;
inline constexpr uint32_t kErrorLockViolation = 33;
inline constexpr uint32_t kErrorHandleEof = 38;
inline constexpr uint32_t kErrorNotSupported = 50;
inline constexpr uint32_t kErrorFileExists = 80;
inline constexpr uint32_t kErrorInvalidParameter = 87;
inline constexpr uint32_t kErrorDiskFull = 112;
inline constexpr uint32_t kErrorInsufficientBuffer = 122;
inline constexpr uint32_t kErrorSemTimeout = 121;
inline constexpr uint32_t kErrorInvalidName = 123;
inline constexpr uint32_t kErrorNegativeSeek = 131;
inline constexpr uint32_t kErrorNotLocked = 158;
inline constexpr uint32_t kErrorBusy = 170;
inline constexpr uint32_t kErrorFilenameTooLong = 206;
inline constexpr uint32_t kErrorFileTooLarge = 223;
inline constexpr uint32_t kErrorAlreadyExists = 183;
inline constexpr uint32_t kErrorMoreData = 234;
inline constexpr uint32_t kErrorNoMoreItems = 259;
inline constexpr uint32_t kErrorOperationAborted = 995;
inline constexpr uint32_t kErrorNoAccess = 998;
inline constexpr uint32_t kErrorIoDevice = 1117;
inline constexpr uint32_t kErrorDeviceHardwareError = 483;
inline constexpr uint32_t kErrorNoMediaInDrive = 1112;
inline constexpr uint32_t kErrorDeviceNotConnected = 1167;
inline constexpr uint32_t kErrorNotAllAssigned = 1300;
inline constexpr uint32_t kErrorPrivilegeNotHeld = 1314;

// Device I/O control codes (winioctl.h).
inline constexpr uint32_t kIoctlDiskGetDriveGeometry = 0x00070000;
inline constexpr uint32_t kIoctlDiskGetPartitionInfo = 0x00074004;
inline constexpr uint32_t kIoctlDiskGetLengthInfo = 0x0007405C;
inline constexpr uint32_t kIoctlDiskGetDriveGeometryEx = 0x000700A0;
inline constexpr uint32_t kIoctlDiskUpdateProperties = 0x00070140;
inline constexpr uint32_t kIoctlDiskUpdateDriveSize = 0x0007C0C8;
inline constexpr uint32_t kIoctlStorageQueryProperty = 0x002D1400;
inline constexpr uint32_t kIoctlStorageGetDeviceNumber = 0x002D1080;
inline constexpr uint32_t kIoctlVolumeGetVolumeDiskExtents = 0x00560000;
inline constexpr uint32_t kFsctlLockVolume = 0x00090018;
inline constexpr uint32_t kFsctlUnlockVolume = 0x0009001C;
inline constexpr uint32_t kFsctlDismountVolume = 0x00090020;
inline constexpr uint32_t kFsctlAllowExtendedDasdIo = 0x00090083;

// Reply sizes the program asks with.
inline constexpr uint32_t kDiskGeometrySize = 24;
inline constexpr uint32_t kPartitionInfoBufferSize = 64;
inline constexpr uint32_t kPartitionInformationSize = 32;
inline constexpr uint32_t kLengthInformationSize = 8;
// DISK_GEOMETRY_EX: DISK_GEOMETRY, then DiskSize (LARGE_INTEGER) at 24, then
// the partition and detection data the program does not read.
inline constexpr uint32_t kDiskGeometryExSize = 32;
inline constexpr uint32_t kDiskGeometryExBufferSize = 256;
inline constexpr uint32_t kStorageDescriptorBufferSize = 1024;
inline constexpr uint32_t kStorageDescriptorHeaderSize = 40;
inline constexpr uint32_t kStoragePropertyQuerySize = 12;
// STORAGE_PROPERTY_ID StorageDeviceSeekPenaltyProperty, and its reply
// DEVICE_SEEK_PENALTY_DESCRIPTOR: Version, Size, IncursSeekPenalty at 8.
inline constexpr uint32_t kStorageDeviceSeekPenaltyProperty = 7;
inline constexpr uint32_t kSeekPenaltyDescriptorSize = 12;
inline constexpr uint32_t kDiskExtentsBufferSize = 32;
// STORAGE_DEVICE_NUMBER: DeviceType, DeviceNumber, PartitionNumber.
inline constexpr uint32_t kStorageDeviceNumberSize = 12;
inline constexpr uint32_t kFileDeviceDisk = 7;

// GetDriveType results.
inline constexpr uint32_t kDriveUnknown = 0;
inline constexpr uint32_t kDriveNoRootDir = 1;
inline constexpr uint32_t kDriveRemovable = 2;
inline constexpr uint32_t kDriveFixed = 3;
inline constexpr uint32_t kDriveRemote = 4;
inline constexpr uint32_t kDriveCdrom = 5;
inline constexpr uint32_t kDriveRamdisk = 6;

// STORAGE_BUS_TYPE.
inline constexpr uint32_t kBusTypeUnknown = 0;
inline constexpr uint32_t kBusTypeScsi = 1;
inline constexpr uint32_t kBusTypeAtapi = 2;
inline constexpr uint32_t kBusTypeAta = 3;
inline constexpr uint32_t kBusType1394 = 4;
inline constexpr uint32_t kBusTypeSsa = 5;
inline constexpr uint32_t kBusTypeFibre = 6;
inline constexpr uint32_t kBusTypeUsb = 7;
inline constexpr uint32_t kBusTypeRaid = 8;
inline constexpr uint32_t kBusTypeIscsi = 9;
inline constexpr uint32_t kBusTypeSas = 10;
inline constexpr uint32_t kBusTypeSata = 11;
inline constexpr uint32_t kBusTypeSd = 12;
inline constexpr uint32_t kBusTypeMmc = 13;
inline constexpr uint32_t kBusTypeVirtual = 14;
inline constexpr uint32_t kBusTypeFileBackedVirtual = 15;
inline constexpr uint32_t kBusTypeSpaces = 16;
inline constexpr uint32_t kBusTypeNvme = 17;
inline constexpr uint32_t kBusTypeScm = 18;
inline constexpr uint32_t kBusTypeUfs = 19;

// ExitWindowsEx flags.
inline constexpr uint32_t kEwxLogoff = 0x00;
inline constexpr uint32_t kEwxShutdown = 0x01;
inline constexpr uint32_t kEwxReboot = 0x02;
inline constexpr uint32_t kEwxForce = 0x04;
inline constexpr uint32_t kEwxPoweroff = 0x08;
inline constexpr uint32_t kEwxForceIfHung = 0x10;

// Shutdown reason codes (reason.h): other, other, planned.
inline constexpr uint32_t kShtdnReasonMajorOther = 0x00000000;
inline constexpr uint32_t kShtdnReasonMinorOther = 0x00000000;
inline constexpr uint32_t kShtdnReasonFlagPlanned = 0x80000000;

}  // namespace plexi::winconst
