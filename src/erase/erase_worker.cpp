#include "erase/erase_worker.h"

#include <chrono>
#include <algorithm>
#include <cstring>
#include <random>

#include "drives/discovery.h"
#include "drives/drive_types.h"
#include "erase/erase_texts.h"
#include "erase/read_ahead.h"
#include "platform/winconst.h"
#include "record/erase_record.h"

namespace plexi {

namespace {

// The size of one transfer: chunks smaller than this are handed to the drive
// several at a time, larger ones in pieces. Drives and the kernel's block
// layer stream best at a few MiB per request.
constexpr uint32_t kTransferBytes = 4u << 20;

// Buffers of the read-back: one being read while the one before it is
// checked. More buffers let the reads run further ahead, but the checks
// then meet data the cache has dropped: on a memory-backed loop device four
// buffers read back at half the rate of two.
constexpr size_t kReadDepth = 2;

// A transfer that failed on the medium is tried this many times more before
// its sectors are tried one by one.
constexpr int kRetries = 2;
// Sectors in a row that fail every try: past this many the drive counts as
// no longer answering, and the erase ends.
constexpr uint64_t kDeadRunSectors = 2048;

// The buffers are 4096-aligned and whole sectors long, so this reads them
// as 64-bit words, which the compiler turns into wide vector ORs.
bool AllZero(const uint8_t* data, size_t size) {
  const auto* words = reinterpret_cast<const uint64_t*>(data);
  const size_t count = size / 8;
  uint64_t acc = 0;
  for (size_t i = 0; i < count; ++i) acc |= words[i];
  for (size_t i = count * 8; i < size; ++i) acc |= data[i];
  return acc == 0;
}

}  // namespace

void FillRandomPattern(uint8_t* buffer, size_t size) {
  std::random_device seed;
  std::mt19937 generator(seed());
  for (size_t i = 0; i < size; ++i) buffer[i] = uint8_t(generator() % 255);
}

// "2 h 3 min left, 1.33MB/s".
std::string EstimateInEnglish(uint64_t remaining_bytes, int64_t rate) {
  if (rate <= 0) return "time left: calculating";
  const uint64_t seconds = remaining_bytes / uint64_t(rate);
  std::string text;
  if (seconds >= 3600)
    text = std::to_string(seconds / 3600) + " h " + std::to_string(seconds % 3600 / 60) + " min";
  else if (seconds >= 60)
    text = std::to_string(seconds / 60) + " min " + std::to_string(seconds % 60) + " s";
  else
    text = std::to_string(seconds) + " s";
  return text + " left, " + FormatSize(uint64_t(rate)) + "/s";
}

std::string EstimateText(uint64_t remaining_bytes, int64_t rate, Language language) {
  if (language == Language::kEnglish) return EstimateInEnglish(remaining_bytes, rate);
  if (rate <= 0) return "残り 計算中";
  const uint64_t seconds = remaining_bytes / uint64_t(rate);
  std::string text = "残り ";
  if (seconds >= 3600) {
    text += std::to_string(seconds / 3600) + "時間" + std::to_string(seconds % 3600 / 60) + "分";
  } else if (seconds >= 60) {
    text += std::to_string(seconds / 60) + "分" + std::to_string(seconds % 60) + "秒";
  } else {
    text += std::to_string(seconds) + "秒";
  }
  return text + " " + FormatSize(uint64_t(rate)) + "/s";
}

TPlexiscrubThread::TPlexiscrubThread(const EraseParameters& params, Context context)
    : params_(params),
      c_(context),
      device_(*params.DriveHandle),
      chunk_count_(params.ChunkCount),
      bytes_per_sector_(params.BytesPerSector),
      chunk_bytes_(params.ChunkBytes),
      tail_bytes_(params.TailBytes),
      verify_data_(params.VerifyData),
      last_write_pass_(WritePassCount(params.EraseMethod) - 1),
      checkpoints_(params.KeepCheckpoints) {
  chunk_index_ = params_.ResumeChunk;
  const int32_t resume_pass = params_.ResumePass;

  position_ = uint64_t(chunk_index_) * chunk_bytes_;
  // Writing from anywhere but the resume point would skip part of the drive
  // and write another part twice; the erase stops before it starts.
  platform::Result<> positioned = device_.SetPosition(position_);
  if (!positioned.ok()) ReportWorkerError("", positioned.error());
  c_.view.SetWritePosition(position_);

  pass_bytes_ = uint64_t(chunk_bytes_) * chunk_count_ + tail_bytes_;
  remaining_bytes_ = pass_bytes_ * uint64_t(last_write_pass_ + 1);
  chunks_per_call_ = std::max<uint32_t>(1, kTransferBytes / chunk_bytes_);
  pattern_ = std::make_unique<AlignedBuffer>(size_t(chunk_bytes_) * chunks_per_call_);
  RefillForPass(0);
  c_.view.SetWriteMaximum(remaining_bytes_);

  if (chunk_index_ > 0 || resume_pass > 0) {
    record_in_first_sector_ = true;  // the record this erase resumes from
    pass_ = resume_pass;
    const uint64_t done = pass_bytes_ * uint64_t(resume_pass) + uint64_t(chunk_bytes_) * chunk_index_;
    remaining_bytes_ -= done;
    if (pass_ > 0) RefillForPass(pass_);
  }
  if (last_write_pass_ < 0) {
    // Nothing to write (the drive's own purge did it): the read-back only.
    c_.view.SetCaption(InLanguage(c_.language, erase_text::english::kVerifyCaption, erase_text::kVerifyCaption));
    c_.view.SetPassText(InLanguage(c_.language, erase_text::english::kWritingDone, erase_text::kWritingDone));
  } else {
    ShowPassLabel();
  }
  pass_label_offset_ = 2;
  if (verify_data_) remaining_bytes_ += pass_bytes_;
}

TPlexiscrubThread::~TPlexiscrubThread() { static_cast<void>(Join()); }

void TPlexiscrubThread::Start(std::function<void()> on_terminate) {
  on_terminate_ = std::move(on_terminate);
  last_estimate_ = last_checkpoint_ = std::chrono::steady_clock::now();
  thread_ = std::thread([this] { Execute(); });
}

WorkerReport TPlexiscrubThread::Join() {
  if (thread_.joinable()) thread_.join();
  return outcome_;
}

// The pattern of a write pass: the last pass of every method writes zeros,
// the pass before it 0xFF, and the first pass of the third method the
// random bytes.
void TPlexiscrubThread::RefillForPass(int32_t pass) {
  const int32_t from_last = last_write_pass_ - pass;
  if (from_last == 1) {
    pattern_->Fill(0xFF);
  } else if (from_last == 2) {
    // One random chunk, repeated: every chunk of the pass gets the same bytes.
    FillRandomPattern(pattern_->data(), chunk_bytes_);
    for (uint32_t i = 1; i < chunks_per_call_; ++i)
      std::memcpy(pattern_->data() + size_t(i) * chunk_bytes_, pattern_->data(), chunk_bytes_);
  } else {
    pattern_->Fill(0x00);
  }
}

void TPlexiscrubThread::Execute() {
  const bool cancelled = RunPasses();
  if (failed_) ShowProgress(true);
  FinishOutcome(cancelled);
  if (on_terminate_) c_.gui.RunOnGui(on_terminate_);
}

// The write passes, then the read-back when asked for; true when a cancel
// ended them.
bool TPlexiscrubThread::RunPasses() {
  while (!failed_) {
    if (pass_ > last_write_pass_) return !VerifyPass();
    c_.pause.WaitWhilePaused(c_.cancel);
    Sleep(c_.pacing.chunk_ms);
    if (c_.cancel.load()) {
      StopOnCancel();
      return true;
    }
    if (chunk_index_ >= chunk_count_) {
      if (!EndOfPass()) return false;
      continue;  // the next part begins at the top: a pause, a cancel, or the read-back
    }
    const uint32_t done = ProcessChunks();
    if (done == 0) return false;
    const uint64_t bytes = uint64_t(done) * chunk_bytes_;
    remaining_bytes_ -= bytes;
    bytes_since_estimate_ += int64_t(bytes);
    chunk_index_ += done;
    ShowProgress(chunk_index_ >= chunk_count_);
    if (!CheckpointIfDue(bytes)) return false;
  }
  return false;
}

// A checkpoint once the interval or the byte count since the last one is
// reached, while the pass still has chunks to write (a record at a pass's
// end would name a place no resume starts from).
bool TPlexiscrubThread::CheckpointIfDue(uint64_t bytes) {
  bytes_since_checkpoint_ += bytes;
  if (!checkpoints_ || pass_ > last_write_pass_ || chunk_index_ >= chunk_count_) return true;
  const auto elapsed = std::chrono::steady_clock::now() - last_checkpoint_;
  if (bytes_since_checkpoint_ < c_.pacing.checkpoint_bytes && elapsed < std::chrono::milliseconds(c_.pacing.checkpoint_ms))
    return true;
  return WriteCheckpoint(chunk_index_, pass_);
}

// The data first, then the record that vouches for it, each flushed: a
// record that reached the medium before its data would, after a power cut,
// have the next erase skip bytes that were never written. A record that
// cannot be written ends the checkpoints, not the erase (the one before it,
// if any, still claims less than the drive holds).
bool TPlexiscrubThread::WriteCheckpoint(uint32_t chunk, int32_t pass) {
  if (!FlushWrites()) return false;
  EraseRecordFields fields{MethodCode(params_.EraseMethod), chunk, pass, params_.TotalSectors,
                           params_.SectorsPerChunk, true};
  write_attempted_ = true;
  const RecordAccessResult r = AccessEraseRecord(device_, bytes_per_sector_, RecordMode::kInterrupt, false, fields);
  if (r.io_ok) {
    bytes_written_ += bytes_per_sector_;
    record_in_first_sector_ = true;
  } else {
    checkpoints_ = false;
  }
  last_checkpoint_ = std::chrono::steady_clock::now();
  bytes_since_checkpoint_ = 0;
  platform::Result<> back = device_.SetPosition(position_);
  if (back.ok()) return true;
  ReportWorkerError("", back.error(), position_);
  return false;
}

void TPlexiscrubThread::StopOnCancel() {
  ShowProgress(true);
  c_.gui.RunOnGui([this] {  // SaveResumePoint
    outcome_.cancelled = true;
    outcome_.stopped_chunk = chunk_index_;
    outcome_.stopped_pass = pass_;
  });
}

// The end of a pass's chunks: its tail, the flush that puts the pass on the
// medium, then the next pass, whose start is a checkpoint of its own. False
// when the erase ends here.
bool TPlexiscrubThread::EndOfPass() {
  if (tail_bytes_ > 0 && !tail_done_) {
    if (!ProcessTail()) return false;
    tail_done_ = true;
    remaining_bytes_ -= tail_bytes_;
    bytes_since_estimate_ += tail_bytes_;
    return true;  // a cancel now keeps the resume point at the pass's end
  }
  // A write pass is done only once its data is on the medium.
  if (pass_ <= last_write_pass_ && !FlushWrites()) return false;
  if (pass_ >= last_write_pass_ + (verify_data_ ? 1 : 0)) return false;
  if (pass_ < last_write_pass_) RefillForPass(pass_ + 1);
  chunk_index_ = 0;
  tail_done_ = false;
  ChangePass();
  if (checkpoints_ && pass_ < last_write_pass_ && !WriteCheckpoint(0, pass_ + 1)) return false;
  Sleep(c_.pacing.pass_change_ms);
  ++pass_;
  return true;
}

void TPlexiscrubThread::FinishOutcome(bool cancelled) {
  if (!cancelled && !failed_ && verify_data_) {
    const bool nonzero_seen = outcome_.first_nonzero_offset.has_value();
    outcome_.verify_passed = !nonzero_seen;
    if (nonzero_seen)
      ReportWorkerError(InLanguage(c_.language, erase_text::english::kVerifyFailed, erase_text::kVerifyFailed), 0,
                        outcome_.first_nonzero_offset);
  }
  if (failed_) {
    outcome_.stopped_chunk = chunk_index_;
    outcome_.stopped_pass = pass_;
  }
  outcome_.failed = failed_;
  outcome_.bytes_written = bytes_written_;
  outcome_.checkpoint_left = record_in_first_sector_;
  outcome_.write_attempted = write_attempted_;
  outcome_.unwritten = unwritten_.Ranges();
  outcome_.unreadable = unreadable_.Ranges();
}

bool TPlexiscrubThread::FlushWrites() {
  platform::Result<> s = device_.Flush();
  if (s.ok()) return true;
  ReportWorkerError("", s.error());
  return false;
}

// BeginNextPass: back to the start of the drive, and the labels of the pass
// that follows.
void TPlexiscrubThread::ChangePass() {
  Rewind();
  const bool writing_done = pass_ == last_write_pass_;
  c_.gui.RunOnGui([this, writing_done] {
    if (writing_done) {
      c_.view.SetCaption(InLanguage(c_.language, erase_text::english::kVerifyCaption, erase_text::kVerifyCaption));
      c_.view.SetPassText(InLanguage(c_.language, erase_text::english::kWritingDone, erase_text::kWritingDone));
    } else {
      ShowPassLabel();
    }
  });
}

void TPlexiscrubThread::Rewind() {
  platform::Result<> s = device_.SetPosition(0);
  position_ = 0;
  if (!s.ok()) {
    failed_ = true;
    outcome_.error_text = SystemErrorText(c_.machine, s.error());
    outcome_.error_code = s.error();
  }
}

// The next chunks (one, or a few MiB of small ones): written in a write
// pass, read back in the verify pass. Returns how many were done; a failed
// or short transfer ends the erase.
uint32_t TPlexiscrubThread::ProcessChunks() {
  const uint32_t count = std::min(chunks_per_call_, chunk_count_ - chunk_index_);
  const uint32_t bytes = count * chunk_bytes_;
  for (uint32_t done = 0; done < bytes;) {
    const uint32_t piece = std::min(bytes - done, kTransferBytes);
    if (!WritePiece(pattern_->data() + done, piece, piece, position_ + done)) return 0;
    done += piece;
  }
  position_ += bytes;
  return count;
}

// The bytes after the last whole chunk. A part sector at the end of an
// image file is asked for as a whole sector; the device moves what there is.
bool TPlexiscrubThread::ProcessTail() {
  const uint32_t asked = (tail_bytes_ + bytes_per_sector_ - 1) / bytes_per_sector_ * bytes_per_sector_;
  if (!WritePiece(pattern_->data(), asked, tail_bytes_, position_)) return false;
  position_ += tail_bytes_;
  ShowProgress(true);
  return true;
}

// A write at the start of the drive leaves the first sector to the resume
// record it holds: the pass's pattern there would leave no resume point
// until the next checkpoint. The record is not the last thing there: the
// erase's end writes the completion record, or zeros, over it.
bool TPlexiscrubThread::WritePiece(uint8_t* data, uint32_t length, uint32_t expected, uint64_t at) {
  if (at != 0 || !record_in_first_sector_) return Transfer(data, length, expected, at);
  const uint32_t skip = std::min(bytes_per_sector_, expected);
  platform::Result<> placed = device_.SetPosition(expected > skip ? skip : length);
  if (!placed.ok()) {
    ReportWorkerError("", placed.error(), skip);
    return false;
  }
  return expected <= skip || Transfer(data + skip, length - skip, expected - skip, skip);
}

// One write of `length` bytes that must move at least `expected`.
bool TPlexiscrubThread::Transfer(uint8_t* data, uint32_t length, uint32_t expected, uint64_t at) {
  write_attempted_ = true;
  platform::IoResult r = device_.Write(data, length);
  if (r.ok()) bytes_written_ += r.value();
  if (r.ok() && r.value() >= expected) return true;
  // A short transfer carries no error code of its own; name it for what it is.
  return WriteAround(data, length, expected, at, r.ok() ? winconst::kErrorWriteFault : r.error());
}

// A write that failed on the medium is tried again, then sector by sector;
// the sectors that still fail are noted and the erase goes on past them.
bool TPlexiscrubThread::WriteAround(const uint8_t* data, uint32_t length, uint32_t expected, uint64_t at,
                                    uint32_t code) {
  for (int retry = 0; retry < kRetries && IsMediaError(code); ++retry) {
    const platform::IoResult r = WriteAt(data, length, at);
    if (r.ok() && r.value() >= expected) return true;
    code = r.ok() ? winconst::kErrorWriteFault : r.error();
  }
  if (!IsMediaError(code)) {
    ReportWorkerError("", code, at);
    return false;
  }
  return SectorBySector(at, length, expected, winconst::kErrorWriteFault, unwritten_,
                        [&](uint64_t sector_at, uint32_t n) { return WriteAt(data + (sector_at - at), n, sector_at); });
}

platform::IoResult TPlexiscrubThread::WriteAt(const uint8_t* data, uint32_t length, uint64_t at) {
  platform::Result<> placed = device_.SetPosition(at);
  if (!placed.ok()) return platform::IoResult::Failure(placed.error());
  platform::IoResult r = device_.Write(data, length);
  if (r.ok()) bytes_written_ += r.value();
  return r;
}

platform::IoResult TPlexiscrubThread::ReadAt(uint8_t* data, uint32_t length, uint64_t at) {
  platform::Result<> placed = device_.SetPosition(at);
  if (!placed.ok()) return platform::IoResult::Failure(placed.error());
  return device_.Read(data, length);
}

// The sectors of a failed transfer one at a time: those that fail on the
// medium are noted, and the device is left after the transfer. A run of
// failures this long, or an error that is not the medium's, means the drive
// no longer answers: the erase ends there, as for any failure.
bool TPlexiscrubThread::SectorBySector(uint64_t at, uint32_t length, uint32_t expected, uint32_t short_code,
                                       SectorExceptions& noted, const SectorIo& io) {
  uint64_t run_start = at;
  uint64_t run = 0;
  for (uint64_t sector_at = at; sector_at < at + expected; sector_at += bytes_per_sector_) {
    const uint32_t wanted = uint32_t(std::min<uint64_t>(bytes_per_sector_, at + expected - sector_at));
    const platform::IoResult r = io(sector_at, bytes_per_sector_);
    if (r.ok() && r.value() >= wanted) {
      run = 0;
      continue;
    }
    const uint32_t code = r.ok() ? short_code : r.error();
    if (run++ == 0) run_start = sector_at;
    if (IsMediaError(code)) noted.Add(sector_at / bytes_per_sector_, code);
    if (!IsMediaError(code) || run >= kDeadRunSectors) {
      ReportWorkerError("", code, run_start);
      return false;
    }
  }
  platform::Result<> placed = device_.SetPosition(at + length);
  if (placed.ok()) return true;
  ReportWorkerError("", placed.error(), at + length);
  return false;
}

// The read-back, from the start of the drive: the reads are kept a few
// transfers ahead on a thread of their own while each one read is checked
// here, in the order of the write passes' transfers. A read that fails on
// the medium is read around, as a failed write is written around, and the
// reads start again after it. False when cancelled.
bool TPlexiscrubThread::VerifyPass() {
  const uint64_t body_bytes = uint64_t(chunk_bytes_) * chunk_count_;
  const uint32_t tail_asked = (tail_bytes_ + bytes_per_sector_ - 1) / bytes_per_sector_ * bytes_per_sector_;
  const auto started = std::chrono::steady_clock::now();
  struct Timer {  // notes the duration on every way out
    std::chrono::steady_clock::time_point started;
    uint64_t& ms;
    ~Timer() {
      ms = uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count());
    }
  } timer{started, outcome_.read_back_ms};
  std::unique_ptr<ReadAhead> reads = StartReads(0, tail_asked);
  while (reads) {
    c_.pause.WaitWhilePaused(c_.cancel);
    Sleep(c_.pacing.chunk_ms);
    if (c_.cancel.load()) {
      reads->Stop();
      ShowProgress(true);
      outcome_.verify_cut_short = true;  // the writing is complete: a finished erase
      return false;
    }
    std::optional<ReadAhead::Block> block = reads->Next();
    if (!block) break;
    // A part sector at the end of an image file is asked for as a whole one.
    const uint32_t expected = position_ >= body_bytes ? tail_bytes_ : block->asked;
    if (!CheckBlock(*block, expected, reads, tail_asked)) {
      outcome_.read_back_failed = true;
      ShowProgress(true);
      return true;
    }
    position_ += expected;
    chunk_index_ = uint32_t(std::min<uint64_t>(position_ / chunk_bytes_, chunk_count_));
    remaining_bytes_ -= expected;
    bytes_since_estimate_ += expected;
    ShowProgress(false);
  }
  ShowProgress(true);
  return true;
}

// One read of the read-back, checked; a failed one is read around, and
// the reads start again after it. False when the drive no longer answers.
bool TPlexiscrubThread::CheckBlock(const ReadAhead::Block& block, uint32_t expected,
                                   std::unique_ptr<ReadAhead>& reads, uint32_t tail_asked) {
  const platform::IoResult& r = block.result;
  if (r.ok() && r.value() >= expected) {
    outcome_.bytes_read += expected;
    NoteReadBack(position_, block.data, expected);
    return true;
  }
  const uint32_t asked = block.asked;
  const uint32_t code = r.ok() ? winconst::kErrorReadFault : r.error();
  reads.reset();  // the device is this thread's alone again
  if (!ReadAround(position_, asked, expected, code)) return false;
  reads = StartReads(position_ + expected, tail_asked);
  return true;
}

// The reads from `at` on, with the lengths the read-back has there; none
// when the drive cannot be placed there (the failure is noted).
std::unique_ptr<ReadAhead> TPlexiscrubThread::StartReads(uint64_t at, uint32_t tail_asked) {
  platform::Result<> placed = device_.SetPosition(at);
  if (!placed.ok()) {
    ReportWorkerError("", placed.error(), at);
    outcome_.read_back_failed = true;
    return nullptr;
  }
  ReadAhead::NextLength lengths = VerifyReadLengths(tail_asked);
  for (uint64_t skipped = 0; skipped < at;) {
    const std::optional<uint32_t> length = lengths();
    if (!length) break;
    skipped += *length;
  }
  return std::make_unique<ReadAhead>(device_, std::move(lengths), std::max(kTransferBytes, tail_asked), kReadDepth);
}

// A read-back transfer that failed: tried again, then read sector by sector.
// What reads is checked as any read-back is; what does not is noted.
bool TPlexiscrubThread::ReadAround(uint64_t at, uint32_t length, uint32_t expected, uint32_t code) {
  AlignedBuffer buffer(length);
  for (int retry = 0; retry < kRetries && IsMediaError(code); ++retry) {
    const platform::IoResult r = ReadAt(buffer.data(), length, at);
    if (r.ok() && r.value() >= expected) {
      outcome_.bytes_read += expected;
      NoteReadBack(at, buffer.data(), expected);
      return device_.SetPosition(at + length).ok();
    }
    code = r.ok() ? winconst::kErrorReadFault : r.error();
  }
  if (!IsMediaError(code)) {
    ReportWorkerError("", code, at);
    return false;
  }
  return SectorBySector(at, length, expected, winconst::kErrorReadFault, unreadable_,
                        [&](uint64_t sector_at, uint32_t n) {
                          const platform::IoResult r = ReadAt(buffer.data(), n, sector_at);
                          const uint32_t wanted = uint32_t(std::min<uint64_t>(n, at + expected - sector_at));
                          if (r.ok() && r.value() >= wanted) {
                            outcome_.bytes_read += wanted;
                            NoteReadBack(sector_at, buffer.data(), wanted);
                          }
                          return r;
                        });
}

// The lengths of the read-back's transfers: the write passes' transfers, so
// that a drive answers the read-back exactly as it answered the writes.
ReadAhead::NextLength TPlexiscrubThread::VerifyReadLengths(uint32_t tail_asked) const {
  struct Cursor {
    uint32_t chunk = 0;        // chunks started
    uint64_t group_left = 0;   // bytes left of the current group of chunks
    bool tail_given = false;
  };
  return [=, this, cursor = Cursor{}]() mutable -> std::optional<uint32_t> {
    if (cursor.group_left == 0) {
      if (cursor.chunk >= chunk_count_) {
        if (tail_bytes_ == 0 || cursor.tail_given) return std::nullopt;
        cursor.tail_given = true;
        return tail_asked;
      }
      const uint32_t count = std::min(chunks_per_call_, chunk_count_ - cursor.chunk);
      cursor.chunk += count;
      cursor.group_left = uint64_t(count) * chunk_bytes_;
    }
    const uint32_t piece = uint32_t(std::min<uint64_t>(cursor.group_left, kTransferBytes));
    cursor.group_left -= piece;
    return piece;
  };
}

// Bytes just read back at `at`: the first one that is not zero is kept,
// except in sectors no write reached (listed already as unwritten) and in
// the first sector while it holds this erase's resume record.
void TPlexiscrubThread::NoteReadBack(uint64_t at, const uint8_t* data, uint32_t length) {
  if (outcome_.first_nonzero_offset || AllZero(data, length)) return;
  const uint8_t* end = data + length;
  for (const uint8_t* p = data; (p = std::find_if(p, end, [](uint8_t b) { return b != 0; })) != end;) {
    const uint64_t offset = at + uint64_t(p - data);
    const uint64_t sector = offset / bytes_per_sector_;
    const std::optional<uint64_t> past =
        sector == 0 && record_in_first_sector_ ? std::optional<uint64_t>(1) : unwritten_.EndOfRangeAt(sector);
    if (!past) {
      outcome_.first_nonzero_offset = offset;
      return;
    }
    p = data + std::min<uint64_t>(length, *past * bytes_per_sector_ - at);
  }
}

// The bar of the current pass and the remaining time, at most as often as
// the pacing allows unless `now` asks for it (a pass's end, a stop).
void TPlexiscrubThread::ShowProgress(bool now) {
  const auto clock = std::chrono::steady_clock::now();
  if (!now && clock - last_progress_ < std::chrono::milliseconds(c_.pacing.progress_ms)) return;
  last_progress_ = clock;
  const bool writing = pass_ <= last_write_pass_;
  const uint64_t shown = writing ? pass_bytes_ * uint64_t(pass_) + position_ : position_;
  c_.gui.RunOnGui([this, shown, writing] {
    if (writing) {
      c_.view.SetWritePosition(shown);
    } else {
      c_.view.SetVerifyPosition(shown);
    }
    ShowEstimate();
  });
}

void TPlexiscrubThread::ReportWorkerError(const std::string& text, uint32_t code, std::optional<uint64_t> at) {
  failed_ = true;
  outcome_.error_text = text.empty() ? SystemErrorText(c_.machine, code) : text;
  outcome_.error_code = code;
  outcome_.error_offset = at;
}

void TPlexiscrubThread::ShowPassLabel() {
  c_.view.SetPassText(erase_text::PassLine(pass_ + pass_label_offset_, last_write_pass_ + 1, c_.language));
}

// The remaining time from the measured speed: bytes handled since the last
// update over the time it took, smoothed with the previous rate. Updated at
// most twice a second so the label stays readable.
void TPlexiscrubThread::ShowEstimate() {
  if (bytes_since_estimate_ <= 0) return;
  const auto now = std::chrono::steady_clock::now();
  const double seconds = std::chrono::duration<double>(now - last_estimate_).count();
  if (seconds < 0.5) return;
  const int64_t sample = int64_t(double(bytes_since_estimate_) / seconds);
  int64_t& average = c_.estimate.AverageBytesPerSecond;
  average = (sample + average) / 2;
  c_.view.SetEstimateText(EstimateText(remaining_bytes_, average, c_.language));
  bytes_since_estimate_ = 0;
  last_estimate_ = now;
}

void TPlexiscrubThread::Sleep(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace plexi
