// The erase worker: overwrites the drive chunk by chunk, pass by pass, with
// the pattern of the erase method, and reads it back when asked. Everything
// it shows goes through synchronous steps on the GUI thread.
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "erase/worker_interface.h"
#include "erase/read_ahead.h"
#include "errors/error_report.h"
#include "platform/aligned_buffer.h"
#include "platform/platform.h"
#include "util/language.h"

namespace plexi {


// Fills `buffer` with pseudo-random bytes that are never 0xFF.
void FillRandomPattern(uint8_t* buffer, size_t size);

// "残り 2時間3分 1.33MB/s": remaining bytes at the given rate.
std::string EstimateText(uint64_t remaining_bytes, int64_t rate, Language language = Language::kJapanese);

class TPlexiscrubThread {
 public:
  // What the worker uses besides its parameters. Only the cancel request
  // and the pause gate are shared with other threads while it runs; the
  // rest is touched in GUI steps or is the worker's alone.
  struct Context {
    const std::atomic<bool>& cancel;
    PauseGate& pause;
    platform::Machine& machine;
    Notifier& notifier;
    GuiDispatcher& gui;
    ProgressView& view;
    EstimateState& estimate;
    Pacing pacing;
    Language language = Language::kJapanese;  // of the captions and pass lines
  };

  // Runs on the GUI thread: takes its copy of the parameters, positions the
  // drive at the resume point and shows the first pass.
  TPlexiscrubThread(const EraseParameters& params, Context context);
  // Waits for the run loop to end.
  ~TPlexiscrubThread();
  TPlexiscrubThread(const TPlexiscrubThread&) = delete;
  TPlexiscrubThread& operator=(const TPlexiscrubThread&) = delete;

  // Starts the run loop; `on_terminate` runs as a GUI step when it ends.
  void Start(std::function<void()> on_terminate);
  // Waits for the run loop to end and returns how it ended; again and again
  // once it has.
  WorkerReport Join();

 private:
  void Execute();
  bool RunPasses();
  void StopOnCancel();
  bool EndOfPass();
  void FinishOutcome(bool cancelled);
  void ChangePass();
  bool FlushWrites();
  uint32_t ProcessChunks();
  bool ProcessTail();
  bool Transfer(uint8_t* data, uint32_t length, uint32_t expected, uint64_t at);
  bool WriteAround(const uint8_t* data, uint32_t length, uint32_t expected, uint64_t at, uint32_t code);
  bool ReadAround(uint64_t at, uint32_t length, uint32_t expected, uint32_t code);
  platform::IoResult WriteAt(const uint8_t* data, uint32_t length, uint64_t at);
  platform::IoResult ReadAt(uint8_t* data, uint32_t length, uint64_t at);
  using SectorIo = std::function<platform::IoResult(uint64_t at, uint32_t length)>;
  bool SectorBySector(uint64_t at, uint32_t length, uint32_t expected, uint32_t short_code,
                      SectorExceptions& noted, const SectorIo& io);
  std::unique_ptr<ReadAhead> StartReads(uint64_t at, uint32_t tail_asked);
  bool CheckBlock(const ReadAhead::Block& block, uint32_t expected, std::unique_ptr<ReadAhead>& reads,
                  uint32_t tail_asked);
  bool VerifyPass();
  ReadAhead::NextLength VerifyReadLengths(uint32_t tail_asked) const;
  void NoteReadBack(uint64_t at, const uint8_t* data, uint32_t length);
  void ShowProgress(bool now);
  bool CheckpointIfDue(uint64_t bytes);
  bool WriteCheckpoint(uint32_t chunk, int32_t pass);
  bool WritePiece(uint8_t* data, uint32_t length, uint32_t expected, uint64_t at);
  void RefillForPass(int32_t pass);
  void Rewind();
  void ReportWorkerError(const std::string& text, uint32_t code, std::optional<uint64_t> at = std::nullopt);
  void ShowPassLabel();
  void ShowEstimate();
  void Sleep(int ms);

  const EraseParameters params_;
  Context c_;
  platform::Device& device_;
  const uint32_t chunk_count_;
  const uint32_t bytes_per_sector_;
  const uint32_t chunk_bytes_;
  const uint32_t tail_bytes_;
  const bool verify_data_;
  const int32_t last_write_pass_;  // the passes after it read back
  uint32_t chunk_index_ = 0;
  int32_t pass_ = 0;
  uint64_t pass_bytes_ = 0;
  uint64_t remaining_bytes_ = 0;
  int64_t bytes_since_estimate_ = 0;
  std::chrono::steady_clock::time_point last_estimate_;
  std::chrono::steady_clock::time_point last_progress_;  // the epoch: the first one shows
  int32_t pass_label_offset_ = 1;
  uint64_t position_ = 0;  // the drive's byte position, as the worker moved it
  bool failed_ = false;
  // Written by the constructor, the run loop and its GUI steps; read after
  // the join. Failed until the run loop says otherwise.
  WorkerReport outcome_;
  bool tail_done_ = false;  // this pass's tail is written (or read)
  uint64_t bytes_written_ = 0;
  // Checkpoints: since the last one, and whether the first sector holds a
  // resume record of this erase (a checkpoint, or the one it resumed from),
  // which the passes then leave in place.
  std::chrono::steady_clock::time_point last_checkpoint_;
  uint64_t bytes_since_checkpoint_ = 0;
  bool record_in_first_sector_ = false;
  bool write_attempted_ = false;  // a write reached the drive, whatever it answered
  bool checkpoints_ = false;  // off for good once one could not be written
  SectorExceptions unwritten_, unreadable_;
  uint32_t chunks_per_call_ = 1;  // small chunks are written a few MiB at a time
  std::unique_ptr<AlignedBuffer> pattern_;
  std::function<void()> on_terminate_;
  std::thread thread_;
};

}  // namespace plexi
