// The erase dialogs' own rules: the start word, what the confirmation
// returns, the access-lamp reads, the bar looks, the shutdown line, and
// waiting for the worker while its GUI steps still have to run.
#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "erase/erase_dialogs.h"
#include "erase/erase_test_support.h"
#include "erase/progress_bar_looks.h"
#include "support/test_support.h"

namespace plexi {
namespace {

TEST(ConfirmWord, OnlyTheThreeLettersInAnyCaseArmTheStart) {
  for (const char* word : {"del", "DEL", "Del", "dEl"}) EXPECT_TRUE(ConfirmWordTyped(word)) << word;
  for (const char* word : {"", "d", "de", " del", "del ", "dele", "deletion", "d el", "ｄｅｌ", "dël"})
    EXPECT_FALSE(ConfirmWordTyped(word)) << word;
}

TEST(ConfirmChoiceTest, ResumedEraseKeepsItsMethodAndDefaultsPassThrough) {
  ConfirmRequest fresh;
  fresh.method = OverwriteMethod::kFfThenZeros;
  const ConfirmChoice defaults = ReadConfirmChoice(fresh, true, false, true, 1);
  EXPECT_TRUE(defaults.ok);
  EXPECT_FALSE(defaults.verify);
  EXPECT_TRUE(defaults.save_history);
  EXPECT_EQ(defaults.method, OverwriteMethod::kFfThenZeros);
  EXPECT_EQ(ReadConfirmChoice(fresh, true, true, false, 2).method, OverwriteMethod::kRandomFfThenZeros);
  EXPECT_EQ(ReadConfirmChoice(fresh, true, true, false, -1).method, OverwriteMethod::kFfThenZeros) << "no item selected";

  ConfirmRequest resumed;
  resumed.method = OverwriteMethod::kRandomFfThenZeros;
  resumed.method_enabled = false;
  EXPECT_EQ(ReadConfirmChoice(resumed, true, false, true, 0).method, OverwriteMethod::kRandomFfThenZeros);
  EXPECT_FALSE(ReadConfirmChoice(resumed, false, false, true, 0).ok);
}

class AccessLampTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine_ = test::MakeMachine(R"(
disk 1 sectors=64 bus=usb product="Lamp"
fault disk=1 op=read sector=3 error=23
)");
    platform::Result<std::unique_ptr<platform::Device>> r = machine_->OpenDevice(DriveDesignator::Physical(1).DevicePath(),
                                                  platform::Access::kReadWrite);
    ASSERT_TRUE(r.ok());
    drive_ = std::move(r.value());
    // Something recognisable in sector 0, to see where the handle stands.
    std::vector<uint8_t> marker(512, 0x5A);
    ASSERT_TRUE(drive_->Write(marker.data(), 512).ok());
  }
  uint8_t FirstByteReadNext() {
    std::vector<uint8_t> sector(512, 0);
    EXPECT_TRUE(drive_->Read(sector.data(), 512).ok());
    return sector[0];
  }

  std::unique_ptr<sim::SimMachine> machine_;
  std::unique_ptr<platform::Device> drive_;
  std::vector<uint8_t> buffer_ = std::vector<uint8_t>(512);
};

TEST_F(AccessLampTest, ReadsStopAtAFailureOrTheEndAndLeaveTheHandleAtByteZero) {
  ASSERT_TRUE(drive_->SetPosition(0).ok());
  EXPECT_EQ(BlinkAccessLamp(*drive_, buffer_.data(), 512), 3) << "the read of sector 3 fails";
  EXPECT_EQ(FirstByteReadNext(), 0x5A);

  ASSERT_TRUE(drive_->SetPosition(4 * 512).ok());
  EXPECT_EQ(BlinkAccessLamp(*drive_, buffer_.data(), 512), kBlinkReads);
  EXPECT_EQ(FirstByteReadNext(), 0x5A);

  ASSERT_TRUE(drive_->SetPosition(62 * 512).ok());
  EXPECT_EQ(BlinkAccessLamp(*drive_, buffer_.data(), 512), 2) << "nothing to read past the end";
  EXPECT_EQ(FirstByteReadNext(), 0x5A);
}

TEST(ProgressBarLooks, DesignLooksAndThePlainerOnesUnderTenBitsPerPixel) {
  controls::TColorProgressBar write, verify;
  StyleWriteBar(write, 24);
  StyleVerifyBar(verify, 24);
  EXPECT_EQ(write.BarStyle(), controls::btWin7);
  EXPECT_EQ(write.BarColor(), controls::Rgb(0, 128, 255));
  EXPECT_TRUE(write.Flat());
  EXPECT_FALSE(write.Smooth()) << "one continuous bar";
  EXPECT_EQ(write.BoxColor(), 0xC0C0C0u);
  EXPECT_EQ(write.LineColor(), 0x808080u);
  EXPECT_EQ(verify.BarStyle(), controls::btGradetion);
  EXPECT_EQ(verify.BarColor(), controls::Rgb(0, 255, 0));

  controls::TColorProgressBar write8, verify8;
  StyleWriteBar(write8, 8);
  StyleVerifyBar(verify8, 8);
  EXPECT_EQ(write8.BarStyle(), controls::btSolid2);
  EXPECT_EQ(write8.BarColor(), 0x800000u);
  EXPECT_EQ(verify8.BarColor(), controls::SystemColor(controls::kColorHighlight));
  controls::TColorProgressBar write16;
  StyleWriteBar(write16, 16);
  EXPECT_EQ(write16.BarStyle(), controls::btWin7);
}

TEST(ShutdownLineTest, SameChoiceWritesOnceAndAnEmptyNameClears) {
  EXPECT_EQ(ShutdownLineText("シャットダウン"), "Windows終了設定 ： シャットダウン");
  EXPECT_EQ(ShutdownLineText(""), "");
  ShutdownLine line;
  EXPECT_FALSE(line.Update("")) << "empty at start";
  EXPECT_TRUE(line.Update(ShutdownLineText("ログオフ")));
  EXPECT_FALSE(line.Update(ShutdownLineText("ログオフ")));
  EXPECT_TRUE(line.Update(ShutdownLineText("")));
  EXPECT_EQ(line.Text(), "");
}

// Runs the worker's steps only when the test thread pumps, as a window's
// message loop does: a worker waiting in a step is stuck until then.
class QueuedDispatcher : public GuiDispatcher {
 public:
  void RunOnGui(const std::function<void()>& step) override {
    if (std::this_thread::get_id() == gui_thread_) {
      step();  // while the worker is being made
      return;
    }
    std::unique_lock lock(mutex_);
    bool done = false;
    queue_.push_back([&] {
      step();
      done = true;
    });
    changed_.notify_all();
    changed_.wait(lock, [&] { return done; });
  }
  // Runs what is queued; waits a little for a step when there is none.
  void Pump() {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(20), [&] { return !queue_.empty(); });
    while (!queue_.empty()) {
      auto step = std::move(queue_.front());
      queue_.pop_front();
      step();
      ++steps_run;
    }
    changed_.notify_all();
  }
  int steps_run = 0;

 private:
  const std::thread::id gui_thread_ = std::this_thread::get_id();
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> queue_;
};

class WorkerRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine_ = test::MakeMachine("disk 1 sectors=61440 bus=usb product=\"Target\"\n");
    platform::Result<std::unique_ptr<platform::Device>> r = machine_->OpenDevice(DriveDesignator::Physical(1).DevicePath(),
                                                  platform::Access::kReadWrite);
    ASSERT_TRUE(r.ok());
    drive_ = std::move(r.value());
    params_.DriveHandle = drive_.get();
    params_.BytesPerSector = 512;
    params_.SectorsPerChunk = 2048;
    params_.ChunkCount = 30;
    params_.ChunkBytes = 2048 * 512;
    params_.EraseMethod = OverwriteMethod::kFfThenZeros;
  }
  WorkerFactory Factory() {
    return [this](ProgressView& view, GuiDispatcher& gui) {
      return std::make_unique<TPlexiscrubThread>(
          params_, TPlexiscrubThread::Context{cancel_, pause_, *machine_, notifier_, gui, view, estimate_, Pacing{0, 0}});
    };
  }

  std::unique_ptr<sim::SimMachine> machine_;
  std::unique_ptr<platform::Device> drive_;
  EraseParameters params_;
  std::atomic<bool> cancel_{false};
  EstimateState estimate_;
  PauseGate pause_;
  test::RecordingNotifier notifier_;
  test::RecordingView view_;
  QueuedDispatcher gui_;
};

// A cancel: the worker saves its resume point in a GUI step and ends in
// another; the wait runs both on this thread instead of blocking in a join.
TEST_F(WorkerRunTest, WaitRunsTheStepsOfACancelledWorkerUntilItEnds) {
  WorkerRun run;
  int ends = 0;
  const std::thread::id gui_thread = std::this_thread::get_id();
  std::thread::id end_thread;
  pause_.Pause();  // holds the worker at its first chunk until the cancel
  run.Start(Factory(), view_, gui_, [&] {
    ++ends;
    end_thread = std::this_thread::get_id();
  });
  ASSERT_TRUE(run.Started());
  EXPECT_FALSE(run.Ended());
  cancel_ = true;  // the cancel button
  const WorkerReport outcome = run.WaitForEnd([&] { gui_.Pump(); });
  pause_.Resume();

  EXPECT_TRUE(run.Ended());
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(end_thread, gui_thread);
  EXPECT_TRUE(outcome.cancelled) << "a cancel in a write pass stays set for the workflow";
  EXPECT_EQ(outcome.stopped_pass, 0);
  EXPECT_EQ(outcome.stopped_chunk, 0u);
  EXPECT_GE(gui_.steps_run, 2) << "the resume point and the end";
}

TEST_F(WorkerRunTest, ACompletedRunEndsOnceAndCanBeWaitedForAgain) {
  WorkerRun run;
  int ends = 0;
  run.Start(Factory(), view_, gui_, [&] { ++ends; });
  const WorkerReport first = run.WaitForEnd([&] { gui_.Pump(); });
  const WorkerReport again = run.WaitForEnd([&] { ADD_FAILURE() << "nothing left to pump"; });
  EXPECT_EQ(ends, 1);
  EXPECT_FALSE(first.failed);
  EXPECT_FALSE(first.cancelled);
  EXPECT_FALSE(again.failed);
  ASSERT_FALSE(view_.write_positions.empty());
  EXPECT_EQ(view_.write_positions.back(), 2ull * 30 * 2048 * 512) << "both passes written";
}

}  // namespace
}  // namespace plexi
