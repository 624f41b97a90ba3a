#include "erase/read_ahead.h"

#include <algorithm>

namespace plexi {

ReadAhead::ReadAhead(platform::Device& device, NextLength next_length, uint32_t max_length, size_t depth)
    : device_(device), next_length_(std::move(next_length)), slots_(std::max<size_t>(depth, 2)) {
  for (Slot& slot : slots_) slot.buffer = std::make_unique<AlignedBuffer>(max_length);
  thread_ = std::thread([this] { Run(); });
}

ReadAhead::~ReadAhead() { Stop(); }

void ReadAhead::Stop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void ReadAhead::Run() {
  for (;;) {
    std::optional<uint32_t> length = next_length_();
    Slot* slot = nullptr;
    {
      std::unique_lock lock(mutex_);
      if (!length) {
        finished_ = true;
        changed_.notify_all();
        return;
      }
      // Wait for a free buffer: one not yet handed out, nor held by the caller.
      changed_.wait(lock, [&] { return stop_ || produced_ - consumed_ + (holding_ ? 1 : 0) < slots_.size(); });
      if (stop_) return;
      slot = &slots_[produced_ % slots_.size()];
    }
    slot->asked = *length;
    slot->result = device_.Read(slot->buffer->data(), *length);
    const bool last = !slot->result.ok() || slot->result.value() < *length;
    {
      std::lock_guard lock(mutex_);
      ++produced_;
      finished_ = last;
    }
    changed_.notify_all();
    if (last) return;
  }
}

std::optional<ReadAhead::Block> ReadAhead::Next() {
  std::unique_lock lock(mutex_);
  holding_ = false;
  changed_.notify_all();
  changed_.wait(lock, [&] { return consumed_ < produced_ || finished_ || stop_; });
  if (stop_ || consumed_ == produced_) return std::nullopt;
  const Slot& slot = slots_[consumed_ % slots_.size()];
  ++consumed_;
  holding_ = true;
  return Block{slot.buffer->data(), slot.asked, slot.result};
}

}  // namespace plexi
