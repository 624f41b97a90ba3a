#include "platform/sim/directory_file_store.h"

#include "platform/new_file.h"
#include "platform/sim/file_util.h"
#include "platform/winconst.h"

namespace plexi::sim {

DirectoryFileStore::DirectoryFileStore(std::string directory) : directory_(std::move(directory)) {
  char separator = char(std::filesystem::path::preferred_separator);
  if (directory_.empty()) directory_ = std::string(".") + separator;
  if (directory_.back() != '/' && directory_.back() != separator) directory_.push_back(separator);
}

std::string DirectoryFileStore::ProgramDirectory() { return directory_; }

std::string DirectoryFileStore::Resolve(const std::string& path) const {
  if (PathFromUtf8(path).is_absolute()) return path;
  return directory_ + path;
}

bool DirectoryFileStore::Exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(PathFromUtf8(Resolve(path)), ec);
}

platform::FileContent DirectoryFileStore::Read(const std::string& path) {
  platform::FileContent content;
  uint32_t error = ReadWholeFile(PathFromUtf8(Resolve(path)), &content.bytes);
  content.exists = error != winconst::kErrorFileNotFound;
  content.error = content.exists ? error : 0;
  if (error) content.bytes.clear();
  return content;
}

platform::Result<> DirectoryFileStore::Replace(const std::string& path, const std::string& bytes) {
  std::string target = Resolve(path);
  return platform::Result<>::FromCode(ReplaceFile(PathFromUtf8(target), PathFromUtf8(target + ".tmp"), bytes));
}

platform::Result<> DirectoryFileStore::CreateNew(const std::string& path, const std::string& bytes) {
  return platform::CreateNewFile(Resolve(path), bytes);
}

platform::Result<> DirectoryFileStore::MakeFolder(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path folder = PathFromUtf8(Resolve(path));
  std::filesystem::create_directories(folder, ec);
  if (!ec && std::filesystem::is_directory(folder, ec)) return platform::Result<>::Success();
  return platform::Result<>::Failure(ec ? WindowsErrorFromCode(ec) : winconst::kErrorAlreadyExists);
}

std::optional<std::vector<std::string>> DirectoryFileStore::ListFolder(const std::string& path) {
  std::error_code ec;
  std::filesystem::directory_iterator it(PathFromUtf8(Resolve(path)), ec);
  if (ec) return std::nullopt;
  std::vector<std::string> names;
  for (; it != std::filesystem::directory_iterator(); it.increment(ec)) {
    if (ec) return std::nullopt;
    if (it->is_regular_file(ec)) names.push_back(PathToUtf8(it->path().filename()));
  }
  return names;
}

}  // namespace plexi::sim
