// WinINet behind the internet interface, and plain Win32 files for what a
// download writes.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <memory>

#include "platform/internet.h"

namespace plexi::win {

// WinINet's functions, taken from the library at run time rather than
// imported: a Windows PE image need not carry the library, and the program
// must start there all the same (without it the update check is off).
struct WinInetApi;

class WinInternet : public platform::Internet {
 public:
  // The program uses the user's configured access (proxy included); the
  // tests, which talk to a server of their own on 127.0.0.1, go direct.
  enum class Access { kPreconfigured, kDirect };
  explicit WinInternet(Access access = Access::kPreconfigured);

  bool CanAttemptConnect() override;
  std::unique_ptr<platform::InternetSession> OpenSession(const std::string& user_agent) override;

 private:
  Access access_;
  std::shared_ptr<const WinInetApi> api_;  // null without the library
};

class WinDownloadFiles : public platform::DownloadFiles {
 public:
  platform::Result<std::unique_ptr<platform::WritableFile>> Create(const std::string& path) override;
  platform::Result<> Delete(const std::string& path) override;
};

}  // namespace plexi::win
