// What keeping the resume record up to date costs an erase: the worker's
// write passes (method 1: 0xFF, then zeros) over DEVICE without checkpoints,
// with the default ones (every 30 s or 4 GiB, and one at each pass change),
// and with one every 64 MiB, alternating, best of ROUNDS each.
//   plexiscrub_checkpoint_cost DEVICE [ROUNDS]
// prints per setting the checkpoints written, MiB/s, seconds and the ratio
// to the erase without them; then the cost of one checkpoint (from the
// dense setting, whose many checkpoints stand out of the run-to-run noise)
// and what that makes of the default interval at the measured rate. It
// overwrites DEVICE: the benchmark gives it only the loop device it made.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "erase/chunk_layout.h"
#include "erase/erase_worker.h"
#include "platform/posix/posix_machine.h"

namespace {

using namespace plexi;

// Counts the flushes: two per checkpoint (the data, then its record) and
// one at each pass's end.
class CountingDevice : public platform::Device {
 public:
  explicit CountingDevice(platform::Device& inner) : inner_(inner) {}
  platform::IoResult Read(void* b, uint32_t n) override { return inner_.Read(b, n); }
  platform::IoResult Write(const void* b, uint32_t n) override { return inner_.Write(b, n); }
  platform::Result<> SetPosition(uint64_t at) override { return inner_.SetPosition(at); }
  platform::IoResult Control(uint32_t c, const void* i, uint32_t il, void* o, uint32_t ol) override {
    return inner_.Control(c, i, il, o, ol);
  }
  platform::Result<> Flush() override {
    ++flushes;
    return inner_.Flush();
  }
  int flushes = 0;

 private:
  platform::Device& inner_;
};

class Quiet : public Notifier, public GuiDispatcher, public ProgressView {
 public:
  void ShowMessage(const std::string&) override {}
  void RunOnGui(const std::function<void()>& step) override { step(); }
  void SetWriteMaximum(uint64_t) override {}
  void SetWritePosition(uint64_t) override {}
  void SetVerifyPosition(uint64_t) override {}
  void SetPassText(const std::string&) override {}
  void SetEstimateText(const std::string&) override {}
  void SetCaption(const std::string&) override {}
};

struct Setting {
  const char* name;
  bool checkpoints;
  uint64_t bytes;
  double best_seconds = 1e9;
  int checkpoints_written = 0;
};

// Seconds of one erase of the device's two write passes; negative on failure.
double TimedPasses(platform::Machine& machine, EraseParameters params, Setting& s) {
  CountingDevice device(*params.DriveHandle);
  params.DriveHandle = &device;
  params.KeepCheckpoints = s.checkpoints;
  Pacing pacing{0, 0};
  pacing.checkpoint_bytes = s.bytes;
  std::atomic<bool> cancel{false};
  PauseGate pause;
  EstimateState estimate;
  Quiet quiet;
  const auto start = std::chrono::steady_clock::now();
  TPlexiscrubThread worker(params, {cancel, pause, machine, quiet, quiet, quiet, estimate, pacing});
  worker.Start(nullptr);
  const WorkerReport report = worker.Join();
  if (report.failed) {
    std::fprintf(stderr, "checkpoint_cost: %s\n", report.error_text.c_str());
    return -1;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  s.checkpoints_written = (device.flushes - 2) / 2;  // less the two passes' ends
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: plexiscrub_checkpoint_cost DEVICE [ROUNDS]\n");
    return 2;
  }
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  posix::PosixMachine machine;
  auto opened = machine.OpenDevice(argv[1], platform::Access::kReadWrite);
  if (!opened.ok()) {
    std::fprintf(stderr, "checkpoint_cost: cannot open %s (error %u)\n", argv[1], opened.error());
    return 1;
  }
  platform::Device& device = *opened.value();
  const platform::Result<DriveExtent> extent = MeasureDrive(device, argv[1], ViewMode::kPhysical);
  const std::optional<ChunkLayout> layout = extent.ok() ? PlanChunks(*extent, kSectorsPerChunkLimit) : std::nullopt;
  if (!layout) {
    std::fprintf(stderr, "checkpoint_cost: cannot lay out %s\n", argv[1]);
    return 1;
  }
  EraseParameters params;
  params.DriveHandle = &device;
  params.BytesPerSector = extent->sector_size;
  params.SectorsPerChunk = layout->sectors_per_chunk;
  params.ChunkCount = layout->chunk_count;
  params.ChunkBytes = layout->chunk_bytes;
  params.TailBytes = layout->tail_bytes;
  params.TotalSectors = extent->sector_count;
  params.EraseTotalBytes = extent->Bytes();
  params.EraseMethod = OverwriteMethod::kFfThenZeros;
  Setting settings[] = {{"none", false, 0}, {"default", true, Pacing{}.checkpoint_bytes}, {"every 64 MiB", true, 64u << 20}};
  for (int round = 0; round < rounds; ++round)
    for (Setting& s : settings) {
      const double seconds = TimedPasses(machine, params, s);
      if (seconds < 0) return 1;
      s.best_seconds = std::min(s.best_seconds, seconds);
    }
  const double mib = 2.0 * double(extent->Bytes()) / 1048576;
  for (const Setting& s : settings)
    std::printf("%-14s %4d checkpoints %8.0f MiB/s %7.3f s  ratio %.4f\n", s.name, s.checkpoints_written,
                mib / s.best_seconds, s.best_seconds, settings[0].best_seconds / s.best_seconds);
  // One checkpoint's cost, and the default interval at this rate: every
  // 30 s, or sooner where 4 GiB take less.
  const Setting& dense = settings[2];
  const double each = std::max(0.0, dense.best_seconds - settings[0].best_seconds) / std::max(1, dense.checkpoints_written);
  const double rate = 2.0 * double(extent->Bytes()) / settings[0].best_seconds;
  const double interval = std::min(double(Pacing{}.checkpoint_ms) / 1000, double(Pacing{}.checkpoint_bytes) / rate);
  std::printf("one checkpoint %.2f ms; at the defaults (one every %.2f s here) %.3f%% of the erase time\n",
              each * 1000, interval, 100 * each / interval);
  return 0;
}
