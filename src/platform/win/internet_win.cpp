#include "platform/win/internet_win.h"

#include "platform/win/utf.h"
#include "platform/win/win_handles.h"

namespace plexi::win {

struct WinInetApi {
  UniqueModule library;
  decltype(&InternetAttemptConnect) attempt_connect = nullptr;
  decltype(&InternetOpenW) open = nullptr;
  decltype(&InternetOpenUrlW) open_url = nullptr;
  decltype(&HttpQueryInfoW) query_info = nullptr;
  decltype(&InternetQueryDataAvailable) data_available = nullptr;
  decltype(&InternetReadFile) read_file = nullptr;
  decltype(&InternetCloseHandle) close = nullptr;
};

namespace {

// By its full path in the system folder, never from the program's or the
// current folder (page "Dynamic-Link Library Security").
UniqueModule LoadSystemLibrary(const wchar_t* name) {
  wchar_t folder[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return UniqueModule();
  return UniqueModule(LoadLibraryW((std::wstring(folder) + L"\\" + name).c_str()));
}

std::shared_ptr<const WinInetApi> LoadWinInet() {
  auto api = std::make_shared<WinInetApi>();
  api->library = LoadSystemLibrary(L"wininet.dll");
  const HMODULE m = api->library.get();
  api->attempt_connect = ProcAddressOf<decltype(api->attempt_connect)>(m, "InternetAttemptConnect");
  api->open = ProcAddressOf<decltype(api->open)>(m, "InternetOpenW");
  api->open_url = ProcAddressOf<decltype(api->open_url)>(m, "InternetOpenUrlW");
  api->query_info = ProcAddressOf<decltype(api->query_info)>(m, "HttpQueryInfoW");
  api->data_available = ProcAddressOf<decltype(api->data_available)>(m, "InternetQueryDataAvailable");
  api->read_file = ProcAddressOf<decltype(api->read_file)>(m, "InternetReadFile");
  api->close = ProcAddressOf<decltype(api->close)>(m, "InternetCloseHandle");
  const bool whole = api->attempt_connect && api->open && api->open_url && api->query_info &&
                     api->data_available && api->read_file && api->close;
  return whole ? api : nullptr;
}

// A WinINet handle; it keeps the library loaded while it is open.
class UniqueInternetHandle {
 public:
  UniqueInternetHandle(std::shared_ptr<const WinInetApi> api, HINTERNET handle)
      : api_(std::move(api)), handle_(handle) {}
  ~UniqueInternetHandle() {
    if (handle_) api_->close(handle_);
  }
  UniqueInternetHandle(const UniqueInternetHandle&) = delete;
  UniqueInternetHandle& operator=(const UniqueInternetHandle&) = delete;

  explicit operator bool() const { return handle_ != nullptr; }
  HINTERNET get() const { return handle_; }
  const WinInetApi& api() const { return *api_; }
  const std::shared_ptr<const WinInetApi>& shared_api() const { return api_; }

 private:
  std::shared_ptr<const WinInetApi> api_;
  HINTERNET handle_;
};

class WinInternetRequest : public platform::InternetRequest {
 public:
  explicit WinInternetRequest(std::unique_ptr<UniqueInternetHandle> handle) : handle_(std::move(handle)) {}

  uint32_t StatusCode() override {
    DWORD status = 0, size = sizeof(status);
    if (!handle_->api().query_info(handle_->get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                        &size, nullptr))
      return 0;
    return status;
  }

  std::optional<uint64_t> ContentLength() override {
    DWORD length = 0, size = sizeof(length);
    if (!handle_->api().query_info(handle_->get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length,
                        &size, nullptr))
      return std::nullopt;
    return length;
  }

  uint32_t AvailableBytes() override {
    DWORD available = 0;
    if (!handle_->api().data_available(handle_->get(), &available, 0, 0)) return 0;
    return available;
  }

  platform::IoResult Read(void* buffer, uint32_t length) override {
    DWORD read = 0;
    if (!handle_->api().read_file(handle_->get(), buffer, length, &read)) return platform::IoResult::Failure(GetLastError());
    return platform::IoResult(read);
  }

 private:
  std::unique_ptr<UniqueInternetHandle> handle_;
};

class WinInternetSession : public platform::InternetSession {
 public:
  explicit WinInternetSession(std::unique_ptr<UniqueInternetHandle> handle) : handle_(std::move(handle)) {}

  std::unique_ptr<platform::InternetRequest> OpenUrl(const std::string& url) override {
    const std::wstring wide = Utf8ToWide(url);
    // Always fresh from the server, and nothing (the update download
    // least of all) is left behind in the browser's cache.
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
    auto request = std::make_unique<UniqueInternetHandle>(
        handle_->shared_api(), handle_->api().open_url(handle_->get(), wide.c_str(), nullptr, 0, flags, 0));
    if (!*request) return nullptr;
    return std::make_unique<WinInternetRequest>(std::move(request));
  }

 private:
  std::unique_ptr<UniqueInternetHandle> handle_;
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

WinInternet::WinInternet(Access access) : access_(access), api_(LoadWinInet()) {}

bool WinInternet::CanAttemptConnect() { return api_ && api_->attempt_connect(0) == ERROR_SUCCESS; }

std::unique_ptr<platform::InternetSession> WinInternet::OpenSession(const std::string& user_agent) {
  const std::wstring agent = Utf8ToWide(user_agent);
  const DWORD type =
      access_ == Access::kDirect ? INTERNET_OPEN_TYPE_DIRECT : INTERNET_OPEN_TYPE_PRECONFIG;
  if (!api_) return nullptr;
  auto session = std::make_unique<UniqueInternetHandle>(api_, api_->open(agent.c_str(), type, nullptr, nullptr, 0));
  if (!*session) return nullptr;
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
