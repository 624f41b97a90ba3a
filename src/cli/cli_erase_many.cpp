// plexiscrub-cli erase TARGET TARGET...: several drives erased at once, one
// erase workflow and one worker thread per drive. Every target is checked
// before any is opened for writing; each drive's own questions are answered
// one drive after the other, then one table and one "del" start them all.
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

// Standard error shared by every drive's thread: messages, questions and
// the progress lines, one writer at a time. On a terminal the progress is
// a block of one line per drive redrawn in place; elsewhere a plain line is
// written when a drive's percentage crosses a tenth or its pass changes.
class ProgressBoard {
 public:
  ProgressBoard(std::ostream& err, bool terminal, std::vector<std::string> names)
      : err_(err), terminal_(terminal), names_(std::move(names)), lines_(names_.size()) {}

  void Message(const std::string& text) {
    std::lock_guard lock(mutex_);
    ClearBlock();
    err_ << text << "\n" << std::flush;
  }

  // A question on the terminal; nothing else is written until it is answered.
  bool Ask(const std::string& prompt) {
    std::lock_guard lock(mutex_);
    ClearBlock();
    return AskOnTerminal(err_, prompt);
  }

  void SetPass(size_t drive, const std::string& pass) {
    std::lock_guard lock(mutex_);
    Line& line = lines_[drive];
    if (line.pass == pass) return;
    line.pass = pass;
    line.percent = 0;
    line.tenth = 0;
    if (!terminal_) WritePlain(drive);
  }

  void SetPercent(size_t drive, int percent) {
    std::lock_guard lock(mutex_);
    Line& line = lines_[drive];
    line.percent = percent;
    if (terminal_ || percent / 10 == line.tenth) return;
    line.tenth = percent / 10;
    WritePlain(drive);
  }

  void SetEstimate(size_t drive, const std::string& estimate) {
    std::lock_guard lock(mutex_);
    lines_[drive].estimate = estimate;
  }

  void SetEnded(size_t drive, const std::string& outcome) {
    std::lock_guard lock(mutex_);
    lines_[drive].ended = outcome;
    if (!terminal_) WritePlain(drive);
  }

  // The block of lines as it is now (a terminal only); the waiting thread
  // calls this a few times a second.
  void Redraw() {
    std::lock_guard lock(mutex_);
    if (!terminal_) return;
    ClearBlock();
    for (size_t i = 0; i < lines_.size(); ++i) err_ << "\x1b[2K" << Text(i) << "\n";
    drawn_ = lines_.size();
    err_ << std::flush;
  }

 private:
  struct Line {
    std::string pass, estimate, ended;
    int percent = 0;
    int tenth = 0;
  };

  std::string Text(size_t drive) const {
    const Line& line = lines_[drive];
    if (!line.ended.empty()) return "[" + names_[drive] + "] " + line.ended;
    if (line.pass.empty()) return "[" + names_[drive] + "] ...";
    std::string text = "[" + names_[drive] + "] " + line.pass + "  " + std::to_string(line.percent) + "%";
    if (!line.estimate.empty()) text += "  " + line.estimate;
    return text;
  }

  void WritePlain(size_t drive) { err_ << Text(drive) << "\n" << std::flush; }

  // Moves up over the block drawn last and clears from there down.
  void ClearBlock() {
    if (!terminal_ || drawn_ == 0) return;
    err_ << "\x1b[" << drawn_ << "A\r\x1b[J";
    drawn_ = 0;
  }

  std::mutex mutex_;
  std::ostream& err_;
  const bool terminal_;
  const std::vector<std::string> names_;
  std::vector<Line> lines_;
  size_t drawn_ = 0;
};

// One drive's progress dialog: its bar positions as a percentage.
class DriveProgressView : public ProgressView {
 public:
  DriveProgressView(ProgressBoard& board, size_t drive, uint64_t verify_max)
      : board_(board), drive_(drive), verify_max_(std::max<uint64_t>(verify_max, 1)) {}
  void SetWriteMaximum(uint64_t max) override { write_max_ = std::max<uint64_t>(max, 1); }
  void SetWritePosition(uint64_t p) override { Show(p, write_max_); }
  void SetVerifyPosition(uint64_t p) override { Show(p, verify_max_); }
  void SetPassText(const std::string& t) override { board_.SetPass(drive_, t); }
  void SetEstimateText(const std::string& t) override { board_.SetEstimate(drive_, t); }
  void SetCaption(const std::string& t) override { board_.SetPass(drive_, t); }

 private:
  void Show(uint64_t position, uint64_t max) {
    board_.SetPercent(drive_, int(std::min<uint64_t>(100, position * 100 / max)));
  }

  ProgressBoard& board_;
  size_t drive_;
  uint64_t write_max_ = 1;
  uint64_t verify_max_;
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

  // The waiting thread: how far a drive got before it stopped for the set.
  Stage WaitWhilePreparing(size_t drive) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stages_[drive] != Stage::kPreparing; });
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

// What the table before the "del" and the summary after it show of a drive.
struct DriveFacts {
  std::string target;
  std::string model = "?";
  std::string serial;
  std::string size = "?";
  OverwriteMethod method = OverwriteMethod::kZeros;
  bool verify = false;
  bool resumed = false;
  std::string purge_command;  // the command method 3 sends this drive
  // Told before the table that it cannot run its method: not erased.
  bool left_set = false;
};

// One drive of the set: its workflow and everything that workflow calls.
class DriveJob : public EraseUi, public EraseEnvironment {
 public:
  DriveJob(const Options& o, platform::Machine& machine, ProgressBoard& board, SetGate& gate, size_t index,
           DriveFacts facts)
      : o_(o), machine_(machine), board_(board), gate_(gate), index_(index), facts_(std::move(facts)),
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
      result_ = workflow_.RunErase(target);
  board_.SetEnded(index_, OutcomeText());
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
  std::string OutcomeText() const {
    if (facts_.left_set) return Said(o_, "not started: it cannot run method 3", "開始せず: 方式 3 を実行できません");
    return ResultText(result_, workflow_, o_.language);
  }

  // EraseUi
  void ShowMessage(const std::string& text) override {
    board_.Message("plexiscrub-cli: " + facts_.target + ": " + OneLine(text));
  }

  bool Ask(const EraseQuestion& question) override {
    std::optional<bool> answer = ResumeAnswerOf(o_, question);
    if (!answer && o_.yes) answer = true;
    const std::string line = facts_.target + ": [" + question.caption + "] " + question.text;
    if (!answer) {
      const bool asked = board_.Ask(line);
      return o_.interrupt->Closing() ? AnswerOfClosedConsole(question) : asked;
    }
    board_.Message(line + AnswerText(o_, *answer));
    return *answer;
  }

  ConfirmChoice ConfirmErase(const ConfirmRequest& request) override {
    std::ostringstream said;
    std::stringstream purge;
    PrintPurgeLines(o_, request, purge);
    for (std::string line; std::getline(purge, line);) board_.Message(facts_.target + ": " + line);
    ConfirmChoice choice = ChoiceOfOptions(o_, request, said);
    if (!said.str().empty()) board_.Message(facts_.target + ": " + OneLine(said.str()));
    facts_.method = choice.method;
    facts_.verify = choice.verify;
    facts_.resumed = !request.method_enabled;
    facts_.purge_command = request.purge_command;
    if (choice.method == OverwriteMethod::kFirmwarePurge && !request.purge_offered) {
      // Said now, before the table and the "del": this drive is not erased.
      board_.Message("plexiscrub-cli: " + facts_.target +
                     Said(o_, ": cannot purge itself now (see above); it leaves the set and is not erased",
                          ": 今はファームウェア消去を実行できません（上記のとおり）。このドライブは消去しません"));
      facts_.left_set = true;
      choice.ok = false;
      return choice;
    }
    choice.ok = gate_.ArriveAndWait(index_);
    return choice;
  }

  WorkerReport RunProgress(const ProgressRequest& request, const WorkerFactory& make_worker) override {
    SerialDispatcher gui;
    DriveProgressView view(board_, index_, request.bar_maximum);
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
    board_.Message("plexiscrub-cli: " + label + ": " + OneLine(message));
  }

 private:
  const Options& o_;
  platform::Machine& machine_;
  ProgressBoard& board_;
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
    std::string why;
    if (TargetIsProtected(o, machine, target, err)) why = erase_text::kProtected;
    if (why.empty() && !o.simulate) {
      why = platform::DescribeHostDeviceUse(DevicePathOf(target));
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

std::string MethodColumn(const Options& o, const DriveFacts& drive) {
  std::string text = std::to_string(MethodCode(drive.method));
  if (drive.method == OverwriteMethod::kFirmwarePurge && !drive.purge_command.empty())
    text += " (" + drive.purge_command + ")";
  return text + (drive.resumed ? Said(o, " (resumed)", "（継続）") : "");
}

void PrintConfirmTable(const Options& o, const std::vector<std::unique_ptr<DriveJob>>& jobs, std::ostream& out) {
  out << Said(o, "drives to erase:", "消去するドライブ:") << "\n";
  out << Said(o, "target | model | serial | size | method | verify", "対象 | 製品名 | シリアル番号 | 容量 | 消去方式 | 照合")
      << "\n";
  for (const auto& job : jobs) {
    const DriveFacts& d = job->Facts();
    if (d.left_set) continue;
    out << d.target << " | " << d.model << " | " << (d.serial.empty() ? "-" : d.serial) << " | " << d.size << " | "
        << MethodColumn(o, d) << " | " << (d.verify ? Said(o, "yes", "あり") : Said(o, "no", "なし")) << "\n";
  }
  out << std::flush;
}

std::string Fixed(double value, int digits) {
  std::ostringstream text;
  text << std::fixed << std::setprecision(digits) << value;
  return text.str();
}

void PrintSummary(const Options& o, const std::vector<std::unique_ptr<DriveJob>>& jobs, std::ostream& out) {
  out << Said(o, "summary:", "結果の一覧:") << "\n";
  out << Said(o, "drive | serial | method | outcome | duration | rate", "ドライブ | シリアル番号 | 消去方式 | 結果 | 時間 | 速度")
      << "\n";
  for (const auto& job : jobs) {
    const DriveFacts& d = job->Facts();
    const bool ran = job->Seconds() > 0;
    const std::string rate =
        ran ? Fixed(double(job->BytesErased()) / job->Seconds() / 1e6, 1) + " MB/s" : std::string("-");
    out << d.target << " | " << (d.serial.empty() ? "-" : d.serial) << " | " << MethodColumn(o, d) << " | "
        << job->OutcomeText() << " | " << (ran ? Fixed(job->Seconds(), 1) + " s" : "-")
        << " | " << rate << "\n";
  }
}

// Runs the drives' questions one drive after the other; true when every
// drive reached its confirmation.
bool PrepareAll(std::vector<std::unique_ptr<DriveJob>>& jobs, SetGate& gate) {
  for (size_t i = 0; i < jobs.size(); ++i) {
    jobs[i]->Start();
    // A drive that cannot run its method has left the set; one whose
    // questions were declined or that was refused stops the whole set.
    if (gate.WaitWhilePreparing(i) == SetGate::Stage::kEnded && !jobs[i]->Facts().left_set) return false;
  }
  return true;
}

// Waits for every drive, redrawing the progress and passing Ctrl+C on to
// every worker.
void WaitForAll(std::vector<std::unique_ptr<DriveJob>>& jobs, SetGate& gate, ProgressBoard& board,
                const ConsoleInterrupt& interrupt) {
  bool all_ended = false;
  while (!all_ended) {
    all_ended = gate.WaitForAllEnded(std::chrono::milliseconds(250));
    if (interrupt.CancelRequested())
      for (auto& job : jobs) job->Cancel();
    board.Redraw();
  }
}

}  // namespace

int EraseManyCommand(const Options& o, std::ostream& out, std::ostream& err) {
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
  ProgressBoard board(err, ErrorIsTerminal(), o.positional);
  SetGate gate(facts.size());
  std::vector<std::unique_ptr<DriveJob>> jobs;
  for (size_t i = 0; i < facts.size(); ++i)
    jobs.push_back(std::make_unique<DriveJob>(o, *machine, board, gate, i, std::move(facts[i])));

  bool go = PrepareAll(jobs, gate);
  const bool any_remaining = std::any_of(jobs.begin(), jobs.end(), [](const auto& j) { return !j->Facts().left_set; });
  if (go && !any_remaining) {
    err << "plexiscrub-cli: "
        << Said(o, "no drive of the set can run its method; nothing was written to any drive",
                "消去方式を実行できるドライブがありません。どのドライブにも何も書き込んでいません")
        << "\n";
    go = false;
  } else if (go) {
    PrintConfirmTable(o, jobs, out);
    go = o.yes || ReadDelWord(o, err);
  } else {
    err << "plexiscrub-cli: "
        << Said(o, "a drive of the set will not be erased; nothing was written to any drive",
                "消去しないドライブがあるため、どのドライブにも何も書き込んでいません")
        << "\n";
  }
  // Ctrl+C is held before the first drive can start writing, until every
  // drive's report is filed.
  std::optional<ConsoleInterrupt::Hold> hold;
  if (go) hold.emplace(*o.interrupt);
  gate.Decide(go);
  if (go) WaitForAll(jobs, gate, board, *o.interrupt);
  for (auto& job : jobs) job->Join();
  const int code = SetExitCode(jobs);
  PrintSummary(o, jobs, out);
  for (auto& job : jobs) FileReportOfErase(o, *machine, job->Journal(), out, err);
  return code;
}

}  // namespace plexi::cli
