// One erase, from the drive's open to its close: everything it takes (the
// drive, its claim, its lock, the locked volumes, the erase count) is an
// owner released in order when the session ends, and the journal finishes
// itself last. The workflow runs the steps; the session holds their state.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "drives/discovery.h"
#include "drives/purge_capability.h"
#include "drives/target_check.h"
#include "erase/worker_interface.h"
#include "erase/erase_journal.h"
#include "erase/erase_outcome.h"
#include "erase/erase_ui.h"
#include "erase/journal_keeper.h"
#include "erase/volume_locks.h"
#include "record/erase_record.h"

namespace plexi {

// What an erase works with that outlives it: the machine, the windows, the
// main window's erase parameters and the controls shared with the worker.
struct EraseContext {
  platform::Machine& machine;
  EraseUi& ui;
  EraseEnvironment& env;
  EstimateState& estimate;
  const Pacing& pacing;
  std::atomic<bool>& cancel;
  PauseGate& pause;
  EraseParameters& params;
  bool offer_purge = true;
  Language language = Language::kJapanese;  // of its questions and messages
};

// What is kept of an erase once it has ended, for the list row and the
// report.
struct FinishedErase {
  EraseJournal journal;        // its outcome included
  ListRecord record_after;     // what the first sector holds, read back once something was written
  PurgeCapability purge;       // what the drive said it can purge with
};

// What the drive's first sector held before the erase, checked as
// untrusted input.
struct EarlierRecord {
  RecordKind kind = RecordKind::kNone;
  // The method it names (the preset one where it names none it knows).
  OverwriteMethod method = OverwriteMethod::kZeros;
  uint32_t resume_chunk = 0;
  int32_t resume_pass = 0;
  // A checkpoint: the erase that wrote it ended without stopping (a power
  // cut, a crash, a killed process).
  bool unexpected_end = false;
};

class EraseSession {
 public:
  EraseSession(const EraseContext& context, const EraseTarget& target, FinishedErase& finished);
  ~EraseSession();
  EraseSession(const EraseSession&) = delete;
  EraseSession& operator=(const EraseSession&) = delete;

  // Opens the drive, claims it against every other erase, makes sure it may
  // be erased and is the one the list showed, and lays out its chunks.
  bool OpenDrive();
  void AskPurgeCapability();
  // What the drive hides from the host (whole drives only), for the
  // confirmation and the journal; a host protected area is lifted for the
  // erase where the system can and the user wants it.
  void AskHiddenArea();
  EarlierRecord ReadEarlierRecord();
  // The question about an earlier record: whether this is a resumed erase,
  // or nothing when the user declined a second erase. Sets where the
  // erase starts and the method it presets.
  std::optional<bool> AskAboutEarlierRecord(const EarlierRecord& earlier);
  ConfirmChoice Confirm(const EarlierRecord& earlier, bool resumed);
  // The user said no before confirming: nothing is reported.
  RecordLeft Declined();
  // A method the confirmation did not offer (the purge) is refused.
  bool MethodOffered();
  bool ReadyToWrite();
  bool LockTarget();
  // Writing begins: the erase counts among those under way.
  void BeginWriting();
  // The drive's own purge, when it was chosen: nothing when it was not,
  // else how it went.
  std::optional<PurgeRun> PurgeIfChosen();
  RecordLeft EndAfterPurgeFailed(const PurgeRun& purged);
  // The overwrite passes under the progress dialog (after a purge, its zero
  // pass or only the read-back).
  WorkerReport WritePasses(const std::optional<PurgeRun>& purged);
  // Decides the outcome, writes the record it calls for and tells the file
  // systems the drive changed.
  RecordLeft End(const WorkerReport& run, bool save_history);

 private:
  class EraseCountGuard {
   public:
    explicit EraseCountGuard(EraseEnvironment& env) : env_(env) { env_.UpdateEraseCount(EraseCountOp::kBegin); }
    ~EraseCountGuard() { env_.UpdateEraseCount(EraseCountOp::kEnd); }
    EraseCountGuard(const EraseCountGuard&) = delete;
    EraseCountGuard& operator=(const EraseCountGuard&) = delete;

   private:
    EraseEnvironment& env_;
  };

  bool ClaimDrive();
  bool CheckOpenedDrive(const DriveExtent& extent);
  bool SetLayout(const DriveExtent& extent);
  void LiftHiddenArea();
  void RereadDriveSize();
  bool ResumePointInside(const EraseRecordFields& fields) const;
  bool NamesConfirmedDrive(DriveIdentity seen) const;
  bool SameDriveAtPath();
  bool Wrote() const { return journal_->bytes_written > 0 || purge_accepted_ || writes_sent_; }
  std::string NotStartedText(uint32_t code) const;
  RecordLeft EndOnCancel(const WorkerReport& run);
  RecordLeft EndOnFailure(const WorkerReport& run);
  RecordLeft KeepResumePointAfterFailure(const WorkerReport& run);
  void ClearCheckpoint();
  RecordLeft EndWithExceptions(const WorkerReport& run);
  RecordLeft EndCompleted(const WorkerReport& run, bool save_history);
  RecordLeft WriteRecord(RecordMode mode, bool save_history, RecordLeft success);
  void ReleaseTarget();
  // A refusal: shown, and kept as the erase's error.
  void Refuse(const std::string& message, uint32_t code = 0);
  // An error of the erase: reported (a box, or the log when unattended) and kept.
  void ReportAndNote(const std::string& message, uint32_t code, std::optional<uint64_t> sector = std::nullopt);

  EraseContext c_;
  const EraseTarget& target_;
  FinishedErase& finished_;
  // Declared in the order they are taken, so that they are let go in the
  // opposite one: the erase count, the volumes, the drive's lock, the
  // claim, the drive; the journal is finished last.
  JournalKeeper journal_;
  std::unique_ptr<platform::Device> drive_;
  std::unique_ptr<platform::DriveClaim> claim_;
  std::optional<HeldLock> drive_lock_;
  std::vector<HeldVolume> volumes_;
  std::optional<EraseCountGuard> counted_;

  DriveIdentity confirmed_;          // the drive as it was opened, size included
  bool confirmed_answers_ = false;   // it answered the descriptor query
  Placement placement_;
  // The drive accepted a purge command: its contents may have changed even
  // where the program wrote nothing.
  bool purge_accepted_ = false;
  // The worker sent a write, which may have reached the drive even where
  // the drive answered with an error.
  bool writes_sent_ = false;
};

}  // namespace plexi
