// What the erase's dialogs decide, apart from their windows: when the start
// button is armed, what the confirmation returns, the access-lamp reads,
// the shutdown line, and the life of the worker under the progress dialog.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "erase/erase_workflow.h"
#include "platform/platform.h"

namespace plexi {

// The confirmation word: "del" in any letter case, nothing around it.
bool ConfirmWordTyped(std::string_view text);

// What the confirmation dialog hands back: a resumed erase keeps its method
// whatever the (disabled) radio group shows, and a selection outside the
// three methods keeps the preset one.
ConfirmChoice ReadConfirmChoice(const ConfirmRequest& request, bool ok, bool verify,
                                bool save_history, int selected_method);

// One flicker of the access lamp: up to 10 sector reads from where the
// handle stands, stopping at the first that fails or moves nothing, and the
// handle back at byte 0. Returns the reads that succeeded.
int BlinkAccessLamp(platform::Device& drive, uint8_t* buffer, uint32_t bytes_per_sector);
inline constexpr int kBlinkReads = 10;

// "Windows終了設定 ： " + the mode's name, empty for no mode.
std::string ShutdownLineText(const std::string& mode_name);

// The shutdown line remembers what it shows, so that choosing the same mode
// again writes nothing.
class ShutdownLine {
 public:
  // True when `text` differs from what is shown and must be written.
  bool Update(const std::string& text);
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

// The worker under one progress dialog: made and started when the dialog
// is shown, and waited for without ever blocking its GUI steps.
class WorkerRun {
 public:
  WorkerRun() = default;
  ~WorkerRun();
  WorkerRun(const WorkerRun&) = delete;
  WorkerRun& operator=(const WorkerRun&) = delete;

  // Makes the worker (on the GUI thread) and starts it; `on_end` runs as a
  // GUI step once the worker's loop is over.
  void Start(const WorkerFactory& make_worker, ProgressView& view, GuiDispatcher& gui,
             std::function<void()> on_end);
  bool Started() const { return worker_ != nullptr; }
  bool Ended() const { return ended_; }
  // Calls `pump` until the worker has ended, then joins it and returns how
  // it ended (a failure when no worker was made). `pump` must run the
  // worker's GUI steps (it may block until one arrives); joining without it
  // could wait for a step that never runs.
  WorkerReport WaitForEnd(const std::function<void()>& pump);

 private:
  std::unique_ptr<TPlexiscrubThread> worker_;
  bool ended_ = false;  // written and read on the GUI thread only
};

}  // namespace plexi
