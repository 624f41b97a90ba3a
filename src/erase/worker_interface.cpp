#include "erase/worker_interface.h"

#include <chrono>

namespace plexi {

void PauseGate::Pause() {
  std::lock_guard lock(mutex_);
  paused_ = true;
}

void PauseGate::Resume() {
  {
    std::lock_guard lock(mutex_);
    paused_ = false;
  }
  changed_.notify_all();
}

bool PauseGate::Paused() const {
  std::lock_guard lock(mutex_);
  return paused_;
}

void PauseGate::WaitWhilePaused(const std::atomic<bool>& cancel) {
  std::unique_lock lock(mutex_);
  // The cancel flag is not signalled through the condition variable, so
  // look at it now and then.
  while (paused_ && !cancel.load()) changed_.wait_for(lock, std::chrono::milliseconds(50));
}

}  // namespace plexi
