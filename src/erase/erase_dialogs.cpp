#include "erase/erase_dialogs.h"

namespace plexi {

bool ConfirmWordTyped(std::string_view text) {
  constexpr std::string_view kWord = "del";
  if (text.size() != kWord.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (c != kWord[i]) return false;
  }
  return true;
}

ConfirmChoice ReadConfirmChoice(const ConfirmRequest& request, bool ok, bool verify,
                                bool save_history, int selected_method) {
  ConfirmChoice choice;
  choice.ok = ok;
  choice.verify = verify;
  choice.save_history = save_history;
  const std::optional<OverwriteMethod> selected = MethodOfCode(selected_method);
  const bool allowed = selected && (*selected != OverwriteMethod::kFirmwarePurge || request.purge_offered);
  choice.method = request.method_enabled && allowed ? *selected : request.method;
  return choice;
}

int BlinkAccessLamp(platform::Device& drive, uint8_t* buffer, uint32_t bytes_per_sector) {
  int reads = 0;
  while (reads < kBlinkReads) {
    const platform::IoResult r = drive.Read(buffer, bytes_per_sector);
    if (!r.ok() || r.value() == 0) break;
    ++reads;
  }
  // The handle back at the start of the drive. Best effort: the record
  // access and the worker position the handle themselves before any transfer.
  static_cast<void>(drive.SetPosition(0));
  return reads;
}

std::string ShutdownLineText(const std::string& mode_name) {
  return mode_name.empty() ? std::string() : "Windows終了設定 ： " + mode_name;
}

bool ShutdownLine::Update(const std::string& text) {
  if (text == text_) return false;
  text_ = text;
  return true;
}

WorkerRun::~WorkerRun() {
  // The owner waits with WaitForEnd; by now the worker sends no more steps.
  if (worker_) static_cast<void>(worker_->Join());
}

void WorkerRun::Start(const WorkerFactory& make_worker, ProgressView& view, GuiDispatcher& gui,
                      std::function<void()> on_end) {
  ended_ = false;
  worker_ = make_worker(view, gui);
  if (!worker_) {
    ended_ = true;
    if (on_end) on_end();
    return;
  }
  worker_->Start([this, on_end = std::move(on_end)] {
    ended_ = true;
    if (on_end) on_end();
  });
}

WorkerReport WorkerRun::WaitForEnd(const std::function<void()>& pump) {
  if (!worker_) return WorkerReport{};
  while (!ended_) pump();
  return worker_->Join();
}

}  // namespace plexi
