// What the erase workflow hands the erase worker and gets back from it: the
// parameters worked out before an erase (the worker takes a copy), the
// outcome the worker returns when it ends, and what both sides share while
// it runs: the cancel request and the pause gate.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "erase/sector_exceptions.h"
#include "record/erase_method.h"
#include "platform/platform.h"

namespace plexi {

// Worked out by the workflow before the worker starts; the worker is made
// with its own copy and never changes it.
struct EraseParameters {
  platform::Device* DriveHandle = nullptr;  // the worker's alone while it runs
  uint64_t EraseTotalBytes = 0;
  uint64_t TotalSectors = 0;
  uint32_t BytesPerSector = 0;
  uint32_t SectorsPerChunk = 0;
  uint32_t ChunkCount = 0;
  uint32_t ChunkBytes = 0;
  // Bytes after the last whole chunk, written (and read back) at the end of
  // every pass: the sectors a chunk layout of a huge drive leaves over, and
  // the part sector at the end of an image file.
  uint32_t TailBytes = 0;
  // Where the worker starts: a resumed erase's chunk and pass.
  uint32_t ResumeChunk = 0;
  int32_t ResumePass = 0;
  OverwriteMethod EraseMethod = OverwriteMethod::kZeros;
  bool VerifyData = false;
  // The worker keeps a resume record in the first sector up to date while
  // it writes, so that an erase cut short without warning (a power cut, a
  // crash) can still continue. Off for what is never resumed (the zero
  // pass after a purge).
  bool KeepCheckpoints = false;
};

// What the worker returns once it has ended. An erase that never ran is a
// failure, so the defaults never pass for a finished erase.
struct WorkerReport {
  bool failed = true;
  // False only when the read-back found bytes that are not zero.
  bool verify_passed = true;
  // Stopped on a cancel during a write pass; the stop point is then the
  // resume point. A cancel during the read-back leaves a finished erase.
  bool cancelled = false;
  // A cancel arrived during the read-back: the writing is complete, the
  // read-back is not.
  bool verify_cut_short = false;
  // A read of the read-back failed: every pass was written.
  bool read_back_failed = false;
  // Where the worker stopped on a cancel or a failure: the chunk it was
  // about to write (or read) and its pass.
  uint32_t stopped_chunk = 0;
  int32_t stopped_pass = 0;
  // Bytes the worker wrote to the drive, so that an outcome can say whether
  // the drive was touched at all.
  uint64_t bytes_written = 0;
  // A write was sent: a failed one may have changed the drive too.
  bool write_attempted = false;
  // The first sector holds a resume record of this erase (a checkpoint, or
  // the record it resumed from): an end that keeps no resume point clears it.
  bool checkpoint_left = false;
  std::string error_text;
  // The Windows code behind error_text (0 for a verification failure), and
  // the byte at which the failed transfer began.
  uint32_t error_code = 0;
  std::optional<uint64_t> error_offset;
  // The read-back: bytes it read, and the first byte it found not zero.
  uint64_t bytes_read = 0;
  std::optional<uint64_t> first_nonzero_offset;
  // How long the read-back took, from its first read to its last check.
  uint64_t read_back_ms = 0;
  // Sectors that failed every try, in a write pass and in the read-back;
  // the rest of the drive was written (and read) around them.
  std::vector<SectorRange> unwritten, unreadable;
  bool HasExceptions() const { return !unwritten.empty() || !unreadable.empty(); }
};

// Runs a step on the GUI thread and waits until it has run.
class GuiDispatcher {
 public:
  virtual ~GuiDispatcher() = default;
  virtual void RunOnGui(const std::function<void()>& step) = 0;
};

// The progress dialog as the worker sees it.
class ProgressView {
 public:
  virtual ~ProgressView() = default;
  virtual void SetWriteMaximum(uint64_t max) = 0;
  virtual void SetWritePosition(uint64_t position) = 0;
  virtual void SetVerifyPosition(uint64_t position) = 0;
  virtual void SetPassText(const std::string& text) = 0;
  virtual void SetEstimateText(const std::string& text) = 0;
  virtual void SetCaption(const std::string& text) = 0;
};

// Holds the worker between chunks while the owner has it paused (the
// shutdown settings dialog is open); a cancel request releases it.
class PauseGate {
 public:
  void Pause();
  void Resume();
  bool Paused() const;
  void WaitWhilePaused(const std::atomic<bool>& cancel);

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool paused_ = false;
};

// The smoothed transfer rate (bytes per second) from which the remaining
// time is shown; it lives as long as the main window, so a new erase starts
// from the last one's speed, and is touched only in GUI steps.
struct EstimateState {
  int64_t AverageBytesPerSecond = 262144;
};

// Waits inside the run loop: none between chunks (the drive sets the pace;
// the window stays responsive through its own message loop), and a second
// at every pass change, so the user can see the pass line change.
struct Pacing {
  int chunk_ms = 0;
  int pass_change_ms = 1000;
  // A lock refused because another program briefly holds the volume (an
  // indexer, a virus scanner) is tried again for a few seconds.
  int lock_attempts = 20;
  int lock_retry_ms = 250;
  // The progress bars are redrawn at most this often: every redraw is a
  // round trip to the window's thread that the drive would wait for.
  int progress_ms = 250;
  // Between two status polls of a drive's own purge.
  int purge_poll_ms = 1000;
  // A checkpoint (data flushed, then the resume record brought up to date)
  // at least this often while writing, and after at most this many bytes;
  // either comes first.
  int checkpoint_ms = 30000;
  uint64_t checkpoint_bytes = uint64_t(4) << 30;
};

}  // namespace plexi
