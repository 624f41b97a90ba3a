// The windows an erase talks to (questions, the final confirmation, the
// progress and purge dialogs), what it asks of the main window, and the
// drive it is asked for.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "drives/discovery.h"
#include "drives/drive_types.h"
#include "drives/target_check.h"
#include "erase/worker_interface.h"
#include "erase/erase_texts.h"
#include "erase/firmware_purge.h"
#include "erase/erase_worker.h"
#include "errors/error_report.h"
#include "record/erase_method.h"
#include "shutdown/shutdown.h"

namespace plexi {

// What the final confirmation dialog is shown with.
struct ConfirmRequest {
  std::string caption;
  std::string text;
  OverwriteMethod method = OverwriteMethod::kZeros;
  bool method_enabled = true;
  platform::Device* drive = nullptr;  // read now and then for the access lamp
  uint32_t bytes_per_sector = 0;
  std::optional<DriveDesignator> designator;  // none for a device named by path
  // The drive's own purge (method 3): offered only when the drive can run
  // one now. The lines say what it supports and which command would run,
  // or why it cannot be used; with it goes the warning that the command
  // cannot be interrupted.
  bool purge_offered = false;
  std::vector<std::string> purge_lines;
  // The command method 3 would send (its name), empty when none can run.
  std::string purge_command;
  // The read-back is suggested (a resumed erase: only it checks what the
  // interrupted run wrote).
  bool verify_preset = false;
};

// What the user chose in it.
struct ConfirmChoice {
  bool ok = false;
  bool verify = false;
  bool save_history = true;
  OverwriteMethod method = OverwriteMethod::kZeros;
};

struct ProgressRequest {
  std::string caption;      // erase_text::kProgressCaption
  std::string first_line;   // erase_text::kDriveLinePrefix + drive label
  bool show_verify_bar = false;
  uint64_t bar_maximum = 0;
};

// What the dialog of a firmware purge shows while the drive works. It has
// no cancel: the command cannot be interrupted.
struct PurgeRequest {
  std::string caption;     // erase_text::kProgressCaption
  std::string first_line;  // erase_text::kDriveLinePrefix + drive label
  std::string command;     // the command's name
  std::string note;        // erase_text::kPurgePassLabel
};

// Sends the purge and waits for it; runs off the GUI thread in the GUI.
using PurgeTask = std::function<PurgeRun(PurgeView&)>;

// Makes the worker once the progress dialog has its view and dispatcher.
using WorkerFactory = std::function<std::unique_ptr<TPlexiscrubThread>(ProgressView&, GuiDispatcher&)>;

// The windows of an erase: message boxes, the confirmation dialog and the
// progress dialog. The GUI, the command-line tool and the tests implement it.
class EraseUi : public Notifier {
 public:
  // True for OK or Yes.
  virtual bool Ask(const EraseQuestion& question) = 0;
  virtual ConfirmChoice ConfirmErase(const ConfirmRequest& request) = 0;
  // Shows the progress dialog modally: makes and starts the worker, runs its
  // GUI steps meanwhile and returns, once it has ended, how it ended (a
  // failure when it never ran).
  virtual WorkerReport RunProgress(const ProgressRequest& request, const WorkerFactory& make_worker) = 0;
  // Shows the purge's dialog while `task` runs and returns what it returned.
  // Here, without a window: the task runs on the caller's thread.
  virtual PurgeRun RunPurge(const PurgeRequest& request, const PurgeTask& task);
};

// What the erase needs from the rest of the main window.
class EraseEnvironment {
 public:
  virtual ~EraseEnvironment() = default;
  // An erase begins or ends, or just read: the erases under way in all copies.
  virtual int32_t UpdateEraseCount(EraseCountOp operation) = 0;
  // Whether nobody is there to answer questions (an action follows the
  // erase, or Windows is ending the session).
  virtual bool Unattended() = 0;
  // A message box, or a log line when unattended.
  virtual void ReportError(const std::string& message, const std::string& drive_label) = 0;
};

// The drive an erase is asked for, copied when the user asks: nothing of
// it refers back to the list, which may be rebuilt meanwhile.
struct EraseTarget {
  std::string device_path;
  std::optional<DriveDesignator> designator;  // none for a device named by path
  std::string label;
  ViewMode view = ViewMode::kPhysical;
  // The drive as the list showed it; the drive opened must still be it.
  std::optional<DriveIdentity> listed;
  // Why the drive must not be erased because of the protection list, or
  // nothing. Asked again right before the first write, so that a protection
  // added meanwhile (by another running copy, say) is honoured.
  std::function<std::optional<std::string>()> protection;
  // For the report: the organisation's asset number of the drive, and
  // where it came from (empty when not given).
  std::string asset_number, media_source;
};


}  // namespace plexi
