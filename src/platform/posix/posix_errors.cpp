#include "platform/posix/posix_errors.h"

#include <cerrno>

#include "platform/winconst.h"

namespace plexi::posix {

using namespace plexi::winconst;

uint32_t WindowsErrorFromErrno(int err, IoKind kind) {
  switch (err) {
    case 0: return kErrorSuccess;
    case EIO:
      if (kind == IoKind::kRead) return kErrorCrc;
      if (kind == IoKind::kWrite) return kErrorWriteFault;
      return kErrorIoDevice;
    case EPERM:
    case EACCES:
    case EISDIR: return kErrorAccessDenied;
    case ENOENT: return kErrorFileNotFound;
    case ENOTDIR: return kErrorPathNotFound;
    case ENOSPC:
    case EDQUOT: return kErrorDiskFull;
    case EINVAL: return kErrorInvalidParameter;
    case EBUSY:
    case EAGAIN: return kErrorBusy;
    case ETXTBSY: return kErrorSharingViolation;
    case ENOMEDIUM: return kErrorNoMediaInDrive;
    case EROFS: return kErrorWriteProtect;
    case ENXIO:
    case ENODEV: return kErrorDeviceNotConnected;
    case EBADF: return kErrorInvalidHandle;
    case ENOMEM: return kErrorNotEnoughMemory;
    case EMFILE:
    case ENFILE: return kErrorTooManyOpenFiles;
    case ENOTTY: return kErrorInvalidFunction;
    case EOPNOTSUPP: return kErrorNotSupported;
    case EEXIST: return kErrorFileExists;
    case ENAMETOOLONG: return kErrorFilenameTooLong;
    case EFBIG: return kErrorFileTooLarge;
    case ETIMEDOUT: return kErrorSemTimeout;
    case EFAULT: return kErrorNoAccess;
    case ECANCELED: return kErrorOperationAborted;
    default: return kErrorGenFailure;
  }
}

std::string EnglishErrorText(uint32_t code) {
  const char* text = nullptr;
  switch (code) {
    case kErrorSuccess: text = "The operation completed successfully."; break;
    case kErrorInvalidFunction: text = "Incorrect function."; break;
    case kErrorFileNotFound: text = "The system cannot find the file specified."; break;
    case kErrorPathNotFound: text = "The system cannot find the path specified."; break;
    case kErrorTooManyOpenFiles: text = "The system cannot open the file."; break;
    case kErrorAccessDenied: text = "Access is denied."; break;
    case kErrorInvalidHandle: text = "The handle is invalid."; break;
    case kErrorNotEnoughMemory:
      text = "Not enough memory resources are available to process this command.";
      break;
    case kErrorInvalidData: text = "The data is invalid."; break;
    case kErrorOutOfMemory:
      text = "Not enough memory resources are available to complete this operation.";
      break;
    case kErrorWriteProtect: text = "The media is write protected."; break;
    case kErrorNotReady: text = "The device is not ready."; break;
    case kErrorCrc: text = "Data error (cyclic redundancy check)."; break;
    case kErrorSeek:
      text = "The drive cannot locate a specific area or track on the disk.";
      break;
    case kErrorSectorNotFound: text = "The drive cannot find the sector requested."; break;
    case kErrorWriteFault: text = "The system cannot write to the specified device."; break;
    case kErrorReadFault: text = "The system cannot read from the specified device."; break;
    case kErrorGenFailure: text = "A device attached to the system is not functioning."; break;
    case kErrorSharingViolation:
      text = "The process cannot access the file because it is being used by another process.";
      break;
    case kErrorLockViolation:
      text = "The process cannot access the file because another process has locked a "
             "portion of the file.";
      break;
    case kErrorHandleEof: text = "Reached the end of the file."; break;
    case kErrorNotSupported: text = "The request is not supported."; break;
    case kErrorFileExists: text = "The file exists."; break;
    case kErrorInvalidParameter: text = "The parameter is incorrect."; break;
    case kErrorDiskFull: text = "There is not enough space on the disk."; break;
    case kErrorSemTimeout: text = "The semaphore timeout period has expired."; break;
    case kErrorInsufficientBuffer:
      text = "The data area passed to a system call is too small.";
      break;
    case kErrorInvalidName:
      text = "The filename, directory name, or volume label syntax is incorrect.";
      break;
    case kErrorNegativeSeek:
      text = "An attempt was made to move the file pointer before the beginning of the file.";
      break;
    case kErrorBusy: text = "The requested resource is in use."; break;
    case kErrorAlreadyExists: text = "Cannot create a file when that file already exists."; break;
    case kErrorFilenameTooLong: text = "The filename or extension is too long."; break;
    case kErrorFileTooLarge:
      text = "The file size exceeds the limit allowed and cannot be saved.";
      break;
    case kErrorMoreData: text = "More data is available."; break;
    case kErrorNoMoreItems: text = "No more data is available."; break;
    case kErrorOperationAborted:
      text = "The I/O operation has been aborted because of either a thread exit or an "
             "application request.";
      break;
    case kErrorNoAccess: text = "Invalid access to memory location."; break;
    case kErrorNoMediaInDrive: text = "There is no media in the drive."; break;
    case kErrorIoDevice:
      text = "The request could not be performed because of an I/O device error.";
      break;
    case kErrorDeviceNotConnected: text = "The device is not connected."; break;
    case kErrorNotAllAssigned:
      text = "Not all privileges or groups referenced are assigned to the caller.";
      break;
    case kErrorPrivilegeNotHeld: text = "A required privilege is not held by the client."; break;
    default: return {};
  }
  return std::string(text) + "\r\n";
}

}  // namespace plexi::posix
