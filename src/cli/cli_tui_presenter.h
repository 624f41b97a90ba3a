// The terminal view of a set being erased: the drives' questions as yes/no
// boxes, the confirmation with its "del" field, one bar per drive. The
// drives' threads only change the state kept here; the waiting thread draws
// it and reads the keys.
#pragma once
#include <chrono>
#include <condition_variable>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_erase_set.h"
#include "cli/cli_tui.h"
#include "cli/cli_tui_screen.h"

namespace plexi::cli {

class TuiPresenter : public SetPresenter {
 public:
  // `models` are the drives' models in the order of o.positional.
  TuiPresenter(TuiScreen& screen, const TuiTexts& texts, const Options& o, std::vector<std::string> models);

  void Message(const std::string& text) override;
  bool Ask(size_t drive, const EraseQuestion& question) override;
  void SetPass(size_t drive, const std::string& pass) override;
  void SetPercent(size_t drive, int percent) override;
  void SetEstimate(size_t drive, const std::string& estimate) override;
  void SetCapacity(size_t drive, uint64_t bytes) override;
  void SetEnded(size_t drive, EraseOutcome outcome, const std::string& text) override;
  void SetPurge(size_t drive, const std::string& command, std::optional<int> percent) override;
  void Pump() override;
  void Redraw() override;
  bool ConfirmSet(const std::vector<DriveFacts>& drives) override;
  void Summary(const std::vector<DriveSummary>& drives) override;
  void ReportFiled(size_t drive, const std::string& html_path) override;

  // After the set: whether the confirmation was given, and the summary.
  bool Started() const { return started_; }
  const std::vector<DriveSummary>& SummaryRows() const { return summary_; }
  const std::vector<std::string>& Reports() const { return reports_; }
  std::vector<std::string> LastMessages(size_t count) const;

 private:
  using Clock = std::chrono::steady_clock;
  struct Bar {
    std::string pass, estimate, ended;
    bool has_ended = false;
    EraseOutcome outcome = EraseOutcome::kDeclined;
    int percent = 0;
    bool purging = false;  // the drive's own command: no rate, maybe no percent
    uint64_t capacity = 0;
    Clock::time_point pass_began = Clock::now();
  };
  struct Question {
    size_t drive;
    EraseQuestion question;
    std::optional<bool> answer;
  };
  enum class Phase { kPreparing, kConfirming, kErasing };

  void Serve(int timeout_ms);
  void Draw();
  int DrawHeader();
  void DrawPreparing(int row);
  void DrawErasing(int row);
  void DrawConfirm(int row);
  void DrawQuestion();
  void DrawMessages(int first_row, int last_row);
  std::string BarLine(const Bar& bar, int width) const;
  void HandleKey(int key);
  bool AnswerQuestion(bool answer);

  TuiScreen& screen_;
  const TuiTexts& texts_;
  const Options& o_;
  const std::vector<std::string> models_;
  mutable std::mutex mutex_;
  std::condition_variable answered_;
  std::vector<Bar> bars_;
  std::list<Question> questions_;
  std::vector<std::string> messages_;
  Phase phase_ = Phase::kPreparing;
  // The confirmation's drives and the word typed so far.
  std::vector<DriveFacts> confirming_;
  std::string typed_;
  std::optional<bool> confirmed_;
  bool wrong_word_ = false;
  // Whether the last picture showed every drive of the set: "del" is taken
  // only for a set the user could see whole.
  bool confirm_shown_whole_ = false;
  bool interrupting_ = false;
  bool started_ = false;
  std::vector<DriveSummary> summary_;
  std::vector<std::string> reports_;
};

// "0:01:23".
std::string ClockText(double seconds);
// When the terminal is too small for the view: a clear line drawn, true.
bool TooSmall(TuiScreen& screen, const TuiTexts& texts);

}  // namespace plexi::cli
