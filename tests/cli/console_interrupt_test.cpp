// What the tool's console handler does with Ctrl+C and with the console
// going away, and how a closing console waits for the erase to end.
#include "cli/console_interrupt.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <optional>

namespace plexi::cli {
namespace {

using namespace std::chrono_literals;

// Outside an erase Ctrl+C ends the tool as it always did; while an erase
// writes it only asks it to stop, every time; a closing console always
// stops the erase and waits, and leaves nobody to answer questions; a
// terminal hanging up stops a writing erase, which then ends on its own.
TEST(ConsoleInterrupt, EachEventAsksForWhatItShould) {
  struct Row {
    ConsoleEvent event;
    bool held;
    EventAnswer answer;
    bool requested, closing;
  };
  const Row rows[] = {
      {ConsoleEvent::kCtrlC, false, EventAnswer::kDefault, false, false},
      {ConsoleEvent::kCtrlBreak, false, EventAnswer::kDefault, false, false},
      {ConsoleEvent::kCtrlC, true, EventAnswer::kCancel, true, false},
      {ConsoleEvent::kCtrlBreak, true, EventAnswer::kCancel, true, false},
      {ConsoleEvent::kClose, false, EventAnswer::kCancelAndWait, true, true},
      {ConsoleEvent::kClose, true, EventAnswer::kCancelAndWait, true, true},
      {ConsoleEvent::kLogoff, true, EventAnswer::kCancelAndWait, true, true},
      {ConsoleEvent::kShutdown, false, EventAnswer::kCancelAndWait, true, true},
      {ConsoleEvent::kHangUp, false, EventAnswer::kDefault, false, false},
      {ConsoleEvent::kHangUp, true, EventAnswer::kCancel, true, true},
  };
  for (const Row& row : rows) {
    ConsoleInterrupt interrupt;
    std::optional<ConsoleInterrupt::Hold> hold;
    if (row.held) hold.emplace(interrupt);
    const int event = static_cast<int>(row.event);
    EXPECT_EQ(interrupt.Take(row.event), row.answer) << event << " held " << row.held;
    // A second one is answered as the first: nothing falls back to the default.
    EXPECT_EQ(interrupt.Take(row.event), row.answer) << event << " held " << row.held;
    EXPECT_EQ(interrupt.CancelRequested(), row.requested) << event;
    EXPECT_EQ(interrupt.Closing(), row.closing) << event;
  }

  // Once the erase's hold is gone, Ctrl+C ends the tool again; a new erase
  // starts without the old request, but not without a closing console's.
  ConsoleInterrupt interrupt;
  {
    ConsoleInterrupt::Hold hold(interrupt);
    EXPECT_EQ(interrupt.Take(ConsoleEvent::kCtrlC), EventAnswer::kCancel);
  }
  EXPECT_EQ(interrupt.Take(ConsoleEvent::kCtrlC), EventAnswer::kDefault);
  interrupt.ClearRequest();
  EXPECT_FALSE(interrupt.CancelRequested());
  static_cast<void>(interrupt.Take(ConsoleEvent::kClose));
  interrupt.ClearRequest();
  EXPECT_TRUE(interrupt.CancelRequested());
}

// The handler of a closing console returns once the command has ended
// (its record written and report filed), not before; the registration's
// end is that moment, and it lets the state go only after the handler left.
// Should the command not end, the handler gives up after its bound.
TEST(ConsoleInterrupt, AClosingConsoleWaitsForTheCommandToEnd) {
  HandlerSlot slot;
  EXPECT_EQ(slot.Deliver(ConsoleEvent::kClose, 10s), EventAnswer::kDefault);  // nothing registered

  ConsoleInterrupt interrupt;
  std::future<EventAnswer> handler;
  {
    HandlerSlot::Registration registered(slot, interrupt);
    handler = std::async(std::launch::async, [&] { return slot.Deliver(ConsoleEvent::kClose, 60s); });
    while (!interrupt.CancelRequested()) std::this_thread::yield();
    EXPECT_EQ(handler.wait_for(50ms), std::future_status::timeout) << "returned before the command ended";
  }
  // The handler leaves the slot just before its thread hands back the answer.
  ASSERT_EQ(handler.wait_for(10s), std::future_status::ready) << "the handler did not return once the command ended";
  EXPECT_EQ(handler.get(), EventAnswer::kCancelAndWait);

  ConsoleInterrupt stuck;
  HandlerSlot::Registration registered(slot, stuck);
  EXPECT_EQ(slot.Deliver(ConsoleEvent::kShutdown, 20ms), EventAnswer::kCancelAndWait);
  EXPECT_FALSE(stuck.WaitUntilSettled(0ms));
}

}  // namespace
}  // namespace plexi::cli
