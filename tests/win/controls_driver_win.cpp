// Works the control gallery from outside through window messages, as a user
// would: saves a screenshot of it, moves a track bar with the arrow and page
// keys and with a drag, and presses the Default and Cancel buttons with
// Enter and Escape, in the gallery and in a modal dialog.
//
// plexiscrub_controls_driver --gallery=PATH/plexiscrub_gallery.exe --shot=FILE.bmp
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "gallery/gallery_ids.h"
#include "platform/win/gdi_scope.h"
#include "platform/win/win_handles.h"

namespace plexi::gallery {
namespace {

std::wstring g_gallery_path;
std::wstring g_shot_path;
constexpr DWORD kTimeoutMs = 20000;

// Polls `done` every 20 ms until it holds or the time is up.
template <class Check>
bool WaitFor(Check done, DWORD timeout_ms = kTimeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  while (!done()) {
    if (GetTickCount64() > deadline) return false;
    Sleep(20);
  }
  return true;
}

LRESULT Ask(HWND hwnd, UINT msg, WPARAM wp = 0, LPARAM lp = 0) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(hwnd, msg, wp, lp, SMTO_ABORTIFHUNG, 5000, &answer)) return -999;
  return static_cast<LRESULT>(answer);
}

LPARAM At(int x, int y) { return MAKELPARAM(x, y); }

void Click(HWND hwnd, int x, int y) {
  PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, At(x, y));
  PostMessageW(hwnd, WM_LBUTTONUP, 0, At(x, y));
}

void Key(HWND hwnd, WPARAM vk) { PostMessageW(hwnd, WM_KEYDOWN, vk, 1); }

bool SaveBitmap(const std::wstring& path, int w, int h, const std::vector<std::uint8_t>& bgr) {
  const DWORD row = static_cast<DWORD>((w * 3 + 3) & ~3);
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  info.biSize = sizeof(info);
  info.biWidth = w;
  info.biHeight = h;  // bottom-up
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biSizeImage = row * static_cast<DWORD>(h);
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(file) + sizeof(info);
  file.bfSize = file.bfOffBits + info.biSizeImage;
  FILE* out = _wfopen(path.c_str(), L"wb");
  if (!out) return false;
  bool ok = fwrite(&file, sizeof(file), 1, out) == 1 && fwrite(&info, sizeof(info), 1, out) == 1;
  for (int y = h - 1; ok && y >= 0; --y)
    ok = fwrite(bgr.data() + static_cast<std::size_t>(y) * row, 1, row, out) == row;
  return fclose(out) == 0 && ok;
}

// The window's pixels as the screen shows them, rows top down, 24-bit.
std::vector<std::uint8_t> Capture(HWND hwnd, int* w, int* h) {
  RECT r;
  GetWindowRect(hwnd, &r);
  *w = r.right - r.left;
  *h = r.bottom - r.top;
  const int row = (*w * 3 + 3) & ~3;
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(row) * static_cast<std::size_t>(*h));
  auto screen = plexi::win::GetWindowDc(nullptr);
  plexi::win::UniqueDc memory(CreateCompatibleDC(screen.get()));
  plexi::win::UniqueBitmap bitmap(CreateCompatibleBitmap(screen.get(), *w, *h));
  {
    auto drawn_into = plexi::win::SelectInto(memory.get(), bitmap.get());
    BitBlt(memory.get(), 0, 0, *w, *h, screen.get(), r.left, r.top, SRCCOPY);
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = *w;
  info.bmiHeader.biHeight = -*h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  GetDIBits(memory.get(), bitmap.get(), 0, static_cast<UINT>(*h), pixels.data(), &info,
            DIB_RGB_COLORS);
  return pixels;
}

class GalleryTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    std::wstring command = L"\"" + g_gallery_path + L"\"";
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process_))
      return;
    WaitFor([] {
      gallery_ = FindWindowW(kGalleryClass, nullptr);
      return gallery_ && IsWindowVisible(gallery_);
    });
  }
  static void TearDownTestSuite() {
    if (!process_.hProcess) return;
    if (gallery_) PostMessageW(gallery_, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.hProcess, 10000) != WAIT_OBJECT_0)
      TerminateProcess(process_.hProcess, 1);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
    process_ = {};
  }
  void SetUp() override { ASSERT_TRUE(gallery_) << "the gallery did not show its window"; }

  static HWND Child(HWND parent, int id) { return GetDlgItem(parent, id); }
  static LRESULT PositionOf(HWND track) { return Ask(track, WM_USER); }
  static bool PositionBecomes(HWND track, LRESULT expected) {
    return WaitFor([&] { return PositionOf(track) == expected; });
  }
  // Opens the modal dialog with a click on the gallery's button.
  static HWND OpenDialog() {
    HWND open = Child(gallery_, kButtonOpenDialog);
    Click(open, 10, 10);
    HWND dialog = nullptr;
    WaitFor([&] {
      dialog = FindWindowW(kDialogClass, nullptr);
      return dialog && IsWindowVisible(dialog);
    });
    return dialog;
  }

  static inline PROCESS_INFORMATION process_{};
  static inline HWND gallery_ = nullptr;
};

TEST_F(GalleryTest, ScreenshotIsSaved) {
  // The picture has settled when two captures in a row agree.
  int w = 0, h = 0;
  std::vector<std::uint8_t> shot, previous;
  ASSERT_TRUE(WaitFor([&] {
    Ask(gallery_, WM_NULL);
    previous = std::move(shot);
    shot = Capture(gallery_, &w, &h);
    return !previous.empty() && shot == previous;
  }));
  // Not one flat colour: the controls are there.
  std::size_t differing = 0;
  for (std::size_t i = 3; i < shot.size(); ++i) differing += shot[i] != shot[i % 3];
  EXPECT_GT(differing, shot.size() / 20);
  ASSERT_FALSE(g_shot_path.empty());
  EXPECT_TRUE(SaveBitmap(g_shot_path, w, h, shot));
}

TEST_F(GalleryTest, TrackBarMovesWithArrowAndPageKeys) {
  HWND track = Child(gallery_, kTrackFocused);
  ASSERT_TRUE(track);
  ASSERT_EQ(PositionOf(track), 40);
  // The dialog navigation would take the arrows for itself unless the
  // track bar asks for them.
  Key(track, VK_RIGHT);
  EXPECT_TRUE(PositionBecomes(track, 45));
  Key(track, VK_DOWN);
  EXPECT_TRUE(PositionBecomes(track, 50));
  Key(track, VK_PRIOR);
  EXPECT_TRUE(PositionBecomes(track, 30));
  Key(track, VK_LEFT);
  Key(track, VK_UP);
  EXPECT_TRUE(PositionBecomes(track, 20));
  Key(track, VK_NEXT);
  EXPECT_TRUE(PositionBecomes(track, 40));
}

TEST_F(GalleryTest, TrackBarFollowsADrag) {
  HWND track = Child(gallery_, kTrackAtMin);
  ASSERT_TRUE(track);
  ASSERT_EQ(PositionOf(track), 0);
  // The knob's middle sits 15 pixels from its leading edge; 300 wide, so
  // 270 pixels of travel for 0..100.
  PostMessageW(track, WM_LBUTTONDOWN, MK_LBUTTON, At(15, 12));
  PostMessageW(track, WM_MOUSEMOVE, MK_LBUTTON, At(15 + 135, 12));
  EXPECT_TRUE(PositionBecomes(track, 50));
  PostMessageW(track, WM_MOUSEMOVE, MK_LBUTTON, At(600, 12));
  EXPECT_TRUE(PositionBecomes(track, 100));
  PostMessageW(track, WM_MOUSEMOVE, MK_LBUTTON, At(15 + 27, 12));
  PostMessageW(track, WM_LBUTTONUP, 0, At(15 + 27, 12));
  EXPECT_TRUE(PositionBecomes(track, 10));
  PostMessageW(track, WM_MOUSEMOVE, MK_LBUTTON, At(250, 12));  // released: no drag
  Ask(track, WM_NULL);
  EXPECT_EQ(PositionOf(track), 10);
}

TEST_F(GalleryTest, EnterAndEscapeReachDefaultAndCancelButtons) {
  HWND track = Child(gallery_, kTrackFocused);
  Click(track, 5, 20);  // focus on the track bar, not on a button
  Key(track, VK_RETURN);
  EXPECT_TRUE(WaitFor([] { return Ask(gallery_, kGetLastClicked) == kButtonDefault; }));
  Key(track, VK_ESCAPE);
  EXPECT_TRUE(WaitFor([] { return Ask(gallery_, kGetLastClicked) == kButtonCancel; }));
}

TEST_F(GalleryTest, ModalDialogEndsWithTheButtonsResult) {
  HWND dialog = OpenDialog();
  ASSERT_TRUE(dialog);
  HWND track = Child(dialog, kDialogTrack);
  Key(track, VK_RETURN);
  EXPECT_TRUE(WaitFor([] { return Ask(gallery_, kGetLastModalResult) == 1; }));
  EXPECT_FALSE(IsWindowVisible(dialog));

  ASSERT_EQ(OpenDialog(), dialog);
  Key(track, VK_ESCAPE);
  EXPECT_TRUE(WaitFor([] { return Ask(gallery_, kGetLastModalResult) == 2; }));

  // A mouse click on OK, then one that slides off before release.
  ASSERT_EQ(OpenDialog(), dialog);
  Ask(gallery_, kGetLastModalResult);
  HWND ok = Child(dialog, kDialogOk);
  PostMessageW(ok, WM_LBUTTONDOWN, MK_LBUTTON, At(10, 10));
  PostMessageW(ok, WM_MOUSEMOVE, MK_LBUTTON, At(200, 10));
  PostMessageW(ok, WM_LBUTTONUP, 0, At(200, 10));
  Ask(ok, WM_NULL);
  EXPECT_TRUE(IsWindowVisible(dialog));
  Click(ok, 10, 10);
  EXPECT_TRUE(WaitFor([] { return Ask(gallery_, kGetLastModalResult) == 1; }));
}

}  // namespace
}  // namespace plexi::gallery

// CTest passes the Linux build's paths: under Wine they live on drive Z:.
std::wstring WindowsPath(std::wstring path) {
  if (!path.empty() && path[0] == L'/') path = L"Z:" + path;
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return path;
}

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> narrow;
  std::vector<char*> gtest_argv;
  for (int i = 0; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg.rfind(L"--gallery=", 0) == 0) {
      plexi::gallery::g_gallery_path = WindowsPath(arg.substr(10));
    } else if (arg.rfind(L"--shot=", 0) == 0) {
      plexi::gallery::g_shot_path = WindowsPath(arg.substr(7));
    } else {
      narrow.emplace_back(arg.begin(), arg.end());  // gtest's own flags are ASCII
    }
  }
  for (std::string& s : narrow) gtest_argv.push_back(s.data());
  int count = static_cast<int>(gtest_argv.size());
  testing::InitGoogleTest(&count, gtest_argv.data());
  return RUN_ALL_TESTS();
}
