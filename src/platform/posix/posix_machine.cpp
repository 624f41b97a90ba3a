#include "platform/posix/posix_machine.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "platform/japanese_time_text.h"
#include "platform/posix/device_use.h"
#include "platform/posix/posix_device.h"
#include "platform/posix/posix_errors.h"
#include "platform/posix/sysfs_info.h"
#include "platform/winconst.h"

namespace plexi::posix {

using platform::Access;
using OpenResult = platform::Result<std::unique_ptr<platform::Device>>;

namespace {

OpenResult OpenFailed(uint32_t code) { return OpenResult::Failure(code); }
OpenResult OpenFailedErrno(int err) { return OpenResult::Failure(WindowsErrorFromErrno(err)); }

// Opens with O_DIRECT when data moves, and without it where the file
// system refuses it.
int OpenFd(const std::string& path, int flags, bool want_direct, bool* direct) {
  *direct = false;
  if (want_direct) {
    int fd;
    do fd = ::open(path.c_str(), flags | O_DIRECT);
    while (fd < 0 && errno == EINTR);
    if (fd >= 0 || errno != EINVAL) {
      *direct = fd >= 0;
      return fd;
    }
  }
  int fd;
  do fd = ::open(path.c_str(), flags);
  while (fd < 0 && errno == EINTR);
  return fd;
}

// Sector size and whole-sector size of a block device, from the kernel.
uint32_t BlockFacts(int fd, const struct stat& st, DeviceFacts* facts) {
  int sector = 0;
  uint64_t bytes = 0;
  if (::ioctl(fd, BLKSSZGET, &sector) != 0 || ::ioctl(fd, BLKGETSIZE64, &bytes) != 0)
    return WindowsErrorFromErrno(errno);
  if (sector <= 0) return winconst::kErrorInvalidData;
  facts->block_device = true;
  facts->sector_size = uint32_t(sector);
  facts->size_bytes = bytes - bytes % facts->sector_size;
  facts->sysfs_dir = SysfsDirOf(st.st_rdev);
  if (IsPartitionDir(facts->sysfs_dir)) {
    facts->partition_start = PartitionStartBytes(facts->sysfs_dir);
    facts->partition_number = PartitionNumber(facts->sysfs_dir);
  }
  return 0;
}

void FileFacts(const std::string& path, const struct stat& st, uint32_t sector,
               DeviceFacts* facts) {
  facts->sector_size = sector;
  // All of the file, a part sector at its end included: a transfer that
  // reaches into that sector moves what there is, as at the end of a disk.
  facts->size_bytes = uint64_t(st.st_size);
  std::error_code ec;
  std::filesystem::path full = std::filesystem::canonical(path, ec);
  facts->path = ec ? path : full.string();
}

bool SameTarget(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_rdev == b.st_rdev;
}

}  // namespace

OpenResult PosixMachine::OpenDevice(const std::string& path, Access access) {
  struct stat before;
  if (::stat(path.c_str(), &before) != 0) return OpenFailedErrno(errno);
  if (S_ISDIR(before.st_mode)) return OpenFailed(winconst::kErrorAccessDenied);
  bool block = S_ISBLK(before.st_mode);
  if (!block && !S_ISREG(before.st_mode)) return OpenFailed(winconst::kErrorNotSupported);

  bool writing = access == Access::kReadWrite;
  if (writing && !DescribeDeviceUse(path).empty()) return OpenFailed(winconst::kErrorBusy);

  int flags = O_CLOEXEC | (writing ? O_RDWR : O_RDONLY);
  if (block && writing) flags |= O_EXCL;  // the kernel's own "in use" claim
  bool direct = false;
  UniqueFd fd(OpenFd(path, flags, access != Access::kQuery, &direct));
  if (!fd) return OpenFailedErrno(errno);

  // The path must still name what was checked above.
  struct stat now;
  if (::fstat(fd.get(), &now) != 0) return OpenFailedErrno(errno);
  if (!SameTarget(before, now)) return OpenFailed(winconst::kErrorSharingViolation);

  DeviceFacts facts;
  if (block) {
    if (uint32_t error = BlockFacts(fd.get(), now, &facts)) return OpenFailed(error);
  } else {
    FileFacts(path, now, image_sector_size_, &facts);
  }
  return OpenResult(std::make_unique<PosixDevice>(std::move(fd), access, direct, std::move(facts)));
}

uint32_t PosixMachine::DriveType(const std::string&) { return winconst::kDriveNoRootDir; }

std::string PosixMachine::ErrorText(uint32_t code) { return EnglishErrorText(code); }

bool PosixMachine::SetImageSectorSize(uint32_t bytes) {
  bool power_of_two = bytes != 0 && (bytes & (bytes - 1)) == 0;
  if (!power_of_two || bytes < 512 || bytes > 65536) return false;
  image_sector_size_ = bytes;
  return true;
}

platform::LocalTime PosixMachine::Now() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  ::localtime_r(&now, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::string PosixMachine::DateText(const platform::LocalTime& t) { return platform::JapaneseDateText(t); }

std::string PosixMachine::TimeText(const platform::LocalTime& t) { return platform::JapaneseTimeText(t); }

}  // namespace plexi::posix
