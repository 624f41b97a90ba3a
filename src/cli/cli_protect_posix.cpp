// Where the tool keeps the protection list on Linux: the user's
// configuration folder, as the XDG base directories say.
#include <cstdlib>

#include "cli/cli_common.h"
#include "platform/sim/directory_file_store.h"

namespace plexi::cli {

std::string HostProtectionFolder() {
  // A relative XDG_CONFIG_HOME is to be ignored.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return std::string(config) + "/plexiscrub/";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return std::string(home) + "/.config/plexiscrub/";
  return {};
}

std::string HostDataFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data != nullptr && data[0] == '/') return std::string(data) + "/plexiscrub/";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return std::string(home) + "/.local/share/plexiscrub/";
  return {};
}

std::unique_ptr<platform::Settings> HostSettings() { return nullptr; }

std::unique_ptr<platform::FileStore> HostFileStore(const std::string& folder) {
  return std::make_unique<sim::DirectoryFileStore>(folder);
}

}  // namespace plexi::cli
