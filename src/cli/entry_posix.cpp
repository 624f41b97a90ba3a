#include <unistd.h>

#include <atomic>
#include <csignal>
#include <iostream>

#include "cli/cli.h"
#include "cli/console_interrupt.h"

namespace {

using plexi::cli::ConsoleEvent;
using plexi::cli::EventAnswer;

// The one object the signal handler reaches: where the command's interrupt
// state is registered, and whether the tool was started with Ctrl+C
// ignored (a background job of a script).
struct SignalState {
  plexi::cli::HandlerSlot slot;
  std::atomic<bool> interrupt_ignored{false};
};
constinit SignalState g_console;

// An erase that is writing takes Ctrl+C, and the terminal hanging up, as
// its cancel request; at any other time the signal does what it did when
// the tool started: nothing when ignored, else it ends the tool.
extern "C" void OnConsoleSignal(int signal) {
  const ConsoleEvent event = signal == SIGHUP ? ConsoleEvent::kHangUp : ConsoleEvent::kCtrlC;
  if (g_console.slot.Deliver(event, {}) != EventAnswer::kDefault) return;
  if (signal == SIGINT && g_console.interrupt_ignored.load()) return;
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

// One signal handled for the life of main's command; SA_RESTART, so that a
// question waiting on the terminal goes on waiting. Ctrl+C is taken also
// when ignored, so that a script can stop an erase it runs in the
// background; the terminal hanging up stays ignored under nohup.
class HandledSignal {
 public:
  explicit HandledSignal(int signal) : signal_(signal) {
    struct sigaction action {};
    action.sa_handler = OnConsoleSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(signal_, nullptr, &previous_);
    const bool ignored = previous_.sa_handler == SIG_IGN;
    if (signal_ == SIGINT) g_console.interrupt_ignored = ignored;
    installed_ = signal_ == SIGINT || !ignored;
    if (installed_) sigaction(signal_, &action, nullptr);
  }
  ~HandledSignal() {
    if (installed_) sigaction(signal_, &previous_, nullptr);
  }
  HandledSignal(const HandledSignal&) = delete;
  HandledSignal& operator=(const HandledSignal&) = delete;

 private:
  const int signal_;
  struct sigaction previous_ {};
  bool installed_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  plexi::cli::ConsoleInterrupt interrupt;
  plexi::cli::HandlerSlot::Registration registered(g_console.slot, interrupt);
  HandledSignal interrupt_key(SIGINT);
  HandledSignal hang_up(SIGHUP);
  return plexi::cli::RunCli(args, std::cout, std::cerr, isatty(STDIN_FILENO) == 1, interrupt);
}
