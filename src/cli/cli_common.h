// What the commands of the command-line tool share: the parsed options and
// the small helpers around the machine they run on.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "drives/discovery.h"
#include "drives/forbidden_list.h"
#include "erase/erase_journal.h"
#include "erase/worker_interface.h"
#include "errors/error_report.h"
#include "platform/platform.h"
#include "util/language.h"

namespace plexi::cli {

class ConsoleInterrupt;

inline constexpr int kOk = 0;
inline constexpr int kFailed = 1;       // the operation ran and failed
inline constexpr int kUsage = 2;        // bad arguments
inline constexpr int kInterrupted = 3;  // erase interrupted, resume record saved
inline constexpr int kRefused = 4;      // nothing erased: declined, refused, or stopped before the first write
inline constexpr int kPartlyErased = 5; // interrupted after writing, no resume record: partly overwritten
inline constexpr int kReadBackStopped = 6;  // every pass written and recorded; the read-back was interrupted
inline constexpr int kSomeNotErased = 7;    // a set: some drives erased, others not started or not written
inline constexpr int kErasedWithExceptions = 8;  // every pass went over the drive, but some sectors failed every try

struct Options {
  std::string command;
  std::vector<std::string> positional;
  std::optional<std::string> simulate;
  std::optional<std::string> drive;
  bool partitions = false;
  bool loop = false;       // list: Linux loop devices too
  bool every_disk = false; // list: drives without a lettered volume too
  bool help = false;
  bool interactive = false;  // standard input is a terminal
  ConsoleInterrupt* interrupt = nullptr;  // set by RunCli: the console's Ctrl+C and closing
  Language language = Language::kEnglish;  // set by RunCli: the locale's, else the system's
  // erase
  std::optional<int> method;
  bool verify = false;
  bool no_history = false;
  bool yes = false;
  std::optional<bool> resume;
  std::optional<uint32_t> checkpoint_seconds;  // between two checkpoints of the resume record
  // dump
  std::optional<uint64_t> count;
  // erase reports
  std::optional<std::string> report_dir;
  std::optional<std::string> operator_name;
  std::optional<std::string> organisation;
  std::optional<std::string> validator;
  // The certificate's facts of each drive: one --asset per TARGET, in
  // their order; the source and destination of all of them.
  std::vector<std::string> assets;
  std::optional<std::string> media_source;
  std::optional<std::string> destination;
  // report export: the files to write
  std::optional<std::string> csv_file, json_file;
  std::optional<std::string> key_file;  // report check: the public key it must be signed by
  bool replace = false;                 // report keygen: in place of the key there
  // tui: the command the summary's power-off key runs
  std::optional<std::string> power_off_command;
  // probe
  std::optional<std::string> out_file;
  bool keep_serials = false;
};

// The language of the tool's lines: the locale variables' (LC_ALL,
// LC_MESSAGES, LANG), else the system's (Windows: the user's interface
// language).
Language ToolLanguage();

// `english` or `japanese`, as the run speaks.
inline const char* Said(const Options& o, const char* english, const char* japanese) {
  return InLanguage(o.language, english, japanese);
}

// The header of the drive table of list.
const char* ListHeader(const Options& o);

// How the tool paces an erase: no window to keep responsive, so unpaced;
// the checkpoints as --checkpoint asks.
Pacing TerminalPacing(const Options& o);

// Messages the program would show in a box go to standard error.
class StreamNotifier : public Notifier {
 public:
  explicit StreamNotifier(std::ostream& err) : err_(err) {}
  void ShowMessage(const std::string& text) override;

 private:
  std::ostream& err_;
};

// The simulated machine of --simulate (a machine description, or a probe
// file replayed), or the machine the tool runs on.
std::unique_ptr<platform::Machine> OpenMachine(const Options& o, std::ostream& err);

// A drive number ("2"), a letter ("F:"), or any path the machine opens.
std::string DevicePathOf(const std::string& target);

// A system text without its trailing line break.
std::string OneLine(std::string text);

// A decimal number of at most 64 bits, digits only.
std::optional<uint64_t> ParseDecimal(const std::string& text);

// The first sector of a device, read through the machine, with the
// geometry it was read by; nothing, with `problem` set, when any step fails.
struct FirstSector {
  DriveExtent extent;
  std::vector<uint8_t> bytes;
};
std::optional<FirstSector> ReadFirstSector(platform::Machine& machine, const std::string& path,
                                           std::string* problem, Language language = Language::kEnglish);

// The host's own disk list where the host lists disks differently from the
// program (Linux: /sys/block); nothing where the program's list serves.
std::optional<int> ListHostDisks(const Options& o, std::ostream& out, std::ostream& err);

// The devices the probe asks besides the machine's own lists (Linux: every
// whole disk and partition /sys/block shows; nothing on Windows).
std::vector<std::string> HostProbePaths();

int EraseCommand(const Options& o, std::ostream& out, std::ostream& err);
// The full-screen terminal view (Linux); elsewhere it says it is not there.
int TuiCommand(const Options& o, std::ostream& out, std::ostream& err);
int ProbeCommand(const Options& o, std::ostream& out, std::ostream& err);
int DumpCommand(const Options& o, std::ostream& out, std::ostream& err);

// --- The protection list ("消去不可"), shared with the program ---

// Where the list is kept: with --simulate FILE the program's files folder
// for that machine (FILE without its extension, plus ".files"); on Windows
// beside the executables; on Linux $XDG_CONFIG_HOME/plexiscrub/ (by default
// ~/.config/plexiscrub/), made on first protect. Empty when no folder can
// be named (neither variable set).
std::string ProtectionFilePath(const Options& o);

// The list file and the store it is read through.
struct ProtectionList {
  std::unique_ptr<platform::FileStore> files;
  std::unique_ptr<ForbiddenList> forbidden;
};
// Nothing, reported on `err`, when ProtectionFilePath is empty.
std::optional<ProtectionList> OpenProtectionList(const Options& o, platform::Machine& machine,
                                                 Notifier& notifier, std::ostream& err);

// A drive number ("2"), a letter ("F:") or the device path the program
// builds for either ("\\.\PHYSICALDRIVE2", "\\.\F:", any case).
std::optional<DriveDesignator> DesignatorOfTarget(const std::string& target);

// The row a target is protected by. A number or letter is looked up in the
// program's list (a number in the physical view, a letter in the partition
// view); anything else, or a drive the list does not show, is described from
// its own storage descriptor (no letters). A Linux device without a serial
// number gets "path:<canonical path>" as its serial.
struct TargetDrive {
  DriveRow row;
  ViewMode view = ViewMode::kPhysical;
  bool listed = false;  // a row of the program's list
  bool system = false;  // the row holds the system drive
};
// Nothing, reported on `err`, when the target cannot be opened or described.
std::optional<TargetDrive> FindTarget(const Options& o, platform::Machine& machine, Notifier& notifier,
                                      const std::string& target, std::ostream& err);

// The check an erase makes right before it opens `target` for writing.
// True when the target must not be erased: its row holds the system drive,
// or the protection list holds it (either key of the row, in the view the
// target names), or the list exists but cannot be read. Then one line on
// `err` says why, and the caller exits with kRefused without writing.
// False when nothing protects it, also when the target cannot be opened or
// described (the erase's own open reports that) or no list folder can be
// named. Reads the list afresh; nothing is cached.
bool TargetIsProtected(const Options& o, platform::Machine& machine, const std::string& target,
                       std::ostream& err);
// The erase's protection check of `target`, asked again right before the
// first write: the line TargetIsProtected would say, or nothing.
std::function<std::optional<std::string>()> ProtectionCheckOf(const Options& o, platform::Machine& machine,
                                                               const std::string& target);

// The folder of the tool's files on the host (Linux: $XDG_CONFIG_HOME/
// plexiscrub/ or ~/.config/plexiscrub/; Windows: the executable's folder),
// with its trailing separator; empty when none can be named.
std::string HostProtectionFolder();
// The store for files in that folder.
std::unique_ptr<platform::FileStore> HostFileStore(const std::string& folder);

int ProtectCommand(const Options& o, std::ostream& out, std::ostream& err);

// The folder the program run with --simulate FILE keeps its files in: FILE
// without its extension, plus ".files" ("demo/demo.machine" gives
// "demo/demo.files/").
std::string SimulatedFilesFolder(const std::string& machine_file);

// --- Erase reports ---

// Where the tool keeps its data on the host (Linux: $XDG_DATA_HOME/
// plexiscrub/ or ~/.local/share/plexiscrub/; Windows: the executable's
// folder), with its trailing separator; empty when none can be named.
std::string HostDataFolder();
// The program's settings on the host: the registry key on Windows; none
// elsewhere (the tool takes --operator and --organisation there).
std::unique_ptr<platform::Settings> HostSettings();
// The reports folder: --report DIR, else "reports" in the data folder (the
// simulated machine's files folder with --simulate).
std::string ReportFolder(const Options& o);
// Writes the report of an erase that calls for one and names it on `out`;
// returns the page's path (empty when none was written). A report that
// cannot be written is shown on `err` and kept in the error log; the
// erase's result is not touched.
std::string FileReportOfErase(const Options& o, platform::Machine& machine, const EraseJournal& journal,
                       std::ostream& out, std::ostream& err);
int ReportCommand(const Options& o, std::ostream& out, std::ostream& err);
// The folder of the report signing key: the simulated machine's files
// folder with --simulate, else HostProtectionFolder(); empty when none.
std::string KeyFolder(const Options& o);
int AllowCommand(const Options& o, std::ostream& out, std::ostream& err);

}  // namespace plexi::cli
