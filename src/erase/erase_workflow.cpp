#include "erase/erase_workflow.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <thread>

#include "platform/aligned_buffer.h"

#include "platform/winconst.h"

namespace plexi {

uint32_t ChooseSectorsPerChunk(uint64_t count, uint32_t limit) {
  const uint64_t start = count / limit >= 30 ? limit : count / 30;
  for (uint64_t n = start; n >= 17; --n)
    if (count % n == 0) return uint32_t(n);
  return 1;
}

int LetterCountOfLabel(const std::string& drive_label) {
  const std::string open = "（";
  size_t start = drive_label.rfind(open);
  if (start == std::string::npos) return 0;
  start += open.size();
  int count = 0;
  for (size_t i = start; i + 1 < drive_label.size(); ++i)
    if (drive_label[i + 1] == ':' && drive_label[i] != ' ') ++count;
  return count;
}

RecordKind RecordKindAfter(EraseResult result) {
  switch (result) {
    case EraseResult::kResumeRecordSaved: return RecordKind::kResume;
    case EraseResult::kCompletionRecordSaved: return RecordKind::kComplete;
    default: return RecordKind::kNone;
  }
}

bool EarlierPartUnchecked(const EraseJournal& journal) {
  return journal.resumed && journal.verify != VerifyResult::kPassed;
}

int ReadBackPercent(const EraseJournal& journal) {
  if (journal.capacity_bytes == 0) return 0;
  return int(std::min<uint64_t>(100, journal.verify_bytes_read * 100 / journal.capacity_bytes));
}

std::optional<std::string> CompletionNote(EraseOutcome outcome, const EraseJournal& journal) {
  if (outcome == EraseOutcome::kReadBackStopped) return erase_text::ReadBackStopped(ReadBackPercent(journal));
  if (outcome == EraseOutcome::kCompleted && EarlierPartUnchecked(journal))
    return std::string(erase_text::kEarlierPartUnchecked);
  return std::nullopt;
}

std::string DriveLabelOf(const DriveRow& row) { return row.caption + " （" + row.SubItem(1) + "）"; }

std::string ConfirmationText(const ConfirmationFacts& f) {
  std::string text = "***** ドライブのデータを全て消去します。*****";
  text += "\n\nドライブ > " + f.drive_label;
  text += "\n\nセクタ当たりのバイト数 > " + std::to_string(f.bytes_per_sector);
  text += "\n総セクタ数 > " + std::to_string(f.total_sectors);
  text += "\nドライブサイズ > " + FormatSize(f.total_sectors * f.bytes_per_sector);
  text += f.resumed ? "\n消去方式 > " + EraseMethodText(MethodCode(f.method), MethodTextForm::kLong) : "\n";
  const int letters = LetterCountOfLabel(f.drive_label);
  if (f.show_partitions && letters >= 2) {
    const std::string n = std::to_string(letters);
    text += "パーティション数 > " + n + "\nこのドライブは、" + n + "個のパーティションに分割されています。";
  } else {
    text += "\n";
  }
  text += "\n\n";
  text += "開始ボタンを押す前に処理するドライブが間違っていないか再度確認して下さい。（アクセスランプが点灯）";
  text += "\n\n    消去を行うには、[ del ] の入力が必要です。";
  return text;
}

namespace {

class SilentPurgeView : public PurgeView {
 public:
  void SetPurgeProgress(std::optional<uint32_t> progress) override { static_cast<void>(progress); }
};

}  // namespace

PurgeRun EraseUi::RunPurge(const PurgeRequest& request, const PurgeTask& task) {
  static_cast<void>(request);
  SilentPurgeView view;
  return task(view);
}

EraseWorkflow::EraseWorkflow(platform::Machine& machine, EraseUi& ui, EraseEnvironment& env,
                             EstimateState& estimate, Pacing pacing)
    : machine_(machine), ui_(ui), env_(env), estimate_(estimate), pacing_(pacing) {}

platform::Result<> EraseWorkflow::LockDrive(platform::Device& device) {
  platform::IoResult r = device.Control(winconst::kFsctlLockVolume, nullptr, 0, nullptr, 0);
  return r.ok() ? platform::Result<>::Success() : platform::Result<>::Failure(r.error());
}

platform::Result<> EraseWorkflow::UnlockDrive(platform::Device& device) {
  platform::IoResult r = device.Control(winconst::kFsctlUnlockVolume, nullptr, 0, nullptr, 0);
  return r.ok() ? platform::Result<>::Success() : platform::Result<>::Failure(r.error());
}

void EraseWorkflow::CloseDrive() {
  // Best effort: closing the handle below ends the lock anyway.
  for (std::unique_ptr<platform::Device>& volume : held_volumes_) static_cast<void>(UnlockDrive(*volume));
  held_volumes_.clear();
  claim_.reset();
  drive_.reset();
  params_.DriveHandle = nullptr;
}

// A lock refused because another program briefly holds the volume is tried
// again for a few seconds before the erase gives up.
platform::Result<> EraseWorkflow::LockWithRetry(platform::Device& device) {
  for (int attempt = 1;; ++attempt) {
    platform::Result<> locked = LockDrive(device);
    if (locked.ok()) return locked;
    const uint32_t code = locked.error();
    const bool busy = code == winconst::kErrorAccessDenied || code == winconst::kErrorSharingViolation ||
                      code == winconst::kErrorLockViolation || code == winconst::kErrorBusy;
    if (!busy || attempt >= pacing_.lock_attempts) return locked;
    if (pacing_.lock_retry_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(pacing_.lock_retry_ms));
  }
}

// One volume of the disk: locked, then dismounted, and held so until the
// erase ends; `name` is how the user knows it.
bool EraseWorkflow::TakeVolume(const std::string& path, const std::string& name) {
  platform::Result<std::unique_ptr<platform::Device>> opened = machine_.OpenDevice(path, platform::Access::kReadWrite);
  uint32_t error = opened.error();
  bool taken = false;
  if (opened.ok()) {
    platform::Result<> locked = LockWithRetry(**opened);
    error = locked.error();
    taken = locked.ok();
  }
  if (taken) {
    platform::IoResult r = opened.value()->Control(winconst::kFsctlDismountVolume, nullptr, 0, nullptr, 0);
    taken = r.ok();
    error = r.error();
    // Best effort: the handle is closed right after, which ends the lock.
    if (!taken) static_cast<void>(UnlockDrive(**opened));
  }
  if (!taken) {
    Refuse(erase_text::InUse("ドライブ " + name, SystemErrorText(machine_, error)), error);
    return false;
  }
  held_volumes_.push_back(std::move(opened.value()));
  return true;
}

// Windows refuses writes into the sectors of a mounted file system, so every
// volume on the disk (lettered, EFI, recovery, mounted in a folder) is
// locked and dismounted first and held so until the erase ends. A volume
// that cannot be taken stops the erase before anything is written.
bool EraseWorkflow::TakeVolumesOfDisk(uint32_t disk) {
  struct Candidate {
    std::string path, name;
  };
  std::vector<Candidate> candidates;
  const platform::VolumeList list = machine_.Volumes();
  for (const platform::VolumeEntry& volume : list.volumes) {
    std::string name = volume.mount_points.empty() ? volume.path : volume.mount_points.front();
    if (name.size() == 3 && name[1] == ':') name.pop_back();  // "K:\" is shown as "K:"
    candidates.push_back({volume.path, name});
  }
  // Without the system's volume list, the lettered volumes are all there is.
  if (candidates.empty())
    for (char letter : LettersOf(machine_))
      candidates.push_back({DriveDesignator::Letter(letter).DevicePath(), std::string{letter, ':'}});
  for (const Candidate& c : candidates) {
    std::optional<std::vector<DiskSpan>> spans = VolumeExtents(machine_, c.path);
    if (!spans) continue;
    const bool on_disk = std::any_of(spans->begin(), spans->end(), [&](const DiskSpan& s) { return s.disk == disk; });
    if (on_disk && !TakeVolume(c.path, c.name)) return false;
  }
  return true;
}

std::optional<ChunkLayout> PlanChunks(const DriveExtent& extent, uint32_t limit) {
  const uint64_t sectors = extent.sector_count;
  uint32_t per_chunk = ChooseSectorsPerChunk(sectors, limit);
  if (sectors / per_chunk > std::numeric_limits<uint32_t>::max()) per_chunk = limit;
  const uint64_t chunks = sectors / per_chunk;
  const uint64_t chunk_bytes = uint64_t(extent.sector_size) * per_chunk;
  const uint64_t tail = (sectors % per_chunk) * extent.sector_size + extent.tail_bytes;
  if (sectors == 0 || chunks > std::numeric_limits<uint32_t>::max() ||
      chunk_bytes > std::numeric_limits<int32_t>::max())
    return std::nullopt;
  return ChunkLayout{per_chunk, uint32_t(chunks), uint32_t(chunk_bytes), uint32_t(tail)};
}

bool EraseWorkflow::SetLayout(const DriveExtent& extent) {
  std::optional<ChunkLayout> layout = PlanChunks(extent, kSectorsPerChunkLimit);
  if (!layout) {
    Refuse(extent.sector_count == 0 ? erase_text::kNoSectors : erase_text::kNoChunkLayout);
    return false;
  }
  params_.BytesPerSector = extent.sector_size;
  params_.SectorsPerChunk = layout->sectors_per_chunk;
  params_.ChunkCount = layout->chunk_count;
  params_.ChunkBytes = layout->chunk_bytes;
  params_.TailBytes = layout->tail_bytes;
  params_.TotalSectors = extent.sector_count;
  params_.EraseTotalBytes = extent.Bytes();
  return true;
}

// Opens the drive for the erase, makes sure it may be erased and is the one
// the list showed, and works out the chunk layout.
bool EraseWorkflow::OpenDrive(const EraseTarget& target) {
  platform::Result<std::unique_ptr<platform::Device>> opened = machine_.OpenDevice(target.device_path, platform::Access::kReadWrite);
  if (!opened.ok()) {
    Refuse(SystemErrorText(machine_, opened.error()), opened.error());
    return false;
  }
  drive_ = std::move(opened.value());
  params_.DriveHandle = drive_.get();
  if (!ClaimDrive(target)) {
    CloseDrive();
    return false;
  }

  platform::Result<DriveExtent> extent = MeasureDrive(machine_, ui_, *drive_, target.device_path, target.view);
  if (!extent.ok()) {
    Refuse(SystemErrorText(machine_, extent.error()), extent.error());
    CloseDrive();
    return false;
  }
  NoteDrive(*extent);
  placement_ = PlaceDevice(*drive_, target.device_path);
  if (std::optional<std::string> refusal = SystemRefusal(machine_, placement_, target.device_path)) {
    Refuse(*refusal);
    CloseDrive();
    return false;
  }
  std::optional<DriveIdentity> identity = ReadDriveIdentity(*drive_);
  // A drive that says what it is but not where it lies, on a machine with
  // volumes to protect, cannot be told apart from the system disk.
  if (placement_.kind == Placement::Kind::kUnknown && identity && !machine_.Volumes().volumes.empty()) {
    Refuse(kUnplacedRefusal);
    CloseDrive();
    return false;
  }
  confirmed_answers_ = identity.has_value();
  confirmed_ = identity.value_or(DriveIdentity{});
  confirmed_.size_text = FormatSize(extent->Bytes());
  if (target.listed && *target.listed != confirmed_) {
    Refuse(erase_text::kListedDriveChanged);
    CloseDrive();
    return false;
  }
  if (!SetLayout(*extent)) {
    CloseDrive();
    return false;
  }
  return true;
}

// One erase at a time per drive, whichever program runs it: the claim is
// taken right after the open, so a second erase is refused before it reads
// the record or asks anything, and it is held until the drive is closed.
bool EraseWorkflow::ClaimDrive(const EraseTarget& target) {
  platform::Result<std::unique_ptr<platform::DriveClaim>> claimed = drive_->ClaimForErase();
  if (claimed.ok()) {
    claim_ = std::move(claimed.value());
    return true;
  }
  const uint32_t code = claimed.error();
  if (code == winconst::kErrorLockViolation)
    Refuse(erase_text::kAnotherErase, code);
  else
    Refuse(erase_text::InUse(target.label, SystemErrorText(machine_, code)), code);
  return false;
}

// The record in the first sector, checked as untrusted input: a resume
// point must name a real method, a write pass of it and a chunk of this
// drive, counted in this drive's chunk layout.
RecordKind EraseWorkflow::ReadEarlierRecord() {
  params_.ResumeChunk = 0;
  EraseRecordFields fields{MethodCode(params_.EraseMethod), params_.ResumeChunk, params_.ResumePass};
  RecordKind record =
      AccessEraseRecord(machine_, ui_, *drive_, params_.BytesPerSector, RecordMode::kRead, false, fields).result;
  const std::optional<OverwriteMethod> method = MethodOfCode(fields.EraseMethod);
  // A purge is never resumed: its record could only come from elsewhere.
  if (record == RecordKind::kResume && !ResumePointInside(method, fields)) record = RecordKind::kNone;
  if (record == RecordKind::kResume && !fields.LayoutMatches(params_.TotalSectors, params_.SectorsPerChunk)) {
    // The chunk index would point at other bytes now: resuming could skip
    // part of the drive.
    ui_.ShowMessage(erase_text::kResumeLayoutChanged);
    record = RecordKind::kNone;
  }
  params_.EraseMethod = method.value_or(OverwriteMethod::kZeros);
  params_.ResumeChunk = fields.ResumeChunk;
  params_.ResumePass = fields.ResumePass;
  return record;
}

// Whether a resume point names a pass of a resumable method and a place
// before the end of that erase. One at the end of the last pass has nothing
// left to write: taken as a resume point, it would pass off the bytes the
// record never saw written as erased.
bool EraseWorkflow::ResumePointInside(std::optional<OverwriteMethod> method, const EraseRecordFields& fields) const {
  if (!method || !MethodResumable(*method)) return false;
  const int32_t last_pass = WritePassCount(*method) - 1;
  if (fields.ResumePass < 0 || fields.ResumePass > last_pass || fields.ResumeChunk > params_.ChunkCount) return false;
  return fields.ResumePass < last_pass || fields.ResumeChunk < params_.ChunkCount;
}

// The question about an earlier record: whether this is a resumed erase, or
// nothing when the user declined a second erase.
std::optional<bool> EraseWorkflow::AskAboutEarlierRecord(RecordKind record) {
  if (record == RecordKind::kResume) {
    if (ui_.Ask(erase_text::ResumeQuestion())) return true;
    params_.ResumeChunk = 0;
    params_.ResumePass = 0;
    params_.EraseMethod = OverwriteMethod::kZeros;
    return false;
  }
  if (record == RecordKind::kComplete) {
    if (!ui_.Ask(erase_text::EraseAgainQuestion(MethodCode(params_.EraseMethod)))) return std::nullopt;
  }
  return false;
}

// Whether a descriptor names the confirmed drive; the size is checked apart.
bool EraseWorkflow::NamesConfirmedDrive(DriveIdentity seen) const {
  seen.size_text = confirmed_.size_text;
  return seen == confirmed_;
}

// Whether the device at `path` is still the confirmed drive, where the
// erase found it: a drive swapped in under the same number fails this.
bool EraseWorkflow::SameDriveAtPath(const std::string& path) {
  platform::Result<std::unique_ptr<platform::Device>> opened = machine_.OpenDevice(path, platform::Access::kQuery);
  if (!opened.ok()) return false;
  if (!NamesConfirmedDrive(ReadDriveIdentity(*opened.value()).value_or(DriveIdentity{}))) return false;
  return PlaceDevice(*opened.value(), path).Disks() == placement_.Disks();
}

// The last look before the first write, after the questions (which can stay
// open for any time): the drive is not protected now, it still answers as
// the confirmed drive with the confirmed size, and it holds no system.
bool EraseWorkflow::ReadyToWrite(const EraseTarget& target) {
  if (std::optional<std::string> refusal = target.protection ? target.protection() : std::nullopt) {
    Refuse(*refusal);
    return false;
  }
  std::optional<DriveIdentity> now = ReadDriveIdentity(*drive_);
  platform::Result<DriveExtent> extent = MeasureDrive(machine_, ui_, *drive_, target.device_path, target.view);
  const bool same = extent.ok() && extent->Bytes() == params_.EraseTotalBytes &&
                    extent->sector_size == params_.BytesPerSector && now.has_value() == confirmed_answers_ &&
                    (!now || NamesConfirmedDrive(*now));
  if (!same || !SameDriveAtPath(target.device_path)) {
    Refuse(erase_text::kConfirmedDriveChanged);
    return false;
  }
  if (std::optional<std::string> refusal = SystemRefusal(machine_, placement_, target.device_path)) {
    Refuse(*refusal);
    return false;
  }
  return true;
}

// The drive's own lock, then, for a whole disk, every volume on it.
bool EraseWorkflow::LockTarget(const EraseTarget& target) {
  platform::Result<> locked = LockWithRetry(*drive_);
  if (!locked.ok()) {
    Refuse(erase_text::InUse(target.label, SystemErrorText(machine_, locked.error())), locked.error());
    return false;
  }
  if (placement_.kind == Placement::Kind::kDisk && !TakeVolumesOfDisk(placement_.disk)) {
    // Best effort: the erase stops and closes the drive, which ends the lock.
    static_cast<void>(UnlockDrive(*drive_));
    return false;
  }
  return true;
}

EraseResult EraseWorkflow::RunErase(const DriveDesignator& designator, const std::string& drive_label, ViewMode view) {
  return RunErase(EraseTarget{designator.DevicePath(), designator, drive_label, view, std::nullopt, {}});
}

EraseResult EraseWorkflow::RunErase(const std::string& device_path, std::optional<DriveDesignator> designator,
                            const std::string& drive_label, ViewMode view) {
  return RunErase(EraseTarget{device_path, designator, drive_label, view, std::nullopt, {}});
}

EraseResult EraseWorkflow::RunErase(const EraseTarget& target) {
  outcome_ = EraseOutcome::kNothingWritten;
  record_after_ = {};
  bytes_written_ = 0;
  journal_ = EraseJournal{};
  ran_ = run_cancelled_ = false;
  purge_ = PurgeCapability{};
  purge_accepted_ = false;
  journal_.due = true;
  journal_.device_path = target.device_path;
  journal_.designator = target.designator;
  journal_.label = target.label;
  journal_.view = target.view;
  journal_.started = machine_.Now();
  journal_clock_ = std::chrono::steady_clock::now();
  if (!OpenDrive(target)) {
    FinishJournal();
    return EraseResult::kNotRecorded;
  }

  AskPurgeCapability(target);
  const RecordKind record = ReadEarlierRecord();
  std::optional<bool> resumed = AskAboutEarlierRecord(record);
  if (!resumed) {
    journal_.due = false;  // the user declined a second erase
    CloseDrive();
    return EraseResult::kNotRecorded;
  }
  if (!*resumed) {
    params_.ResumeChunk = 0;
    params_.ResumePass = 0;
  }

  ConfirmRequest request;
  request.caption = std::string(erase_text::kConfirmCaption) + (*resumed ? erase_text::kResumedSuffix : "");
  request.text = ConfirmationText({target.label, params_.BytesPerSector, params_.TotalSectors, *resumed,
                                   params_.EraseMethod, record == RecordKind::kNone});
  request.method = params_.EraseMethod;
  request.method_enabled = !*resumed;
  // Only a read-back of the whole drive shows what the interrupted run wrote.
  request.verify_preset = *resumed;
  if (purge_.Usable()) request.purge_command = PurgeCommandName(purge_.command);
  request.purge_offered = purge_.Usable() && !*resumed;
  request.purge_lines = PurgeCapabilityLines(purge_);
  if (request.purge_offered) request.purge_lines.push_back(erase_text::kPurgeWarning);
  // An earlier purge's record suggests the purge again only where it can run.
  if (request.method == OverwriteMethod::kFirmwarePurge && !request.purge_offered)
    request.method = OverwriteMethod::kZeros;
  request.drive = drive_.get();
  request.bytes_per_sector = params_.BytesPerSector;
  request.designator = target.designator;
  ConfirmChoice choice = ui_.ConfirmErase(request);
  if (!choice.ok) {
    journal_.due = false;  // the user did not confirm
    CloseDrive();
    return EraseResult::kNotRecorded;
  }
  params_.VerifyData = choice.verify;
  if (!*resumed) params_.EraseMethod = choice.method;
  journal_.confirmed = true;
  journal_.method = params_.EraseMethod;
  journal_.resumed = *resumed;
  journal_.resume_chunk = params_.ResumeChunk;
  journal_.resume_pass = params_.ResumePass;
  journal_.sectors_per_chunk = params_.SectorsPerChunk;
  journal_.chunk_count = params_.ChunkCount;
  journal_.verify_requested = params_.VerifyData;
  journal_.history_kept = choice.save_history;
  if (params_.EraseMethod == OverwriteMethod::kFirmwarePurge && !request.purge_offered) {
    Refuse(purge_.Usable() ? erase_text::kPurgeNotOffered : PurgeBlockText(purge_.block));
    CloseDrive();
    FinishJournal();
    return EraseResult::kNotRecorded;
  }

  cancel_ = false;
  if (!ReadyToWrite(target) || !LockTarget(target)) {
    CloseDrive();
    FinishJournal();
    return EraseResult::kNotRecorded;
  }
  env_.UpdateEraseCount(EraseCountOp::kBegin);
  journal_.started = machine_.Now();
  journal_clock_ = std::chrono::steady_clock::now();

  bool zero_pass = true;
  if (params_.EraseMethod == OverwriteMethod::kFirmwarePurge) {
    const PurgeRun purged = RunPurgeStep(target);
    if (!purged.completed) {
      ReportAndNote(purged.error_text, target.label, purged.error_code);
      outcome_ = purge_accepted_ ? EraseOutcome::kFailed : EraseOutcome::kNothingWritten;
      ReleaseTarget(target.label);
      env_.UpdateEraseCount(EraseCountOp::kEnd);
      CloseDrive();
      FinishJournal();
      return EraseResult::kNotRecorded;
    }
    zero_pass = !purge_.zeros_guaranteed;
    journal_.purge_zero_pass = zero_pass;
  }
  WorkerOutcome run;
  if (zero_pass || params_.VerifyData) {
    run = RunPasses(target, zero_pass);
  } else {
    run.failed = false;  // the drive promises zeros and no read-back was asked for
  }
  bytes_written_ = run.bytes_written;
  if (run.cancelled) {
    params_.ResumeChunk = run.stopped_chunk;
    params_.ResumePass = run.stopped_pass;
  }
  NoteRun(run);

  const EraseResult result = DecideOutcome(run, choice.save_history, target.label);
  ReleaseTarget(target.label);
  env_.UpdateEraseCount(EraseCountOp::kEnd);
  CloseDrive();
  FinishJournal();
  return result;
}

// The overwrite passes under the progress dialog. After a purge the worker
// writes the first method's zero pass, or only reads the drive back (a
// method without passes of its own); the record still names the purge.
WorkerOutcome EraseWorkflow::RunPasses(const EraseTarget& target, bool zero_pass) {
  EraseParameters worker_params = params_;
  if (params_.EraseMethod == OverwriteMethod::kFirmwarePurge && zero_pass)
    worker_params.EraseMethod = OverwriteMethod::kZeros;
  ProgressRequest progress{erase_text::kProgressCaption, erase_text::kDriveLinePrefix + target.label, params_.VerifyData,
                           params_.EraseTotalBytes};
  return ui_.RunProgress(progress, [this, worker_params](ProgressView& view, GuiDispatcher& gui) {
    return std::make_unique<TPlexiscrubThread>(
        worker_params, TPlexiscrubThread::Context{cancel_, pause_, machine_, ui_, gui, view, estimate_, pacing_});
  });
}

// What the drive can purge with: asked with identify commands only, of a
// whole drive, and only where the purge may be offered.
void EraseWorkflow::AskPurgeCapability(const EraseTarget& target) {
  purge_ = PurgeCapability{};
  if (!offer_purge_ || target.view != ViewMode::kPhysical) return;
  purge_ = QueryPurgeCapability(*drive_, journal_.drive.bus_type);
}

// The drive's own purge, after every check and lock of the erase. The drive
// is asked once more right before: security may have frozen, or a password
// been set, since the confirmation.
PurgeRun EraseWorkflow::RunPurgeStep(const EraseTarget& target) {
  const PurgeCapability now = QueryPurgeCapability(*drive_, journal_.drive.bus_type);
  if (!now.Usable() || now.command != purge_.command) {
    PurgeRun refused;
    refused.error_text = now.Usable() ? erase_text::kPurgeNotOffered : PurgeBlockText(now.block);
    return refused;
  }
  purge_ = now;
  journal_.purge_command = PurgeCommandName(now.command);
  const PurgeRequest request{erase_text::kProgressCaption, erase_text::kDriveLinePrefix + target.label,
                             journal_.purge_command, erase_text::kPurgePassLabel};
  const PurgePacing pacing{pacing_.purge_poll_ms, 30};
  PurgeRun run = ui_.RunPurge(request, [this, &pacing](PurgeView& view) {
    return RunFirmwarePurge(*drive_, purge_, view, pacing, [](int ms) {
      if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    });
  });
  purge_accepted_ = run.accepted;
  journal_.purge_completed = run.completed;
  return run;
}

void EraseWorkflow::Refuse(const std::string& message, uint32_t code) {
  ui_.ShowMessage(message);
  journal_.errors.push_back({message, code, std::nullopt});
}

void EraseWorkflow::ReportAndNote(const std::string& message, const std::string& drive_label, uint32_t code,
                                  std::optional<uint64_t> sector) {
  env_.ReportError(message, drive_label);
  journal_.errors.push_back({message, code, sector});
}

// The drive as it answers for itself; read-only queries.
void EraseWorkflow::NoteDrive(const DriveExtent& extent) {
  journal_.sector_size = extent.sector_size;
  journal_.sector_count = extent.sector_count;
  journal_.capacity_bytes = extent.Bytes();
  if (std::optional<DescriptorFacts> d = QueryDescriptor(*drive_); d && d->has_header) {
    journal_.drive.answered = true;
    journal_.drive.vendor = d->vendor;
    journal_.drive.product = d->product;
    journal_.drive.serial = d->serial;
    journal_.drive.revision = d->revision;
    journal_.drive.bus_type = d->bus_type;
    journal_.drive.removable = d->removable;
  }
  journal_.drive.media = QueryMediaKind(*drive_);
}

void EraseWorkflow::NoteRun(const WorkerOutcome& run) {
  ran_ = true;
  run_cancelled_ = run.cancelled;
  if (!params_.VerifyData) {
    journal_.verify = VerifyResult::kNotAsked;
  } else if (run.cancelled || run.verify_cut_short || (run.failed && run.verify_passed)) {
    journal_.verify = VerifyResult::kNotFinished;
  } else {
    journal_.verify = run.verify_passed ? VerifyResult::kPassed : VerifyResult::kFailed;
  }
  journal_.verify_bytes_read = run.bytes_read;
  journal_.verify_ms = run.read_back_ms;
  if (run.first_nonzero_offset && params_.BytesPerSector > 0)
    journal_.first_nonzero_sector = *run.first_nonzero_offset / params_.BytesPerSector;
}

// The end of the erase's story: its outcome in the report's words.
void EraseWorkflow::FinishJournal() {
  journal_.ended = machine_.Now();
  journal_.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - journal_clock_).count();
  journal_.bytes_written = bytes_written_;
  switch (outcome_) {
    case EraseOutcome::kCompleted:
    case EraseOutcome::kReadBackStopped: journal_.outcome = JournalOutcome::kCompleted; break;
    case EraseOutcome::kInterruptedSaved: journal_.outcome = JournalOutcome::kInterruptedSaved; break;
    case EraseOutcome::kInterruptedPartly: journal_.outcome = JournalOutcome::kInterruptedUnsaved; break;
    case EraseOutcome::kReadBackFailed:
    case EraseOutcome::kFailed:
      journal_.outcome = journal_.verify == VerifyResult::kFailed ? JournalOutcome::kVerificationFailed
                                                                  : JournalOutcome::kFailed;
      break;
    case EraseOutcome::kNothingWritten:
      // Stopped before its first write: nothing was erased, but it was an
      // erase the user started, not one the program refused.
      if (!ran_)
        journal_.outcome = JournalOutcome::kRefused;
      else if (run_cancelled_)
        journal_.outcome = JournalOutcome::kInterruptedUnsaved;
      else
        journal_.outcome = JournalOutcome::kFailed;
      break;
  }
}

// After the erase: what the first sector holds now, then the file systems
// are told, before the locks end, that the volume or the disk changed under
// them, so that none writes its cached view of the old contents back.
void EraseWorkflow::ReleaseTarget(const std::string& drive_label) {
  if (bytes_written_ > 0 || purge_accepted_) {
    AlignedBuffer sector(params_.BytesPerSector);
    if (drive_->SetPosition(0).ok()) {
      platform::IoResult r = drive_->Read(sector.data(), params_.BytesPerSector);
      if (r.ok() && r.value() == params_.BytesPerSector) record_after_ = RecogniseForList(sector.data(), r.value());
    }
  }
  const uint32_t control = placement_.kind == Placement::Kind::kDisk ? winconst::kIoctlDiskUpdateProperties
                                                                     : winconst::kFsctlDismountVolume;
  // A notice to the file systems: one that refuses it has nothing cached to
  // write back, and the lock below is what the user hears about.
  static_cast<void>(drive_->Control(control, nullptr, 0, nullptr, 0));
  platform::Result<> unlocked = UnlockDrive(*drive_);
  if (!unlocked.ok()) ReportAndNote(SystemErrorText(machine_, unlocked.error()), drive_label, unlocked.error());
}

EraseResult EraseWorkflow::DecideOutcome(const WorkerOutcome& run, bool save_history, const std::string& drive_label) {
  const bool wrote = bytes_written_ > 0 || purge_accepted_;
  if (run.cancelled && !MethodResumable(params_.EraseMethod)) {
    // The zero pass after a purge: the erase is started again, not resumed.
    outcome_ = wrote ? EraseOutcome::kInterruptedPartly : EraseOutcome::kNothingWritten;
    return EraseResult::kNotRecorded;
  }
  if (run.cancelled) {
    const bool save = env_.Unattended() || ui_.Ask(erase_text::SaveResumePointQuestion());
    const EraseResult result =
        save ? WriteRecord(RecordMode::kInterrupt, false, EraseResult::kResumeRecordSaved, drive_label)
             : EraseResult::kNotRecorded;
    outcome_ = result == EraseResult::kResumeRecordSaved ? EraseOutcome::kInterruptedSaved
                           : (wrote ? EraseOutcome::kInterruptedPartly : EraseOutcome::kNothingWritten);
    return result;
  }
  if (run.failed || (params_.VerifyData && !run.verify_passed)) {
    std::optional<uint64_t> sector;
    if (run.error_offset && params_.BytesPerSector > 0) sector = *run.error_offset / params_.BytesPerSector;
    if (run.read_back_failed) {
      // The passes are on the drive; what could not be proven is where.
      ReportAndNote(erase_text::ReadBackFailed(sector.value_or(0)) + "\n" + run.error_text, drive_label,
                    run.error_code, sector);
      outcome_ = EraseOutcome::kReadBackFailed;
      return EraseResult::kNotRecorded;
    }
    ReportAndNote(run.error_text, drive_label, run.error_code, sector);
    outcome_ = wrote ? EraseOutcome::kFailed : EraseOutcome::kNothingWritten;
    return EraseResult::kNotRecorded;
  }
  const EraseResult result =
      WriteRecord(RecordMode::kFinish, save_history,
                  save_history ? EraseResult::kCompletionRecordSaved : EraseResult::kErasedWithoutRecord, drive_label);
  // A read-back stopped by a cancel leaves every pass written, as the
  // record says, but nothing proven about the bytes it did not reach.
  outcome_ = result == EraseResult::kNotRecorded ? EraseOutcome::kFailed
             : run.verify_cut_short              ? EraseOutcome::kReadBackStopped
                                                 : EraseOutcome::kCompleted;
  return result;
}

// Writes the record; a write that did not reach the drive is reported and
// the erase counts as not recorded.
EraseResult EraseWorkflow::WriteRecord(RecordMode mode, bool save_history, EraseResult success_result,
                                       const std::string& drive_label) {
  EraseRecordFields fields{MethodCode(params_.EraseMethod), params_.ResumeChunk, params_.ResumePass, params_.TotalSectors,
                           params_.SectorsPerChunk};
  RecordAccessResult r = AccessEraseRecord(machine_, ui_, *drive_, params_.BytesPerSector, mode, save_history, fields);
  if (r.io_ok) {
    bytes_written_ += params_.BytesPerSector;
    journal_.record = mode == RecordMode::kInterrupt ? RecordWrite::kResume
                      : save_history                 ? RecordWrite::kCompletion
                                                     : RecordWrite::kBlank;
    return success_result;
  }
  journal_.record = RecordWrite::kFailed;
  ReportAndNote(SystemErrorText(machine_, r.error), drive_label, r.error, 0);
  return EraseResult::kNotRecorded;
}

EraseTarget TargetOfRow(const DriveRow& row, ViewMode view, EraseButtonHost& host) {
  EraseTarget target;
  target.device_path = row.designator.DevicePath();
  target.designator = row.designator;
  target.label = DriveLabelOf(row);
  target.view = view;
  target.listed = DriveIdentity{row.vendor, row.product, row.serial, row.identity, row.size_text};
  target.protection = [row, view, &host] { return host.ProtectionRefusal(row, view); };
  return target;
}

std::optional<EraseResult> SpeedButton2Click(EraseWorkflow& workflow, EraseUi& ui, EraseButtonHost& host,
                                     std::vector<DriveRow>& rows, std::optional<size_t> selected,
                                     ViewMode view) {
  if (!selected || *selected >= rows.size()) return std::nullopt;
  const size_t index = *selected;
  host.RepaintRow(index);
  // The button is disabled for such rows; a stale click must still never
  // reach the system drive or a protected one.
  if (rows[index].not_erasable) return std::nullopt;
  // Everything the erase needs is copied before the first question: the
  // drive watch could otherwise rebuild the rows under it.
  const EraseTarget target = TargetOfRow(rows[index], view, host);
  // A protected row on the same storage (the disk of this volume, a volume
  // of this disk) is said before any question.
  if (std::optional<std::string> refusal = target.protection()) {
    ui.ShowMessage(*refusal);
    return std::nullopt;
  }
  const bool watching = host.StopDriveWatch();
  if (!ui.Ask(erase_text::EraseDriveQuestion(target.label))) {
    if (watching) host.StartDriveWatch();
    return std::nullopt;
  }

  const EraseResult result = workflow.RunErase(target);
  const bool touched = workflow.Outcome() != EraseOutcome::kNothingWritten;
  // The row is updated only while it still shows the drive erased.
  const bool recorded = result != EraseResult::kNotRecorded;
  if ((recorded || touched) && index < rows.size() && rows[index].designator == target.designator) {
    DriveRow& row = rows[index];
    int32_t method = MethodCode(workflow.Parameters().EraseMethod);
    if (recorded) {
      row.method_text = EraseMethodText(method);
      row.record_kind = int32_t(RecordKindAfter(result));
    } else {
      // Written but not recorded: the row shows what the first sector holds now.
      const ListRecord& found = workflow.RecordAfterErase();
      method = found.method.value_or(-1);
      row.method_text = found.method ? EraseMethodText(*found.method) : "";
      row.record_kind = int32_t(found.kind);
    }
    host.RepaintRow(index);
    RowChangeMessage message;
    message.partition_view = view == ViewMode::kPartition;
    message.row_index = uint8_t(index);
    message.kind = RowChangeMessage::kEraseResult;
    message.value = uint8_t(method);  // 255: no method
    message.record_kind = uint8_t(row.record_kind);
    host.BroadcastRowChange(message);
  }
  // An erase that did not prove all of its bytes says so; nobody is there
  // to read it when an action follows, and the report says it anyway.
  if (std::optional<std::string> note = CompletionNote(workflow.Outcome(), workflow.Journal());
      note && !host.Unattended())
    ui.ShowMessage(*note);
  // Filed before the end-of-erase action, which may end the session.
  if (workflow.Journal().due) host.EraseFinished(workflow.Journal());
  host.StartDriveWatch();
  host.ShutdownAfterErase();
  return result;
}

}  // namespace plexi
