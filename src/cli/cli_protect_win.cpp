// Where the tool keeps the protection list on Windows: beside the
// executables, where the program keeps it.
#include "cli/cli_common.h"
#include "platform/win/win_file_store.h"
#include "platform/win/win_settings.h"

namespace plexi::cli {

std::string HostProtectionFolder() { return win::WinFileStore().ProgramDirectory(); }

std::string HostDataFolder() { return win::WinFileStore().ProgramDirectory(); }

std::unique_ptr<platform::Settings> HostSettings() { return std::make_unique<win::WinSettings>(); }

std::unique_ptr<platform::FileStore> HostFileStore(const std::string& folder) {
  return std::make_unique<win::WinFileStore>(folder);
}

}  // namespace plexi::cli
