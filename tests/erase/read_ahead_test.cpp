// Reading ahead: every read reaches the caller in order with its result,
// reads go on while the caller checks, and the buffer the caller holds is
// never written under it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "erase/read_ahead.h"
#include "platform/winconst.h"

namespace plexi {
namespace {

using namespace std::chrono_literals;

// Fills each read with its read number; the read numbered `failing` fails,
// and the one numbered `short_read` moves half its bytes.
class CountingDevice : public platform::Device {
 public:
  platform::IoResult Read(void* buffer, uint32_t length) override {
    const int index = reads.fetch_add(1);
    std::memset(buffer, index, length);
    if (index == failing) return platform::IoResult::Failure(winconst::kErrorReadFault);
    return platform::IoResult(index == short_read ? length / 2 : length);
  }
  platform::IoResult Write(const void*, uint32_t) override { return platform::IoResult::Failure(1); }
  platform::Result<> SetPosition(uint64_t) override { return platform::Result<>::Success(); }
  platform::IoResult Control(uint32_t, const void*, uint32_t, void*, uint32_t) override {
    return platform::IoResult::Failure(1);
  }
  platform::Result<> Flush() override { return platform::Result<>::Success(); }

  std::atomic<int> reads{0};
  int failing = -1;
  int short_read = -1;
};

ReadAhead::NextLength Lengths(int count, uint32_t length) {
  return [count, length, given = 0]() mutable -> std::optional<uint32_t> {
    if (given == count) return std::nullopt;
    ++given;
    return length;
  };
}

bool WaitFor(const std::function<bool()>& condition) {
  for (int i = 0; i < 400 && !condition(); ++i) std::this_thread::sleep_for(5ms);
  return condition();
}

TEST(ReadAhead, ReadsGoOnWhileTheCallerHoldsABlockWithoutTouchingIt) {
  CountingDevice device;
  ReadAhead reads(device, Lengths(10, 4096), 4096, 4);
  std::optional<ReadAhead::Block> first = reads.Next();
  ASSERT_TRUE(first);
  // Three more buffers fill while the first is held; then the reader waits.
  EXPECT_TRUE(WaitFor([&] { return device.reads == 4; }));
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(device.reads, 4);
  EXPECT_EQ(first->data[0], 0);
  EXPECT_EQ(first->data[4095], 0);
  for (int expected = 1; expected < 10; ++expected) {
    std::optional<ReadAhead::Block> block = reads.Next();
    ASSERT_TRUE(block);
    EXPECT_EQ(block->data[0], expected);
    EXPECT_EQ(block->data[4095], expected);
    EXPECT_EQ(block->asked, 4096u);
    EXPECT_EQ(block->result.value(), 4096u);
  }
  EXPECT_FALSE(reads.Next());
  EXPECT_FALSE(reads.Next());
}

TEST(ReadAhead, AFailedOrShortReadIsTheLastOne) {
  for (bool fail : {true, false}) {
    CountingDevice device;
    (fail ? device.failing : device.short_read) = 3;
    ReadAhead reads(device, Lengths(10, 4096), 4096, 3);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(reads.Next()->result.ok());
    std::optional<ReadAhead::Block> last = reads.Next();
    ASSERT_TRUE(last);
    if (fail) {
      EXPECT_EQ(last->result.error(), winconst::kErrorReadFault);
    } else {
      EXPECT_EQ(last->result.value(), 2048u);
    }
    EXPECT_FALSE(reads.Next());
    EXPECT_EQ(device.reads, 4);  // nothing is read after it
  }
}

TEST(ReadAhead, StoppingWhileTheReaderWaitsForABufferEndsAtOnce) {
  CountingDevice device;
  ReadAhead reads(device, Lengths(1000, 512), 512, 2);
  ASSERT_TRUE(reads.Next());
  ASSERT_TRUE(WaitFor([&] { return device.reads == 2; }));
  reads.Stop();
  EXPECT_EQ(device.reads, 2);
  EXPECT_FALSE(reads.Next());
}

}  // namespace
}  // namespace plexi
