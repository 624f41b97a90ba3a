// The sector viewer in the main window: opened on a drive, paged with the
// track bar, the arrow keys and the wheel, switched to text, closed and
// opened again. The drive is a small image-backed stick whose sectors hold
// a byte ramp, UTF-16 text and Shift-JIS text; the machine traces its
// device calls, so the scenario sees every read and every open's access.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <sstream>
#include <vector>

#include "driver_config.h"
#include "gui_actions.h"
#include "platform/win/utf.h"
#include "scenario_support.h"

namespace plexi::gui {
namespace {

// The viewer's control ids.
enum : int {
  kHexDump = 401, kTextView = 402, kTextPanel = 403, kHeaderLine = 404, kSectorNumber = 405,
  kTextCheckBox = 406, kTrackBar = 407,
};
constexpr int kOpenHeight = 570;

constexpr uint32_t kSectorSize = 512;
constexpr int kSectors = 64;
constexpr char kStick[] = "\\\\.\\PHYSICALDRIVE8";
constexpr char kStickLetter[] = "K:";

// Sector 0 and 2 hold Shift-JIS text, sector 1 UTF-16 text without a
// byte-order mark that starts with a letter (one of its first two bytes is
// zero, which makes it UTF-16 whatever the system's test says). Sectors 62
// and 63 hold a label and a byte ramp for the hex dump.
const wchar_t kSector0Text[] = L"Plexiscrub ビューア試験用スティック";
const wchar_t kUtf16Text[] =
    L"UTF-16 のテキスト：セクタビューアの試験です。\r\n二行目の文章。\r\n三行目の後は空です。";
const wchar_t kShiftJisText[] = L"シフトJISの文章：全角と半角ｶﾀｶﾅ";

std::string ShiftJis(const wchar_t* text) {
  char bytes[256] = {};
  WideCharToMultiByte(932, 0, text, -1, bytes, sizeof bytes, nullptr, nullptr);
  return bytes;
}

std::vector<uint8_t> Sector(int number) {
  std::vector<uint8_t> sector(kSectorSize, 0);
  auto put = [&](const std::string& bytes) { std::copy(bytes.begin(), bytes.end(), sector.begin()); };
  switch (number) {
    case 0: put(ShiftJis(kSector0Text)); break;
    case 1: std::memcpy(sector.data(), kUtf16Text, wcslen(kUtf16Text) * sizeof(wchar_t)); break;
    case 2: put(ShiftJis(kShiftJisText)); break;
    case kSectors - 2:
    case kSectors - 1:
      for (uint32_t i = 0; i < kSectorSize; ++i) sector[i] = uint8_t(i * 7 + number);
      put(number == kSectors - 1 ? "the last sector." : "next to last.");
      break;
    default: break;
  }
  return sector;
}

// The demo machine with the stick and a trace of every device call.
class ViewerMachine {
 public:
  // `faults`: lines added to the machine after the dumps were taken.
  explicit ViewerMachine(const std::string& faults = "") {
    const std::wstring folder = machine_.file().substr(0, machine_.file().rfind(L'\\') + 1);
    std::string image;
    for (int i = 0; i < kSectors; ++i) {
      const std::vector<uint8_t> sector = Sector(i);
      image.append(sector.begin(), sector.end());
    }
    EXPECT_TRUE(ScenarioMachine::WriteText(folder + L"viewer.img", image));
    std::string text = ScenarioMachine::ReadText(machine_.file());
    text += "\ndisk 8 sectors=64 heads=1 sectors-per-track=8 bus=usb vendor=\"Plexi\" "
            "product=\"Viewer Stick\" removable=yes image=viewer.img\n"
            "volume K: disk=8 offset=0 type=removable label=\"VIEWER\"\n";
    EXPECT_TRUE(ScenarioMachine::WriteText(machine_.file(), text));
    // The dumps as the command-line tool prints them, taken before the
    // trace starts, so that its reads are not counted.
    for (int sector : {0, 1, 2, kSectors - 2, kSectors - 1}) dumps_[sector] = CliDump(sector);
    EXPECT_TRUE(ScenarioMachine::WriteText(machine_.file(), text + faults + "trace opens reads writes\n"));
  }

  const ScenarioMachine& machine() const { return machine_; }
  std::vector<std::string> Trace() const {
    std::vector<std::string> lines;
    std::istringstream text(ScenarioMachine::ReadText(machine_.file() + L".trace"));
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    return lines;
  }
  // The memo's text for a sector: the tool's dump lines without the header.
  const std::string& Dump(int sector) { return dumps_[sector]; }

 private:
  std::string CliDump(int sector) {
    const std::optional<std::string> output =
        CliOutput(L"dump 8 " + std::to_wstring(sector) + L" --simulate \"" + machine_.file() + L"\"");
    if (!output) return {};
    std::istringstream lines(*output);
    std::string memo, line;
    std::getline(lines, line);  // the header
    while (std::getline(lines, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty()) memo += line + "\r\n";
    }
    return memo;
  }

  ScenarioMachine machine_;
  std::map<int, std::string> dumps_;
};

std::wstring TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_BLOCK, 5000, &length)) return L"";
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_BLOCK,
                      5000, &copied);
  text.resize(copied);
  return text;
}

// Sent, not posted: when the call returns the program has handled it.
LRESULT Send(HWND window, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
  DWORD_PTR answer = 0;
  SendMessageTimeoutW(window, message, wparam, lparam, SMTO_BLOCK, 10000, &answer);
  return LRESULT(answer);
}

void Key(HWND window, int key) { Send(window, WM_KEYDOWN, WPARAM(key), 1); }
void Wheel(HWND window, int delta) { Send(window, WM_MOUSEWHEEL, MAKEWPARAM(0, delta), MAKELPARAM(300, 300)); }

class Viewer {
 public:
  explicit Viewer(const RunningProgram& program) : window_(program.window()) {}
  HWND memo() const { return GetDlgItem(window_, kHexDump); }
  HWND text_view() const { return GetDlgItem(GetDlgItem(window_, kTextPanel), kTextView); }
  HWND header() const { return GetDlgItem(window_, kHeaderLine); }
  HWND sector_number() const { return GetDlgItem(window_, kSectorNumber); }
  HWND check_box() const { return GetDlgItem(window_, kTextCheckBox); }
  HWND track_bar() const { return GetDlgItem(window_, kTrackBar); }

  std::string Memo() const { return Utf8(TextOf(memo())); }
  std::string TextView() const { return Utf8(TextOf(text_view())); }
  std::string Numbers() const { return Utf8(TextOf(sector_number())); }
  std::string Header() const { return Utf8(TextOf(header())); }
  int64_t Position() const { return int64_t(Send(track_bar(), WM_USER)); }
  bool Showing(int sector) const { return Numbers() == std::to_string(sector) + "／63" && Position() == sector; }
  bool InTextDisplay() const {
    return IsWindowVisible(text_view()) && !IsWindowVisible(memo()) && Header() == " テキスト表示";
  }
  std::string Seen() const {
    return "sector " + Numbers() + ", memo " + (IsWindowVisible(memo()) ? "shown" : "hidden") + ", text view " +
           (IsWindowVisible(text_view()) ? "shown" : "hidden") + ", header '" + Header() + "'";
  }

 private:
  HWND window_;
};

int Height(const RECT& r) { return r.bottom - r.top; }

RECT Frame(HWND window) {
  RECT frame{};
  GetWindowRect(window, &frame);
  return frame;
}

// The reads of the stick in the trace lines from `first` on.
std::vector<std::string> StickReads(const std::vector<std::string>& trace, size_t first) {
  std::vector<std::string> reads;
  const std::string prefix = std::string("read ") + kStick + " ";
  for (size_t i = first; i < trace.size(); ++i)
    if (trace[i].rfind(prefix, 0) == 0) reads.push_back(trace[i].substr(prefix.size()));
  return reads;
}

std::string ReadOf(int sector) {
  return "at=" + std::to_string(uint64_t(sector) * kSectorSize) + " bytes=" + std::to_string(kSectorSize);
}

class SectorViewer : public ::testing::Test {
 protected:
  explicit SectorViewer(const std::string& faults = "") : stick_(faults) {}

  void SetUp() override {
    ASSERT_FALSE(Config().cli.empty()) << "the scenario compares with plexiscrub-cli dump";
    program_ = RunningProgram::Start(stick_.machine().file());
    ASSERT_TRUE(program_);
    ASSERT_TRUE(program_->WaitForRowCount(7));
    program_->MoveTo(0, 0);
    const std::optional<int> row = program_->RowOf(kStickLetter);
    ASSERT_TRUE(row);
    caption_ = program_->ListRows()[size_t(*row)][0];
    program_->PressRow(*row, 200);
    ASSERT_TRUE(WaitUntil([&] { return program_->Enabled(kDumpButton); }, kStepTimeout));
    closed_frame_ = Frame(program_->window());
  }

  // Everything the open viewer shows: its caption and sector 0, its
  // controls with the dump or the text, and the list, the status bar and
  // the buttons of the list hidden (the last the program hides).
  bool ViewerOpen() const {
    const HWND window = program_->window();
    const Viewer shown = viewer();
    for (HWND control : {shown.header(), shown.sector_number(), shown.check_box(), shown.track_bar()})
      if (!IsWindowVisible(control)) return false;
    for (HWND hidden : {program_->list(), program_->Button(kEraseButton), program_->Button(kRefreshButton),
                        program_->Button(kViewButton), FindChild(window, L"msctls_statusbar32")})
      if (IsWindowVisible(hidden)) return false;
    return (IsWindowVisible(shown.memo()) != IsWindowVisible(shown.text_view())) &&
           Utf8(WindowText(window)).rfind("セクタダンプ [ ", 0) == 0 && Height(Frame(window)) == kOpenHeight &&
           shown.Showing(0);
  }

  // Opens the viewer with the dump button and waits until it is open on
  // sector 0. The drive is opened once, for reading only.
  void OpenViewer() {
    const size_t before = stick_.Trace().size();
    program_->ClickButton(kDumpButton);
    ASSERT_TRUE(WaitFor("the viewer open on sector 0", [&] { return ViewerOpen(); }, kStepTimeout,
                        [&] { return viewer().Seen(); }));
    const std::vector<std::string> trace = stick_.Trace();
    std::vector<std::string> opens;
    for (size_t i = before; i < trace.size(); ++i)
      if (trace[i].rfind("open ", 0) == 0) opens.push_back(trace[i]);
    EXPECT_EQ(opens, std::vector<std::string>{std::string("open ") + kStick + " read"});
  }

  // Everything the closed viewer gives back: the title, place and height,
  // the list with its buttons and status bar, the viewer's controls gone.
  void CloseViewer() {
    program_->ClickButton(kDumpButton);
    const HWND window = program_->window();
    ASSERT_TRUE(WaitFor("the viewer closed and the list back", [&] {
      for (HWND shown : {program_->list(), program_->Button(kEraseButton), FindChild(window, L"msctls_statusbar32")})
        if (!IsWindowVisible(shown)) return false;
      for (HWND hidden : {viewer().track_bar(), viewer().check_box(), viewer().memo(), viewer().text_view()})
        if (IsWindowVisible(hidden)) return false;
      return Utf8(WindowText(window)) == "プレキシスクラブ" && Frame(window).top == closed_frame_.top &&
             Height(Frame(window)) == Height(closed_frame_);
    }));
  }

  // A step that must show `sector`, reading it once and nothing else.
  void ExpectStepTo(int sector, const std::function<void()>& step, const std::string& how) {
    const size_t before = stick_.Trace().size();
    step();
    EXPECT_TRUE(viewer().Showing(sector)) << how << ": " << viewer().Numbers();
    if (IsWindowVisible(viewer().memo())) {
      EXPECT_EQ(viewer().Memo(), stick_.Dump(sector)) << how;
    }
    EXPECT_EQ(StickReads(stick_.Trace(), before), std::vector<std::string>{ReadOf(sector)}) << how;
  }

  // A step at either end that must neither move nor read.
  void ExpectNoMove(int sector, const std::function<void()>& step, const std::string& how) {
    const size_t before = stick_.Trace().size();
    const std::string memo = viewer().Memo();
    step();
    EXPECT_TRUE(viewer().Showing(sector)) << how << ": " << viewer().Numbers();
    EXPECT_EQ(viewer().Memo(), memo) << how;
    EXPECT_EQ(StickReads(stick_.Trace(), before), std::vector<std::string>{}) << how;
  }

  void DragTrackBarTo(int y) {
    const HWND bar = viewer().track_bar();
    RECT client;
    GetClientRect(bar, &client);
    const int knob_top = int(7 + (client.bottom - 30) * viewer().Position() / 63);
    Send(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(14, knob_top + 8));
    Send(bar, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(14, y));
    Send(bar, WM_LBUTTONUP, 0, MAKELPARAM(14, y));
  }

  Viewer viewer() const { return Viewer(*program_); }

  ViewerMachine stick_;
  std::unique_ptr<RunningProgram> program_;
  std::string caption_;
  RECT closed_frame_{};
};

TEST_F(SectorViewer, PagesWithTrackBarKeysAndWheelAndReadsOnlyWhenTheSectorChanges) {
  HWND window = program_->window();
  // Plugged in while the viewer is open, the stick J: must wait for it to close.
  ASSERT_TRUE(ScenarioMachine::WriteText(stick_.machine().changes_file(), "show J:\r\n"));
  OpenViewer();

  EXPECT_EQ(Utf8(WindowText(window)), "セクタダンプ [ " + caption_ + " ]");
  EXPECT_EQ(Height(Frame(window)), kOpenHeight);
  EXPECT_EQ(Frame(window).top, GetSystemMetrics(SM_CYSCREEN) / 2 - 300);
  EXPECT_FALSE(IsWindowVisible(program_->list()));
  EXPECT_FALSE(IsWindowVisible(program_->Button(kEraseButton)));
  EXPECT_FALSE(IsWindowVisible(program_->Button(kRefreshButton)));
  EXPECT_FALSE(IsWindowVisible(program_->Button(kViewButton)));
  EXPECT_FALSE(IsWindowVisible(FindChild(window, L"msctls_statusbar32")));
  for (HWND shown : {viewer().header(), viewer().sector_number(), viewer().check_box(), viewer().track_bar()})
    EXPECT_TRUE(IsWindowVisible(shown));
  EXPECT_EQ(viewer().Header(),
            "   Address     00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F   0123456789ABCDEF");
  const HWND memo = viewer().memo(), bar = viewer().track_bar();
  ASSERT_TRUE(IsWindowVisible(memo)) << "the dump is the first display";
  EXPECT_EQ(viewer().Memo(), stick_.Dump(0));
  ASSERT_NE(stick_.Dump(0).find(" 000000000000  50 6C 65 78"), std::string::npos) << stick_.Dump(0);
  EXPECT_EQ(Send(memo, EM_GETFIRSTVISIBLELINE), 0) << "the dump is seen from its first line";

  ExpectStepTo(1, [&] { Key(bar, VK_DOWN); }, "Down on the track bar");
  // After a dump the caret is on the memo's last line, the empty one.
  ExpectStepTo(2, [&] { Key(memo, VK_DOWN); }, "Down on the memo's last line");
  Send(memo, EM_SETSEL, 3, 3);
  ExpectStepTo(1, [&] { Key(memo, VK_UP); }, "Up on the memo's first line");
  EXPECT_EQ(LOWORD(Send(memo, EM_GETSEL)), 0) << "the caret is at the very start";
  ExpectStepTo(0, [&] { Key(memo, VK_UP); }, "Up again");
  ExpectNoMove(0, [&] { Key(memo, VK_UP); }, "Up on the first line of sector 0");
  ExpectNoMove(0, [&] { Key(memo, VK_LEFT); Key(memo, VK_RIGHT); Key(memo, VK_DELETE); Key(memo, '5'); },
               "keys that do not page");
  ExpectNoMove(0, [&] { Wheel(memo, 120); }, "the wheel back at sector 0");

  RECT client;
  GetClientRect(bar, &client);
  ExpectStepTo(63, [&] { DragTrackBarTo(client.bottom + 40); }, "dragging the knob to the end");
  ExpectNoMove(63, [&] { Key(memo, VK_DOWN); }, "Down on the last line of the last sector");
  ExpectNoMove(63, [&] { Key(bar, VK_DOWN); }, "Down on the track bar at the end");
  ExpectStepTo(62, [&] { Wheel(memo, 120); }, "the wheel forward over the memo");
  ExpectStepTo(63, [&] { Wheel(memo, -120); }, "the wheel toward the user over the memo");
  ExpectNoMove(63, [&] { Wheel(memo, -120); }, "the wheel at the last sector");
  ExpectStepTo(62, [&] { Wheel(window, 240); }, "the wheel over the window: one sector whatever the turn");
  EXPECT_EQ(Send(memo, EM_GETFIRSTVISIBLELINE), 0) << "paging never scrolls the dump's first line away";
  program_->Screenshot("sector-hex");

  // Text display: sector 0's ANSI text, the UTF-16 text of sector 1 without
  // its mark, and Shift-JIS in sector 2; the wheel pages and the text view
  // stays where it is.
  ExpectStepTo(0, [&] { DragTrackBarTo(0); }, "dragging the knob to the top");
  PostClick(viewer().check_box(), 5, 5);
  // The header changes first, the text view comes, the dump goes, and the
  // sector's text is put in last: wait for all of it.
  ASSERT_TRUE(WaitFor("the text display of sector 0", [&] {
    return viewer().InTextDisplay() && viewer().TextView() == win::WideToUtf8(kSector0Text);
  }, kStepTimeout, [&] { return viewer().Seen() + ", text '" + viewer().TextView() + "'"; }));
  const HWND text_view = viewer().text_view();
  ExpectStepTo(1, [&] { Wheel(text_view, -120); }, "the wheel toward the user over the text view");
  EXPECT_EQ(viewer().TextView(), win::WideToUtf8(kUtf16Text));
  EXPECT_EQ(Send(text_view, EM_GETFIRSTVISIBLELINE), 0) << "the text view did not scroll";
  ExpectStepTo(2, [&] { Wheel(text_view, -120); }, "and once more");
  EXPECT_EQ(viewer().TextView(), win::WideToUtf8(kShiftJisText));
  ExpectStepTo(1, [&] { Wheel(text_view, 120); }, "the wheel forward over the text view");
  program_->Screenshot("sector-text");

  // Closing gives the window back its place, height, title and list; the
  // change watch runs again and finds the stick that came meanwhile.
  CloseViewer();
  EXPECT_EQ(Utf8(WindowText(window)), "プレキシスクラブ");
  EXPECT_EQ(Frame(window).top, closed_frame_.top);
  EXPECT_EQ(Height(Frame(window)), Height(closed_frame_));
  EXPECT_TRUE(IsWindowVisible(FindChild(window, L"msctls_statusbar32")));
  EXPECT_TRUE(IsWindowVisible(program_->Button(kEraseButton)));
  EXPECT_FALSE(IsWindowVisible(viewer().track_bar()));
  EXPECT_FALSE(IsWindowVisible(viewer().check_box()));
  EXPECT_EQ(ListViewRowCount(program_->list()), 7) << "the watch rested while the viewer was open";
  EXPECT_TRUE(program_->WaitForRowCount(8));

  // Open again: sector 0, still in the text view.
  const std::optional<int> row = program_->RowOf(kStickLetter);
  ASSERT_TRUE(row);
  program_->PressRow(*row, 200);
  ASSERT_TRUE(WaitUntil([&] { return program_->Enabled(kDumpButton); }, kStepTimeout));
  OpenViewer();
  EXPECT_TRUE(viewer().InTextDisplay()) << viewer().Seen();
  EXPECT_EQ(viewer().TextView(), win::WideToUtf8(kSector0Text));
  ExpectStepTo(1, [&] { Key(viewer().track_bar(), VK_DOWN); }, "Down on the track bar after reopening");
  CloseViewer();

  // Nothing was ever opened for writing, or written.
  for (const std::string& line : stick_.Trace()) {
    EXPECT_EQ(line.find(" read-write"), std::string::npos) << line;
    EXPECT_NE(line.rfind("write ", 0), 0u) << line;
  }
  EXPECT_EQ(program_->Close(), std::optional<DWORD>(0));
}

// The sector number field and the text check box carry their hints as tool
// tips (the status bar is hidden while the viewer is open), and the field
// takes the mouse, so that its tip can see it.
TEST_F(SectorViewer, TheSectorNumberAndTheTextCheckBoxShowTheirHints) {
  OpenViewer();
  auto hint_of = [&](HWND control) -> std::optional<std::string> {
    for (const ToolTip& tool : ToolTipsOf(program_->pid()))
      if (tool.id == reinterpret_cast<UINT_PTR>(control)) return Utf8(tool.text);
    return std::nullopt;
  };
  EXPECT_EQ(hint_of(viewer().sector_number()), std::optional<std::string>("現在のセクタ番号／最終セクタ番号"));
  EXPECT_EQ(hint_of(viewer().check_box()), std::optional<std::string>("テキスト表示"));

  RECT field;
  GetWindowRect(viewer().sector_number(), &field);
  const LPARAM middle = MAKELPARAM((field.left + field.right) / 2, (field.top + field.bottom) / 2);
  EXPECT_EQ(Send(viewer().sector_number(), WM_NCHITTEST, 0, middle), HTCLIENT);
  CloseViewer();
  EXPECT_EQ(program_->Close(), std::optional<DWORD>(0));
}

// In the partition view a volume opens by its letter, read-only, and the
// caption adds the row's letters.
TEST_F(SectorViewer, PartitionViewOpensTheVolume) {
  program_->ClickButton(kViewButton);
  std::optional<int> row;
  ASSERT_TRUE(WaitUntil([&] { return (row = program_->RowOf(kStickLetter)) && ListViewRowCount(program_->list()) > 7; },
                        kStepTimeout));
  const std::string caption = program_->ListRows()[size_t(*row)][0];
  program_->PressRow(*row, 200);
  ASSERT_TRUE(WaitUntil([&] { return program_->Enabled(kDumpButton); }, kStepTimeout));
  const size_t before = stick_.Trace().size();
  program_->ClickButton(kDumpButton);
  // The caption is set after sector 0 is shown.
  ASSERT_TRUE(WaitFor("the viewer open on sector 0", [&] { return ViewerOpen(); }, kStepTimeout,
                      [&] { return viewer().Seen(); }));
  EXPECT_EQ(Utf8(WindowText(program_->window())), "セクタダンプ [ " + caption + "  K: ]");
  const std::vector<std::string> trace = stick_.Trace();
  EXPECT_NE(std::find(trace.begin() + std::ptrdiff_t(before), trace.end(), "open \\\\.\\K: read"), trace.end());
  EXPECT_EQ(viewer().Memo(), stick_.Dump(0)) << "the volume starts at the stick's first sector";
  CloseViewer();
  EXPECT_EQ(program_->Close(), std::optional<DWORD>(0));
}

// A sector that cannot be read: the error is shown once, the viewer shows
// the zeroed buffer at that sector's address and goes on to the next one.
class SectorViewerBadSector : public SectorViewer {
 protected:
  SectorViewerBadSector() : SectorViewer("fault disk=8 op=read sector=1 error=23\n") {}
};

TEST_F(SectorViewerBadSector, AFailedReadIsShownAndTheZeroedSectorDumped) {
  OpenViewer();
  const size_t before = stick_.Trace().size();
  // Posted: the message box keeps the program from answering a sent key.
  PostMessageW(viewer().track_bar(), WM_KEYDOWN, VK_DOWN, 1);
  HWND box = WaitForDialog(program_->pid(), "プレキシスクラブ", kStepTimeout);
  ASSERT_NE(box, nullptr);
  EXPECT_NE(DialogText(box).find("CRC"), std::string::npos) << DialogText(box);
  PressDialogButton(box, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box) && viewer().Showing(1); }, kStepTimeout));
  EXPECT_EQ(StickReads(stick_.Trace(), before), std::vector<std::string>{ReadOf(1)});
  const std::string memo = viewer().Memo();
  EXPECT_EQ(memo.substr(0, memo.find("\r\n")),
            " 000000000200  00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00   ................");

  ExpectStepTo(2, [&] { Key(viewer().track_bar(), VK_DOWN); }, "the next sector reads again");
  EXPECT_EQ(FindTopWindow(L"#32770", program_->pid()), nullptr) << "no further message";
  CloseViewer();
  EXPECT_EQ(program_->Close(), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace plexi::gui
