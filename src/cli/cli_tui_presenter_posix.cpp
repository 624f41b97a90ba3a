// The terminal view of a set being erased (cli_tui_presenter.h).
#include "cli/cli_tui_presenter.h"

#include <curses.h>

#include <algorithm>
#include <cctype>

#include "cli/console_interrupt.h"

namespace plexi::cli {
namespace {

// Below this the view says it is too small instead of drawing.
constexpr int kMinRows = 14;
constexpr int kMinCols = 60;

bool EnterKey(int key) { return key == '\n' || key == '\r' || key == KEY_ENTER; }
bool BackspaceKey(int key) { return key == KEY_BACKSPACE || key == 127 || key == 8; }

void AppendUtf8(std::string& text, char32_t code) {
  if (code < 0x80) {
    text += char(code);
  } else if (code < 0x800) {
    text += char(0xC0 | (code >> 6));
    text += char(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    text += char(0xE0 | (code >> 12));
    text += char(0x80 | ((code >> 6) & 0x3F));
    text += char(0x80 | (code & 0x3F));
  }
}

void PopUtf8(std::string& text) {
  while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80) text.pop_back();
  if (!text.empty()) text.pop_back();
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return text;
}

}  // namespace

bool TooSmall(TuiScreen& screen, const TuiTexts& texts) {
  if (screen.Rows() >= kMinRows && screen.Cols() >= kMinCols) return false;
  screen.Clear();
  const std::vector<std::string> lines = WrapText(texts.too_small, std::max(screen.Cols(), 10), screen.Utf8());
  for (size_t i = 0; i < lines.size(); ++i) screen.Line(int(i), lines[i], Look::kBad);
  screen.Show();
  return true;
}

std::string ClockText(double seconds) {
  const long total = long(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  return text;
}

TuiPresenter::TuiPresenter(TuiScreen& screen, const TuiTexts& texts, const Options& o,
                           std::vector<std::string> models)
    : screen_(screen), texts_(texts), o_(o), models_(std::move(models)), bars_(o.positional.size()),
      reports_(o.positional.size()) {}

void TuiPresenter::Message(const std::string& text) {
  std::lock_guard lock(mutex_);
  messages_.push_back(OneLine(text));
}

bool TuiPresenter::Ask(size_t drive, const EraseQuestion& question) {
  std::unique_lock lock(mutex_);
  Question& asked = questions_.emplace_back(Question{drive, question, std::nullopt});
  answered_.wait(lock, [&] { return asked.answer.has_value(); });
  const bool answer = *asked.answer;
  messages_.push_back(o_.positional[drive] + ": [" + question.caption + "] " + OneLine(question.text) + " " +
                      (answer ? texts_.yes : texts_.no));
  questions_.remove_if([&](const Question& q) { return &q == &asked; });
  return answer;
}

void TuiPresenter::SetPass(size_t drive, const std::string& pass) {
  std::lock_guard lock(mutex_);
  Bar& bar = bars_[drive];
  if (bar.pass == pass) return;
  bar.pass = pass;
  bar.purging = false;
  bar.percent = 0;
  bar.pass_began = Clock::now();
}

void TuiPresenter::SetPurge(size_t drive, const std::string& command, std::optional<int> percent) {
  std::lock_guard lock(mutex_);
  Bar& bar = bars_[drive];
  bar.pass = command;
  bar.purging = true;
  bar.percent = percent.value_or(0);
}

void TuiPresenter::SetPercent(size_t drive, int percent) {
  std::lock_guard lock(mutex_);
  bars_[drive].percent = percent;
}

void TuiPresenter::SetEstimate(size_t drive, const std::string& estimate) {
  std::lock_guard lock(mutex_);
  bars_[drive].estimate = estimate;
}

void TuiPresenter::SetCapacity(size_t drive, uint64_t bytes) {
  std::lock_guard lock(mutex_);
  bars_[drive].capacity = bytes;
}

void TuiPresenter::SetEnded(size_t drive, EraseOutcome outcome, const std::string& text) {
  std::lock_guard lock(mutex_);
  Bar& bar = bars_[drive];
  bar.has_ended = true;
  bar.outcome = outcome;
  bar.ended = text;
}

void TuiPresenter::Pump() { Serve(50); }
void TuiPresenter::Redraw() { Serve(50); }

bool TuiPresenter::ConfirmSet(const std::vector<DriveFacts>& drives) {
  {
    std::lock_guard lock(mutex_);
    phase_ = Phase::kConfirming;
    confirming_ = drives;
    typed_.clear();
    wrong_word_ = false;
    confirmed_.reset();
  }
  while (!confirmed_) {
    if (o_.interrupt->Closing() || o_.interrupt->CancelRequested()) confirmed_ = false;
    if (!confirmed_) Serve(100);
  }
  std::lock_guard lock(mutex_);
  started_ = *confirmed_;
  phase_ = started_ ? Phase::kErasing : Phase::kPreparing;
  return started_;
}

void TuiPresenter::Summary(const std::vector<DriveSummary>& drives) {
  std::lock_guard lock(mutex_);
  summary_ = drives;
}

void TuiPresenter::ReportFiled(size_t drive, const std::string& html_path) {
  std::lock_guard lock(mutex_);
  reports_.at(drive) = html_path;
}

std::vector<std::string> TuiPresenter::LastMessages(size_t count) const {
  std::lock_guard lock(mutex_);
  const size_t from = messages_.size() > count ? messages_.size() - count : 0;
  return {messages_.begin() + long(from), messages_.end()};
}

// Draws, then takes the keys that came within `timeout_ms`.
void TuiPresenter::Serve(int timeout_ms) {
  if (o_.interrupt->Closing()) {
    // Nobody is at the terminal: every question is let go; the drive's job
    // answers it as an unattended erase would.
    std::lock_guard lock(mutex_);
    for (Question& q : questions_) q.answer = q.answer.value_or(false);
    answered_.notify_all();
  }
  Draw();
  for (int key = screen_.Key(timeout_ms); key != -1; key = screen_.Key(0)) {
    HandleKey(key);
    Draw();
  }
}

void TuiPresenter::HandleKey(int key) {
  std::lock_guard lock(mutex_);
  if (phase_ == Phase::kErasing && (key == 'c' || key == 'C' || key == kKeyCtrlC)) {
    // As Ctrl+C reaches `erase`: the running erases are asked to stop.
    static_cast<void>(o_.interrupt->Take(ConsoleEvent::kCtrlC));
    interrupting_ = true;
    return;
  }
  if (!questions_.empty()) {
    if (key == 'y' || key == 'Y') AnswerQuestion(true);
    if (key == 'n' || key == 'N' || key == kKeyEscape || key == kKeyCtrlC) AnswerQuestion(false);
    return;
  }
  if (phase_ != Phase::kConfirming) return;
  if (key == kKeyEscape || key == kKeyCtrlC) {
    confirmed_ = false;
  } else if (EnterKey(key)) {
    if (Lower(typed_) == "del" && confirm_shown_whole_) confirmed_ = true;
    wrong_word_ = !confirmed_;
    typed_.clear();
  } else if (BackspaceKey(key)) {
    PopUtf8(typed_);
  } else if (key >= 0x20 && key < 0x10000 && key != 0x7F && (key < KEY_MIN || key > KEY_MAX) && typed_.size() < 16) {
    AppendUtf8(typed_, char32_t(key));
  }
}

bool TuiPresenter::AnswerQuestion(bool answer) {
  for (Question& q : questions_) {
    if (q.answer) continue;
    q.answer = answer;
    answered_.notify_all();
    return true;
  }
  return false;
}

void TuiPresenter::Draw() {
  std::lock_guard lock(mutex_);
  confirm_shown_whole_ = false;
  if (TooSmall(screen_, texts_)) return;
  screen_.Clear();
  const int row = DrawHeader();
  switch (phase_) {
    case Phase::kPreparing: DrawPreparing(row); break;
    case Phase::kConfirming: DrawConfirm(row); break;
    case Phase::kErasing: DrawErasing(row); break;
  }
  DrawQuestion();
  screen_.Show();
}

int TuiPresenter::DrawHeader() {
  const char* title = phase_ == Phase::kErasing      ? texts_.progress_title
                      : phase_ == Phase::kConfirming ? texts_.confirm_title
                                                     : texts_.preparing;
  screen_.Line(0, std::string("Plexiscrub: ") + title, Look::kTitle);
  const char* help = phase_ == Phase::kErasing ? texts_.progress_help : "";
  screen_.Line(screen_.Rows() - 1, interrupting_ ? texts_.interrupting : help, Look::kCursor);
  return 2;
}

void TuiPresenter::DrawPreparing(int row) { DrawMessages(row, screen_.Rows() - 2); }

void TuiPresenter::DrawConfirm(int row) {
  screen_.Line(row++, texts_.confirm_warning, Look::kBad);
  ++row;
  std::vector<std::vector<std::string>> cells = {
      {texts_.col_disk, texts_.col_model, texts_.col_serial, texts_.col_size, texts_.col_method, texts_.col_verify}};
  for (const DriveFacts& d : confirming_) {
    const bool purge = d.method == OverwriteMethod::kFirmwarePurge && !d.purge_command.empty();
    const std::string method = std::to_string(MethodCode(d.method)) + " " +
                               (purge ? d.purge_command : texts_.method_names[std::clamp(MethodCode(d.method), 0, 3)]) +
                               (d.resumed ? std::string(" ") + texts_.resumed : "");
    cells.push_back({d.target, d.model, d.serial.empty() ? "-" : d.serial, d.size, method,
                     d.verify ? texts_.yes : texts_.no});
  }
  const std::vector<int> widths = ColumnWidths(cells, screen_.Cols(), screen_.Utf8());
  const int last_table_row = screen_.Rows() - 6;
  size_t shown = 0;
  for (; shown < cells.size() && row <= last_table_row; ++shown)
    PutRow(screen_, row++, cells[shown], widths, shown == 0 ? Look::kTitle : Look::kPlain);
  ++row;
  confirm_shown_whole_ = shown == cells.size();
  if (!confirm_shown_whole_) {
    screen_.Line(row, "+" + std::to_string(cells.size() - shown) + "  " + texts_.confirm_hidden, Look::kBad);
    DrawMessages(row + 2, screen_.Rows() - 2);
    return;
  }
  const std::string prompt = texts_.confirm_prompt;
  screen_.Line(row, prompt + typed_ + "_");
  if (wrong_word_) screen_.Line(row + 1, texts_.confirm_wrong, Look::kBad);
  DrawMessages(row + 2, screen_.Rows() - 2);
}

std::string TuiPresenter::BarLine(const Bar& bar, int width) const {
  const double elapsed = std::chrono::duration<double>(Clock::now() - bar.pass_began).count();
  const double done = double(bar.capacity) * bar.percent / 100.0;
  std::string speed = bar.purging ? texts_.purge_note : texts_.calculating;
  if (!bar.purging && elapsed > 0.5 && done > 0) {
    const double rate = done / elapsed;
    speed = Fixed(rate / 1e6, 1) + " MB/s  " + texts_.left + " " + ClockText((double(bar.capacity) - done) / rate);
  }
  const std::string tail = " " + std::to_string(bar.percent) + "%  " + speed;
  const int cells = std::max(10, width - DisplayWidth(tail, screen_.Utf8()) - 2);
  const int filled = cells * std::clamp(bar.percent, 0, 100) / 100;
  return "[" + std::string(size_t(filled), '#') + std::string(size_t(cells - filled), '-') + "]" + tail;
}

void TuiPresenter::DrawErasing(int row) {
  const int last = screen_.Rows() - 5;
  for (size_t i = 0; i < bars_.size(); ++i) {
    if (row + 1 > last) {
      screen_.Line(row, "+" + std::to_string(bars_.size() - i), Look::kDim);
      break;
    }
    const Bar& bar = bars_[i];
    screen_.Line(row++, o_.positional[i] + "  " + models_[i] + "  " + (bar.pass.empty() ? texts_.waiting : bar.pass),
                 Look::kTitle);
    if (bar.has_ended)
      screen_.Line(row++, "  " + bar.ended, bar.outcome == EraseOutcome::kCompleted ? Look::kGood : Look::kBad);
    else
      screen_.Line(row++, "  " + BarLine(bar, screen_.Cols() - 2));
  }
  DrawMessages(std::max(row + 1, last + 1), screen_.Rows() - 2);
}

// The newest messages that fit between the two rows, wrapped.
void TuiPresenter::DrawMessages(int first_row, int last_row) {
  std::vector<std::string> lines;
  for (auto m = messages_.rbegin(); m != messages_.rend() && int(lines.size()) <= last_row - first_row; ++m) {
    std::vector<std::string> wrapped = WrapText(*m, screen_.Cols(), screen_.Utf8());
    lines.insert(lines.begin(), wrapped.begin(), wrapped.end());
  }
  const int shown = std::max(0, last_row - first_row + 1);
  const size_t from = lines.size() > size_t(shown) ? lines.size() - size_t(shown) : 0;
  for (size_t i = from; i < lines.size(); ++i) screen_.Line(first_row + int(i - from), lines[i], Look::kDim);
}

// The first unanswered question in a box across the middle of the screen.
void TuiPresenter::DrawQuestion() {
  const auto open = std::find_if(questions_.begin(), questions_.end(), [](const Question& q) { return !q.answer; });
  if (open == questions_.end()) return;
  const int width = std::min(screen_.Cols() - 4, 76);
  std::vector<std::string> lines = {o_.positional[open->drive] + ": [" + open->question.caption + "]"};
  for (const std::string& line : WrapText(OneLine(open->question.text), width - 4, screen_.Utf8()))
    lines.push_back(line);
  lines.push_back("");
  lines.push_back(texts_.question_keys);
  const int top = std::max(1, (screen_.Rows() - int(lines.size()) - 2) / 2);
  const int left = (screen_.Cols() - width) / 2;
  screen_.Put(top, left, "+" + std::string(size_t(width - 2), '-') + "+", width, Look::kCursor);
  for (size_t i = 0; i < lines.size(); ++i) screen_.Put(top + 1 + int(i), left, "  " + lines[i], width, Look::kCursor);
  screen_.Put(top + 1 + int(lines.size()), left, "+" + std::string(size_t(width - 2), '-') + "+", width,
              Look::kCursor);
}

}  // namespace plexi::cli
