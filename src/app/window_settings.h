// What the main window keeps in its settings, and the facts about the system
// it reads at start: the header colour, the program folder, the "this
// version has run" mark, the running-erase counter, and the Windows class.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "errors/error_report.h"
#include "platform/platform.h"
#include "plexiscrub_version.h"

namespace plexi::app {

inline constexpr char kHeaderColourValue[] = "bodeyid";
inline constexpr char kProgramFolderValue[] = "updatepath";
// "This version has run" is a value named with the version's digits.
inline constexpr char kVersionRunValue[] = PLEXISCRUB_VERSION_DIGITS;
inline constexpr int32_t kVersionRunMark = PLEXISCRUB_VERSION_NUMBER;
// 1: the physical view lists the drives without a lettered volume too.
inline constexpr char kEveryDiskValue[] = "alldisks";

// The stored "every disk" choice; anything but 1 is off.
bool EveryDiskChosen(platform::Settings& settings);

// Header colour indexes, in the order of the colour menu.
enum HeaderColour : int32_t { kHeaderGray = 0, kHeaderNavy = 1, kHeaderRed = 2, kHeaderNone = 3 };

// The Windows class from the version information: 0 and 1 the old Windows
// 9x line (1 for Me), 2 Windows 2000, 3 XP, 4 Vista, 5 Windows 7 to 8.1,
// 6 anything newer.
int OsClass(bool nt_platform, uint32_t major, uint32_t minor);
inline bool IsNtFamily(int os_class) { return os_class > 1; }

// "1102" exists: this version ran before, so the drive list starts at once.
bool VersionRanBefore(platform::Settings& settings);

struct ShowSettings {
  std::optional<int32_t> header_colour;  // absent: the band stays unpainted
  bool first_run = false;                // "1102" was missing and is written now
};

// FormShow's settings: the stored header colour, "updatepath" written when
// missing, and "1102" written on the first run (the caller then migrates
// the protection list).
ShowSettings FormShow(platform::Settings& settings, const std::string& program_folder);

// FormCloseQuery: stores the header colour, and the error log when it grew.
// Closing is never refused.
void FormCloseQuery(platform::Settings& settings, int32_t header_colour, ErrorLog& log,
                    Notifier& notifier);

// A copy stopped in the middle of an erase never lowered the running-erase
// counter, which would then hold back every later end-of-erase action.
// When no other copy runs, no erase can be under way: set it back to 0.
// Returns true when it was reset.
bool ResetEraseCountWhenAlone(platform::Settings& settings, bool another_copy_running);

}  // namespace plexi::app
