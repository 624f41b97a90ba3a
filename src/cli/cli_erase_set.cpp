// The engine of a set of drives erased at once (cli_erase_set.h): the
// drives' jobs and threads, the gate they meet at, the checks before, the
// waiting, the exit code and the reports. What the user sees is the
// presenter's.
#include "cli/cli_erase_set.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <iomanip>
#include <limits>
#include <mutex>
#include <sstream>
#include <thread>

#include "cli/cli_erase_parts.h"
#include "drives/target_check.h"
#include "platform/host.h"
#include "util/ascii_text.h"

namespace plexi::cli {

bool Overlap(const Footprint& a, const Footprint& b) {
  if (a.device != b.device) return false;
  constexpr uint64_t kEnd = std::numeric_limits<uint64_t>::max();
  const auto end = [](const Footprint& f) {
    return f.length == 0 || f.offset > kEnd - f.length ? kEnd : f.offset + f.length;
  };
  return a.offset < end(b) && b.offset < end(a);
}

namespace {

using Clock = std::chrono::steady_clock;

// One drive's progress dialog: its bar positions as a percentage.
class DriveProgressView : public ProgressView {
 public:
  DriveProgressView(SetPresenter& presenter, size_t drive, uint64_t verify_max)
      : presenter_(presenter), drive_(drive), verify_max_(std::max<uint64_t>(verify_max, 1)) {}
  void SetWriteMaximum(uint64_t max) override { write_max_ = std::max<uint64_t>(max, 1); }
  void SetWritePosition(uint64_t p) override { Show(p, write_max_); }
  void SetVerifyPosition(uint64_t p) override { Show(p, verify_max_); }
  void SetPassText(const std::string& t) override { presenter_.SetPass(drive_, t); }
  void SetEstimateText(const std::string& t) override { presenter_.SetEstimate(drive_, t); }
  void SetCaption(const std::string& t) override { presenter_.SetPass(drive_, t); }

 private:
  void Show(uint64_t position, uint64_t max) {
    presenter_.SetPercent(drive_, int(std::min<uint64_t>(100, position * 100 / max)));
  }

  SetPresenter& presenter_;
  size_t drive_;
  uint64_t write_max_ = 1;
  uint64_t verify_max_;
};

// One drive's purge, as far as the drive reports it.
class DrivePurgeView : public PurgeView {
 public:
  DrivePurgeView(SetPresenter& presenter, size_t drive, std::string command)
      : presenter_(presenter), drive_(drive), command_(std::move(command)) {}
  void SetPurgeProgress(std::optional<uint32_t> progress) override {
    std::optional<int> percent;
    if (progress) percent = int(std::min<uint64_t>(100, uint64_t(*progress) * 100 / 65536));
    presenter_.SetPurge(drive_, command_, percent);
  }

 private:
  SetPresenter& presenter_;
  size_t drive_;
  std::string command_;
};

// Where the drives' threads meet the waiting thread: each drive stops at
// its confirmation until the whole set is confirmed or declined.
class SetGate {
 public:
  enum class Stage { kPreparing, kAtConfirmation, kEnded };

  explicit SetGate(size_t drives) : stages_(drives, Stage::kPreparing) {}

  // A drive's thread: at the confirmation; true once the set goes ahead.
  bool ArriveAndWait(size_t drive) {
    std::unique_lock lock(mutex_);
    stages_[drive] = Stage::kAtConfirmation;
    changed_.notify_all();
    changed_.wait(lock, [&] { return decision_.has_value(); });
    return *decision_;
  }

  void Ended(size_t drive) {
    std::lock_guard lock(mutex_);
    stages_[drive] = Stage::kEnded;
    changed_.notify_all();
  }

  // The waiting thread: how far a drive got before it stopped for the set,
  // waiting up to `time` for it to get there.
  Stage WaitWhilePreparing(size_t drive, std::chrono::milliseconds time) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, time, [&] { return stages_[drive] != Stage::kPreparing; });
    return stages_[drive];
  }

  void Decide(bool go) {
    std::lock_guard lock(mutex_);
    decision_ = go;
    changed_.notify_all();
  }

  // Waits up to `time` for a drive to end; true when all have.
  bool WaitForAllEnded(std::chrono::milliseconds time) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, time, [&] {
      return std::all_of(stages_.begin(), stages_.end(), [](Stage s) { return s == Stage::kEnded; });
    });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Stage> stages_;
  std::optional<bool> decision_;
};

// One drive of the set: its workflow and everything that workflow calls.
class DriveJob : public EraseUi, public EraseEnvironment {
 public:
  DriveJob(const Options& o, platform::Machine& machine, SetPresenter& presenter, SetGate& gate, size_t index,
           DriveFacts facts)
      : o_(o), machine_(machine), presenter_(presenter), gate_(gate), index_(index), facts_(std::move(facts)),
        workflow_(machine, *this, *this, estimate_, TerminalPacing(o)) {
    workflow_.OfferPurge(PurgeAsked(o));
    workflow_.SpeakIn(o.language);
  }

  ~DriveJob() override {
    if (thread_.joinable()) thread_.join();
  }

  void Start() {
    thread_ = std::thread([this] {
      EraseTarget target = EraseTargetOf(o_, index_);
      // A protection added while the questions are open still stops the erase.
      target.protection = ProtectionCheckOf(o_, machine_, facts_.target);
      target.listed = facts_.identity;
      result_ = workflow_.RunErase(target);
      presenter_.SetEnded(index_, workflow_.Outcome(), OutcomeText());
      gate_.Ended(index_);
    });
  }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }
  // The waiting thread's Ctrl+C; repeated until the drive ends, so that a
  // request made before the workflow reset its flag is not lost.
  void Cancel() { workflow_.RequestCancel(); }

  const DriveFacts& Facts() const { return facts_; }
  RecordLeft Result() const { return result_; }
  EraseOutcome Outcome() const { return workflow_.Outcome(); }
  const EraseJournal& Journal() const { return workflow_.Journal(); }
  // From the start of the erase (a drive's own purge included) to its end;
  // 0 when nothing ran.
  double Seconds() const {
    const bool ran = seconds_ > 0 || DriveTouched(workflow_.Outcome());
    return ran ? std::max(seconds_, workflow_.Journal().seconds) : 0;
  }
  // What the erase covered: the drive's own purge reaches all of it, the
  // passes as far as they wrote.
  uint64_t BytesErased() const {
    const EraseJournal& j = workflow_.Journal();
    const bool purged = j.method == OverwriteMethod::kFirmwarePurge && j.purge_completed;
    return purged ? std::max(j.capacity_bytes, j.bytes_written) : std::max(bytes_written_, j.bytes_written);
  }
  DriveSummary Summary() const { return {facts_, OutcomeText(), workflow_.Outcome(), Seconds(), BytesErased()}; }
  std::string OutcomeText() const {
    if (facts_.left_set) return Said(o_, "not started: it cannot run method 3", "開始せず: 方式 3 を実行できません");
    return ResultText(result_, workflow_, o_.language);
  }

  // EraseUi
  void ShowMessage(const std::string& text) override {
    presenter_.Message("plexiscrub-cli: " + facts_.target + ": " + OneLine(text));
  }

  bool Ask(const EraseQuestion& question) override {
    std::optional<bool> answer = ResumeAnswerOf(o_, question);
    if (!answer && o_.yes) answer = true;
    if (!answer) {
      const bool asked = presenter_.Ask(index_, question);
      return o_.interrupt->Closing() ? AnswerOfClosedConsole(question) : asked;
    }
    const std::string line = facts_.target + ": [" + question.caption + "] " + question.text;
    presenter_.Message(line + AnswerText(o_, *answer));
    return *answer;
  }

  ConfirmChoice ConfirmErase(const ConfirmRequest& request) override {
    std::ostringstream said;
    std::stringstream purge;
    PrintPurgeLines(o_, request, purge);
    for (std::string line; std::getline(purge, line);) presenter_.Message(facts_.target + ": " + line);
    ConfirmChoice choice = ChoiceOfOptions(o_, request, said);
    if (!said.str().empty()) presenter_.Message(facts_.target + ": " + OneLine(said.str()));
    facts_.method = choice.method;
    facts_.verify = choice.verify;
    facts_.resumed = !request.method_enabled;
    facts_.purge_command = request.purge_command;
    if (choice.method == OverwriteMethod::kFirmwarePurge && !request.purge_offered) {
      // Said now, before the table and the "del": this drive is not erased.
      presenter_.Message("plexiscrub-cli: " + facts_.target +
                     Said(o_, ": cannot purge itself now (see above); it leaves the set and is not erased",
                          ": 今はファームウェア消去を実行できません（上記のとおり）。このドライブは消去しません"));
      facts_.left_set = true;
      choice.ok = false;
      return choice;
    }
    choice.ok = gate_.ArriveAndWait(index_);
    return choice;
  }

  // The drive's own purge runs on this drive's thread, as the tool's
  // default does; the presenter hears how far it got.
  PurgeRun RunPurge(const PurgeRequest& request, const PurgeTask& task) override {
    DrivePurgeView view(presenter_, index_, request.command);
    view.SetPurgeProgress(std::nullopt);
    return task(view);
  }

  WorkerReport RunProgress(const ProgressRequest& request, const WorkerFactory& make_worker) override {
    SerialDispatcher gui;
    presenter_.SetCapacity(index_, workflow_.Journal().capacity_bytes);
    DriveProgressView view(presenter_, index_, request.bar_maximum);
    std::unique_ptr<TPlexiscrubThread> worker = make_worker(view, gui);
    const Clock::time_point began = Clock::now();
    worker->Start([] {});
    const WorkerReport run = worker->Join();
    seconds_ = std::chrono::duration<double>(Clock::now() - began).count();
    bytes_written_ = run.bytes_written;
    return run;
  }

  // EraseEnvironment
  int32_t UpdateEraseCount(EraseCountOp) override { return 0; }
  bool Unattended() override { return UnattendedRun(o_); }
  void ReportError(const std::string& message, const std::string& label) override {
    presenter_.Message("plexiscrub-cli: " + label + ": " + OneLine(message));
  }

 private:
  // The set's options with this drive's own choice of method and read-back.
  const Options o_;
  platform::Machine& machine_;
  SetPresenter& presenter_;
  SetGate& gate_;
  const size_t index_;
  DriveFacts facts_;
  EstimateState estimate_;
  EraseWorkflow workflow_;
  std::thread thread_;
  RecordLeft result_ = RecordLeft::kNone;
  double seconds_ = 0;
  uint64_t bytes_written_ = 0;
};

int Severity(int code);
int MostSerious(int a, int b) { return Severity(b) > Severity(a) ? b : a; }

// How serious an exit code is, when several drives end differently: a
// failure outweighs a partly overwritten drive, which outweighs one that
// was interrupted with its resume record, then one erased around sectors
// that failed, then one whose read-back was stopped, then one left untouched.
int Severity(int code) {
  switch (code) {
    case kFailed: return 6;
    case kPartlyErased: return 5;
    case kInterrupted: return 4;
    case kErasedWithExceptions: return 3;
    case kReadBackStopped: return 2;
    case kRefused: return 1;
    default: return 0;
  }
}

// The set's exit code: the most serious drive's, except that a set where
// some drives were erased and others were not written at all is neither
// "done" nor "nothing erased".
int SetExitCode(const std::vector<std::unique_ptr<DriveJob>>& jobs) {
  int code = kOk;
  bool some_written = false, some_untouched = false;
  for (const auto& job : jobs) {
    const bool untouched = !DriveTouched(job->Outcome());
    (untouched ? some_untouched : some_written) = true;
    if (!untouched) code = MostSerious(code, ExitCodeOf(job->Outcome()));
  }
  if (!some_written) return kRefused;
  return some_untouched && Severity(code) <= Severity(kReadBackStopped) ? kSomeNotErased : code;
}

// Where a target's bytes lie: the host's answer, else the drive's own.
std::vector<Footprint> FootprintOf(const Options& o, platform::Machine& machine, const std::string& target,
                                   std::string* problem) {
  const std::string path = DevicePathOf(target);
  if (!o.simulate) {
    if (std::optional<std::vector<Footprint>> host = HostFootprint(path, problem)) return *host;
  }
  platform::Result<std::unique_ptr<platform::Device>> opened = machine.OpenDevice(path, platform::Access::kQuery);
  if (!opened.ok()) {
    *problem = Said(o, "cannot open ", "開けません: ") + path + ": " + OneLine(SystemErrorText(machine, opened.error()));
    return {};
  }
  const Placement placement = PlaceDevice(*opened.value(), path);
  switch (placement.kind) {
    case Placement::Kind::kDisk: return {{"disk " + std::to_string(placement.disk), 0, 0}};
    case Placement::Kind::kVolume: {
      std::vector<Footprint> spans;
      for (const DiskSpan& span : placement.spans)
        spans.push_back({"disk " + std::to_string(span.disk), span.offset, span.length});
      if (!spans.empty()) return spans;
      break;
    }
    case Placement::Kind::kUnknown: break;
  }
  return {{"path " + UpperAscii(path), 0, 0}};
}

// The drive a target names now, as the erase reads it when it opens the
// drive: its descriptor and the size it would erase. Nothing when it does
// not answer (the erase then refuses it itself).
std::optional<DriveIdentity> IdentityNow(platform::Machine& machine, const EraseTarget& target) {
  platform::Result<std::unique_ptr<platform::Device>> opened =
      machine.OpenDevice(target.device_path, platform::Access::kRead);
  if (!opened.ok()) return std::nullopt;
  platform::Result<DriveExtent> extent = MeasureDrive(*opened.value(), target.device_path, target.view);
  if (!extent.ok()) return std::nullopt;
  DriveIdentity identity = ReadDriveIdentity(*opened.value()).value_or(DriveIdentity{});
  identity.size_text = FormatSize(extent->Bytes());
  return identity;
}

// The checks that stop the whole set before anything is opened for writing.
// Each refused target is named on `err` with why; a target refused for
// itself (protected, in use, not there) also gets its refusal report.
bool CheckTargets(const Options& o, platform::Machine& machine, std::vector<DriveFacts>& facts,
                  std::ostream& out, std::ostream& err) {
  bool refused = false;
  StreamNotifier notifier(err);
  std::vector<std::vector<Footprint>> footprints;
  for (size_t index = 0; index < facts.size(); ++index) {
    DriveFacts& drive = facts[index];
    const std::string& target = drive.target;
    std::ostringstream unsaid;
    if (std::optional<TargetDrive> found = FindTarget(o, machine, notifier, target, unsaid)) {
      drive.model = found->row.caption.empty() ? "?" : found->row.caption;
      drive.serial = found->row.serial;
      drive.size = found->row.size_text;
    }
    drive.identity = IdentityNow(machine, EraseTargetOf(o, index));
    std::string why;
    if (TargetIsProtected(o, machine, target, err)) why = erase_text::kProtected;
    if (why.empty() && !o.simulate) {
      why = platform::DescribeHostDeviceUse(DevicePathOf(target), o.language);
      if (!why.empty())
        err << "plexiscrub-cli: " << Said(o, "refusing to erase ", "消去しません: ") << target << ": " << why << "\n";
    }
    std::string problem;
    footprints.push_back(FootprintOf(o, machine, target, &problem));
    if (why.empty() && footprints.back().empty()) {
      why = problem;
      err << "plexiscrub-cli: " << problem << "\n";
    }
    if (!why.empty()) {
      refused = true;
      FileReportOfErase(o, machine, RefusedJournal(machine, o, index, why), out, err);
    }
  }
  for (size_t i = 0; i < facts.size(); ++i) {
    for (size_t j = 0; j < i; ++j) {
      const bool same = std::any_of(footprints[i].begin(), footprints[i].end(), [&](const Footprint& a) {
        return std::any_of(footprints[j].begin(), footprints[j].end(),
                           [&](const Footprint& b) { return Overlap(a, b); });
      });
      if (!same) continue;
      err << "plexiscrub-cli: " << facts[j].target << Said(o, " and ", " と ") << facts[i].target
          << Said(o, " name the same drive or overlap on it", " は同じドライブか、重なる範囲を指しています") << "\n";
      refused = true;
    }
  }
  return !refused;
}

// Runs the drives' questions one drive after the other; true when every
// drive reached its confirmation.
bool PrepareAll(std::vector<std::unique_ptr<DriveJob>>& jobs, SetGate& gate, SetPresenter& presenter) {
  for (size_t i = 0; i < jobs.size(); ++i) {
    jobs[i]->Start();
    SetGate::Stage stage;
    while ((stage = gate.WaitWhilePreparing(i, std::chrono::milliseconds(100))) == SetGate::Stage::kPreparing)
      presenter.Pump();
    // A drive that cannot run its method has left the set; one whose
    // questions were declined or that was refused stops the whole set.
    if (stage == SetGate::Stage::kEnded && !jobs[i]->Facts().left_set) return false;
  }
  return true;
}

// Waits for every drive, redrawing the progress and passing Ctrl+C on to
// every worker.
void WaitForAll(std::vector<std::unique_ptr<DriveJob>>& jobs, SetGate& gate, SetPresenter& presenter,
                const ConsoleInterrupt& interrupt) {
  bool all_ended = false;
  while (!all_ended) {
    all_ended = gate.WaitForAllEnded(std::chrono::milliseconds(250));
    if (interrupt.CancelRequested())
      for (auto& job : jobs) job->Cancel();
    presenter.Redraw();
  }
}

// The set's options for one drive: its own method and read-back.
Options OptionsOfDrive(const Options& o, const DriveChoice& choice) {
  Options drive = o;
  drive.method = choice.method;
  drive.verify = choice.verify;
  return drive;
}

// Asks for the confirmation of the drives that remain; false, said on
// `err`, when the set cannot go ahead.
bool ConfirmRemaining(const Options& o, const std::vector<std::unique_ptr<DriveJob>>& jobs, bool prepared,
                      SetPresenter& presenter, std::ostream& err) {
  if (!prepared) {
    err << "plexiscrub-cli: "
        << Said(o, "a drive of the set will not be erased; nothing was written to any drive",
                "消去しないドライブがあるため、どのドライブにも何も書き込んでいません")
        << "\n";
    return false;
  }
  std::vector<DriveFacts> remaining;
  for (const auto& job : jobs)
    if (!job->Facts().left_set) remaining.push_back(job->Facts());
  if (remaining.empty()) {
    err << "plexiscrub-cli: "
        << Said(o, "no drive of the set can run its method; nothing was written to any drive",
                "消去方式を実行できるドライブがありません。どのドライブにも何も書き込んでいません")
        << "\n";
    return false;
  }
  return presenter.ConfirmSet(remaining);
}

}  // namespace

int RunEraseSet(const Options& o, const std::vector<DriveChoice>& choices, SetPresenter& presenter,
                std::ostream& out, std::ostream& err) {
  std::unique_ptr<platform::Machine> machine = OpenMachine(o, err);
  if (!machine) return kFailed;
  std::vector<DriveFacts> facts;
  for (const std::string& target : o.positional) {
    facts.emplace_back();
    facts.back().target = target;
  }
  if (!CheckTargets(o, *machine, facts, out, err)) {
    err << "plexiscrub-cli: "
        << Said(o, "nothing was written to any drive; name only drives that may be erased",
                "どのドライブにも何も書き込んでいません。消去してよいドライブだけを指定して下さい")
        << "\n";
    return kRefused;
  }

  o.interrupt->ClearRequest();
  SetGate gate(facts.size());
  std::vector<std::unique_ptr<DriveJob>> jobs;
  for (size_t i = 0; i < facts.size(); ++i)
    jobs.push_back(std::make_unique<DriveJob>(OptionsOfDrive(o, choices.at(i)), *machine, presenter, gate, i,
                                              std::move(facts[i])));

  const bool go = ConfirmRemaining(o, jobs, PrepareAll(jobs, gate, presenter), presenter, err);
  // Ctrl+C is held before the first drive can start writing, until every
  // drive's report is filed.
  std::optional<ConsoleInterrupt::Hold> hold;
  if (go) hold.emplace(*o.interrupt);
  gate.Decide(go);
  if (go) WaitForAll(jobs, gate, presenter, *o.interrupt);
  for (auto& job : jobs) job->Join();
  const int code = SetExitCode(jobs);
  std::vector<DriveSummary> summary;
  for (const auto& job : jobs) summary.push_back(job->Summary());
  presenter.Summary(summary);
  for (size_t i = 0; i < jobs.size(); ++i)
    presenter.ReportFiled(i, FileReportOfErase(o, *machine, jobs[i]->Journal(), out, err));
  return code;
}

std::string MethodColumn(const DriveFacts& drive, Language language) {
  std::string text = std::to_string(MethodCode(drive.method));
  if (drive.method == OverwriteMethod::kFirmwarePurge && !drive.purge_command.empty())
    text += " (" + drive.purge_command + ")";
  return text + (drive.resumed ? InLanguage(language, " (resumed)", "（継続）") : "");
}

std::string Fixed(double value, int digits) {
  std::ostringstream text;
  text << std::fixed << std::setprecision(digits) << value;
  return text.str();
}

}  // namespace plexi::cli
