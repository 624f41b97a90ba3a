// What the erase workflow and the erase worker share: the parameters worked
// out before an erase, and the flags each side writes at a defined moment.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "platform/platform.h"

namespace plexi {

// Set by the workflow before the worker starts; the resume point is also
// written by the worker in a GUI step when a cancel arrives.
struct EraseParameters {
  platform::Device* DriveHandle = nullptr;
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
  uint32_t ResumeChunk = 0;
  int32_t ResumePass = 0;
  int32_t EraseMethod = 0;
  bool VerifyData = false;
};

// The cancel request is polled by the worker while it runs; the other
// fields are written by the worker at its very end and read by the workflow
// only after the worker has ended.
struct EraseFlags {
  std::atomic<bool> CancelRequested{false};
  bool EraseFailed = false;
  bool VerifyPassed = false;
  // Bytes the worker wrote to the drive, so that an outcome can say whether
  // the drive was touched at all.
  uint64_t BytesWritten = 0;
  std::string LastErrorText;
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
};

}  // namespace plexi
