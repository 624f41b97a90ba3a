// plexiscrub-cli erase TARGET TARGET...: several drives erased at once
// (the engine is cli_erase_set.cpp), shown as lines on the terminal: each
// drive's questions one drive after the other, then one table and one
// "del", a progress line per drive, a summary table.
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_erase_parts.h"
#include "cli/cli_erase_set.h"

namespace plexi::cli {
namespace {

// Standard error shared by every drive's thread: messages, questions and
// the progress lines, one writer at a time. On a terminal the progress is
// a block of one line per drive redrawn in place; elsewhere a plain line is
// written when a drive's percentage crosses a tenth or its pass changes.
class ProgressBoard : public SetPresenter {
 public:
  ProgressBoard(const Options& o, std::ostream& out, std::ostream& err, bool terminal)
      : o_(o), out_(out), err_(err), terminal_(terminal), names_(o.positional), lines_(names_.size()) {}

  void Message(const std::string& text) override {
    std::lock_guard lock(mutex_);
    ClearBlock();
    err_ << text << "\n" << std::flush;
  }

  // A question on the terminal; nothing else is written until it is answered.
  bool Ask(size_t drive, const EraseQuestion& question) override {
    std::lock_guard lock(mutex_);
    ClearBlock();
    return AskOnTerminal(err_, names_[drive] + ": [" + question.caption + "] " + question.text);
  }

  void SetPass(size_t drive, const std::string& pass) override {
    std::lock_guard lock(mutex_);
    Line& line = lines_[drive];
    if (line.pass == pass) return;
    line.pass = pass;
    line.percent = 0;
    line.tenth = 0;
    if (!terminal_) WritePlain(drive);
  }

  void SetPercent(size_t drive, int percent) override {
    std::lock_guard lock(mutex_);
    Line& line = lines_[drive];
    line.percent = percent;
    if (terminal_ || percent / 10 == line.tenth) return;
    line.tenth = percent / 10;
    WritePlain(drive);
  }

  void SetEstimate(size_t drive, const std::string& estimate) override {
    std::lock_guard lock(mutex_);
    lines_[drive].estimate = estimate;
  }

  void SetEnded(size_t drive, EraseOutcome, const std::string& outcome) override {
    std::lock_guard lock(mutex_);
    lines_[drive].ended = outcome;
    if (!terminal_) WritePlain(drive);
  }

  // The block of lines as it is now (a terminal only); the waiting thread
  // calls this a few times a second.
  void Redraw() override {
    std::lock_guard lock(mutex_);
    if (!terminal_) return;
    ClearBlock();
    for (size_t i = 0; i < lines_.size(); ++i) err_ << "\x1b[2K" << Text(i) << "\n";
    drawn_ = lines_.size();
    err_ << std::flush;
  }

  // The table of the drives, then "del" (or --yes).
  bool ConfirmSet(const std::vector<DriveFacts>& drives) override {
    out_ << Said(o_, "drives to erase:", "消去するドライブ:") << "\n";
    out_ << Said(o_, "target | model | serial | size | method | verify",
                 "対象 | 製品名 | シリアル番号 | 容量 | 消去方式 | 照合")
         << "\n";
    for (const DriveFacts& d : drives) {
      out_ << d.target << " | " << d.model << " | " << (d.serial.empty() ? "-" : d.serial) << " | " << d.size << " | "
           << MethodColumn(d, o_.language) << " | " << (d.verify ? Said(o_, "yes", "あり") : Said(o_, "no", "なし"))
           << "\n";
    }
    out_ << std::flush;
    return o_.yes || ReadDelWord(o_, err_);
  }

  void Summary(const std::vector<DriveSummary>& drives) override {
    out_ << Said(o_, "summary:", "結果の一覧:") << "\n";
    out_ << Said(o_, "drive | serial | method | outcome | duration | rate",
                 "ドライブ | シリアル番号 | 消去方式 | 結果 | 時間 | 速度")
         << "\n";
    for (const DriveSummary& drive : drives) {
      const DriveFacts& d = drive.facts;
      const bool ran = drive.seconds > 0;
      const std::string rate =
          ran ? Fixed(double(drive.bytes_erased) / drive.seconds / 1e6, 1) + " MB/s" : std::string("-");
      out_ << d.target << " | " << (d.serial.empty() ? "-" : d.serial) << " | " << MethodColumn(d, o_.language) << " | "
           << drive.outcome << " | " << (ran ? Fixed(drive.seconds, 1) + " s" : "-") << " | " << rate << "\n";
    }
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
  const Options& o_;
  std::ostream& out_;
  std::ostream& err_;
  const bool terminal_;
  const std::vector<std::string> names_;
  std::vector<Line> lines_;
  size_t drawn_ = 0;
};

}  // namespace

int EraseManyCommand(const Options& o, std::ostream& out, std::ostream& err) {
  ProgressBoard board(o, out, err, ErrorIsTerminal());
  const std::vector<DriveChoice> choices(o.positional.size(), DriveChoice{o.method, o.verify});
  return RunEraseSet(o, choices, board, out, err);
}

}  // namespace plexi::cli
