// The erase as the user goes through it: the questions, the final
// confirmation, the lock, the worker under the progress dialog, and what is
// written into the first sector afterwards.
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "drives/discovery.h"
#include "drives/drive_types.h"
#include "drives/row_change.h"
#include "drives/target_check.h"
#include "erase/erase_job.h"
#include "erase/erase_journal.h"
#include "record/erase_record.h"
#include "erase/erase_texts.h"
#include "erase/firmware_purge.h"
#include "erase/overwrite_method.h"
#include "erase/plexiscrub_thread.h"
#include "errors/error_report.h"
#include "platform/platform.h"
#include "shutdown/shutdown.h"

namespace plexi {

inline constexpr uint32_t kSectorsPerChunkLimit = 8192;

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
  virtual WorkerOutcome RunProgress(const ProgressRequest& request, const WorkerFactory& make_worker) = 0;
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

// Sectors per chunk: the largest divisor of `count` from min(limit, count/30)
// down to 17, so chunks tile the drive exactly; 1 when there is none.
uint32_t ChooseSectorsPerChunk(uint64_t count, uint32_t limit);

// How an erase cuts the drive: chunks that tile it exactly where the resume
// record can count them, else chunks of `limit` sectors and a tail after
// them; the tail also holds an image file's part sector. Nothing when the
// drive has no whole sector or its chunks would not fit a transfer.
struct ChunkLayout {
  uint32_t sectors_per_chunk = 0;
  uint32_t chunk_count = 0;
  uint32_t chunk_bytes = 0;
  uint32_t tail_bytes = 0;
};
std::optional<ChunkLayout> PlanChunks(const DriveExtent& extent, uint32_t limit);

// "C: D: E:" → 3: the letters in the bracket of a drive label.
int LetterCountOfLabel(const std::string& drive_label);

// The drive label: caption + " （" + letters + "）".
std::string DriveLabelOf(const DriveRow& row);

struct ConfirmationFacts {
  std::string drive_label;
  uint32_t bytes_per_sector = 0;
  uint64_t total_sectors = 0;
  bool resumed = false;
  OverwriteMethod method = OverwriteMethod::kZeros;
  bool show_partitions = false;  // no earlier record was found
};
std::string ConfirmationText(const ConfirmationFacts& facts);

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
};

// What happened to the drive's bytes.
enum class EraseOutcome {
  kNothingWritten,      // refused, declined, or stopped before the first write
  kCompleted,           // every pass written (and verified when asked), record written
  kInterruptedSaved,    // stopped, resume record on the drive
  kInterruptedPartly,   // stopped after writing, without a resume record
  kFailed,              // a write, read, verification or record error after writing began
  kReadBackStopped,     // every pass written and recorded; the read-back was cancelled before its end
  kReadBackFailed,      // every pass written, a read of the read-back failed; nothing recorded
};

// Whether an erase that wrote every pass checked all of it in this run: a
// resumed erase did not, unless it read the whole drive back.
bool EarlierPartUnchecked(const EraseJournal& journal);

// How far the read-back got, in percent of the drive (rounded down).
int ReadBackPercent(const EraseJournal& journal);

// The one sentence that tells the user an erase that wrote every pass did
// not prove all of it (the read-back stopped, or a resumed erase not read
// back whole); nothing for any other end.
std::optional<std::string> CompletionNote(EraseOutcome outcome, const EraseJournal& journal);

// What an erase left in the drive's first sector. The numbers are the
// result the command-line tool prints.
enum class EraseResult : int32_t {
  kNotRecorded = -1,            // nothing done, failed, or stopped without a record
  kErasedWithoutRecord = 0,     // completed, first sector left blank (no history)
  kResumeRecordSaved = 1,       // interrupted, resume record written
  kCompletionRecordSaved = 2,   // completed, completion record written
};

// The record kind the drive list shows after an erase with that result
// (none for kNotRecorded, whose row shows what the drive holds instead).
RecordKind RecordKindAfter(EraseResult result);

class EraseWorkflow {
 public:
  EraseWorkflow(platform::Machine& machine, EraseUi& ui, EraseEnvironment& env,
                EstimateState& estimate, Pacing pacing = {});

  EraseResult RunErase(const EraseTarget& target);
  EraseResult RunErase(const DriveDesignator& designator, const std::string& drive_label, ViewMode view);
  // The same for a device named by its path (block devices and image files
  // of the command-line tool).
  EraseResult RunErase(const std::string& device_path, std::optional<DriveDesignator> designator,
               const std::string& drive_label, ViewMode view);

  // What the last erase did to the drive, and the record its first sector
  // holds afterwards (read back once something was written).
  EraseOutcome Outcome() const { return outcome_; }
  const ListRecord& RecordAfterErase() const { return record_after_; }

  static platform::Result<> LockDrive(platform::Device& device);
  static platform::Result<> UnlockDrive(platform::Device& device);

  // The last erase's parameters, with the resume point it stopped at.
  const EraseParameters& Parameters() const { return params_; }
  // What the last erase did, for its report.
  const EraseJournal& Journal() const { return journal_; }
  // Asks the running worker to stop at its next step: the progress
  // dialog's cancel, the session's end, an interrupt of the tool.
  void RequestCancel() { cancel_ = true; }
  std::atomic<bool>& CancelFlag() { return cancel_; }
  PauseGate& Pause() { return pause_; }
  // Whether a drive is open for an erase right now.
  bool Running() const { return drive_ != nullptr; }
  // Whether the drive is asked what purge it can do, so that the
  // confirmation can offer the firmware purge (identify commands only).
  // The command-line tool asks only when the purge was asked for.
  void OfferPurge(bool offer) { offer_purge_ = offer; }
  // What the last erase's drive said it can purge with.
  const PurgeCapability& Purge() const { return purge_; }

 private:
  bool OpenDrive(const EraseTarget& target);
  bool ClaimDrive(const EraseTarget& target);
  bool SetLayout(const DriveExtent& extent);
  RecordKind ReadEarlierRecord();
  std::optional<bool> AskAboutEarlierRecord(RecordKind record);
  bool ReadyToWrite(const EraseTarget& target);
  bool NamesConfirmedDrive(DriveIdentity seen) const;
  bool ResumePointInside(std::optional<OverwriteMethod> method, const EraseRecordFields& fields) const;
  bool SameDriveAtPath(const std::string& path);
  bool LockTarget(const EraseTarget& target);
  platform::Result<> LockWithRetry(platform::Device& device);
  EraseResult DecideOutcome(const WorkerOutcome& run, bool save_history, const std::string& drive_label);
  EraseResult WriteRecord(RecordMode mode, bool save_history, EraseResult success_result,
                          const std::string& drive_label);
  void ReleaseTarget(const std::string& drive_label);
  bool TakeVolumesOfDisk(uint32_t disk);
  bool TakeVolume(const std::string& path, const std::string& name);
  void CloseDrive();
  // A refusal: shown, and kept as the erase's error.
  void Refuse(const std::string& message, uint32_t code = 0);
  // An error of the erase: reported (a box, or the log when unattended) and kept.
  void ReportAndNote(const std::string& message, const std::string& drive_label, uint32_t code,
                     std::optional<uint64_t> sector = std::nullopt);
  void NoteDrive(const DriveExtent& extent);
  void AskPurgeCapability(const EraseTarget& target);
  PurgeRun RunPurgeStep(const EraseTarget& target);
  WorkerOutcome RunPasses(const EraseTarget& target, bool zero_pass);
  void NoteRun(const WorkerOutcome& run);
  void FinishJournal();

  platform::Machine& machine_;
  EraseUi& ui_;
  EraseEnvironment& env_;
  EstimateState& estimate_;
  Pacing pacing_;
  EraseParameters params_;
  // Bytes written to the drive by the last erase, its record included.
  uint64_t bytes_written_ = 0;
  // Shared with the worker while it runs.
  std::atomic<bool> cancel_{false};
  PauseGate pause_;
  std::unique_ptr<platform::Device> drive_;
  // The drive held against every other erase, from its open to its close.
  std::unique_ptr<platform::DriveClaim> claim_;
  DriveIdentity confirmed_;  // the drive as it was opened, size included
  bool confirmed_answers_ = false;  // it answered the descriptor query
  Placement placement_;
  EraseOutcome outcome_ = EraseOutcome::kNothingWritten;
  EraseJournal journal_;
  bool ran_ = false;            // the worker ran in the last erase
  bool run_cancelled_ = false;  // ... and stopped on a cancel in a write pass
  std::chrono::steady_clock::time_point journal_clock_;
  ListRecord record_after_;
  bool offer_purge_ = true;
  PurgeCapability purge_;
  // The drive accepted a purge command in the last erase: its contents may
  // have changed even where the program wrote nothing.
  bool purge_accepted_ = false;
  // The volumes of a physical drive being erased, locked and dismounted.
  std::vector<std::unique_ptr<platform::Device>> held_volumes_;
};

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
};

// The erase target of a list row, with everything copied out of it.
EraseTarget TargetOfRow(const DriveRow& row, ViewMode view, EraseButtonHost& host);

// The erase button: asks once, runs the erase of the selected row, writes
// the outcome into the row and tells the other copies. Returns the erase's
// result, or nothing when no erase was started.
std::optional<EraseResult> SpeedButton2Click(EraseWorkflow& workflow, EraseUi& ui, EraseButtonHost& host,
                                     std::vector<DriveRow>& rows, std::optional<size_t> selected,
                                     ViewMode view);

}  // namespace plexi
