#include "platform/win/internet_win.h"

#include "platform/win/utf.h"
#include "platform/win/win_handles.h"

namespace plexi::win {

namespace {

class WinInternetRequest : public platform::InternetRequest {
 public:
  explicit WinInternetRequest(UniqueInternetHandle handle) : handle_(std::move(handle)) {}

  uint32_t StatusCode() override {
    DWORD status = 0, size = sizeof(status);
    if (!HttpQueryInfoW(handle_.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                        &size, nullptr))
      return 0;
    return status;
  }

  std::optional<uint64_t> ContentLength() override {
    DWORD length = 0, size = sizeof(length);
    if (!HttpQueryInfoW(handle_.get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length,
                        &size, nullptr))
      return std::nullopt;
    return length;
  }

  uint32_t AvailableBytes() override {
    DWORD available = 0;
    if (!InternetQueryDataAvailable(handle_.get(), &available, 0, 0)) return 0;
    return available;
  }

  platform::IoResult Read(void* buffer, uint32_t length) override {
    DWORD read = 0;
    if (!InternetReadFile(handle_.get(), buffer, length, &read)) return platform::IoResult::Failure(GetLastError());
    return platform::IoResult(read);
  }

 private:
  UniqueInternetHandle handle_;
};

class WinInternetSession : public platform::InternetSession {
 public:
  explicit WinInternetSession(UniqueInternetHandle handle) : handle_(std::move(handle)) {}

  std::unique_ptr<platform::InternetRequest> OpenUrl(const std::string& url) override {
    const std::wstring wide = Utf8ToWide(url);
    // Always fresh from the server, and nothing (the update download
    // least of all) is left behind in the browser's cache.
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
    UniqueInternetHandle request(InternetOpenUrlW(handle_.get(), wide.c_str(), nullptr, 0, flags, 0));
    if (!request) return nullptr;
    return std::make_unique<WinInternetRequest>(std::move(request));
  }

 private:
  UniqueInternetHandle handle_;
};

class WinWritableFile : public platform::WritableFile {
 public:
  explicit WinWritableFile(UniqueFile file) : file_(std::move(file)) {}

  platform::Result<> Write(const void* data, uint32_t length) override {
    const auto* bytes = static_cast<const char*>(data);
    while (length > 0) {
      DWORD written = 0;
      if (!WriteFile(file_.get(), bytes, length, &written, nullptr))
        return platform::Result<>::Failure(GetLastError());
      if (written == 0) return platform::Result<>::Failure(ERROR_WRITE_FAULT);
      bytes += written;
      length -= written;
    }
    return platform::Result<>::Success();
  }

  platform::Result<> Close() override {
    if (!file_) return platform::Result<>::Success();
    if (!CloseHandle(file_.release())) return platform::Result<>::Failure(GetLastError());
    return platform::Result<>::Success();
  }

 private:
  UniqueFile file_;
};

}  // namespace

bool WinInternet::CanAttemptConnect() { return InternetAttemptConnect(0) == ERROR_SUCCESS; }

std::unique_ptr<platform::InternetSession> WinInternet::OpenSession(const std::string& user_agent) {
  const std::wstring agent = Utf8ToWide(user_agent);
  const DWORD type =
      access_ == Access::kDirect ? INTERNET_OPEN_TYPE_DIRECT : INTERNET_OPEN_TYPE_PRECONFIG;
  UniqueInternetHandle session(InternetOpenW(agent.c_str(), type, nullptr, nullptr, 0));
  if (!session) return nullptr;
  return std::make_unique<WinInternetSession>(std::move(session));
}

platform::Result<std::unique_ptr<platform::WritableFile>> WinDownloadFiles::Create(const std::string& path) {
  const std::wstring wide = Utf8ToWide(path);
  UniqueFile file(CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  using Created = platform::Result<std::unique_ptr<platform::WritableFile>>;
  if (!file) return Created::Failure(GetLastError());
  return Created(std::make_unique<WinWritableFile>(std::move(file)));
}

platform::Result<> WinDownloadFiles::Delete(const std::string& path) {
  const std::wstring wide = Utf8ToWide(path);
  if (!DeleteFileW(wide.c_str())) return platform::Result<>::Failure(GetLastError());
  return platform::Result<>::Success();
}

}  // namespace plexi::win
