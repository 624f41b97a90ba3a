// New files on Linux: the temporary file is published with
// renameat2(RENAME_NOREPLACE), or with link() and unlink() on a file system
// that does not take that flag; both refuse a name that exists.
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>

#include "platform/new_file.h"
#include "platform/posix/posix_device.h"
#include "platform/winconst.h"

namespace plexi::platform {

namespace {

uint32_t LastError(posix::IoKind kind = posix::IoKind::kOther) { return posix::WindowsErrorFromErrno(errno, kind); }

uint32_t WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? LastError(posix::IoKind::kWrite) : winconst::kErrorWriteFault;
    done += size_t(n);
  }
  return ::fsync(fd) == 0 ? 0 : LastError(posix::IoKind::kWrite);
}

uint32_t Publish(const std::string& temporary, const std::string& path) {
  if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return LastError();
  if (::link(temporary.c_str(), path.c_str()) != 0) return LastError();
  ::unlink(temporary.c_str());
  return 0;
}

}  // namespace

Result<> CreateNewFile(const std::string& path, const std::string& bytes) {
  const std::string temporary = TemporaryNameBeside(path);
  uint32_t error = 0;
  {
    posix::UniqueFd file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!file) return Result<>::Failure(LastError());
    error = WriteAll(file.get(), bytes);
  }
  if (error == 0) error = Publish(temporary, path);
  if (error != 0) ::unlink(temporary.c_str());
  return Result<>::FromCode(error);
}

}  // namespace plexi::platform
