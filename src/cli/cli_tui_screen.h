// The terminal the view draws on (ncurses with wide characters), and text
// measured the way the terminal shows it: by display width, so that
// Japanese columns line up.
#pragma once
#include <memory>
#include <string>
#include <vector>

namespace plexi::cli {

// LC_ALL from the environment, else LC_CTYPE C.UTF-8, so that wide
// characters work on a minimal system too; true when the terminal's
// characters are UTF-8.
bool SetUpTerminalLocale();

// The text as the terminal gets it: UTF-8 decoded; control characters,
// and anything but ASCII when the terminal is not UTF-8, shown as '?'.
std::wstring TerminalText(const std::string& utf8, bool utf8_terminal);
int DisplayWidth(const std::wstring& text);
int DisplayWidth(const std::string& utf8, bool utf8_terminal);
// Lines of at most `width` columns, broken at blanks where there are some.
std::vector<std::string> WrapText(const std::string& utf8, int width, bool utf8_terminal);

enum class Look { kPlain, kCursor, kDim, kGood, kBad, kTitle };

inline constexpr int kKeyCtrlC = 3;
inline constexpr int kKeyEscape = 27;

// The curses screen for as long as it lives; the terminal is given back as
// it was when it ends.
class TuiScreen {
 public:
  // Nothing, with `problem` said, when the terminal cannot be driven.
  static std::unique_ptr<TuiScreen> Open(bool utf8, std::string* problem);
  ~TuiScreen();
  TuiScreen(const TuiScreen&) = delete;
  TuiScreen& operator=(const TuiScreen&) = delete;

  int Rows() const;
  int Cols() const;
  bool Utf8() const { return utf8_; }
  void Clear();
  // `text` at (row, col), cut or padded to `width` columns.
  void Put(int row, int col, const std::string& text, int width, Look look = Look::kPlain);
  // The same, to the end of the line.
  void Line(int row, const std::string& text, Look look = Look::kPlain) { Put(row, 0, text, Cols(), look); }
  void Show();
  // The next key, waiting up to `timeout_ms`; -1 when none came.
  int Key(int timeout_ms);

 private:
  struct Terminal;
  TuiScreen(std::unique_ptr<Terminal> terminal, bool utf8);
  std::unique_ptr<Terminal> terminal_;
  const bool utf8_;
};

}  // namespace plexi::cli

namespace plexi::cli {

// Widths for columns whose cells are `rows` (headers first) within `total`
// columns, one blank between two: each as wide as its widest cell, the
// widest cut first when they do not fit.
std::vector<int> ColumnWidths(const std::vector<std::vector<std::string>>& rows, int total, bool utf8_terminal);
// Cells at their widths from column 0 of `row`.
void PutRow(TuiScreen& screen, int row, const std::vector<std::string>& cells, const std::vector<int>& widths,
            Look look = Look::kPlain);

}  // namespace plexi::cli
