// plexiscrub-cli tui: the full-screen terminal view. A table of every disk
// (what list and inspect say of each, and why one may not be erased), the
// user's choice of disks, method and read-back; then the set is erased by
// the same engine as `erase TARGET TARGET...`, shown by TuiPresenter; a
// summary names each drive's outcome and report.
#include <unistd.h>

#include <cstdlib>
#include <curses.h>
#include <sstream>

#include "cli/cli_erase_set.h"
#include "cli/cli_tui.h"
#include "cli/cli_tui_presenter.h"
#include "cli/cli_tui_screen.h"
#include "cli/console_interrupt.h"

namespace plexi::cli {
namespace {

// A disk of the table and what the user chose for it.
struct DiskRow {
  TuiDisk disk;
  bool selected = false;
  int method = 0;
  bool verify = false;
};

enum class ListChoice { kQuit, kErase, kPowerOff };
enum class SummaryChoice { kQuit, kBack, kPowerOff };

// The disk table and its keys.
class ListScreen {
 public:
  ListScreen(TuiScreen& screen, const TuiTexts& texts, const Options& o, std::vector<DiskRow>& rows,
             std::string status)
      : screen_(screen), texts_(texts), o_(o), rows_(rows), status_(std::move(status)) {}

  ListChoice Run() {
    for (;;) {
      if (o_.interrupt->CancelRequested() || o_.interrupt->Closing()) return ListChoice::kQuit;
      Draw();
      const int key = screen_.Key(250);
      if (key == 'q' || key == 'Q' || key == kKeyCtrlC) return ListChoice::kQuit;
      // The live system has no other way off that leaves its stick clean.
      if ((key == 'p' || key == 'P') && o_.power_off_command) return ListChoice::kPowerOff;
      if ((key == '\n' || key == '\r' || key == KEY_ENTER) && Confirmable()) return ListChoice::kErase;
      HandleKey(key);
    }
  }

 private:
  bool Wide() const { return screen_.Cols() >= 120; }

  bool Confirmable() {
    for (const DiskRow& row : rows_)
      if (row.selected) return true;
    status_ = texts_.select_first;
    return false;
  }

  void HandleKey(int key) {
    if (rows_.empty()) return;
    DiskRow& row = rows_[cursor_];
    if (key == KEY_UP || key == 'k') cursor_ = cursor_ == 0 ? 0 : cursor_ - 1;
    if (key == KEY_DOWN || key == 'j') cursor_ = std::min(cursor_ + 1, rows_.size() - 1);
    if (key == 'v' || key == 'V') row.verify = !row.verify;
    if (key == 'm' || key == 'M') row.method = (row.method + 1) % (row.disk.purge.empty() ? 3 : 4);
    if (key == ' ') {
      if (!row.disk.refusal.empty()) {
        status_ = texts_.cannot_erase + row.disk.refusal;
        row.selected = false;
      } else {
        row.selected = !row.selected;
      }
    }
  }

  std::vector<std::string> Cells(const DiskRow& row) const {
    const TuiDisk& d = row.disk;
    std::vector<std::string> cells = {row.selected ? "[x]" : (d.refusal.empty() ? "[ ]" : " - "), d.target, d.model};
    if (Wide()) cells.push_back(d.serial.empty() ? "-" : d.serial);
    cells.insert(cells.end(), {d.size, d.bus, d.record});
    if (Wide()) cells.push_back(d.purge.empty() ? texts_.no : d.purge);
    cells.push_back(std::to_string(row.method));
    cells.push_back(row.verify ? texts_.yes : texts_.no);
    cells.push_back(d.refusal.empty() ? "" : texts_.cannot_erase + d.refusal);
    return cells;
  }

  std::vector<std::string> Header() const {
    std::vector<std::string> cells = {"", texts_.col_disk, texts_.col_model};
    if (Wide()) cells.push_back(texts_.col_serial);
    cells.insert(cells.end(), {texts_.col_size, texts_.col_bus, texts_.col_record});
    if (Wide()) cells.push_back(texts_.col_purge);
    cells.insert(cells.end(), {texts_.col_method, texts_.col_verify, texts_.col_note});
    return cells;
  }

  void Draw() {
    if (TooSmall(screen_, texts_)) return;
    screen_.Clear();
    size_t selected = 0;
    for (const DiskRow& row : rows_) selected += row.selected ? 1 : 0;
    screen_.Line(0, std::string(texts_.list_title) + "  (" + texts_.selected + ": " + std::to_string(selected) + ")",
                 Look::kTitle);
    std::vector<std::vector<std::string>> cells = {Header()};
    for (const DiskRow& row : rows_) cells.push_back(Cells(row));
    const std::vector<int> widths = ColumnWidths(cells, screen_.Cols(), screen_.Utf8());
    PutRow(screen_, 2, cells[0], widths, Look::kTitle);
    DrawRows(cells, widths);
    DrawDetail();
    screen_.Line(screen_.Rows() - 3, texts_.method_legend, Look::kDim);
    screen_.Line(screen_.Rows() - 2, status_, Look::kBad);
    screen_.Line(screen_.Rows() - 1, o_.power_off_command ? texts_.list_help_power : texts_.list_help, Look::kCursor);
    screen_.Show();
  }

  // As many rows as fit above the detail lines, the cursor's among them.
  void DrawRows(const std::vector<std::vector<std::string>>& cells, const std::vector<int>& widths) {
    if (rows_.empty()) {
      screen_.Line(3, texts_.no_disks);
      return;
    }
    const size_t room = size_t(std::max(1, screen_.Rows() - 3 - 8));
    if (cursor_ < top_) top_ = cursor_;
    if (cursor_ >= top_ + room) top_ = cursor_ - room + 1;
    for (size_t i = top_; i < rows_.size() && i < top_ + room; ++i) {
      const Look look = i == cursor_ ? Look::kCursor : rows_[i].disk.refusal.empty() ? Look::kPlain : Look::kDim;
      PutRow(screen_, 3 + int(i - top_), cells[i + 1], widths, look);
    }
  }

  // Everything about the disk under the cursor, whatever the width.
  void DrawDetail() {
    if (rows_.empty()) return;
    const TuiDisk& d = rows_[cursor_].disk;
    const int row = screen_.Rows() - 7;
    screen_.Line(row, d.target + "  " + d.model + "  " + texts_.col_serial + ": " + (d.serial.empty() ? "-" : d.serial) +
                          "  " + d.size + "  " + d.bus);
    screen_.Line(row + 1, std::string(texts_.col_record) + ": " + d.record + "  " +
                              (d.purge.empty() ? std::string(texts_.no_purge) : texts_.purge_with + d.purge));
    if (d.refusal.empty())
      screen_.Line(row + 2, texts_.can_erase, Look::kGood);
    else
      screen_.Line(row + 2, texts_.cannot_erase + d.refusal, Look::kBad);
  }

  TuiScreen& screen_;
  const TuiTexts& texts_;
  const Options& o_;
  std::vector<DiskRow>& rows_;
  std::string status_;
  size_t cursor_ = 0;
  size_t top_ = 0;
};

// The file name of a path (the folder is said once above).
std::string FileName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Each drive's outcome, time, rate and report; its keys.
class SummaryScreen {
 public:
  SummaryScreen(TuiScreen& screen, const TuiTexts& texts, const Options& o, const TuiPresenter& set)
      : screen_(screen), texts_(texts), o_(o), set_(set) {}

  SummaryChoice Run() {
    for (;;) {
      if (o_.interrupt->Closing()) return SummaryChoice::kQuit;
      Draw();
      const int key = screen_.Key(250);
      if (key == 'q' || key == 'Q' || key == kKeyCtrlC) return SummaryChoice::kQuit;
      if (key == '\n' || key == '\r' || key == KEY_ENTER) return SummaryChoice::kBack;
      if ((key == 'p' || key == 'P') && o_.power_off_command) return SummaryChoice::kPowerOff;
    }
  }

 private:
  void Draw() {
    if (TooSmall(screen_, texts_)) return;
    screen_.Clear();
    screen_.Line(0, std::string("Plexiscrub: ") + texts_.summary_title, Look::kTitle);
    screen_.Line(1, texts_.reports_in + ReportFolder(o_), Look::kDim);
    int row = 3;
    const std::vector<DriveSummary>& drives = set_.SummaryRows();
    size_t drawn = 0;
    for (; drawn < drives.size() && row < screen_.Rows() - 2; ++drawn) row = DrawDrive(row, drawn, drives[drawn]);
    // A drive off the screen must not pass for one that went well.
    if (drawn < drives.size())
      screen_.Line(screen_.Rows() - 2, "+" + std::to_string(drives.size() - drawn) + "  " + texts_.summary_hidden,
                   Look::kBad);
    screen_.Line(screen_.Rows() - 1, o_.power_off_command ? texts_.summary_help_power : texts_.summary_help,
                 Look::kCursor);
    screen_.Show();
  }

  int DrawDrive(int row, size_t index, const DriveSummary& drive) {
    const DriveFacts& d = drive.facts;
    const bool ran = drive.seconds > 0;
    std::string line = d.target + "  " + d.model + "  " + (d.serial.empty() ? "-" : d.serial) + "  " +
                       texts_.col_method + " " + MethodColumn(d, o_.language) + "  " + texts_.col_verify + " " +
                       (d.verify ? texts_.yes : texts_.no);
    if (ran)
      line += std::string("  ") + texts_.duration + " " +
              (drive.seconds < 60 ? Fixed(drive.seconds, 1) + " s" : ClockText(drive.seconds)) + "  " +
              texts_.rate + " " + Fixed(double(drive.bytes_erased) / drive.seconds / 1e6, 1) + " MB/s";
    screen_.Line(row++, line, Look::kTitle);
    const Look look = drive.erase_outcome == EraseOutcome::kCompleted ? Look::kGood : Look::kBad;
    for (const std::string& text : WrapText("  " + drive.outcome, screen_.Cols(), screen_.Utf8()))
      screen_.Line(row++, text, look);
    const std::string& report = set_.Reports().at(index);
    screen_.Line(row++, std::string("  ") + texts_.report + (report.empty() ? texts_.no_report : FileName(report)));
    return row + 1;
  }

  TuiScreen& screen_;
  const TuiTexts& texts_;
  const Options& o_;
  const TuiPresenter& set_;
};

// The chosen disks as a set for the engine.
Options SetOptions(const Options& o, const std::vector<DiskRow>& rows, std::vector<DriveChoice>& choices,
                   std::vector<std::string>& models) {
  Options set = o;
  set.positional.clear();
  set.interactive = true;
  set.yes = false;
  for (const DiskRow& row : rows) {
    if (!row.selected) continue;
    set.positional.push_back(row.disk.target);
    choices.push_back({row.method, row.verify});
    models.push_back(row.disk.model);
  }
  return set;
}

// The last lines the engine said, for the list's status line.
std::string LastLine(const std::string& said) {
  std::istringstream lines(said);
  std::string line, last;
  while (std::getline(lines, line))
    if (!line.empty()) last = line;
  return last;
}

std::vector<DiskRow> RowsOf(const Options& o, Language language, std::string& status) {
  std::ostringstream said;
  std::vector<DiskRow> rows;
  for (TuiDisk& disk : ListTuiDisks(o, language, said)) rows.push_back({std::move(disk)});
  if (!said.str().empty()) status = LastLine(said.str());
  return rows;
}

// The view from the first table to the last summary; what the tool does
// once the screen is given back.
struct Session {
  int code = kOk;
  bool power_off = false;
};

Session RunSession(TuiScreen& screen, const TuiTexts& texts, const Options& o, Language language) {
  Session session;
  std::string status;
  for (;;) {
    std::vector<DiskRow> rows = RowsOf(o, language, status);
    const ListChoice listed = ListScreen(screen, texts, o, rows, status).Run();
    session.power_off = listed == ListChoice::kPowerOff;
    if (listed != ListChoice::kErase) return session;
    std::vector<DriveChoice> choices;
    std::vector<std::string> models;
    const Options set = SetOptions(o, rows, choices, models);
    TuiPresenter presenter(screen, texts, set, models);
    std::ostringstream out, err;
    const int code = RunEraseSet(set, choices, presenter, out, err);
    // The interrupt the set took is spent; a later one ends the view.
    o.interrupt->ClearRequest();
    status = LastLine(err.str());
    if (!presenter.Started()) continue;  // declined or refused: nothing written
    session.code = code;
    const SummaryChoice choice = SummaryScreen(screen, texts, o, presenter).Run();
    if (choice == SummaryChoice::kBack) continue;
    session.power_off = choice == SummaryChoice::kPowerOff;
    return session;
  }
}

}  // namespace

int TuiCommand(const Options& o, std::ostream& out, std::ostream& err) {
  if (!o.positional.empty()) {
    err << "plexiscrub-cli: "
        << Said(o, "tui takes no target; the disks are chosen in the view",
                "tui に TARGET は付けません。ディスクは画面で選びます")
        << "\n";
    return kUsage;
  }
  if (isatty(STDIN_FILENO) != 1 || isatty(STDOUT_FILENO) != 1) {
    err << "plexiscrub-cli: "
        << Said(o, "tui needs a terminal on standard input and output", "tui には標準入力と標準出力の端末が必要です")
        << "\n";
    return kUsage;
  }
  const bool utf8 = SetUpTerminalLocale();
  const Language language = utf8 ? LanguageOfEnvironment() : Language::kEnglish;
  // Ctrl+C from outside, or the terminal hanging up, reaches the view (which
  // ends or interrupts the erase) instead of ending the tool in curses mode.
  ConsoleInterrupt::Hold hold(*o.interrupt);
  Session session;
  {
    std::string problem;
    std::unique_ptr<TuiScreen> screen = TuiScreen::Open(utf8, &problem);
    if (!screen) {
      err << "plexiscrub-cli: " << problem << "\n";
      return kFailed;
    }
    session = RunSession(*screen, TextsOf(language), o, language);
  }
  if (!session.power_off) return session.code;
  out << TextsOf(language).powering_off << *o.power_off_command << "\n" << std::flush;
  return std::system(o.power_off_command->c_str()) == 0 ? session.code : kFailed;
}

}  // namespace plexi::cli
