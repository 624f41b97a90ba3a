// The program's files (error log, protection list, help page) in a folder of
// the host's file system: the simulated machine's program folder, and the
// command-line tool's.
#pragma once
#include <string>

#include "platform/platform.h"

namespace plexi::sim {

class DirectoryFileStore : public platform::FileStore {
 public:
  explicit DirectoryFileStore(std::string directory);

  std::string ProgramDirectory() override;
  // Paths are UTF-8; a relative path is taken inside the folder.
  bool Exists(const std::string& path) override;
  platform::FileContent Read(const std::string& path) override;
  // Writes "<path>.tmp" and renames it over `path`; a failure leaves the old
  // file as it was.
  platform::Result<> Replace(const std::string& path, const std::string& bytes) override;
  platform::Result<> CreateNew(const std::string& path, const std::string& bytes) override;
  platform::Result<> MakeFolder(const std::string& path) override;
  std::optional<std::vector<std::string>> ListFolder(const std::string& path) override;

 private:
  std::string Resolve(const std::string& path) const;

  std::string directory_;  // with its trailing separator
};

}  // namespace plexi::sim
