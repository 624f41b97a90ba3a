// WinINet behind the internet interface, and plain Win32 files for what a
// download writes.
#pragma once
#include <windows.h>
#include <wininet.h>

#include "platform/internet.h"
#include "platform/unique.h"

namespace plexi::win {

struct InternetHandleTraits {
  using Value = HINTERNET;
  static Value Invalid() { return nullptr; }
  static void Close(Value v) { InternetCloseHandle(v); }
};
using UniqueInternetHandle = Unique<InternetHandleTraits>;

class WinInternet : public platform::Internet {
 public:
  // The program uses the user's configured access (proxy included); the
  // tests, which talk to a server of their own on 127.0.0.1, go direct.
  enum class Access { kPreconfigured, kDirect };
  explicit WinInternet(Access access = Access::kPreconfigured) : access_(access) {}

  bool CanAttemptConnect() override;
  std::unique_ptr<platform::InternetSession> OpenSession(const std::string& user_agent) override;

 private:
  Access access_;
};

class WinDownloadFiles : public platform::DownloadFiles {
 public:
  platform::Result<std::unique_ptr<platform::WritableFile>> Create(const std::string& path) override;
  platform::Result<> Delete(const std::string& path) override;
};

}  // namespace plexi::win
