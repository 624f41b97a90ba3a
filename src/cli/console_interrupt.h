// What reaches the command-line tool from its console while it runs: Ctrl+C
// (and on Windows Ctrl+Break), and the console, the session or the system
// going away (on Linux: the terminal hanging up). The entry point owns one ConsoleInterrupt for as long as the
// command runs and registers it where the console's handler finds it; the
// handler (a signal handler on Linux, a thread of the system's on Windows)
// and the erase meet there and nowhere else.
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace plexi::cli {

enum class ConsoleEvent {
  kCtrlC,
  kCtrlBreak,
  // Windows: the console window closes, the user logs off, the system shuts
  // down. The tool ends as soon as the handler returns.
  kClose,
  kLogoff,
  kShutdown,
  // Linux: the terminal hung up. The tool goes on after the handler, so an
  // erase that is writing ends on its own; at any other time the tool ends.
  kHangUp,
};

// What the console's handler does with an event.
enum class EventAnswer {
  kDefault,        // not the tool's: the system's default, which ends the tool
  kCancel,         // the running erase was asked to stop; the tool goes on
  kCancelAndWait,  // the same, then wait for the command to end: the tool ends when the handler returns
};

class ConsoleInterrupt {
 public:
  // While one lives an erase is writing: Ctrl+C asks it to stop (it keeps
  // its resume record) instead of ending the tool. Held from the first write
  // until the erase's report is filed, so that a second Ctrl+C cannot end
  // the tool between the two.
  class Hold {
   public:
    explicit Hold(ConsoleInterrupt& owner) : owner_(owner) { ++owner_.holds_; }
    ~Hold() { --owner_.holds_; }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

   private:
    ConsoleInterrupt& owner_;
  };

  // The handler's side. Lock-free atomics only, so a signal handler may call it.
  EventAnswer Take(ConsoleEvent event) {
    const bool held = holds_.load() != 0;
    switch (event) {
      case ConsoleEvent::kCtrlC:
      case ConsoleEvent::kCtrlBreak:
        if (!held) return EventAnswer::kDefault;
        requested_ = true;
        return EventAnswer::kCancel;
      case ConsoleEvent::kHangUp:
        if (!held) return EventAnswer::kDefault;
        closing_ = true;
        requested_ = true;
        return EventAnswer::kCancel;
      default:
        // The console, the session or the system is going away: nobody is
        // left to answer a question, and the erase must stop while there is
        // time to write its record.
        closing_ = true;
        requested_ = true;
        return EventAnswer::kCancelAndWait;
    }
  }

  // After kCancelAndWait, on a thread of its own (never in a signal
  // handler): true once the command has ended, false after `bound`.
  bool WaitUntilSettled(std::chrono::milliseconds bound) {
    std::unique_lock lock(mutex_);
    return settled_changed_.wait_for(lock, bound, [this] { return settled_; });
  }

  bool CancelRequested() const { return requested_.load(); }
  // An erase is writing.
  bool Held() const { return holds_.load() != 0; }
  // A new erase starts without an earlier Ctrl+C; a console going away stays.
  void ClearRequest() { requested_ = closing_.load(); }
  // Nobody is at the console any more.
  bool Closing() const { return closing_.load(); }

  // The command has ended: its records are written and its reports filed.
  void Settle() {
    std::lock_guard lock(mutex_);
    settled_ = true;
    settled_changed_.notify_all();
  }

 private:
  static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

  std::atomic<int> holds_{0};
  std::atomic<bool> requested_{false};
  std::atomic<bool> closing_{false};
  std::mutex mutex_;
  std::condition_variable settled_changed_;
  bool settled_ = false;
};

// Where the process's console handler finds the interrupt state: the one
// object both reach, of static storage so that it outlives every handler
// call. A registration fills it for the life of the command.
class HandlerSlot {
 public:
  // The handler: the answer to `event`, kDefault when nothing is registered.
  // A kCancelAndWait answer is waited out here, up to `bound`; a signal
  // handler passes a bound of 0 and never waits.
  EventAnswer Deliver(ConsoleEvent event, std::chrono::milliseconds bound) {
    ++inside_;
    ConsoleInterrupt* target = target_.load();
    const EventAnswer answer = target ? target->Take(event) : EventAnswer::kDefault;
    if (answer == EventAnswer::kCancelAndWait && bound.count() > 0)
      static_cast<void>(target->WaitUntilSettled(bound));
    --inside_;
    return answer;
  }

  // Fills the slot until the registration ends; then the command has ended,
  // a handler that waits for it returns, and the state is let go only once
  // no handler is inside any more.
  class Registration {
   public:
    Registration(HandlerSlot& slot, ConsoleInterrupt& target) : slot_(slot), target_(target) {
      slot_.target_ = &target_;
    }
    ~Registration() {
      target_.Settle();
      slot_.target_ = nullptr;
      while (slot_.inside_.load() != 0) std::this_thread::yield();
    }
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;

   private:
    HandlerSlot& slot_;
    ConsoleInterrupt& target_;
  };

 private:
  static_assert(std::atomic<ConsoleInterrupt*>::is_always_lock_free);

  std::atomic<ConsoleInterrupt*> target_{nullptr};
  std::atomic<int> inside_{0};
};

}  // namespace plexi::cli
