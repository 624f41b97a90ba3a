// Reads a device front to back on a thread of its own, a few transfers ahead
// of the caller, so that the drive never idles while the caller checks what
// came back. The caller sees every read in order, with its own result.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/aligned_buffer.h"
#include "platform/platform.h"

namespace plexi {

class ReadAhead {
 public:
  // The length of each read in turn; nothing once there are no more. Called
  // on the reading thread.
  using NextLength = std::function<std::optional<uint32_t>()>;

  struct Block {
    const uint8_t* data = nullptr;  // valid until the next call to Next()
    uint32_t asked = 0;
    platform::IoResult result = platform::IoResult::Failure(0);
  };

  // Starts reading at the device's current position. `max_length` bounds
  // every length; `depth` buffers are kept, one of them with the caller.
  ReadAhead(platform::Device& device, NextLength next_length, uint32_t max_length, size_t depth);
  // Stops the reading and waits for it.
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // The next read, waiting for it; nothing after the last one. A failed or
  // short read is the last one: reading ends with it. Hands the buffer of
  // the previous block back to the reader.
  std::optional<Block> Next();
  // Stops reading; the device is the caller's alone again once it returns.
  void Stop();

 private:
  struct Slot {
    std::unique_ptr<AlignedBuffer> buffer;
    uint32_t asked = 0;
    platform::IoResult result = platform::IoResult::Failure(0);
  };

  void Run();

  platform::Device& device_;
  NextLength next_length_;
  std::vector<Slot> slots_;
  std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t produced_ = 0;  // reads done
  uint64_t consumed_ = 0;  // blocks handed to the caller
  bool finished_ = false;  // no read will follow the produced ones
  bool stop_ = false;
  bool holding_ = false;  // the caller holds the last handed block
  std::thread thread_;
};

}  // namespace plexi
