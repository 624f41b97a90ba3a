// What keeping the resume record up to date costs an erase: the worker's
// write passes (method 1: 0xFF, then zeros) over DEVICE without checkpoints,
// with the default ones (every 30 s or 4 GiB, and one at each pass change),
// and with one every 256 MiB, alternating, best of ROUNDS each.
//   plexiscrub_checkpoint_cost DEVICE [ROUNDS]
// prints "checkpoints MiB/s seconds" per setting and the ratios to the
// erase without them. It overwrites DEVICE: the benchmark gives it only the
// loop device it made.
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
};

// Seconds of one erase of the device's two write passes; negative on failure.
double TimedPasses(platform::Machine& machine, EraseParameters params, const Setting& s) {
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
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
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
  Setting settings[] = {{"none", false, 0}, {"default", true, Pacing{}.checkpoint_bytes}, {"every 256 MiB", true, 256u << 20}};
  for (int round = 0; round < rounds; ++round)
    for (Setting& s : settings) {
      const double seconds = TimedPasses(machine, params, s);
      if (seconds < 0) return 1;
      s.best_seconds = std::min(s.best_seconds, seconds);
    }
  const double mib = 2.0 * double(extent->Bytes()) / 1048576;
  for (const Setting& s : settings)
    std::printf("%-14s %8.0f MiB/s %7.3f s  ratio %.4f\n", s.name, mib / s.best_seconds, s.best_seconds,
                settings[0].best_seconds / s.best_seconds);
  return 0;
}
