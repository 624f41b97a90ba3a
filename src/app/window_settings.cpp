#include "app/window_settings.h"

#include "shutdown/shutdown.h"

namespace plexi::app {

int OsClass(bool nt_platform, uint32_t major, uint32_t minor) {
  if (!nt_platform) return major == 4 && minor >= 90 ? 1 : 0;
  if (major == 5) return minor == 0 ? 2 : 3;
  if (major == 6) return minor == 0 ? 4 : 5;
  return 6;
}

bool EveryDiskChosen(platform::Settings& settings) { return settings.ReadInt(kEveryDiskValue) == 1; }

bool VersionRanBefore(platform::Settings& settings) { return settings.Exists(kVersionRunValue); }

ShowSettings FormShow(platform::Settings& settings, const std::string& program_folder) {
  ShowSettings show;
  // A value outside the menu's four entries paints nothing rather than an
  // image that does not exist; 3 and above all mean "none".
  if (std::optional<int32_t> colour = settings.ReadInt(kHeaderColourValue); colour && *colour >= 0)
    show.header_colour = *colour < kHeaderNone ? *colour : kHeaderNone;
  // Best effort, like every settings write of the window: a value that
  // cannot be kept is only written again at the next start.
  if (!settings.Exists(kProgramFolderValue))
    static_cast<void>(settings.WriteText(kProgramFolderValue, program_folder));
  if (!settings.Exists(kVersionRunValue)) {
    static_cast<void>(settings.WriteInt(kVersionRunValue, kVersionRunMark));
    show.first_run = true;
  }
  return show;
}

void FormCloseQuery(platform::Settings& settings, int32_t header_colour, ErrorLog& log,
                    Notifier& notifier) {
  static_cast<void>(settings.WriteInt(kHeaderColourValue, header_colour));  // best effort
  log.SaveIfChanged(notifier);
}

bool ResetEraseCountWhenAlone(platform::Settings& settings, bool another_copy_running) {
  if (another_copy_running) return false;
  const std::optional<int32_t> count = settings.ReadInt(ShutdownController::kEraseCountValue);
  if (!count || *count == 0) return false;
  return settings.WriteInt(ShutdownController::kEraseCountValue, 0).ok();
}

}  // namespace plexi::app
