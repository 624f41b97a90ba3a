// HTTP transfers through the system's internet functions (WinINet on
// Windows) and the plain files a download writes. Used by the about box's
// update check; tests answer with fakes.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace plexi::platform {

// One opened address; destroying it closes the request handle.
class InternetRequest {
 public:
  virtual ~InternetRequest() = default;
  // The HTTP status code; 0 when the protocol has none.
  virtual uint32_t StatusCode() = 0;
  // The response's content length as a number; nullopt when the server
  // sent none.
  virtual std::optional<uint64_t> ContentLength() = 0;
  // How many bytes can be read now; 0 when the system says none or fails.
  virtual uint32_t AvailableBytes() = 0;
  // Reads up to `length` bytes; ok with 0 bytes at the end of the data.
  virtual IoResult Read(void* buffer, uint32_t length) = 0;
};

// One internet handle; destroying it closes the handle.
class InternetSession {
 public:
  virtual ~InternetSession() = default;
  // Opens an address, always reloading it from the server (never a cached
  // copy); null when it cannot be opened.
  virtual std::unique_ptr<InternetRequest> OpenUrl(const std::string& url) = 0;
};

class Internet {
 public:
  virtual ~Internet() = default;
  // False when the system says no connection can be attempted.
  virtual bool CanAttemptConnect() = 0;
  // An internet handle with this user agent and the system's configured
  // access (proxy settings as the user set them); null when it fails.
  virtual std::unique_ptr<InternetSession> OpenSession(const std::string& user_agent) = 0;
};

// A file opened for writing; destroying it closes it.
class WritableFile {
 public:
  virtual ~WritableFile() = default;
  virtual Result<> Write(const void* data, uint32_t length) = 0;
  // Closes the file; the status says whether everything reached it.
  virtual Result<> Close() = 0;
};

// Files anywhere on the machine, named by a full path (UTF-8).
class DownloadFiles {
 public:
  virtual ~DownloadFiles() = default;
  // Creates the file, or empties an existing one, for writing.
  virtual Result<std::unique_ptr<WritableFile>> Create(const std::string& path) = 0;
  virtual Result<> Delete(const std::string& path) = 0;
};

}  // namespace plexi::platform
