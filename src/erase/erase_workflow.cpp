#include "erase/erase_workflow.h"

#include <limits>

#include "platform/winconst.h"

namespace plexi {

namespace {

// Method names of the re-erase question.
std::string RecordedMethodName(int32_t method) {
  if (method == 0) return "ゼロ";
  if (method == 1) return "255とゼロ";
  return "米国陸軍方式";
}

bool ValidMethod(int32_t method) { return method >= 0 && method <= 2; }

}  // namespace

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

std::string DriveLabelOf(const DriveRow& row) { return row.caption + " （" + row.letters + "）"; }

std::string ConfirmationText(const ConfirmationFacts& f) {
  std::string text = "***** ドライブのデータを全て消去します。*****";
  text += "\n\nドライブ > " + f.drive_label;
  text += "\n\nセクタ当たりのバイト数 > " + std::to_string(f.bytes_per_sector);
  text += "\n総セクタ数 > " + std::to_string(f.total_sectors);
  text += "\nドライブサイズ > " + FormatSize(f.total_sectors * f.bytes_per_sector);
  text += f.resumed ? "\n消去方式 > " + EraseMethodText(f.method, MethodTextForm::kLong) : "\n";
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

EraseWorkflow::EraseWorkflow(platform::Machine& machine, EraseUi& ui, EraseEnvironment& env,
                             EstimateState& estimate, Pacing pacing)
    : machine_(machine), ui_(ui), env_(env), estimate_(estimate), pacing_(pacing) {}

bool EraseWorkflow::LockDrive(platform::Device& device, uint32_t* error) {
  platform::IoResult r = device.Control(win32::kFsctlLockVolume, nullptr, 0, nullptr, 0);
  if (!r.ok && error) *error = r.error;
  return r.ok;
}

bool EraseWorkflow::UnlockDrive(platform::Device& device, uint32_t* error) {
  platform::IoResult r = device.Control(win32::kFsctlUnlockVolume, nullptr, 0, nullptr, 0);
  if (!r.ok && error) *error = r.error;
  return r.ok;
}

void EraseWorkflow::CloseDrive() {
  for (std::unique_ptr<platform::Device>& volume : held_volumes_) UnlockDrive(*volume, nullptr);
  held_volumes_.clear();
  drive_.reset();
  params_.DriveHandle = nullptr;
}

// Windows refuses writes into the sectors of a mounted file system, so every
// lettered volume on the disk is opened, locked and dismounted first and held
// so until the erase ends. A volume that cannot be taken stops the erase
// before anything is written.
bool EraseWorkflow::TakeVolumesOfDisk(uint32_t disk) {
  for (char letter : LettersOf(machine_)) {
    const std::string path = DriveDesignator::Letter(letter).DevicePath();
    if (!VolumeLiesOnDisk(machine_, path, disk)) continue;
    platform::OpenResult opened = machine_.OpenDevice(path, platform::Access::kReadWrite);
    uint32_t error = opened.error;
    bool taken = opened.ok() && LockDrive(*opened.device, &error);
    if (taken) {
      platform::IoResult r = opened.device->Control(win32::kFsctlDismountVolume, nullptr, 0, nullptr, 0);
      taken = r.ok;
      error = r.error;
      if (!taken) UnlockDrive(*opened.device, nullptr);
    }
    if (!taken) {
      ui_.ShowMessage(std::string("ドライブ ") + letter +
                      ": を使用中のため、消去できません。このドライブを使っているプログラムを終了してから、もう一度実行して下さい。\r\n" +
                      SystemErrorText(machine_, error));
      return false;
    }
    held_volumes_.push_back(std::move(opened.device));
  }
  return true;
}

// Opens the drive for the erase and works out the chunk layout.
bool EraseWorkflow::OpenDrive(const std::string& device_path, ViewMode view, uint64_t* total_sectors) {
  platform::OpenResult opened = machine_.OpenDevice(device_path, platform::Access::kReadWrite);
  if (!opened.ok()) {
    ui_.ShowMessage(SystemErrorText(machine_, opened.error));
    return false;
  }
  drive_ = std::move(opened.device);
  params_.DriveHandle = drive_.get();

  std::optional<DriveExtent> extent;
  if (view == ViewMode::kPartition) extent = ProbePartitionSize(machine_, ui_, *drive_);
  uint32_t error = 0;
  if (!extent) {
    extent = DriveGeometry(*drive_, &error);
    // The geometry counts whole cylinders only; the sectors of the last,
    // partial cylinder would be left unerased. The exact length covers them.
    std::optional<uint64_t> length = extent ? DriveLength(*drive_) : std::nullopt;
    if (length && *length / extent->sector_size > extent->sector_count)
      extent->sector_count = *length / extent->sector_size;
  }
  if (!extent) {
    ui_.ShowMessage(SystemErrorText(machine_, error));
    CloseDrive();
    return false;
  }
  const uint64_t sectors = extent->sector_count;
  const uint32_t per_chunk = ChooseSectorsPerChunk(sectors, kSectorsPerChunkLimit);
  const uint64_t chunks = sectors / per_chunk;
  const uint64_t chunk_bytes = uint64_t(extent->sector_size) * per_chunk;
  // The resume record counts chunks in 32 bits; a drive that would need more
  // (one-sector chunks on a drive of 2^32 sectors or more) cannot be erased
  // resumably, so it is refused before anything is written.
  if (sectors == 0 || chunks > std::numeric_limits<uint32_t>::max() ||
      chunk_bytes > std::numeric_limits<int32_t>::max()) {
    ui_.ShowMessage(sectors == 0 ? "このドライブには消去できるセクタがありません。"
                                 : "このドライブのセクタ数では区切りよく消去できないため、消去できません。");
    CloseDrive();
    return false;
  }
  params_.BytesPerSector = extent->sector_size;
  params_.SectorsPerChunk = per_chunk;
  params_.ChunkCount = uint32_t(chunks);
  params_.ChunkBytes = uint32_t(chunk_bytes);
  params_.EraseTotalBytes = sectors * extent->sector_size;
  *total_sectors = sectors;
  return true;
}

// The question about an earlier record: whether this is a resumed erase, or
// nothing when the user declined a second erase.
std::optional<bool> EraseWorkflow::AskAboutEarlierRecord(int record) {
  if (record == 0) {
    if (ui_.AskYesNo("前回の処理情報が見つかりました。途中から続行しますか？", "確認", EraseUi::Icon::kNone))
      return true;
    params_.ResumeChunk = 0;
    params_.ResumePass = 0;
    params_.EraseMethod = 0;
    return false;
  }
  if (record == 1) {
    std::string text = RecordedMethodName(params_.EraseMethod) + "で消去が完了したドライブです。もう一度消去しますか？";
    if (!ui_.AskYesNo(text, "再消去の確認", EraseUi::Icon::kNone)) return std::nullopt;
  }
  return false;
}

int EraseWorkflow::RunErase(const DriveDesignator& designator, const std::string& drive_label, ViewMode view) {
  return RunErase(designator.DevicePath(), designator, drive_label, view);
}

int EraseWorkflow::RunErase(const std::string& device_path, std::optional<DriveDesignator> designator,
                            const std::string& drive_label, ViewMode view) {
  uint64_t total_sectors = 0;
  if (!OpenDrive(device_path, view, &total_sectors)) return -1;

  params_.ResumeChunk = 0;
  EraseRecordFields fields{params_.EraseMethod, params_.ResumeChunk, params_.ResumePass};
  int record = AccessEraseRecord(machine_, ui_, *drive_, params_.BytesPerSector, RecordMode::kRead, false, fields).result;
  // A record from the drive is untrusted: a resume point must name a real
  // method, a write pass of it and a chunk of this drive.
  if (record == 0 && (!ValidMethod(fields.EraseMethod) || fields.ResumePass < 0 ||
                      fields.ResumePass > fields.EraseMethod || fields.ResumeChunk > params_.ChunkCount))
    record = -1;
  params_.EraseMethod = ValidMethod(fields.EraseMethod) ? fields.EraseMethod : 0;
  params_.ResumeChunk = fields.ResumeChunk;
  params_.ResumePass = fields.ResumePass;

  std::optional<bool> resumed = AskAboutEarlierRecord(record);
  if (!resumed) {
    CloseDrive();
    return -1;
  }
  if (!*resumed) {
    params_.ResumeChunk = 0;
    params_.ResumePass = 0;
  }

  ConfirmRequest request;
  request.caption = std::string("ドライブ消去の最終確認") + (*resumed ? " （継続消去）" : "");
  request.text = ConfirmationText({drive_label, params_.BytesPerSector, total_sectors, *resumed,
                                   params_.EraseMethod, record == -1});
  request.method = params_.EraseMethod;
  request.method_enabled = !*resumed;
  request.drive = drive_.get();
  request.bytes_per_sector = params_.BytesPerSector;
  request.designator = designator;
  ConfirmChoice choice = ui_.ConfirmErase(request);
  if (!choice.ok) {
    CloseDrive();
    return -1;
  }
  params_.VerifyData = choice.verify;
  flags_.VerifyPassed = true;
  if (!*resumed && ValidMethod(choice.method)) params_.EraseMethod = choice.method;

  flags_.CancelRequested = false;
  flags_.EraseFailed = false;
  flags_.LastErrorText.clear();
  uint32_t error = 0;
  if (!LockDrive(*drive_, &error)) {
    ui_.ShowMessage(SystemErrorText(machine_, error));
    CloseDrive();
    return -1;
  }
  if (designator && designator->IsPhysical() && !TakeVolumesOfDisk(designator->number())) {
    UnlockDrive(*drive_, nullptr);
    CloseDrive();
    return -1;
  }
  env_.UpdateEraseCount(1);

  ProgressRequest progress{"ドライブのデータを消去中 ・・・", "ドライブ > " + drive_label, params_.VerifyData,
                           params_.EraseTotalBytes};
  ui_.RunProgress(progress, [this](ProgressView& view, GuiDispatcher& gui) {
    return std::make_unique<TPlexiscrubThread>(TPlexiscrubThread::Context{
        params_, flags_, machine_, ui_, gui, view, estimate_, pause_, pacing_});
  });

  const int result = DecideOutcome(choice.save_history, drive_label);
  if (!UnlockDrive(*drive_, &error)) env_.ReportError(SystemErrorText(machine_, error), drive_label);
  env_.UpdateEraseCount(2);
  CloseDrive();
  return result;
}

int EraseWorkflow::DecideOutcome(bool save_history, const std::string& drive_label) {
  if (flags_.CancelRequested) {
    const bool save = env_.Unattended() ||
                      ui_.AskYesNo("途中で中断されました。この情報をドライブに保存すると続きから行えます。\n保存しますか？",
                                   "確認", EraseUi::Icon::kQuestion);
    return save ? WriteRecord(RecordMode::kInterrupt, false, 1, drive_label) : -1;
  }
  if (flags_.EraseFailed || (params_.VerifyData && !flags_.VerifyPassed)) {
    env_.ReportError(flags_.LastErrorText, drive_label);
    return -1;
  }
  return WriteRecord(RecordMode::kFinish, save_history, save_history ? 2 : 0, drive_label);
}

// Writes the record; a write that did not reach the drive is reported and
// the erase counts as not recorded.
int EraseWorkflow::WriteRecord(RecordMode mode, bool save_history, int success_result, const std::string& drive_label) {
  EraseRecordFields fields{params_.EraseMethod, params_.ResumeChunk, params_.ResumePass};
  RecordAccessResult r = AccessEraseRecord(machine_, ui_, *drive_, params_.BytesPerSector, mode, save_history, fields);
  if (r.io_ok) return success_result;
  env_.ReportError(SystemErrorText(machine_, r.error), drive_label);
  return -1;
}

std::optional<int> SpeedButton2Click(EraseWorkflow& workflow, EraseUi& ui, EraseButtonHost& host,
                                     std::vector<DriveRow>& rows, std::optional<size_t> selected,
                                     ViewMode view) {
  if (!selected || *selected >= rows.size()) return std::nullopt;
  DriveRow& row = rows[*selected];
  host.RepaintRow(*selected);
  // The button is disabled for such rows; a stale click must still never
  // reach the system drive or a protected one.
  if (row.not_erasable) return std::nullopt;
  const std::string label = DriveLabelOf(row);
  if (!ui.AskOkCancel(label + "\nこのドライブの内容を全て消去しますか？", "データの消去確認")) return std::nullopt;

  host.StopDriveWatch();
  const int result = workflow.RunErase(row.designator, label, view);
  if (result != -1) {
    const int32_t method = workflow.Parameters().EraseMethod;
    row.method_text = EraseMethodText(method);
    row.record_kind = result;
    host.RepaintRow(*selected);
    RowChangeMessage message;
    message.partition_view = view == ViewMode::kPartition;
    message.row_index = uint8_t(*selected);
    message.kind = RowChangeMessage::kEraseResult;
    message.value = uint8_t(method);
    message.record_kind = uint8_t(result);
    host.BroadcastRowChange(message);
  }
  host.StartDriveWatch();
  host.ShutdownAfterErase();
  return result;
}

}  // namespace plexi
