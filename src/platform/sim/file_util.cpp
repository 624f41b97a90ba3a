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
    case 0: return winconst::kErrorSuccess;
    case ENOENT:
    case ENOTDIR: return winconst::kErrorPathNotFound;  // a file where a folder was expected
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS: return winconst::kErrorAccessDenied;
    case EEXIST: return winconst::kErrorFileExists;
    case ENOSPC: return winconst::kErrorDiskFull;
    case ENOMEM: return winconst::kErrorNotEnoughMemory;
    case EBUSY: return winconst::kErrorBusy;
    case EINVAL: return winconst::kErrorInvalidParameter;
    case ENAMETOOLONG: return winconst::kErrorInvalidName;
    case EIO: return winconst::kErrorIoDevice;
    default: return winconst::kErrorGenFailure;
  }
}

uint32_t WindowsErrorFromCode(const std::error_code& code) {
  if (!code) return winconst::kErrorSuccess;
  if (code.category() == std::generic_category() || code.category() == std::system_category()) {
#ifdef _WIN32
    // libstdc++ on Windows reports native error codes in the system category.
    if (code.category() == std::system_category()) return uint32_t(code.value());
#endif
    return WindowsErrorFromErrno(code.value());
  }
  return winconst::kErrorGenFailure;
}

uint32_t ReadWholeFile(const std::filesystem::path& path, std::string* bytes) {
  std::error_code ec;
  auto status = std::filesystem::status(path, ec);
  if (!std::filesystem::exists(status)) return winconst::kErrorFileNotFound;
  if (std::filesystem::is_directory(status)) return winconst::kErrorAccessDenied;
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) return errno ? WindowsErrorFromErrno(errno) : winconst::kErrorAccessDenied;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return in.bad() ? winconst::kErrorReadFault : winconst::kErrorSuccess;
}

uint32_t ReplaceFile(const std::filesystem::path& path, const std::filesystem::path& temporary,
                     const std::string& bytes) {
  std::error_code ec;
  if (std::filesystem::is_directory(temporary, ec)) return winconst::kErrorAccessDenied;
  {
    errno = 0;
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) {
      int saved = errno;
      if (!std::filesystem::exists(temporary.parent_path().empty() ? "." : temporary.parent_path(), ec))
        return winconst::kErrorPathNotFound;
      return saved ? WindowsErrorFromErrno(saved) : winconst::kErrorAccessDenied;
    }
    out.write(bytes.data(), std::streamsize(bytes.size()));
    out.flush();
    if (!out) {
      out.close();
      std::filesystem::remove(temporary, ec);
      return winconst::kErrorWriteFault;
    }
  }
  std::filesystem::rename(temporary, path, ec);
  if (ec) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return WindowsErrorFromCode(ec);
  }
  return winconst::kErrorSuccess;
}

}  // namespace plexi::sim
