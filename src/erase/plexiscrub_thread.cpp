#include "erase/plexiscrub_thread.h"

#include <chrono>
#include <cstring>
#include <new>
#include <random>

#include "drives/discovery.h"
#include "drives/drive_types.h"
#include "platform/winconst.h"

namespace plexi {

namespace {

constexpr std::align_val_t kBufferAlignment{4096};

bool AllZero(const uint8_t* data, size_t size) {
  uint64_t acc = 0;
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    uint64_t word;
    std::memcpy(&word, data + i, 8);
    acc |= word;
  }
  for (; i < size; ++i) acc |= data[i];
  return acc == 0;
}

}  // namespace

ChunkBuffer::ChunkBuffer(size_t size)
    : data_(static_cast<uint8_t*>(::operator new(size, kBufferAlignment))), size_(size) {}

ChunkBuffer::~ChunkBuffer() { ::operator delete(data_, kBufferAlignment); }

void FillRandomPattern(uint8_t* buffer, size_t size) {
  std::random_device seed;
  std::mt19937 generator(seed());
  for (size_t i = 0; i < size; ++i) buffer[i] = uint8_t(generator() % 255);
}

std::string EstimateText(uint64_t remaining_bytes, int64_t rate) {
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

TPlexiscrubThread::TPlexiscrubThread(Context context)
    : c_(context),
      device_(*context.params.DriveHandle),
      chunk_count_(context.params.ChunkCount),
      bytes_per_sector_(context.params.BytesPerSector),
      chunk_bytes_(context.params.ChunkBytes),
      verify_data_(context.params.VerifyData),
      erase_method_(context.params.EraseMethod) {
  chunk_index_ = c_.params.ResumeChunk;
  const int32_t resume_pass = c_.params.ResumePass;

  position_ = uint64_t(chunk_index_) * chunk_bytes_;
  SeekToSector(c_.machine, c_.notifier, device_, position_ / bytes_per_sector_, bytes_per_sector_);
  c_.view.SetWritePosition(position_);

  pass_bytes_ = uint64_t(chunk_bytes_) * chunk_count_;
  remaining_bytes_ = pass_bytes_ * uint64_t(erase_method_ + 1);
  pattern_ = std::make_unique<ChunkBuffer>(chunk_bytes_);
  RefillForPass(0);
  c_.view.SetWriteMaximum(remaining_bytes_);

  if (chunk_index_ > 0 || resume_pass > 0) {
    pass_ = resume_pass;
    const uint64_t done = pass_bytes_ * uint64_t(resume_pass) + uint64_t(chunk_bytes_) * chunk_index_;
    remaining_bytes_ -= done;
    if (pass_ > 0) RefillForPass(pass_);
  }
  ShowPassLabel();
  pass_label_offset_ = 2;
  if (verify_data_) remaining_bytes_ += pass_bytes_;
}

TPlexiscrubThread::~TPlexiscrubThread() { Join(); }

void TPlexiscrubThread::Start(std::function<void()> on_terminate) {
  on_terminate_ = std::move(on_terminate);
  last_estimate_ = std::chrono::steady_clock::now();
  thread_ = std::thread([this] { Execute(); });
}

void TPlexiscrubThread::Join() {
  if (thread_.joinable()) thread_.join();
}

// The pattern of a write pass: the last pass of every method writes zeros,
// the pass before it 0xFF, and the first pass of the third method the
// random bytes.
void TPlexiscrubThread::RefillForPass(int32_t pass) {
  const int32_t from_last = erase_method_ - pass;
  if (from_last == 1) {
    std::memset(pattern_->data(), 0xFF, chunk_bytes_);
  } else if (from_last == 2) {
    FillRandomPattern(pattern_->data(), chunk_bytes_);
  } else {
    std::memset(pattern_->data(), 0x00, chunk_bytes_);
  }
}

void TPlexiscrubThread::Execute() {
  const uint32_t start_chunk = chunk_index_;
  bool cancelled = false;
  bool nonzero_seen = false;
  for (;;) {
    c_.pause.WaitWhilePaused(c_.flags.CancelRequested);
    Sleep(c_.pacing.chunk_ms);
    if (c_.flags.CancelRequested.load()) {
      cancelled = true;
      if (pass_ <= erase_method_) {
        c_.gui.RunOnGui([this] {  // SaveResumePoint
          c_.params.ResumeChunk = chunk_index_;
          c_.params.ResumePass = pass_;
        });
      } else {
        c_.flags.CancelRequested = false;  // the writing is complete
      }
      break;
    }
    if (chunk_index_ >= chunk_count_) {
      if (pass_ >= erase_method_ + (verify_data_ ? 1 : 0)) break;
      if (pass_ < erase_method_) RefillForPass(pass_ + 1);
      chunk_index_ = 0;
      ChangePass();
      if (start_chunk != 0 && pass_ == erase_method_) {
        // A resumed erase about to verify: its first sector still holds the
        // resume record unless this run wrote it again.
        device_.Write(pattern_->data(), bytes_per_sector_);
        ChangePass();
      }
      Sleep(c_.pacing.pass_change_ms);
      ++pass_;
    }
    if (!ProcessChunk()) break;
    if (pass_ > erase_method_ && !AllZero(pattern_->data(), chunk_bytes_)) nonzero_seen = true;
    remaining_bytes_ -= chunk_bytes_;
    bytes_since_estimate_ += chunk_bytes_;
    ++chunk_index_;
    c_.gui.RunOnGui([this] { ShowEstimate(); });
  }
  if (!cancelled && !failed_ && verify_data_) {
    c_.flags.VerifyPassed = !nonzero_seen;
    if (nonzero_seen) ReportWorkerError(kVerifyFailedText, 0);
  }
  c_.flags.EraseFailed = failed_;
  if (on_terminate_) c_.gui.RunOnGui(on_terminate_);
}

// BeginNextPass: back to the start of the drive, and the labels of the pass
// that follows.
bool TPlexiscrubThread::ChangePass() {
  Rewind();
  const bool writing_done = pass_ == erase_method_;
  c_.gui.RunOnGui([this, writing_done] {
    if (writing_done) {
      c_.view.SetCaption("データの消去を確認中 ・・・");
      c_.view.SetPassText("消去完了");
    } else {
      ShowPassLabel();
    }
  });
  return true;
}

void TPlexiscrubThread::Rewind() {
  platform::Status s = device_.SetPosition(0);
  position_ = 0;
  if (!s.ok()) {
    failed_ = true;
    c_.flags.LastErrorText = SystemErrorText(c_.machine, s.error);
  }
}

// One chunk: written in a write pass, read back and checked in the verify
// pass. A failed or short transfer ends the erase.
bool TPlexiscrubThread::ProcessChunk() {
  if (pass_ <= erase_method_) {
    platform::IoResult w = device_.Write(pattern_->data(), chunk_bytes_);
    if (!w.ok || w.bytes != chunk_bytes_) {
      // A short write carries no error code of its own; name it for what it is.
      ReportWorkerError("", w.ok ? win32::kErrorWriteFault : w.error);
      return false;
    }
    position_ += chunk_bytes_;
    const uint64_t shown = pass_bytes_ * uint64_t(pass_) + position_;
    c_.gui.RunOnGui([this, shown] { c_.view.SetWritePosition(shown); });
    return true;
  }
  platform::IoResult r = device_.Read(pattern_->data(), chunk_bytes_);
  if (!r.ok || r.bytes != chunk_bytes_) {
    ReportWorkerError("", r.ok ? win32::kErrorReadFault : r.error);
    return false;
  }
  position_ += chunk_bytes_;
  const uint64_t shown = position_;
  c_.gui.RunOnGui([this, shown] { c_.view.SetVerifyPosition(shown); });
  return true;
}

void TPlexiscrubThread::ReportWorkerError(const std::string& text, uint32_t code) {
  failed_ = true;
  c_.flags.LastErrorText = text.empty() ? SystemErrorText(c_.machine, code) : text;
}

void TPlexiscrubThread::ShowPassLabel() {
  c_.view.SetPassText("現在の工程 " + std::to_string(pass_ + pass_label_offset_) + " / " +
                      std::to_string(erase_method_ + 1));
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
  c_.view.SetEstimateText(EstimateText(remaining_bytes_, average));
  bytes_since_estimate_ = 0;
  last_estimate_ = now;
}

void TPlexiscrubThread::Sleep(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace plexi
