#include "platform/sim/file_util.h"

#include <cerrno>
#include <fstream>

#include "platform/winconst.h"

namespace plexi::sim {

std::filesystem::path PathFromUtf8(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string PathToUtf8(const std::filesystem::path& path) {
  std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

uint32_t WindowsErrorFromErrno(int error) {
  switch (error) {
    case 0: return win32::kErrorSuccess;
    case ENOENT: return win32::kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS: return win32::kErrorAccessDenied;
    case EEXIST: return win32::kErrorFileExists;
    case ENOSPC: return win32::kErrorDiskFull;
    case ENOMEM: return win32::kErrorNotEnoughMemory;
    case EBUSY: return win32::kErrorBusy;
    case EINVAL: return win32::kErrorInvalidParameter;
    case ENAMETOOLONG: return win32::kErrorInvalidName;
    case EIO: return win32::kErrorIoDevice;
    default: return win32::kErrorGenFailure;
  }
}

uint32_t WindowsErrorFromCode(const std::error_code& code) {
  if (!code) return win32::kErrorSuccess;
  if (code.category() == std::generic_category() || code.category() == std::system_category()) {
#ifdef _WIN32
    // libstdc++ on Windows reports native error codes in the system category.
    if (code.category() == std::system_category()) return uint32_t(code.value());
#endif
    return WindowsErrorFromErrno(code.value());
  }
  return win32::kErrorGenFailure;
}

uint32_t ReadWholeFile(const std::filesystem::path& path, std::string* bytes) {
  std::error_code ec;
  auto status = std::filesystem::status(path, ec);
  if (!std::filesystem::exists(status)) return win32::kErrorFileNotFound;
  if (std::filesystem::is_directory(status)) return win32::kErrorAccessDenied;
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) return errno ? WindowsErrorFromErrno(errno) : win32::kErrorAccessDenied;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return in.bad() ? win32::kErrorReadFault : win32::kErrorSuccess;
}

uint32_t ReplaceFile(const std::filesystem::path& path, const std::filesystem::path& temporary,
                     const std::string& bytes) {
  std::error_code ec;
  if (std::filesystem::is_directory(temporary, ec)) return win32::kErrorAccessDenied;
  {
    errno = 0;
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) {
      int saved = errno;
      if (!std::filesystem::exists(temporary.parent_path().empty() ? "." : temporary.parent_path(), ec))
        return win32::kErrorPathNotFound;
      return saved ? WindowsErrorFromErrno(saved) : win32::kErrorAccessDenied;
    }
    out.write(bytes.data(), std::streamsize(bytes.size()));
    out.flush();
    if (!out) {
      out.close();
      std::filesystem::remove(temporary, ec);
      return win32::kErrorWriteFault;
    }
  }
  std::filesystem::rename(temporary, path, ec);
  if (ec) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return WindowsErrorFromCode(ec);
  }
  return win32::kErrorSuccess;
}

}  // namespace plexi::sim
