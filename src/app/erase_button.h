// The main window's erase button: the erase of the selected row, and the
// row brought up to date with what the erase left on the drive.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "drives/discovery.h"
#include "drives/drive_types.h"
#include "drives/row_change.h"
#include "erase/erase_journal.h"
#include "erase/erase_outcome.h"
#include "erase/erase_ui.h"
#include "erase/erase_workflow.h"

namespace plexi {

// The parts of the main window the erase button touches.
class EraseButtonHost {
 public:
  virtual ~EraseButtonHost() = default;
  // Stops the drive watch; returns whether it was running.
  virtual bool StopDriveWatch() = 0;
  virtual void StartDriveWatch() = 0;
  virtual void RepaintRow(size_t index) = 0;
  virtual void BroadcastRowChange(const RowChangeMessage& message) = 0;
  virtual void ShutdownAfterErase() = 0;
  // Why the drive of a row must not be erased now, as the protection list
  // says (the row itself, or a protected row on the same storage); nothing
  // when it may be.
  virtual std::optional<std::string> ProtectionRefusal(const DriveRow& row, ViewMode view) = 0;
  // An erase has ended (the row is updated, the end-of-erase action not yet
  // begun): what it did, for its report.
  virtual void EraseFinished(const EraseJournal& journal) { static_cast<void>(journal); }
  // Whether nobody is there to read a message (an action follows the erase,
  // or the session is ending).
  virtual bool Unattended() { return false; }
  // Fills in the facts of the erase's report asked of the user (its asset
  // number and source), where the operator settings ask for them; false
  // when the user cancelled, and the erase is not to happen.
  virtual bool NoteForReport(EraseTarget& target) {
    static_cast<void>(target);
    return true;
  }
};

// The erase target of a list row, with everything copied out of it.
EraseTarget TargetOfRow(const DriveRow& row, ViewMode view, EraseButtonHost& host);

// The erase button: asks once, runs the erase of the selected row, writes
// the outcome into the row and tells the other copies. Returns the erase's
// result, or nothing when no erase was started.
std::optional<RecordLeft> SpeedButton2Click(EraseWorkflow& workflow, EraseUi& ui, EraseButtonHost& host,
                                     std::vector<DriveRow>& rows, std::optional<size_t> selected,
                                     ViewMode view);

}  // namespace plexi
