// The terminal view's screen: ncursesw through one owner, text measured by
// wcwidth.
#ifndef NCURSES_WIDECHAR
#define NCURSES_WIDECHAR 1
#endif
#include "cli/cli_tui_screen.h"

#include <curses.h>
#include <langinfo.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <cwchar>

namespace plexi::cli {
namespace {

bool CodesetIsUtf8() {
  const char* codeset = nl_langinfo(CODESET);
  return codeset != nullptr && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
}

// One code point of UTF-8 from text[i], i moved past it; U+FFFD for a
// broken sequence.
char32_t NextCodePoint(const std::string& text, size_t& i) {
  const unsigned char lead = static_cast<unsigned char>(text[i++]);
  if (lead < 0x80) return lead;
  const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
  if (extra < 0) return 0xFFFD;
  char32_t code = lead & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 0xFFFD;
    code = (code << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
  }
  return code;
}

int CharWidth(wchar_t c) {
  const int width = wcwidth(c);
  return width < 0 ? 1 : width;
}

}  // namespace

bool SetUpTerminalLocale() {
  const char* chosen = std::setlocale(LC_ALL, "");
  if (chosen == nullptr || !CodesetIsUtf8()) std::setlocale(LC_CTYPE, "C.UTF-8");
  return CodesetIsUtf8();
}

std::wstring TerminalText(const std::string& utf8, bool utf8_terminal) {
  std::wstring text;
  for (size_t i = 0; i < utf8.size();) {
    const char32_t code = NextCodePoint(utf8, i);
    const bool control = code < 0x20 || code == 0x7F || (code >= 0x80 && code < 0xA0);
    const bool shown = !control && (utf8_terminal ? code != 0xFFFD && wcwidth(wchar_t(code)) >= 0 : code < 0x80);
    text += shown ? wchar_t(code) : L'?';
  }
  return text;
}

int DisplayWidth(const std::wstring& text) {
  int width = 0;
  for (wchar_t c : text) width += CharWidth(c);
  return width;
}

int DisplayWidth(const std::string& utf8, bool utf8_terminal) {
  return DisplayWidth(TerminalText(utf8, utf8_terminal));
}

std::vector<std::string> WrapText(const std::string& utf8, int width, bool utf8_terminal) {
  std::vector<std::string> lines;
  std::string line, word;
  const auto flush_word = [&] {
    if (!line.empty() && DisplayWidth(line + word, utf8_terminal) > width) {
      lines.push_back(line);
      line.clear();
      while (!word.empty() && word.front() == ' ') word.erase(0, 1);
    }
    line += word;
    word.clear();
  };
  for (size_t i = 0; i < utf8.size();) {
    const size_t start = i;
    const char32_t code = NextCodePoint(utf8, i);
    if (code == '\n') {
      flush_word();
      lines.push_back(line);
      line.clear();
      continue;
    }
    // A blank or a wide character may end a line.
    if (code == ' ' || code >= 0x1100) flush_word();
    word += utf8.substr(start, i - start);
    if (DisplayWidth(word, utf8_terminal) >= width) flush_word();
  }
  flush_word();
  if (!line.empty()) lines.push_back(line);
  return lines;
}

struct TuiScreen::Terminal {
  SCREEN* screen = nullptr;
  ~Terminal() {
    if (!screen) return;
    endwin();
    delscreen(screen);
  }
};

std::unique_ptr<TuiScreen> TuiScreen::Open(bool utf8, std::string* problem) {
  auto terminal = std::make_unique<Terminal>();
  // newterm, not initscr: a terminal curses cannot drive is said, not exited on.
  terminal->screen = newterm(nullptr, stdout, stdin);
  if (terminal->screen == nullptr) {
    const char* term = std::getenv("TERM");
    *problem = std::string("cannot drive the terminal (TERM=") + (term ? term : "") +
               "): no terminal description found";
    return nullptr;
  }
  raw();  // Ctrl+C comes as a key: the view decides what it stops
  noecho();
  nonl();
  keypad(stdscr, TRUE);
  set_escdelay(25);
  curs_set(0);
  if (has_colors()) {
    start_color();
    use_default_colors();
    init_pair(1, COLOR_GREEN, -1);
    init_pair(2, COLOR_RED, -1);
    init_pair(3, COLOR_CYAN, -1);
  }
  return std::unique_ptr<TuiScreen>(new TuiScreen(std::move(terminal), utf8));
}

TuiScreen::TuiScreen(std::unique_ptr<Terminal> terminal, bool utf8) : terminal_(std::move(terminal)), utf8_(utf8) {}
TuiScreen::~TuiScreen() = default;

int TuiScreen::Rows() const { return LINES; }
int TuiScreen::Cols() const { return COLS; }
void TuiScreen::Clear() { erase(); }
void TuiScreen::Show() {
  // A terminal that ignores curs_set(0) (fbterm) still shows its cursor:
  // it waits in the bottom right corner, over no text.
  move(LINES - 1, COLS - 1);
  refresh();
}

void TuiScreen::Put(int row, int col, const std::string& text, int width, Look look) {
  if (row < 0 || row >= LINES || col >= COLS || width <= 0) return;
  width = std::min(width, COLS - col);
  std::wstring shown;
  int used = 0;
  for (wchar_t c : TerminalText(text, utf8_)) {
    if (used + CharWidth(c) > width) break;
    shown += c;
    used += CharWidth(c);
  }
  shown.append(size_t(width - used), L' ');
  const attr_t attr = look == Look::kCursor ? A_REVERSE
                      : look == Look::kDim  ? A_DIM
                      : look == Look::kTitle ? A_BOLD
                      : look == Look::kGood && has_colors() ? COLOR_PAIR(1)
                      : look == Look::kBad  ? (has_colors() ? COLOR_PAIR(2) : A_BOLD)
                                            : A_NORMAL;
  attron(attr);
  mvaddnwstr(row, col, shown.c_str(), int(shown.size()));
  attroff(attr);
}

int TuiScreen::Key(int timeout_ms) {
  timeout(timeout_ms);
  wint_t key = 0;
  const int got = get_wch(&key);
  if (got == ERR) return -1;
  return int(key);
}

}  // namespace plexi::cli

namespace plexi::cli {

std::vector<int> ColumnWidths(const std::vector<std::vector<std::string>>& rows, int total, bool utf8_terminal) {
  std::vector<int> widths;
  for (const auto& row : rows) {
    if (widths.size() < row.size()) widths.resize(row.size(), 0);
    for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], DisplayWidth(row[i], utf8_terminal));
  }
  const auto sum = [&] {
    int s = widths.empty() ? 0 : int(widths.size()) - 1;
    for (int w : widths) s += w;
    return s;
  };
  while (sum() > total) {
    auto widest = std::max_element(widths.begin(), widths.end());
    if (*widest <= 4) break;
    --*widest;
  }
  return widths;
}

void PutRow(TuiScreen& screen, int row, const std::vector<std::string>& cells, const std::vector<int>& widths,
            Look look) {
  int col = 0;
  for (size_t i = 0; i < cells.size() && i < widths.size(); ++i) {
    screen.Put(row, col, cells[i], widths[i], look);
    screen.Put(row, col + widths[i], " ", 1, look);
    col += widths[i] + 1;
  }
  if (col < screen.Cols()) screen.Put(row, col, "", screen.Cols() - col, look);
}

}  // namespace plexi::cli
