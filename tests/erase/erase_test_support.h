// Test doubles for the erase: a dispatcher that runs the worker's GUI steps
// in place, a progress view that records what it was told, and a scripted
// set of erase windows.
#pragma once
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/erase_button.h"
#include "erase/chunk_layout.h"
#include "erase/confirmation_text.h"
#include "erase/erase_workflow.h"

namespace plexi::test {

class InlineDispatcher : public GuiDispatcher {
 public:
  void RunOnGui(const std::function<void()>& step) override {
    std::lock_guard lock(mutex_);
    ++steps;
    step();
  }
  int steps = 0;

 private:
  std::mutex mutex_;
};

class RecordingView : public ProgressView {
 public:
  void SetWriteMaximum(uint64_t max) override { write_max = max; }
  void SetWritePosition(uint64_t p) override {
    write_positions.push_back(p);
    if (on_write) on_write(p);
  }
  void SetVerifyPosition(uint64_t p) override {
    verify_positions.push_back(p);
    if (on_verify) on_verify(p);
  }
  void SetPassText(const std::string& t) override { events.push_back("pass:" + t); }
  void SetEstimateText(const std::string& t) override { estimates.push_back(t); }
  void SetCaption(const std::string& t) override { events.push_back("caption:" + t); }

  uint64_t write_max = 0;
  std::vector<uint64_t> write_positions, verify_positions;
  std::vector<std::string> events, estimates;
  std::function<void(uint64_t)> on_write, on_verify;
};

// Answers the erase's questions from a script and records what was asked.
class ScriptedEraseUi : public EraseUi {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  bool Ask(const EraseQuestion& q) override {
    questions.push_back(q.caption + "|" + q.text);
    asked.push_back(q.id);
    if (q.id == EraseQuestion::Id::kEraseDrive && on_ask) on_ask();
    return Next();
  }
  ConfirmChoice ConfirmErase(const ConfirmRequest& request) override {
    confirm_requests.push_back(request);
    if (on_confirm) on_confirm();
    ConfirmChoice c = choice;
    if (!request.method_enabled) c.method = request.method;
    return c;
  }
  WorkerReport RunProgress(const ProgressRequest& request, const WorkerFactory& make_worker) override {
    progress_requests.push_back(request);
    if (!run_worker) return WorkerReport{};  // a dialog that could not be shown
    InlineDispatcher gui;
    auto worker = make_worker(view, gui);
    bool ended = false;
    worker->Start([&] { ended = true; });
    WorkerReport outcome = worker->Join();
    EXPECT_TRUE(ended);
    if (after_progress) after_progress();
    return outcome;
  }

  std::deque<bool> answers;  // answers to the questions, in order; true when exhausted
  // What happens elsewhere while the first question or the confirmation is open.
  std::function<void()> on_ask, on_confirm;
  // What happens once the worker has ended, before the dialog returns.
  std::function<void()> after_progress;
  bool run_worker = true;
  ConfirmChoice choice{true, false, true, OverwriteMethod::kZeros};
  std::vector<std::string> messages, questions;
  std::vector<EraseQuestion::Id> asked;
  std::vector<ConfirmRequest> confirm_requests;
  std::vector<ProgressRequest> progress_requests;
  RecordingView view;

 private:
  bool Next() {
    if (answers.empty()) return true;
    bool a = answers.front();
    answers.pop_front();
    return a;
  }
};

class FakeEnvironment : public EraseEnvironment {
 public:
  int32_t UpdateEraseCount(EraseCountOp op) override {
    const int operation = static_cast<int>(op);
    operations.push_back(operation);
    if (operation == 1) return count++;
    if (operation == 2) count = count > 0 ? count - 1 : 0;
    return count;
  }
  bool Unattended() override { return unattended; }
  void ReportError(const std::string& message, const std::string& label) override {
    reported.push_back(label + "|" + message);
  }
  int32_t count = 0;
  bool unattended = false;
  std::vector<int> operations;
  std::vector<std::string> reported;
};

}  // namespace plexi::test
