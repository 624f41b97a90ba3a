#include <windows.h>

#include <io.h>

#include <atomic>
#include <chrono>
#include <iostream>
#include <optional>

#include "cli/cli.h"
#include "cli/console_interrupt.h"
#include "erase/erase_texts.h"
#include "platform/win/session_end_watch_win.h"
#include "platform/win/utf.h"

namespace {

using plexi::cli::ConsoleEvent;
using plexi::cli::EventAnswer;

// How long a closing console, session or system waits for the erase to
// write its resume record and file its report: inside the five seconds the
// system gives a handler before it ends the process (SPI_GETHUNGAPPTIMEOUT
// for CTRL_CLOSE_EVENT, SPI_GETWAITTOKILLTIMEOUT for the others, 5000 ms by
// default; "HandlerRoutine callback function", Timeouts,
// https://learn.microsoft.com/en-us/windows/console/handlerroutine).
constexpr std::chrono::milliseconds kClosingWait{4500};

// The one object the console's handler reaches: where the command's
// interrupt state is registered, and the output code page to give back
// when an event ends the tool at once.
struct ConsoleHandlerState {
  plexi::cli::HandlerSlot slot;
  std::atomic<UINT> code_page{0};
};
constinit ConsoleHandlerState g_console;

std::optional<ConsoleEvent> EventOf(DWORD type) {
  switch (type) {
    case CTRL_C_EVENT: return ConsoleEvent::kCtrlC;
    case CTRL_BREAK_EVENT: return ConsoleEvent::kCtrlBreak;
    case CTRL_CLOSE_EVENT: return ConsoleEvent::kClose;
    case CTRL_LOGOFF_EVENT: return ConsoleEvent::kLogoff;
    case CTRL_SHUTDOWN_EVENT: return ConsoleEvent::kShutdown;
    default: return std::nullopt;
  }
}

// Runs on a thread the system makes for each event ("HandlerRoutine
// callback function", https://learn.microsoft.com/en-us/windows/console/handlerroutine).
// TRUE keeps the tool running after Ctrl+C or Ctrl+Break; after the console
// closes (or the session or system ends) the system ends the process as
// soon as this returns, whatever it returns, so it returns only once the
// command has ended or the wait is over. FALSE passes the event on to the
// default handler, which calls ExitProcess: the code page goes back first.
BOOL WINAPI OnConsoleEvent(DWORD type) {
  const std::optional<ConsoleEvent> event = EventOf(type);
  if (!event) return FALSE;
  if (g_console.slot.Deliver(*event, kClosingWait) != EventAnswer::kDefault) return TRUE;
  if (const UINT saved = g_console.code_page.load(); saved != 0) SetConsoleOutputCP(saved);
  return FALSE;
}

// Our texts are UTF-8: the console's output code page is set to it for the
// tool's life and given back on the way out, so the console the user goes
// on in shows its own code page's text as before. Without a console there
// is nothing to set ("GetConsoleOutputCP function": zero on failure,
// https://learn.microsoft.com/en-us/windows/console/getconsoleoutputcp;
// "SetConsoleOutputCP function",
// https://learn.microsoft.com/en-us/windows/console/setconsoleoutputcp).
class Utf8Output {
 public:
  Utf8Output() : saved_(GetConsoleOutputCP()) {
    if (saved_ != 0) SetConsoleOutputCP(CP_UTF8);
    g_console.code_page = saved_;
  }
  ~Utf8Output() {
    g_console.code_page = 0;
    if (saved_ != 0) SetConsoleOutputCP(saved_);
  }
  Utf8Output(const Utf8Output&) = delete;
  Utf8Output& operator=(const Utf8Output&) = delete;

 private:
  const UINT saved_;
};

// The handler in the process's list for the life of wmain's command. The
// C runtime's signal(SIGINT, ...) would not do: it puts the default back
// before it calls the handler, so a second Ctrl+C would end the tool with
// no record and no report ("signal",
// https://learn.microsoft.com/en-us/cpp/c-runtime-library/reference/signal),
// and it never hears of the console closing
// ("SetConsoleCtrlHandler function",
// https://learn.microsoft.com/en-us/windows/console/setconsolectrlhandler).
class ConsoleHandler {
 public:
  ConsoleHandler() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }
  ~ConsoleHandler() { SetConsoleCtrlHandler(OnConsoleEvent, FALSE); }
  ConsoleHandler(const ConsoleHandler&) = delete;
  ConsoleHandler& operator=(const ConsoleHandler&) = delete;
};

// The console handler hears no logoff or shutdown once user32 is loaded
// (setupapi loads it): a hidden window hears them instead
// ("SetConsoleCtrlHandler function", Remarks,
// https://learn.microsoft.com/en-us/windows/console/setconsolectrlhandler).
// While an erase writes it holds a shutdown with the reason, without
// stopping the erase; at the end of the session it stops the erase and
// waits for its record, as a closing console does.
plexi::win::SessionEndWatch::Handlers SessionEndHandlers(const plexi::cli::ConsoleInterrupt& interrupt) {
  return {[&interrupt]() -> std::optional<std::wstring> {
            if (!interrupt.Held()) return std::nullopt;
            return plexi::win::Utf8ToWide(plexi::erase_text::kEraseHoldsSessionEnd);
          },
          [](bool logoff) {
            static_cast<void>(g_console.slot.Deliver(logoff ? ConsoleEvent::kLogoff : ConsoleEvent::kShutdown,
                                                     kClosingWait));
          }};
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(plexi::win::WideToUtf8(argv[i]));
  Utf8Output utf8;
  plexi::cli::ConsoleInterrupt interrupt;
  plexi::cli::HandlerSlot::Registration registered(g_console.slot, interrupt);
  ConsoleHandler handler;
  plexi::win::SessionEndWatch session_watch(SessionEndHandlers(interrupt));
  const int code = plexi::cli::RunCli(args, std::cout, std::cerr, _isatty(_fileno(stdin)) != 0, interrupt);
  // The command has ended, its record written and its report filed: a
  // waiting end of the session may go on before the watch is let go.
  interrupt.Settle();
  return code;
}
