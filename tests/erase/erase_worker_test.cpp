// The erase worker on a simulated drive: the passes and their patterns,
// resuming, cancelling, verifying, and failures of the drive.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "erase/erase_test_support.h"
#include "platform/winconst.h"
#include "support/test_support.h"

namespace plexi {
namespace {

using test::InlineDispatcher;
using test::RecordingView;

// 61440 sectors: 30 chunks of 2048 sectors (1 MiB).
constexpr char kMachine[] = R"(
disk 1 sectors=61440 bus=11 product="Target"
disk 2 sectors=61440 bus=11 product="Bad sector"
disk 3 sectors=61440 bus=11 product="Short writes"
disk 4 sectors=61440 bus=11 product="Forgetful"
disk 5 sectors=61440 bus=11 product="Bad first sector"
disk 6 sectors=61440 bus=11 product="Unreadable"
fault disk=5 op=write sector=0 error=29
fault disk=2 op=write sector=30000 error=29
fault disk=3 op=write sector=4096 short=512
fault disk=4 op=drop-write sector=10000
fault disk=6 op=read sector=20480 error=23
disk 7 sectors=61440 bus=11 product="Unplugged"
disk 8 sectors=61440 bus=11 product="Dead"
disk 9 sectors=61440 bus=11 product="Worn"
fault disk=7 op=write sector=30000 error=1167
fault disk=8 op=write error=29
fault disk=9 op=write sector=100 error=1117 count=2
fault disk=9 op=write sector=5000 error=23
fault disk=9 op=write sector=5001 error=23
fault disk=9 op=read sector=5001 error=23
fault disk=9 op=read sector=40000 short=0
fault disk=9 op=read sector=40002 error=30
)";

// Forwards to the real device and notes what each write looked like.
class SpyDevice : public platform::Device {
 public:
  explicit SpyDevice(std::unique_ptr<platform::Device> inner) : inner_(std::move(inner)) {}
  platform::IoResult Read(void* b, uint32_t n) override { return inner_->Read(b, n); }
  platform::IoResult Write(const void* b, uint32_t n) override {
    const uint8_t* bytes = static_cast<const uint8_t*>(b);
    bool all_same = std::all_of(bytes, bytes + n, [&](uint8_t x) { return x == bytes[0]; });
    bool has_ff = std::find(bytes, bytes + n, 0xFF) != bytes + n;
    writes.push_back({n, all_same ? int(bytes[0]) : (has_ff ? -2 : -1)});
    return inner_->Write(b, n);
  }
  platform::Result<> SetPosition(uint64_t offset) override {
    if (offset == 0) writes.push_back({0, 0});  // a rewind marks a pass change
    if (refuse_positioning) return platform::Result<>::Failure(winconst::kErrorSeek);
    return inner_->SetPosition(offset);
  }
  platform::IoResult Control(uint32_t c, const void* i, uint32_t il, void* o, uint32_t ol) override {
    return inner_->Control(c, i, il, o, ol);
  }
  platform::Result<> Flush() override { return inner_->Flush(); }

  // Per write: bytes and the pattern (a byte value, -1 random without 0xFF,
  // -2 mixed with 0xFF); {0, 0} for a rewind. Small chunks are written
  // several at a time.
  std::vector<std::pair<uint32_t, int>> writes;
  bool refuse_positioning = false;

 private:
  std::unique_ptr<platform::Device> inner_;
};

class WorkerTest : public ::testing::Test {
 protected:
  void Prepare(uint32_t disk, int32_t method, bool verify, uint32_t resume_chunk = 0, int32_t resume_pass = 0) {
    platform::Result<std::unique_ptr<platform::Device>> r = machine_->OpenDevice(DriveDesignator::Physical(disk).DevicePath(),
                                                  platform::Access::kReadWrite);
    ASSERT_TRUE(r.ok());
    device_ = std::make_unique<SpyDevice>(std::move(r.value()));
    params_.DriveHandle = device_.get();
    params_.BytesPerSector = 512;
    params_.SectorsPerChunk = 2048;
    params_.ChunkCount = 30;
    params_.ChunkBytes = 2048 * 512;
    params_.EraseTotalBytes = 61440ull * 512;
    params_.EraseMethod = MethodOfCode(method).value();
    params_.VerifyData = verify;
    params_.ResumeChunk = resume_chunk;
    params_.ResumePass = resume_pass;
  }
  void Run() {
    TPlexiscrubThread worker(params_, {cancel_, pause_, *machine_, notifier_, gui_, view_, estimate_, Pacing{0, 0}});
    worker.Start([this] { terminated_ = true; });
    outcome_ = worker.Join();
  }
  void FillDisk(uint32_t disk, uint8_t value) {
    std::vector<uint8_t> junk(61440ull * 512, value);
    machine_->PokeDisk(disk, 0, junk.data(), junk.size());
  }
  bool DiskIsZero(uint32_t disk) {
    std::vector<uint8_t> all = machine_->PeekDisk(disk, 0, 61440ull * 512);
    return std::all_of(all.begin(), all.end(), [](uint8_t b) { return b == 0; });
  }
  // The patterns of the chunk writes, one entry per pass. The first write
  // of a pass may leave out the first sector, which holds the resume record.
  std::vector<std::vector<int>> Passes() {
    std::vector<std::vector<int>> passes(1);
    for (auto [bytes, pattern] : device_->writes) {
      if (bytes == 0) {
        passes.emplace_back();
      } else if ((bytes + 512) % params_.ChunkBytes == 0 && passes.back().empty()) {
        passes.back().insert(passes.back().end(), (bytes + 512) / params_.ChunkBytes, pattern);
      } else if (bytes % params_.ChunkBytes == 0) {
        passes.back().insert(passes.back().end(), bytes / params_.ChunkBytes, pattern);
      }
    }
    // The positioning at the start also reads as a rewind: drop empty passes.
    std::erase_if(passes, [](const std::vector<int>& p) { return p.empty(); });
    return passes;
  }

  std::unique_ptr<sim::SimMachine> machine_ = test::MakeMachine(kMachine);
  std::unique_ptr<SpyDevice> device_;
  EraseParameters params_;
  std::atomic<bool> cancel_{false};
  WorkerReport outcome_;
  test::RecordingNotifier notifier_;
  InlineDispatcher gui_;
  RecordingView view_;
  EstimateState estimate_;
  PauseGate pause_;
  bool terminated_ = false;
};

TEST_F(WorkerTest, ZerosInOnePassAndNothingMoreWithoutVerification) {
  FillDisk(1, 0xA5);
  Prepare(1, 0, false);
  Run();
  EXPECT_TRUE(terminated_);
  EXPECT_FALSE(outcome_.failed);
  EXPECT_TRUE(DiskIsZero(1));
  ASSERT_EQ(Passes().size(), 1u);
  EXPECT_EQ(Passes()[0], std::vector<int>(30, 0));
  EXPECT_TRUE(view_.verify_positions.empty());
  EXPECT_EQ(view_.events, std::vector<std::string>{"pass:現在の工程 1 / 1"});
  EXPECT_EQ(view_.write_max, 30ull << 20);
  EXPECT_EQ(view_.write_positions.back(), 30ull << 20);
}

TEST_F(WorkerTest, TwoPassMethodWithVerificationShowsEachStage) {
  FillDisk(1, 0x5A);
  Prepare(1, 1, true);
  Run();
  EXPECT_FALSE(outcome_.failed);
  EXPECT_TRUE(outcome_.verify_passed);
  EXPECT_TRUE(DiskIsZero(1));
  std::vector<std::vector<int>> passes = Passes();
  ASSERT_GE(passes.size(), 2u);
  EXPECT_EQ(passes[0], std::vector<int>(30, 0xFF));
  EXPECT_EQ(passes[1], std::vector<int>(30, 0x00));
  EXPECT_EQ(view_.events, (std::vector<std::string>{"pass:現在の工程 1 / 2", "pass:現在の工程 2 / 2",
                                                    "caption:データの消去を確認中 ・・・", "pass:消去完了"}));
  // The bar moves forward only, and ends full however few redraws it got.
  ASSERT_FALSE(view_.verify_positions.empty());
  EXPECT_TRUE(std::is_sorted(view_.verify_positions.begin(), view_.verify_positions.end()));
  EXPECT_EQ(view_.verify_positions.back(), 30ull << 20);
  EXPECT_EQ(outcome_.bytes_read, 30ull << 20);
  // Read back in the transfers it was written in: four chunks at a time.
  EXPECT_EQ(machine_->DiskCounters(1).reads, 8u);
  // The write bar runs over both passes.
  EXPECT_EQ(view_.write_max, 60ull << 20);
  EXPECT_EQ(view_.write_positions.back(), 60ull << 20);
}

TEST_F(WorkerTest, ThreePassMethodWritesRandomThenFfThenZeros) {
  Prepare(1, 2, false);
  Run();
  std::vector<std::vector<int>> passes = Passes();
  ASSERT_EQ(passes.size(), 3u);
  EXPECT_EQ(passes[0], std::vector<int>(30, -1));  // random, never 0xFF
  EXPECT_EQ(passes[1], std::vector<int>(30, 0xFF));
  EXPECT_EQ(passes[2], std::vector<int>(30, 0x00));
  EXPECT_TRUE(DiskIsZero(1));
}

TEST_F(WorkerTest, SmallChunksAreWrittenAFewMegabytesAtATime) {
  Prepare(1, 0, false);
  Run();
  // 1 MiB chunks go to the drive four at a time; the last call has two.
  EXPECT_EQ(machine_->DiskCounters(1).writes, 8u);
  EXPECT_EQ(Passes()[0].size(), 30u);
}

TEST_F(WorkerTest, RandomPatternNeverHoldsFf) {
  std::vector<uint8_t> buffer(1 << 20);
  FillRandomPattern(buffer.data(), buffer.size());
  EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0xFF), 0);
  EXPECT_GT(std::count(buffer.begin(), buffer.end(), 0xFE), 0);
  EXPECT_GT(std::count(buffer.begin(), buffer.end(), 0x00), 0);
}

TEST_F(WorkerTest, ResumingInTheSecondPassStartsWithFfAtTheStart) {
  Prepare(1, 2, false, 0, 1);
  Run();
  std::vector<std::vector<int>> passes = Passes();
  ASSERT_EQ(passes.size(), 2u);
  EXPECT_EQ(passes[0], std::vector<int>(30, 0xFF));
  EXPECT_EQ(passes[1], std::vector<int>(30, 0x00));
  EXPECT_EQ(view_.events.front(), "pass:現在の工程 2 / 3");
}

// A resumed erase leaves its record in the first sector until its end
// writes the completion record there: a power cut meanwhile still finds a
// resume point. The read-back checks every other sector.
TEST_F(WorkerTest, ResumedMidPassWithVerificationLeavesTheResumeRecordToTheEnd) {
  std::vector<uint8_t> record = BuildResumeRecord(512, {0, 12, 0});
  FillDisk(1, 0);
  machine_->PokeDisk(1, 0, record.data(), record.size());
  Prepare(1, 0, true, 12, 0);
  Run();
  EXPECT_FALSE(outcome_.failed) << outcome_.error_text;
  EXPECT_TRUE(outcome_.verify_passed);
  EXPECT_TRUE(outcome_.checkpoint_left);
  EXPECT_EQ(machine_->PeekDisk(1, 0, 512), record);
  std::vector<uint8_t> rest = machine_->PeekDisk(1, 512, 61439ull * 512);
  EXPECT_EQ(std::count(rest.begin(), rest.end(), 0), std::ptrdiff_t(rest.size()));
  ASSERT_EQ(Passes().size(), 1u);
  EXPECT_EQ(Passes()[0].size(), 18u);  // chunks 12 to 29
  EXPECT_EQ(std::count(device_->writes.begin(), device_->writes.end(), std::pair<uint32_t, int>{512, 0}), 0);
}

// Writing from wherever the handle happens to stand would skip part of the
// drive and write another part twice.
TEST_F(WorkerTest, APositioningFailureAtTheResumePointWritesNothing) {
  FillDisk(1, 0x5A);
  Prepare(1, 1, false, 12, 0);
  device_->refuse_positioning = true;
  Run();
  EXPECT_TRUE(terminated_);
  EXPECT_TRUE(outcome_.failed);
  EXPECT_EQ(outcome_.error_text, machine_->ErrorText(winconst::kErrorSeek));
  EXPECT_EQ(outcome_.bytes_written, 0u);
  EXPECT_EQ(machine_->DiskCounters(1).writes, 0u);
}

// The same for a first sector no write reaches: a resumed erase never
// writes there, so it does not fail on it.
TEST_F(WorkerTest, AResumedEraseNeverWritesOverItsRecord) {
  FillDisk(5, 0);
  Prepare(5, 1, true, 12, 0);
  Run();
  EXPECT_FALSE(outcome_.failed) << outcome_.error_text;
  EXPECT_TRUE(outcome_.unwritten.empty());
  EXPECT_TRUE(outcome_.verify_passed);
}

// The bytes after the last whole chunk are written and read back in every
// pass, also when the erase resumes right before them.
TEST_F(WorkerTest, TheTailAfterTheLastChunkIsWrittenAndVerifiedInEveryPass) {
  FillDisk(1, 0x77);
  Prepare(1, 1, true, 29, 0);
  params_.ChunkCount = 29;
  params_.TailBytes = 2048 * 512 - 1024;  // all but the last two sectors
  Run();
  EXPECT_FALSE(outcome_.failed) << outcome_.error_text;
  EXPECT_TRUE(outcome_.verify_passed);
  std::vector<uint8_t> covered = machine_->PeekDisk(1, 29ull << 20, params_.TailBytes);
  EXPECT_TRUE(std::all_of(covered.begin(), covered.end(), [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(machine_->PeekDisk(1, (30ull << 20) - 1024, 1)[0], 0x77);  // beyond the area: untouched
  EXPECT_EQ(view_.verify_positions.back(), 29ull * (1 << 20) + params_.TailBytes);
}

TEST_F(WorkerTest, CancelAfterTheLastChunkOfAPassSavesTheFullChunkCount) {
  Prepare(1, 1, false);
  view_.on_write = [&](uint64_t position) {
    if (position == 30ull << 20) cancel_ = true;  // end of pass 0
  };
  Run();
  EXPECT_TRUE(outcome_.cancelled);
  EXPECT_EQ(outcome_.stopped_chunk, 30u);
  EXPECT_EQ(outcome_.stopped_pass, 0);

  // Resumed from there, the worker changes pass at once and writes zeros
  // everywhere but over the resume record.
  std::vector<uint8_t> record = BuildResumeRecord(512, {1, 30, 0});
  machine_->PokeDisk(1, 0, record.data(), record.size());
  device_.reset();
  cancel_ = false;
  view_ = RecordingView();
  Prepare(1, 1, false, 30, 0);
  Run();
  std::vector<std::vector<int>> passes = Passes();
  ASSERT_EQ(passes.size(), 1u);
  EXPECT_EQ(passes[0], std::vector<int>(30, 0));
  EXPECT_EQ(machine_->PeekDisk(1, 0, 512), record);
  std::vector<uint8_t> rest = machine_->PeekDisk(1, 512, 61439ull * 512);
  EXPECT_EQ(std::count(rest.begin(), rest.end(), 0), std::ptrdiff_t(rest.size()));
}

TEST_F(WorkerTest, CancelDuringVerificationIsClearedAndLeavesTheResult) {
  Prepare(1, 0, true);
  view_.on_verify = [&](uint64_t) { cancel_ = true; };
  Run();
  EXPECT_FALSE(outcome_.cancelled);
  EXPECT_TRUE(outcome_.verify_passed);
  EXPECT_FALSE(outcome_.failed);
}

// A transfer that fails on the medium is tried again, then sector by
// sector; what still fails is listed and the erase goes on, every other
// byte written and read back. A drive that is gone, or fails everywhere,
// ends the erase where it stopped answering.
struct BadSectorCase {
  std::string name;
  uint32_t disk;
  bool failed;
  std::vector<SectorRange> unwritten, unreadable;
  uint32_t error = 0;                    // the failure's code
  std::optional<uint64_t> error_sector = std::nullopt;  // where the drive stopped answering
};

class BadSectorTest : public WorkerTest, public ::testing::WithParamInterface<BadSectorCase> {};

TEST_P(BadSectorTest, WritesAndReadsAroundSectorsThatFailEveryTry) {
  const BadSectorCase& c = GetParam();
  FillDisk(c.disk, 0xC3);
  Prepare(c.disk, 1, true);
  Run();
  EXPECT_EQ(outcome_.failed, c.failed) << outcome_.error_text;
  EXPECT_EQ(outcome_.unwritten, c.unwritten);
  EXPECT_EQ(outcome_.unreadable, c.unreadable);
  if (c.failed) {
    EXPECT_EQ(outcome_.error_code, c.error);
    EXPECT_EQ(outcome_.error_text, machine_->ErrorText(c.error));
    EXPECT_EQ(outcome_.error_offset, c.error_sector.value() * 512);
    EXPECT_TRUE(view_.verify_positions.empty());
    return;
  }
  // The sectors left unwritten keep their old bytes and fail nothing else.
  EXPECT_TRUE(outcome_.verify_passed);
  uint64_t unread = 0;
  for (const SectorRange& r : c.unreadable) unread += r.count * 512;
  EXPECT_EQ(outcome_.bytes_read, (30ull << 20) - unread);
  std::vector<uint8_t> all = machine_->PeekDisk(c.disk, 0, 61440ull * 512);
  for (uint64_t sector = 0; sector < 61440; ++sector) {
    const bool unwritten = std::any_of(c.unwritten.begin(), c.unwritten.end(), [&](const SectorRange& r) {
      return sector >= r.first && sector < r.first + r.count;
    });
    const auto begin = all.begin() + std::ptrdiff_t(sector * 512);
    ASSERT_EQ(std::count(begin, begin + 512, unwritten ? 0xC3 : 0), 512) << "sector " << sector;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Drives, BadSectorTest,
    ::testing::Values(
        BadSectorCase{"OneBadSector", 2, false, {{30000, 1, 29}}, {}},
        BadSectorCase{"ShortWritesWrittenSectorBySector", 3, false, {}, {}},
        BadSectorCase{"BadFirstSector", 5, false, {{0, 1, 29}}, {}},
        BadSectorCase{"UnreadableSector", 6, false, {}, {{20480, 1, 23}}},
        BadSectorCase{"WornDrive", 9, false, {{5000, 2, 23}}, {{5001, 1, 23}, {40000, 1, 30}, {40002, 1, 30}}},
        // In the transfer of chunks 24 to 27, which began at sector 24576.
        BadSectorCase{"UnpluggedMidway", 7, true, {}, {}, 1167, 24576},
        BadSectorCase{"FailsEverywhere", 8, true, {{0, 2048, 29}}, {}, 29, 0}),
    [](const ::testing::TestParamInfo<BadSectorCase>& info) { return info.param.name; });

TEST_F(WorkerTest, VerificationFindsWhatTheDriveDidNotWrite) {
  FillDisk(4, 0xEE);
  Prepare(4, 0, true);
  Run();
  EXPECT_TRUE(outcome_.failed);
  EXPECT_FALSE(outcome_.verify_passed);
  EXPECT_EQ(outcome_.error_text, erase_text::kVerifyFailed);
  EXPECT_EQ(outcome_.first_nonzero_offset, 4ull << 20);  // the dropped transfer of chunks 4 to 7
  EXPECT_EQ(outcome_.bytes_read, 30ull << 20);  // the whole drive is still read
}

// After the drive's own purge there is nothing to write: the worker only
// reads back, and says so from the start instead of naming a pass.
TEST_F(WorkerTest, AfterAFirmwarePurgeOnlyTheReadBackRuns) {
  FillDisk(1, 0);
  Prepare(1, 3, true);
  Run();
  EXPECT_FALSE(outcome_.failed) << outcome_.error_text;
  EXPECT_TRUE(outcome_.verify_passed);
  EXPECT_EQ(outcome_.bytes_written, 0u);
  EXPECT_EQ(machine_->DiskCounters(1).writes, 0u);
  EXPECT_EQ(outcome_.bytes_read, 30ull << 20);
  EXPECT_EQ(view_.events, (std::vector<std::string>{"caption:データの消去を確認中 ・・・", "pass:消去完了"}));
}

TEST_F(WorkerTest, PauseHoldsTheWorkerUntilResumed) {
  Prepare(1, 0, false);
  pause_.Pause();
  TPlexiscrubThread worker(params_, {cancel_, pause_, *machine_, notifier_, gui_, view_, estimate_, Pacing{0, 0}});
  worker.Start([] {});
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(machine_->DiskCounters(1).writes, 0u);
  pause_.Resume();
  static_cast<void>(worker.Join());
  EXPECT_EQ(machine_->DiskCounters(1).bytes_written, 30ull << 20);
}

TEST(EstimateText, HoursMinutesSecondsAndTheRate) {
  const int64_t rate = 1 << 20;
  EXPECT_EQ(EstimateText(7384ull << 20, rate), "残り 2時間3分 1MB/s");
  EXPECT_EQ(EstimateText(125ull << 20, rate), "残り 2分5秒 1MB/s");
  EXPECT_EQ(EstimateText(60ull << 20, rate), "残り 1分0秒 1MB/s");
  EXPECT_EQ(EstimateText(59ull << 20, rate), "残り 59秒 1MB/s");
  EXPECT_EQ(EstimateText(5, 0), "残り 計算中");
  EXPECT_EQ(EstimateText(5, -7), "残り 計算中");
}

}  // namespace
}  // namespace plexi
