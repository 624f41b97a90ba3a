// plexiscrub-cli erase: the program's erase workflow with the terminal as
// its windows. Questions are asked on standard input unless --yes answers
// them; Ctrl+C interrupts the erase, which then leaves a resume record. A
// drive's own purge cannot be interrupted: Ctrl+C during it stops the erase
// once the drive is done. From the first write until the report is filed
// Ctrl+C only asks the erase to stop; a console that closes meanwhile stops
// it too, and the tool ends once the record and the report are written.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <iostream>
#include <mutex>
#include <thread>

#include "cli/cli_common.h"
#include "cli/cli_erase_parts.h"
#include "drives/discovery.h"
#include "erase/erase_workflow.h"
#include "erase/journal_keeper.h"
#include "platform/host.h"

namespace plexi::cli {

bool AskOnTerminal(std::ostream& err, const std::string& prompt) {
  err << prompt << " [y/N] " << std::flush;
  std::string answer;
  if (!std::getline(std::cin, answer)) return false;
  return answer == "y" || answer == "Y" || answer == "yes";
}

bool ReadDelWord(const Options& o, std::ostream& err) {
  err << Said(o, "Type del to start: ", "開始するには del と入力して下さい: ") << std::flush;
  std::string word;
  std::getline(std::cin, word);
  std::transform(word.begin(), word.end(), word.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return word == "del";
}

const char* AnswerText(const Options& o, bool yes) {
  return yes ? Said(o, " → yes", " → はい") : Said(o, " → no", " → いいえ");
}

std::optional<bool> ResumeAnswerOf(const Options& o, const EraseQuestion& question) {
  if (question.id != EraseQuestion::Id::kResume) return std::nullopt;
  return o.resume;
}

bool UnattendedRun(const Options& o) { return o.yes || !o.interactive || o.interrupt->Closing(); }

bool AnswerOfClosedConsole(const EraseQuestion& question) {
  return question.id == EraseQuestion::Id::kSaveResumePoint;
}

bool PurgeAsked(const Options& o) { return o.method == MethodCode(OverwriteMethod::kFirmwarePurge); }

void PrintPurgeLines(const Options& o, const ConfirmRequest& request, std::ostream& out) {
  if (!PurgeAsked(o)) return;
  for (const std::string& line : request.purge_lines) out << line << "\n";
}

ConfirmChoice ChoiceOfOptions(const Options& o, const ConfirmRequest& request, std::ostream& err) {
  // The option is checked when read: 0 to 3.
  const std::optional<OverwriteMethod> asked = o.method ? MethodOfCode(*o.method) : std::nullopt;
  ConfirmChoice choice{true, o.verify, !o.no_history, asked.value_or(request.method)};
  if (!request.method_enabled) {
    if (asked && *asked != request.method)
      err << "plexiscrub-cli: " << Said(o, "a resumed erase keeps its method ", "続きからの消去は消去方式を変えられません: ")
          << MethodCode(request.method) << "\n";
    choice.method = request.method;
    if (!o.verify)
      err << "plexiscrub-cli: "
          << Said(o,
                  "resuming without --verify: the part written before the interruption is not read back, so the "
                  "erase will not count as Clear",
                  "--verify なしで続けます: 中断前に書き込んだ部分は読み戻さないため、照合済みの消去（Clear）には"
                  "なりません")
          << "\n";
  }
  return choice;
}

namespace {

// One status line on standard error, redrawn when the percentage moves.
class TerminalProgress : public ProgressView {
 public:
  TerminalProgress(std::ostream& err, uint64_t verify_max) : err_(err), verify_max_(verify_max) {}
  ~TerminalProgress() override { err_ << "\n"; }
  void SetWriteMaximum(uint64_t max) override { write_max_ = std::max<uint64_t>(max, 1); }
  void SetWritePosition(uint64_t p) override { Show(p, write_max_); }
  void SetVerifyPosition(uint64_t p) override { Show(p, verify_max_); }
  void SetPassText(const std::string& t) override {
    pass_ = t;
    Draw();
  }
  void SetEstimateText(const std::string& t) override { estimate_ = t; }
  void SetCaption(const std::string& t) override { pass_ = t; }

 private:
  void Show(uint64_t position, uint64_t max) {
    int percent = int(std::min<uint64_t>(100, position * 100 / std::max<uint64_t>(max, 1)));
    if (percent == percent_) return;
    percent_ = percent;
    Draw();
  }
  void Draw() {
    err_ << "\r" << pass_ << "  " << std::max(percent_, 0) << "%  " << estimate_ << "      " << std::flush;
  }

  std::ostream& err_;
  uint64_t write_max_ = 1;
  uint64_t verify_max_ = 1;
  int percent_ = -1;
  std::string pass_, estimate_;
};

// The drive's progress during a purge, where it reports one.
class TerminalPurgeView : public PurgeView {
 public:
  TerminalPurgeView(std::ostream& err, std::string label) : err_(err), label_(std::move(label)) {}
  ~TerminalPurgeView() override { err_ << "\n"; }
  void SetPurgeProgress(std::optional<uint32_t> progress) override {
    const int percent = progress ? int(std::min<uint64_t>(100, uint64_t(*progress) * 100 / 65536)) : -1;
    if (percent == percent_ && drawn_) return;
    percent_ = percent;
    drawn_ = true;
    err_ << "\r" << label_ << "  " << (percent < 0 ? std::string("...") : std::to_string(percent) + "%") << "      "
         << std::flush;
  }

 private:
  std::ostream& err_;
  std::string label_;
  int percent_ = -1;
  bool drawn_ = false;
};

class TerminalEraseUi : public EraseUi {
 public:
  TerminalEraseUi(const Options& o, std::ostream& out, std::ostream& err)
      : o_(o), out_(out), err_(err), interrupt_(*o.interrupt) {}

  // Where an interrupt from the terminal goes: the erase's cancel request.
  void CancelInto(std::atomic<bool>& flag) { cancel_ = &flag; }

  void ShowMessage(const std::string& text) override { err_ << "plexiscrub-cli: " << OneLine(text) << "\n"; }

  bool Ask(const EraseQuestion& question) override {
    if (const std::optional<bool> answer = ResumeAnswerOf(o_, question)) {
      out_ << "[" << question.caption << "] " << question.text << AnswerText(o_, *answer) << "\n";
      return *answer;
    }
    const bool answer = Ask(question.text, question.caption, true);
    return interrupt_.Closing() ? AnswerOfClosedConsole(question) : answer;
  }

  ConfirmChoice ConfirmErase(const ConfirmRequest& request) override {
    out_ << "[" << request.caption << "]\n" << request.text << "\n";
    PrintPurgeLines(o_, request, out_);
    ConfirmChoice choice = ChoiceOfOptions(o_, request, err_);
    if (!o_.yes) choice.ok = ReadDelWord(o_, err_);
    return choice;
  }

  // The purge runs right here; an interrupt meanwhile is held until the
  // drive is done, and then stops the erase.
  PurgeRun RunPurge(const PurgeRequest& request, const PurgeTask& task) override {
    HoldInterrupts();
    out_ << request.first_line << "\n" << request.command << "\n" << std::flush;
    PurgeRun run;
    {
      TerminalPurgeView view(err_, request.note);
      run = task(view);
    }
    if (interrupt_.CancelRequested() && cancel_) {
      err_ << "plexiscrub-cli: "
           << Said(o_, "the drive's purge cannot be interrupted; the erase stops now that it has ended",
                   "ドライブのファームウェア消去は中断できません。終わったので、ここで消去を止めます")
           << "\n";
      *cancel_ = true;
    }
    return run;
  }

  WorkerReport RunProgress(const ProgressRequest& request, const WorkerFactory& make_worker) override {
    HoldInterrupts();
    out_ << request.first_line << "\n" << std::flush;
    SerialDispatcher gui;
    TerminalProgress view(err_, request.bar_maximum);
    std::unique_ptr<TPlexiscrubThread> worker = make_worker(view, gui);
    std::mutex mutex;
    std::condition_variable ended_signal;
    bool ended = false;
    worker->Start([&] {
      std::lock_guard lock(mutex);
      ended = true;
      ended_signal.notify_all();
    });
    // Wait for the worker; pass an interrupt on as a cancel request.
    {
      std::unique_lock lock(mutex);
      while (!ended) {
        if (interrupt_.CancelRequested() && cancel_) *cancel_ = true;
        ended_signal.wait_for(lock, std::chrono::milliseconds(50));
      }
    }
    return worker->Join();
  }

 private:
  bool Ask(const std::string& text, const std::string& caption, bool yes_answer) {
    if (o_.yes) {
      out_ << "[" << caption << "] " << text << AnswerText(o_, yes_answer) << "\n";
      return yes_answer;
    }
    return AskOnTerminal(err_, "[" + caption + "] " + text);
  }

  // From the first write on, held until this erase ends (its report filed).
  void HoldInterrupts() {
    if (!hold_) hold_.emplace(interrupt_);
  }

  const Options& o_;
  std::ostream& out_;
  std::ostream& err_;
  ConsoleInterrupt& interrupt_;
  std::atomic<bool>* cancel_ = nullptr;
  std::optional<ConsoleInterrupt::Hold> hold_;
};

class TerminalEnvironment : public EraseEnvironment {
 public:
  TerminalEnvironment(const Options& o, std::ostream& err) : o_(o), err_(err) {}
  int32_t UpdateEraseCount(EraseCountOp) override { return 0; }
  bool Unattended() override { return UnattendedRun(o_); }
  void ReportError(const std::string& message, const std::string& label) override {
    err_ << "plexiscrub-cli: " << label << ": " << OneLine(message) << "\n";
  }

 private:
  const Options& o_;
  std::ostream& err_;
};

}  // namespace

std::string ResultText(RecordLeft result, const EraseWorkflow& workflow, Language language) {
  const EraseJournal& journal = workflow.Journal();
  if (workflow.Outcome() == EraseOutcome::kReadBackStopped)
    return InLanguage(language, "every pass written; the read-back was stopped at ",
                      "全ての工程を書き込みました。照合は次の位置で止めました: ") +
           std::to_string(ReadBackPercent(journal)) + "%";
  std::string text = ResultText(result, workflow.Outcome(), language);
  if (workflow.Outcome() == EraseOutcome::kCompleted && EarlierPartUnchecked(journal))
    text +=
        InLanguage(language, "; the part written before the interruption was not read back, so the erase is not Clear",
                   "。中断前に書き込んだ部分は読み戻していないため、照合済みの消去（Clear）ではありません");
  return text;
}

const char* ResultText(RecordLeft result, EraseOutcome outcome, Language language) {
  const auto in = [language](const char* english, const char* japanese) {
    return InLanguage(language, english, japanese);
  };
  if (outcome == EraseOutcome::kFailed && result == RecordLeft::kResume)
    return in("failed; resume record saved, a later erase can continue from there",
              "失敗。再開情報を保存しました。次の消去で続きから行えます");
  switch (result) {
    case RecordLeft::kBlank: return in("erased (first sector left blank)", "消去完了（先頭セクタは空白のまま）");
    case RecordLeft::kResume: return in("interrupted; resume record saved", "中断。再開情報を保存しました");
    case RecordLeft::kCompletion: return in("erased; completion record saved", "消去完了。完了の記録を保存しました");
    default: break;
  }
  switch (outcome) {
    case EraseOutcome::kInterruptedPartly:
      return in("interrupted; partly overwritten, no resume record", "中断。一部だけ上書きされ、再開情報はありません");
    case EraseOutcome::kFailed:
    case EraseOutcome::kVerificationFailed:
      return in("failed; partly overwritten, nothing recorded", "失敗。一部だけ上書きされ、何も記録していません");
    case EraseOutcome::kReadBackFailed:
      return in("every pass written; the read-back failed, nothing recorded",
                "全ての工程を書き込みましたが、照合に失敗しました。何も記録していません");
    case EraseOutcome::kErasedWithExceptions:
      return in("erased with exceptions: some sectors could not be written or read back, no completion record",
                "例外付きの消去: 書き込めない、または読み戻せないセクタがあります。完了の記録はありません");
    default: return in("nothing erased", "消去していません");
  }
}


int ExitCodeOf(EraseOutcome outcome) {
  switch (outcome) {
    case EraseOutcome::kCompleted: return kOk;
    case EraseOutcome::kInterruptedSaved: return kInterrupted;
    case EraseOutcome::kInterruptedPartly: return kPartlyErased;
    case EraseOutcome::kFailed:
    case EraseOutcome::kVerificationFailed:
    case EraseOutcome::kReadBackFailed: return kFailed;
    case EraseOutcome::kReadBackStopped: return kReadBackStopped;
    case EraseOutcome::kErasedWithExceptions: return kErasedWithExceptions;
    default: break;  // nothing written
  }
  return kRefused;
}

EraseJournal RefusedJournal(platform::Machine& machine, const Options& o, size_t index, const std::string& why) {
  EraseJournal journal = JournalOfTarget(EraseTargetOf(o, index));
  journal.started = journal.ended = machine.Now();
  journal.outcome = EraseOutcome::kRefused;
  journal.errors.push_back({why, 0, std::nullopt});
  return journal;
}


EraseTarget EraseTargetOf(const Options& o, size_t index) {
  const std::string& target = o.positional[index];
  EraseTarget erase_target;
  erase_target.asset_number = index < o.assets.size() ? o.assets[index] : std::string();
  erase_target.media_source = o.media_source.value_or(std::string());
  erase_target.device_path = DevicePathOf(target);
  erase_target.designator = DesignatorOfTarget(target);
  erase_target.label = target;
  const bool volume =
      (erase_target.designator && !erase_target.designator->IsPhysical()) || IsVolumePath(erase_target.device_path);
  erase_target.view = volume ? ViewMode::kPartition : ViewMode::kPhysical;
  return erase_target;
}

int EraseCommand(const Options& o, std::ostream& out, std::ostream& err) {
  if (o.positional.empty()) {
    err << "plexiscrub-cli: " << Said(o, "erase needs a TARGET", "erase には TARGET が必要です") << "\n";
    return kUsage;
  }
  if (o.positional.size() > 1) return EraseManyCommand(o, out, err);
  std::unique_ptr<platform::Machine> machine = OpenMachine(o, err);
  if (!machine) return kFailed;
  const std::string& target = o.positional[0];
  if (TargetIsProtected(o, *machine, target, err)) {
    out << Said(o, "result: ", "結果: ") << "-1 (" << ResultText(RecordLeft::kNone, EraseOutcome::kRefused, o.language)
        << ")\n";
    FileReportOfErase(o, *machine, RefusedJournal(*machine, o, 0, erase_text::kProtected), out, err);
    return kRefused;
  }
  if (!o.simulate) {
    const std::string use = platform::DescribeHostDeviceUse(DevicePathOf(target), o.language);
    if (!use.empty()) {
      err << "plexiscrub-cli: " << Said(o, "refusing to erase: ", "消去しません: ") << use << "\n";
      FileReportOfErase(o, *machine, RefusedJournal(*machine, o, 0, use), out, err);
      return kRefused;
    }
  }

  o.interrupt->ClearRequest();
  EstimateState estimate;
  TerminalEnvironment env(o, err);
  // Made before the workflow and let go after the report: the hold on
  // Ctrl+C it takes lasts until then.
  TerminalEraseUi ui(o, out, err);
  // The tool has no window to keep responsive: the worker runs unpaced.
  EraseWorkflow workflow(*machine, ui, env, estimate, TerminalPacing(o));
  ui.CancelInto(workflow.CancelFlag());
  // Firmware commands reach the drive only when the purge was asked for.
  workflow.OfferPurge(PurgeAsked(o));
  workflow.SpeakIn(o.language);
  EraseTarget erase_target = EraseTargetOf(o, 0);
  // A protection added while the questions are open still stops the erase.
  erase_target.protection = ProtectionCheckOf(o, *machine, target);
  // The same first question as the program's erase button.
  RecordLeft result = RecordLeft::kNone;
  const bool result_asked = ui.Ask(erase_text::EraseDriveQuestion(target, o.language));
  if (result_asked) result = workflow.RunErase(erase_target);
  out << Said(o, "result: ", "結果: ") << int(result) << " (" << ResultText(result, workflow, o.language) << ")\n";
  // An erase the user declined at a question calls for no report.
  if (result_asked) FileReportOfErase(o, *machine, workflow.Journal(), out, err);
  return ExitCodeOf(workflow.Outcome());
}

}  // namespace plexi::cli
