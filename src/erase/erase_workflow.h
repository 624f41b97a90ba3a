// The erase as the user goes through it: the questions, the final
// confirmation, the lock, the worker under the progress dialog, and what is
// written into the first sector afterwards. Each erase is an EraseSession;
// the workflow keeps only what outlives one (the main window's erase
// parameters, the controls shared with the worker, the last erase's story).
#pragma once
#include <atomic>
#include <optional>
#include <string>

#include "drives/discovery.h"
#include "drives/drive_types.h"
#include "erase/worker_interface.h"
#include "erase/erase_journal.h"
#include "erase/erase_outcome.h"
#include "erase/erase_session.h"
#include "erase/erase_ui.h"
#include "platform/platform.h"
#include "record/erase_record.h"

namespace plexi {

class EraseWorkflow {
 public:
  EraseWorkflow(platform::Machine& machine, EraseUi& ui, EraseEnvironment& env,
                EstimateState& estimate, Pacing pacing = {});

  RecordLeft RunErase(const EraseTarget& target);
  RecordLeft RunErase(const DriveDesignator& designator, const std::string& drive_label, ViewMode view);
  // The same for a device named by its path (block devices and image files
  // of the command-line tool).
  RecordLeft RunErase(const std::string& device_path, std::optional<DriveDesignator> designator,
                      const std::string& drive_label, ViewMode view);

  // What the last erase did to the drive, and the record its first sector
  // holds afterwards (read back once something was written).
  EraseOutcome Outcome() const { return last_.journal.outcome; }
  const ListRecord& RecordAfterErase() const { return last_.record_after; }
  // The erase parameters, kept between erases: the last erase's, with the
  // resume point it stopped at; its method presets the next confirmation.
  const EraseParameters& Parameters() const { return params_; }
  // What the last erase did, for its report.
  const EraseJournal& Journal() const { return last_.journal; }
  // Asks the running worker to stop at its next step: the progress
  // dialog's cancel, the session's end, an interrupt of the tool.
  void RequestCancel() { cancel_ = true; }
  std::atomic<bool>& CancelFlag() { return cancel_; }
  PauseGate& Pause() { return pause_; }
  // Whether a drive is open for an erase right now.
  bool Running() const { return params_.DriveHandle != nullptr; }
  // Whether the drive is asked what purge it can do, so that the
  // confirmation can offer the firmware purge (identify commands only).
  // The command-line tool asks only when the purge was asked for.
  void OfferPurge(bool offer) { offer_purge_ = offer; }
  // The language of the erase's questions, messages and progress texts:
  // the program's Japanese unless told (the command-line tool speaks its
  // user's).
  void SpeakIn(Language language) { language_ = language; }
  // What the last erase's drive said it can purge with.
  const PurgeCapability& Purge() const { return last_.purge; }

 private:
  platform::Machine& machine_;
  EraseUi& ui_;
  EraseEnvironment& env_;
  EstimateState& estimate_;
  Pacing pacing_;
  EraseParameters params_;
  // Shared with the worker while it runs.
  std::atomic<bool> cancel_{false};
  PauseGate pause_;
  bool offer_purge_ = true;
  Language language_ = Language::kJapanese;
  FinishedErase last_;
};

}  // namespace plexi
