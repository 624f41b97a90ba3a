// Writing and reading the record on a simulated drive, including the
// failures the workflow must hear about.
#include <gtest/gtest.h>

#include <cstring>

#include "drives/drive_types.h"
#include "record/erase_record.h"
#include "support/test_support.h"

namespace plexi {
namespace {

using platform::Access;

constexpr char kMachine[] = R"(
disk 1 size=1G bus=11 product="Target"
disk 4 size=1G sector-size=4096 bus=11 product="Big sectors"
disk 5 size=1G bus=11 product="Bad writes"
disk 6 size=1G bus=11 product="Short writes"
disk 7 size=1G bus=11 product="Bad reads"
fault disk=5 op=write sector=0 error=29
fault disk=6 op=write sector=0 short=0
fault disk=7 op=read sector=0 error=23
)";

class RecordAccessTest : public ::testing::Test {
 protected:
  std::unique_ptr<platform::Device> Open(uint32_t disk) {
    platform::Result<std::unique_ptr<platform::Device>> r = machine_->OpenDevice(DriveDesignator::Physical(disk).DevicePath(), Access::kReadWrite);
    EXPECT_TRUE(r.ok()) << r.error();
    return std::move(r.value());
  }
  RecordAccessResult Run(uint32_t disk, uint32_t sector_size, RecordMode mode, bool history,
                            EraseRecordFields& fields) {
    auto device = Open(disk);
    EXPECT_TRUE(device->SetPosition(sector_size * 10).ok());  // the record always goes to byte 0
    return AccessEraseRecord(*device, sector_size, mode, history, fields);
  }

  std::unique_ptr<sim::SimMachine> machine_ = test::MakeMachine(kMachine);
  test::RecordingNotifier notifier_;
};

// A handle that cannot be positioned: the record would land anywhere.
class UnpositionableDevice : public platform::Device {
 public:
  explicit UnpositionableDevice(std::unique_ptr<platform::Device> inner) : inner_(std::move(inner)) {}
  platform::IoResult Read(void* b, uint32_t n) override { return inner_->Read(b, n); }
  platform::IoResult Write(const void* b, uint32_t n) override {
    ++writes;
    return inner_->Write(b, n);
  }
  platform::Result<> SetPosition(uint64_t) override { return platform::Result<>::Failure(25); }
  platform::IoResult Control(uint32_t c, const void* i, uint32_t il, void* o, uint32_t ol) override {
    return inner_->Control(c, i, il, o, ol);
  }
  platform::Result<> Flush() override { return inner_->Flush(); }
  int writes = 0;

 private:
  std::unique_ptr<platform::Device> inner_;
};

TEST_F(RecordAccessTest, AFailedPositioningIsAFailedWriteAndNoRecordRead) {
  UnpositionableDevice device(Open(1));
  EraseRecordFields fields{2, 5, 1};
  for (RecordMode mode : {RecordMode::kFinish, RecordMode::kInterrupt}) {
    RecordAccessResult r = AccessEraseRecord(device, 512, mode, true, fields);
    EXPECT_FALSE(r.io_ok);
    EXPECT_EQ(r.error, 25u);
  }
  EXPECT_EQ(device.writes, 0);
  machine_->PokeDisk(1, 0, BuildResumeRecord(512, fields).data(), 512);
  RecordAccessResult read = AccessEraseRecord(device, 512, RecordMode::kRead, false, fields);
  EXPECT_EQ(read.result, RecordKind::kNone);
  EXPECT_FALSE(read.positioned);  // for the caller to report
  EXPECT_EQ(read.error, 25u);
}

TEST_F(RecordAccessTest, FinishWritesTheCompletionRecordOrABlankSector) {
  EraseRecordFields fields{2, 0, 0};
  machine_->PokeDisk(1, 0, reinterpret_cast<const uint8_t*>("old boot code"), 13);
  RecordAccessResult r = Run(1, 512, RecordMode::kFinish, true, fields);
  EXPECT_TRUE(r.io_ok);
  EXPECT_EQ(r.result, RecordKind::kNone);
  EXPECT_EQ(machine_->PeekDisk(1, 0, 512), BuildCompletionRecord(512, 2));

  r = Run(1, 512, RecordMode::kFinish, false, fields);
  EXPECT_TRUE(r.io_ok);
  EXPECT_EQ(machine_->PeekDisk(1, 0, 512), std::vector<uint8_t>(512, 0));
}

TEST_F(RecordAccessTest, InterruptThenReadGivesTheResumePointBack) {
  EraseRecordFields saved{1, 4321, 1};
  EXPECT_TRUE(Run(4, 4096, RecordMode::kInterrupt, false, saved).io_ok);
  EXPECT_EQ(machine_->PeekDisk(4, 0, 4096), BuildResumeRecord(4096, saved));

  EraseRecordFields read;
  RecordAccessResult r = Run(4, 4096, RecordMode::kRead, false, read);
  EXPECT_TRUE(r.io_ok);
  EXPECT_EQ(r.result, RecordKind::kResume);
  EXPECT_EQ(read.ResumeChunk, 4321u);
  EXPECT_EQ(read.EraseMethod, 1);
  EXPECT_EQ(read.ResumePass, 1);
}

TEST_F(RecordAccessTest, FailedOrShortWritesAreReportedNotPassedOff) {
  EraseRecordFields fields{0, 0, 0};
  RecordAccessResult failed = Run(5, 512, RecordMode::kFinish, true, fields);
  EXPECT_FALSE(failed.io_ok);
  EXPECT_EQ(failed.error, 29u);
  RecordAccessResult shorted = Run(6, 512, RecordMode::kInterrupt, false, fields);
  EXPECT_FALSE(shorted.io_ok);
  EXPECT_NE(shorted.error, 0u);
}

TEST_F(RecordAccessTest, AnUnreadableSectorReadsAsNoRecord) {
  EraseRecordFields fields{2, 3, 4};
  RecordAccessResult r = Run(7, 512, RecordMode::kRead, false, fields);
  EXPECT_FALSE(r.io_ok);
  EXPECT_EQ(r.error, 23u);
  EXPECT_EQ(r.result, RecordKind::kNone);
  EXPECT_EQ(fields.ResumeChunk, 3u);
}

}  // namespace
}  // namespace plexi
