#include "erase/erase_session.h"

#include "erase/chunk_layout.h"
#include "erase/confirmation_text.h"
#include "erase/purge_step.h"
#include "platform/aligned_buffer.h"
#include "platform/winconst.h"

namespace plexi {

EraseSession::EraseSession(const EraseContext& context, const EraseTarget& target, FinishedErase& finished)
    : c_(context), target_(target), finished_(finished), journal_(finished.journal, context.machine, target) {
  finished_.record_after = {};
  finished_.purge = PurgeCapability{};
}

EraseSession::~EraseSession() { c_.params.DriveHandle = nullptr; }

bool EraseSession::OpenDrive() {
  platform::Result<std::unique_ptr<platform::Device>> opened =
      c_.machine.OpenDevice(target_.device_path, platform::Access::kReadWrite);
  if (!opened.ok()) {
    Refuse(SystemErrorText(c_.machine, opened.error()), opened.error());
    return false;
  }
  drive_ = std::move(opened.value());
  c_.params.DriveHandle = drive_.get();
  if (!ClaimDrive()) return false;
  platform::Result<DriveExtent> extent = MeasureDrive(*drive_, target_.device_path, target_.view);
  if (!extent.ok()) {
    Refuse(SystemErrorText(c_.machine, extent.error()), extent.error());
    return false;
  }
  journal_.NoteDrive(*drive_, *extent);
  return CheckOpenedDrive(*extent) && SetLayout(*extent);
}

// One erase at a time per drive, whichever program runs it: the claim is
// taken right after the open, so a second erase is refused before it reads
// the record or asks anything, and it is held until the drive is closed.
bool EraseSession::ClaimDrive() {
  platform::Result<std::unique_ptr<platform::DriveClaim>> claimed = drive_->ClaimForErase();
  if (claimed.ok()) {
    claim_ = std::move(claimed.value());
    return true;
  }
  const uint32_t code = claimed.error();
  if (code == winconst::kErrorLockViolation)
    Refuse(InLanguage(c_.language, erase_text::english::kAnotherErase, erase_text::kAnotherErase), code);
  else
    Refuse(erase_text::InUse(target_.label, SystemErrorText(c_.machine, code), c_.language), code);
  return false;
}

// The drive holds no system, can be told apart from the system disk, and is
// the drive the list showed.
bool EraseSession::CheckOpenedDrive(const DriveExtent& extent) {
  placement_ = PlaceDevice(*drive_, target_.device_path);
  if (std::optional<std::string> refusal =
          SystemRefusal(c_.machine, placement_, target_.device_path, c_.language)) {
    Refuse(*refusal);
    return false;
  }
  std::optional<DriveIdentity> identity = ReadDriveIdentity(*drive_);
  // A drive that says what it is but not where it lies, on a machine with
  // volumes to protect, cannot be told apart from the system disk.
  if (placement_.kind == Placement::Kind::kUnknown && identity && !c_.machine.Volumes().volumes.empty()) {
    Refuse(InLanguage(c_.language, english::kUnplacedRefusal, kUnplacedRefusal));
    return false;
  }
  confirmed_answers_ = identity.has_value();
  confirmed_ = identity.value_or(DriveIdentity{});
  confirmed_.size_text = FormatSize(extent.Bytes());
  if (target_.listed && *target_.listed != confirmed_) {
    Refuse(InLanguage(c_.language, erase_text::english::kListedDriveChanged, erase_text::kListedDriveChanged));
    return false;
  }
  return true;
}

bool EraseSession::SetLayout(const DriveExtent& extent) {
  std::optional<ChunkLayout> layout = PlanChunks(extent, kSectorsPerChunkLimit);
  if (!layout) {
    Refuse(extent.sector_count == 0
               ? InLanguage(c_.language, erase_text::english::kNoSectors, erase_text::kNoSectors)
               : InLanguage(c_.language, erase_text::english::kNoChunkLayout, erase_text::kNoChunkLayout));
    return false;
  }
  EraseParameters& p = c_.params;
  p.BytesPerSector = extent.sector_size;
  p.SectorsPerChunk = layout->sectors_per_chunk;
  p.ChunkCount = layout->chunk_count;
  p.ChunkBytes = layout->chunk_bytes;
  p.TailBytes = layout->tail_bytes;
  p.TotalSectors = extent.sector_count;
  p.EraseTotalBytes = extent.Bytes();
  return true;
}

void EraseSession::AskPurgeCapability() {
  finished_.purge = plexi::AskPurgeCapability(*drive_, target_.view, journal_->drive.bus_type, c_.offer_purge,
                                              c_.machine.System());
}

void EraseSession::AskHiddenArea() {
  if (target_.view != ViewMode::kPhysical) return;
  journal_->hidden_area = QueryHiddenArea(*drive_, journal_->drive.bus_type, c_.machine.System());
  const HiddenArea& area = journal_->hidden_area;
  if (area.liftable && c_.ui.Ask(erase_text::LiftHiddenAreaQuestion(area.HpaSectors(), c_.language)))
    LiftHiddenArea();
}

// The drive lets the host address its native maximum, then the system is
// made to read its size again and the erase is laid out over what the
// handle reports now. A system
// that does not see the drive grow gets it set back, so that the drive
// hides no more and no less than the erase leaves out.
void EraseSession::LiftHiddenArea() {
  const HiddenArea& area = journal_->hidden_area;
  const uint64_t before = c_.params.TotalSectors;
  if (SetHostSectors(*drive_, area.native_sectors)) {
    RereadDriveSize();
    platform::Result<DriveExtent> extent = MeasureDrive(*drive_, target_.device_path, target_.view);
    if (extent.ok() && extent->sector_count > before && SetLayout(*extent)) {
      journal_.NoteDrive(*drive_, *extent);
      confirmed_.size_text = FormatSize(extent->Bytes());
      journal_->hidden_area_lifted = true;
      return;
    }
    static_cast<void>(SetHostSectors(*drive_, area.host_sectors));
    RereadDriveSize();
  }
  c_.ui.ShowMessage(
      InLanguage(c_.language, erase_text::english::kHiddenAreaNotLifted, erase_text::kHiddenAreaNotLifted));
}

// The disk driver keeps the size it read: IOCTL_DISK_UPDATE_DRIVE_SIZE
// "updates device extension with drive size information for current media"
// ("IOCTL_DISK_UPDATE_DRIVE_SIZE IOCTL"), and IOCTL_DISK_UPDATE_PROPERTIES
// re-enumerates the device, "when you update the usable space for a disk"
// ("IOCTL_DISK_UPDATE_PROPERTIES IOCTL"). Whether either took is seen in
// the size measured after them.
void EraseSession::RereadDriveSize() {
  uint8_t geometry[winconst::kDiskGeometrySize] = {};
  static_cast<void>(drive_->Control(winconst::kIoctlDiskUpdateDriveSize, nullptr, 0, geometry, sizeof geometry));
  static_cast<void>(drive_->Control(winconst::kIoctlDiskUpdateProperties, nullptr, 0, nullptr, 0));
}

// A resume point must name a real method, a write pass of it and a chunk of
// this drive, counted in this drive's chunk layout.
EarlierRecord EraseSession::ReadEarlierRecord() {
  EraseRecordFields fields{MethodCode(c_.params.EraseMethod), 0, 0};
  const RecordAccessResult read =
      AccessEraseRecord(*drive_, c_.params.BytesPerSector, RecordMode::kRead, false, fields);
  // An unreadable first sector holds no record; a handle that cannot be
  // placed at its start is a fault of the drive the user is told.
  if (!read.positioned) c_.ui.ShowMessage(SystemErrorText(c_.machine, read.error));
  RecordKind kind = read.result;
  // A purge is never resumed: its record could only come from elsewhere.
  if (kind == RecordKind::kResume && !ResumePointInside(fields)) kind = RecordKind::kNone;
  if (kind == RecordKind::kResume && !fields.LayoutMatches(c_.params.TotalSectors, c_.params.SectorsPerChunk)) {
    // The chunk index would point at other bytes now: resuming could skip
    // part of the drive.
    c_.ui.ShowMessage(
        InLanguage(c_.language, erase_text::english::kResumeLayoutChanged, erase_text::kResumeLayoutChanged));
    kind = RecordKind::kNone;
  }
  return {kind, MethodOfCode(fields.EraseMethod).value_or(OverwriteMethod::kZeros), fields.ResumeChunk,
          fields.ResumePass, kind == RecordKind::kResume && fields.Checkpoint};
}

// Whether a resume point names a pass of a resumable method and a place
// before the end of that erase. One at the end of the last pass has nothing
// left to write: taken as a resume point, it would pass off the bytes the
// record never saw written as erased.
bool EraseSession::ResumePointInside(const EraseRecordFields& fields) const {
  const std::optional<OverwriteMethod> method = MethodOfCode(fields.EraseMethod);
  if (!method || !MethodResumable(*method)) return false;
  const int32_t last_pass = WritePassCount(*method) - 1;
  const uint32_t chunks = c_.params.ChunkCount;
  if (fields.ResumePass < 0 || fields.ResumePass > last_pass || fields.ResumeChunk > chunks) return false;
  return fields.ResumePass < last_pass || fields.ResumeChunk < chunks;
}

std::optional<bool> EraseSession::AskAboutEarlierRecord(const EarlierRecord& earlier) {
  bool resumed = false;
  if (earlier.kind == RecordKind::kResume) {
    journal_->earlier_run_ended_unexpectedly = earlier.unexpected_end;
    resumed = c_.ui.Ask(erase_text::ResumeQuestion(earlier.unexpected_end, c_.language));
  } else if (earlier.kind == RecordKind::kComplete &&
             !c_.ui.Ask(erase_text::EraseAgainQuestion(MethodCode(earlier.method), c_.language))) {
    return std::nullopt;
  }
  // The one place the start of an erase is set: a fresh erase starts at
  // the first chunk of the first pass; one that declined a resume presets
  // the first method.
  EraseParameters& p = c_.params;
  p.ResumeChunk = resumed ? earlier.resume_chunk : 0;
  p.ResumePass = resumed ? earlier.resume_pass : 0;
  p.EraseMethod = earlier.kind == RecordKind::kResume && !resumed ? OverwriteMethod::kZeros : earlier.method;
  return resumed;
}

ConfirmChoice EraseSession::Confirm(const EarlierRecord& earlier, bool resumed) {
  const ConfirmRequest request =
      MakeConfirmRequest({target_, c_.params, resumed, earlier.kind, finished_.purge, drive_.get(),
                          HiddenSectorsNotErased(*journal_), c_.language});
  const ConfirmChoice choice = c_.ui.ConfirmErase(request);
  if (!choice.ok) return choice;
  c_.params.VerifyData = choice.verify;
  if (!resumed) c_.params.EraseMethod = choice.method;
  journal_.NoteConfirmed(c_.params, resumed, choice.save_history);
  return choice;
}

RecordLeft EraseSession::Declined() {
  journal_->due = false;
  journal_->outcome = EraseOutcome::kDeclined;
  return RecordLeft::kNone;
}

bool EraseSession::MethodOffered() {
  const PurgeCapability& purge = finished_.purge;
  if (c_.params.EraseMethod != OverwriteMethod::kFirmwarePurge || purge.Usable()) return true;
  Refuse(PurgeBlockText(purge.block, c_.language));
  return false;
}

// Whether a descriptor names the confirmed drive; the size is checked apart.
bool EraseSession::NamesConfirmedDrive(DriveIdentity seen) const {
  seen.size_text = confirmed_.size_text;
  return seen == confirmed_;
}

// Whether the device at the target's path is still the confirmed drive,
// where the erase found it: a drive swapped in under the same number fails.
bool EraseSession::SameDriveAtPath() {
  platform::Result<std::unique_ptr<platform::Device>> opened =
      c_.machine.OpenDevice(target_.device_path, platform::Access::kQuery);
  if (!opened.ok()) return false;
  if (!NamesConfirmedDrive(ReadDriveIdentity(*opened.value()).value_or(DriveIdentity{}))) return false;
  return PlaceDevice(*opened.value(), target_.device_path).Disks() == placement_.Disks();
}

// The last look before the first write, after the questions (which can stay
// open for any time): the drive is not protected now, it still answers as
// the confirmed drive with the confirmed size, and it holds no system.
bool EraseSession::ReadyToWrite() {
  c_.cancel = false;
  if (std::optional<std::string> refusal = target_.protection ? target_.protection() : std::nullopt) {
    Refuse(*refusal);
    return false;
  }
  const EraseParameters& p = c_.params;
  std::optional<DriveIdentity> now = ReadDriveIdentity(*drive_);
  platform::Result<DriveExtent> extent = MeasureDrive(*drive_, target_.device_path, target_.view);
  const bool same = extent.ok() && extent->Bytes() == p.EraseTotalBytes && extent->sector_size == p.BytesPerSector &&
                    now.has_value() == confirmed_answers_ && (!now || NamesConfirmedDrive(*now));
  if (!same || !SameDriveAtPath()) {
    Refuse(InLanguage(c_.language, erase_text::english::kConfirmedDriveChanged, erase_text::kConfirmedDriveChanged));
    return false;
  }
  if (std::optional<std::string> refusal =
          SystemRefusal(c_.machine, placement_, target_.device_path, c_.language)) {
    Refuse(*refusal);
    return false;
  }
  return true;
}

// The drive's own lock, then, for a whole disk, every volume on it.
bool EraseSession::LockTarget() {
  platform::Result<> locked = LockWithRetry(*drive_, c_.pacing);
  if (!locked.ok()) {
    Refuse(erase_text::InUse(target_.label, SystemErrorText(c_.machine, locked.error()), c_.language), locked.error());
    return false;
  }
  drive_lock_.emplace(*drive_);
  if (placement_.kind != Placement::Kind::kDisk) return true;
  TakenVolumes taken = TakeVolumesOfDisk(c_.machine, placement_.disk, c_.pacing, c_.language);
  if (taken.refusal) {
    Refuse(taken.refusal->message, taken.refusal->code);
    return false;
  }
  volumes_ = std::move(taken.volumes);
  return true;
}

void EraseSession::BeginWriting() {
  counted_.emplace(c_.env);
  journal_.RestartClock();
}

std::optional<PurgeRun> EraseSession::PurgeIfChosen() {
  if (c_.params.EraseMethod != OverwriteMethod::kFirmwarePurge) return std::nullopt;
  PurgeCapability& purge = finished_.purge;
  PurgeRun run = RunPurgeStep(
      {*drive_, c_.ui, c_.pacing, journal_->drive.bus_type, target_.label, c_.machine.System(), c_.language}, purge);
  if (run.sent) {
    journal_->purge_command = PurgeCommandName(purge.command);
    journal_->purge_kind = purge.command;
  }
  purge_accepted_ = run.accepted;
  journal_->purge_completed = run.completed;
  journal_->purge_evidence = run.evidence;
  if (run.completed) journal_->purge_zero_pass = !PurgeLeavesZeros(purge, run);
  if (run.progress_unknown) {
    // Whatever the drive did, the zero pass and the read-back say what it
    // holds now.
    journal_->purge_zero_pass = true;
    c_.params.VerifyData = true;
  }
  return run;
}

RecordLeft EraseSession::EndAfterPurgeFailed(const PurgeRun& purged) {
  ReportAndNote(purged.error_text, purged.error_code);
  journal_->outcome = purge_accepted_ ? EraseOutcome::kFailed : EraseOutcome::kRefused;
  ReleaseTarget();
  return RecordLeft::kNone;
}

WorkerReport EraseSession::WritePasses(const std::optional<PurgeRun>& purged) {
  const bool zero_pass = !purged || journal_->purge_zero_pass;
  WorkerReport run;
  if (!zero_pass && !c_.params.VerifyData) {
    run.failed = false;  // the drive promises zeros and no read-back was asked for
    return run;
  }
  // After a purge the worker writes the first method's zero pass, or only
  // reads the drive back; the record still names the purge.
  EraseParameters worker_params = c_.params;
  if (purged && zero_pass) worker_params.EraseMethod = OverwriteMethod::kZeros;
  worker_params.KeepCheckpoints = !purged && MethodResumable(c_.params.EraseMethod);
  ProgressRequest progress{
      InLanguage(c_.language, erase_text::english::kProgressCaption, erase_text::kProgressCaption),
      InLanguage(c_.language, erase_text::english::kDriveLinePrefix, erase_text::kDriveLinePrefix) + target_.label,
      c_.params.VerifyData, c_.params.EraseTotalBytes};
  const EraseContext& c = c_;
  run = c_.ui.RunProgress(progress, [&c, worker_params](ProgressView& view, GuiDispatcher& gui) {
    return std::make_unique<TPlexiscrubThread>(
        worker_params,
        TPlexiscrubThread::Context{c.cancel, c.pause, c.machine, c.ui, gui, view, c.estimate, c.pacing, c.language});
  });
  journal_->bytes_written = run.bytes_written;
  writes_sent_ = run.write_attempted;
  journal_.NoteRun(run, c_.params);
  return run;
}

RecordLeft EraseSession::End(const WorkerReport& run, bool save_history) {
  const RecordLeft left = run.cancelled                                                ? EndOnCancel(run)
                          : run.failed || (c_.params.VerifyData && !run.verify_passed) ? EndOnFailure(run)
                          : run.HasExceptions() || HiddenSectorsNotErased(*journal_) > 0 ? EndWithExceptions(run)
                                                                                       : EndCompleted(run, save_history);
  ReleaseTarget();
  return left;
}

RecordLeft EraseSession::EndOnCancel(const WorkerReport& run) {
  // Where it stopped: the resume point a record would hold.
  c_.params.ResumeChunk = run.stopped_chunk;
  c_.params.ResumePass = run.stopped_pass;
  const EraseOutcome unsaved = Wrote() ? EraseOutcome::kInterruptedPartly : EraseOutcome::kStoppedUnwritten;
  // The zero pass after a purge: the erase is started again, not resumed.
  const bool save = MethodResumable(c_.params.EraseMethod) &&
                    (c_.env.Unattended() || c_.ui.Ask(erase_text::SaveResumePointQuestion(c_.language)));
  if (!save) {
    if (run.checkpoint_left) ClearCheckpoint();
    journal_->outcome = unsaved;
    return RecordLeft::kNone;
  }
  const RecordLeft left = WriteRecord(RecordMode::kInterrupt, false, RecordLeft::kResume);
  journal_->outcome = left == RecordLeft::kResume ? EraseOutcome::kInterruptedSaved : unsaved;
  return left;
}

RecordLeft EraseSession::EndOnFailure(const WorkerReport& run) {
  std::optional<uint64_t> sector;
  if (run.error_offset && c_.params.BytesPerSector > 0) sector = *run.error_offset / c_.params.BytesPerSector;
  // A drive written whole keeps no resume point: the next erase starts over.
  if ((run.read_back_failed || !run.verify_passed) && run.checkpoint_left) ClearCheckpoint();
  if (run.read_back_failed) {
    // The passes are on the drive; what could not be proven is where.
    ReportAndNote(erase_text::ReadBackFailed(sector.value_or(0), c_.language) + "\n" + run.error_text, run.error_code,
                  sector);
    journal_->outcome = EraseOutcome::kReadBackFailed;
    return RecordLeft::kNone;
  }
  ReportAndNote(run.error_text.empty() ? NotStartedText(run.error_code) : run.error_text, run.error_code, sector);
  journal_->outcome = !Wrote()                                     ? EraseOutcome::kFailedUnwritten
                      : journal_->verify == VerifyResult::kFailed ? EraseOutcome::kVerificationFailed
                                                                  : EraseOutcome::kFailed;
  return journal_->outcome == EraseOutcome::kFailed ? KeepResumePointAfterFailure(run) : RecordLeft::kNone;
}

// A write pass that failed keeps a resume point where it can: at the failure
// once what came before it is flushed to the drive, else the last checkpoint
// the first sector holds. A drive that no longer answers keeps the latter.
RecordLeft EraseSession::KeepResumePointAfterFailure(const WorkerReport& run) {
  const EraseParameters& p = c_.params;
  if (!MethodResumable(p.EraseMethod) || run.stopped_pass >= WritePassCount(p.EraseMethod)) return RecordLeft::kNone;
  const bool inside = run.stopped_pass > 0 || run.stopped_chunk > 0;
  if (inside && drive_->Flush().ok()) {
    EraseRecordFields fields{MethodCode(p.EraseMethod), run.stopped_chunk, run.stopped_pass, p.TotalSectors,
                             p.SectorsPerChunk};
    const RecordAccessResult r = AccessEraseRecord(*drive_, p.BytesPerSector, RecordMode::kInterrupt, false, fields);
    if (r.io_ok) {
      journal_->bytes_written += p.BytesPerSector;
      journal_->record = RecordLeft::kResume;
      return RecordLeft::kResume;
    }
  }
  if (!run.checkpoint_left) return RecordLeft::kNone;
  journal_->record = RecordLeft::kResume;
  return RecordLeft::kResume;
}

// A stop the user keeps no resume point of: the checkpoint goes, so that the
// next erase starts at the beginning, as asked.
void EraseSession::ClearCheckpoint() {
  EraseRecordFields fields{};
  const RecordAccessResult r =
      AccessEraseRecord(*drive_, c_.params.BytesPerSector, RecordMode::kFinish, false, fields);
  if (r.io_ok) {
    journal_->bytes_written += c_.params.BytesPerSector;
    return;
  }
  ReportAndNote(SystemErrorText(c_.machine, r.error), r.error, 0);
}

// Every pass went over what the host addresses, around sectors that failed
// every try or beyond sectors the drive hides: never a completion record,
// which would vouch for them too. The first sector keeps the last pass's
// zeros (a checkpoint there is cleared).
RecordLeft EraseSession::EndWithExceptions(const WorkerReport& run) {
  if (run.checkpoint_left) ClearCheckpoint();
  ReportAndNote(
      erase_text::ErasedWithExceptions(run.unwritten, run.unreadable, HiddenSectorsNotErased(*journal_), c_.language),
      0);
  journal_->outcome = EraseOutcome::kErasedWithExceptions;
  return RecordLeft::kNone;
}

RecordLeft EraseSession::EndCompleted(const WorkerReport& run, bool save_history) {
  const RecordLeft left =
      WriteRecord(RecordMode::kFinish, save_history, save_history ? RecordLeft::kCompletion : RecordLeft::kBlank);
  // A read-back stopped by a cancel leaves every pass written, as the
  // record says, but nothing proven about the bytes it did not reach.
  journal_->outcome = left == RecordLeft::kNone ? EraseOutcome::kFailed
                      : run.verify_cut_short    ? EraseOutcome::kReadBackStopped
                                                : EraseOutcome::kCompleted;
  return left;
}

// Writes the record; a write that did not reach the drive is reported and
// the erase counts as not recorded.
RecordLeft EraseSession::WriteRecord(RecordMode mode, bool save_history, RecordLeft success) {
  const EraseParameters& p = c_.params;
  EraseRecordFields fields{MethodCode(p.EraseMethod), p.ResumeChunk, p.ResumePass, p.TotalSectors, p.SectorsPerChunk};
  RecordAccessResult r = AccessEraseRecord(*drive_, p.BytesPerSector, mode, save_history, fields);
  if (r.io_ok) {
    journal_->bytes_written += p.BytesPerSector;
    journal_->record = success;
    return success;
  }
  journal_->record_failed = true;
  ReportAndNote(SystemErrorText(c_.machine, r.error), r.error, 0);
  return RecordLeft::kNone;
}

// After the erase: what the first sector holds now, then the file systems
// are told, before the locks end, that the volume or the disk changed under
// them, so that none writes its cached view of the old contents back.
void EraseSession::ReleaseTarget() {
  const uint32_t size = c_.params.BytesPerSector;
  if (Wrote()) {
    AlignedBuffer sector(size);
    if (drive_->SetPosition(0).ok()) {
      platform::IoResult r = drive_->Read(sector.data(), size);
      if (r.ok() && r.value() == size) finished_.record_after = RecogniseForList(sector.data(), r.value());
    }
  }
  const uint32_t control = placement_.kind == Placement::Kind::kDisk ? winconst::kIoctlDiskUpdateProperties
                                                                     : winconst::kFsctlDismountVolume;
  // A notice to the file systems: one that refuses it has nothing cached to
  // write back, and the unlock below is what the user hears about.
  static_cast<void>(drive_->Control(control, nullptr, 0, nullptr, 0));
  platform::Result<> unlocked = drive_lock_ ? drive_lock_->Release() : platform::Result<>::Success();
  if (!unlocked.ok()) ReportAndNote(SystemErrorText(c_.machine, unlocked.error()), unlocked.error());
}

// A worker that never ran says nothing of why; the system's reason, when
// there is one, goes on the next line.
std::string EraseSession::NotStartedText(uint32_t code) const {
  std::string text = InLanguage(c_.language, erase_text::english::kWorkerNotStarted, erase_text::kWorkerNotStarted);
  if (!Wrote()) text += InLanguage(c_.language, erase_text::english::kNothingWritten, erase_text::kNothingWritten);
  if (code != 0) text += "\r\n" + SystemErrorText(c_.machine, code);
  return text;
}

void EraseSession::Refuse(const std::string& message, uint32_t code) {
  c_.ui.ShowMessage(message);
  journal_.NoteError(message, code);
}

void EraseSession::ReportAndNote(const std::string& message, uint32_t code, std::optional<uint64_t> sector) {
  c_.env.ReportError(message, target_.label);
  journal_.NoteError(message, code, sector);
}

}  // namespace plexi
