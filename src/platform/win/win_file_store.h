// Files beside the executable: the error log, the protection list, help.
#pragma once
#include <string>

#include "platform/platform.h"

namespace plexi::win {

class WinFileStore : public platform::FileStore {
 public:
  // `directory` (with its trailing separator) overrides the executable's
  // folder; tests use a temporary folder.
  explicit WinFileStore(std::string directory = {});

  std::string ProgramDirectory() override { return directory_; }
  bool Exists(const std::string& path) override;
  platform::FileContent Read(const std::string& path) override;
  platform::Result<> Replace(const std::string& path, const std::string& bytes) override;
  platform::Result<> CreateNew(const std::string& path, const std::string& bytes) override;
  platform::Result<> MakeFolder(const std::string& path) override;
  std::optional<std::vector<std::string>> ListFolder(const std::string& path) override;

 private:
  std::string directory_;
};

}  // namespace plexi::win
