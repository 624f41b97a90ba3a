// Several drives erased at once, apart from how the set is shown: one erase
// workflow and one worker thread per drive, every target checked before any
// is opened for writing, each drive's questions answered one drive after the
// other, then one confirmation starts them all. The lines of `erase TARGET
// TARGET...` and the terminal view are two presentations of it.
#pragma once
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "drives/target_check.h"
#include "erase/erase_outcome.h"
#include "erase/erase_texts.h"
#include "record/erase_method.h"

namespace plexi::cli {

// What the confirmation before the set and the summary after it show of a drive.
struct DriveFacts {
  std::string target;
  std::string model = "?";
  std::string serial;
  std::string size = "?";
  OverwriteMethod method = OverwriteMethod::kZeros;
  bool verify = false;
  bool resumed = false;
  std::string purge_command;  // the command method 3 sends this drive
  // Told before the confirmation that it cannot run its method: not erased.
  bool left_set = false;
  // The drive as it answered when the set was checked: the drive each job
  // opens, later, must still be it, or the table showed another drive.
  std::optional<DriveIdentity> identity;
};

// A drive's end, as the summary shows it.
struct DriveSummary {
  DriveFacts facts;
  std::string outcome;      // what happened to its bytes, in words
  EraseOutcome erase_outcome = EraseOutcome::kDeclined;
  double seconds = 0;       // 0 when nothing ran
  uint64_t bytes_erased = 0;
};

// How a set is shown. The drives' threads call the messages, the questions
// and the progress; the waiting thread calls the rest.
class SetPresenter {
 public:
  virtual ~SetPresenter() = default;
  // Any thread.
  virtual void Message(const std::string& text) = 0;
  // A drive's thread: a question only the user answers; blocks until then.
  virtual bool Ask(size_t drive, const EraseQuestion& question) = 0;
  virtual void SetPass(size_t drive, const std::string& pass) = 0;
  virtual void SetPercent(size_t drive, int percent) = 0;
  virtual void SetEstimate(size_t drive, const std::string& estimate) = 0;
  // The bytes each pass goes over, said as the drive's passes begin.
  virtual void SetCapacity(size_t /*drive*/, uint64_t /*bytes*/) {}
  virtual void SetEnded(size_t drive, EraseOutcome outcome, const std::string& text) = 0;
  // The drive runs its own purge (`command`), `percent` done when it says.
  virtual void SetPurge(size_t /*drive*/, const std::string& /*command*/, std::optional<int> /*percent*/) {}
  // The waiting thread, a few times a second while drives answer their
  // questions (Pump) and while they erase (Redraw).
  virtual void Pump() {}
  virtual void Redraw() = 0;
  // The waiting thread: the drives that remain, to be confirmed at once;
  // true starts them all.
  virtual bool ConfirmSet(const std::vector<DriveFacts>& drives) = 0;
  virtual void Summary(const std::vector<DriveSummary>& drives) = 0;
  // A drive's report was filed: the page's path.
  virtual void ReportFiled(size_t /*drive*/, const std::string& /*html_path*/) {}
};

// What the user chose for one drive; the line presentation takes the same
// for every drive from the options.
struct DriveChoice {
  std::optional<int> method;
  bool verify = false;
};

// Erases o.positional at once, each with its choice (one per target);
// returns the set's exit code. The refusals, the reports' lines and what
// the engine itself says go to `out` and `err`.
int RunEraseSet(const Options& o, const std::vector<DriveChoice>& choices, SetPresenter& presenter,
                std::ostream& out, std::ostream& err);

// "1", "3 (SANITIZE BLOCK ERASE)", "0 (resumed)".
std::string MethodColumn(const DriveFacts& drive, Language language);
// "12.3" for 12.34 with one digit.
std::string Fixed(double value, int digits);

}  // namespace plexi::cli
