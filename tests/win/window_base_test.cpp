// The window base: binding at creation, ownership whichever side goes
// first (for adopted standard controls too), class registration any number
// of times, notifications handed to the child's own object, and the modal
// loop's done predicate.
#include "window/window_win.h"

#include <gtest/gtest.h>

#include <vector>

#include "window/form_win.h"
#include "window/standard_controls_win.h"
#include "window/window_helpers_win.h"

namespace plexi::win {
namespace {

constexpr wchar_t kTestClass[] = L"PlexiscrubWindowBaseTest";
constexpr UINT kPing = WM_APP + 77;

class Probe : public Window {
 public:
  ~Probe() override { DestroyOwnWindow(); }

  bool MakeTopLevel() {
    WindowPlacement placement;
    placement.style = WS_POPUP;
    placement.bounds = {0, 0, 50, 50};
    return CreateWindowOf({kTestClass}, placement);
  }
  bool MakeChildOf(HWND parent, int id) {
    WindowPlacement placement;
    placement.style = WS_CHILD;
    placement.bounds = {0, 0, 10, 10};
    placement.parent = parent;
    placement.id = id;
    return CreateWindowOf({kTestClass}, placement);
  }

  std::vector<UINT> seen;
  std::vector<UINT> reflected;
  bool answer_reflected = false;

 protected:
  LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override {
    seen.push_back(message);
    if (message == kPing) return 42;
    return Default(message, wparam, lparam);
  }
  std::optional<LRESULT> OnReflected(UINT message, WPARAM, LPARAM) override {
    reflected.push_back(message);
    if (answer_reflected) return 7;
    return std::nullopt;
  }
};

bool Saw(const std::vector<UINT>& messages, UINT message) {
  for (UINT m : messages)
    if (m == message) return true;
  return false;
}

TEST(WindowBase, BindsAtCreationAndAnswersThroughTheObject) {
  EXPECT_TRUE(RegisterWindowClass({kTestClass}));
  EXPECT_TRUE(RegisterWindowClass({kTestClass})) << "a second registration is no failure";
  Probe probe;
  ASSERT_TRUE(probe.MakeTopLevel());
  EXPECT_TRUE(Saw(probe.seen, WM_CREATE)) << "creation messages reach the object";
  EXPECT_EQ(SendMessageW(probe.hwnd(), kPing, 0, 0), 42);
  EXPECT_EQ(Window::FromHandle(probe.hwnd()), &probe);
  EXPECT_EQ(Window::FromHandle(GetDesktopWindow()), nullptr) << "not one of ours";
}

TEST(WindowBase, OwnershipHoldsWhicheverSideGoesFirst) {
  Probe parent;
  ASSERT_TRUE(parent.MakeTopLevel());
  HWND child_window = nullptr;
  {
    Probe child;
    ASSERT_TRUE(child.MakeChildOf(parent.hwnd(), 5));
    child_window = child.hwnd();
  }
  // The object went first: its window went with it.
  EXPECT_FALSE(IsWindow(child_window));
  EXPECT_EQ(GetDlgItem(parent.hwnd(), 5), nullptr);

  Probe orphan;
  ASSERT_TRUE(orphan.MakeChildOf(parent.hwnd(), 6));
  HWND parent_window = parent.hwnd();
  Button adopted;
  ASSERT_TRUE(adopted.Create({.parent = parent.hwnd(), .id = 7, .text = "OK"}));
  EXPECT_EQ(Window::FromHandle(adopted.hwnd()), &adopted);
  {
    Button brief;
    ASSERT_TRUE(brief.Create({.parent = parent.hwnd(), .id = 8}));
  }
  EXPECT_EQ(GetDlgItem(parent.hwnd(), 8), nullptr) << "an adopted control goes with its object";
  DestroyWindow(parent_window);
  EXPECT_EQ(parent.hwnd(), nullptr) << "the system destroyed it: nothing left to own";
  EXPECT_EQ(orphan.hwnd(), nullptr) << "children go with their parent";
  EXPECT_EQ(adopted.hwnd(), nullptr) << "adopted ones too";
}

TEST(WindowBase, NotificationsReachTheChildsObjectFirst) {
  Probe parent;
  ASSERT_TRUE(parent.MakeTopLevel());
  Probe child;
  ASSERT_TRUE(child.MakeChildOf(parent.hwnd(), 9));
  const WPARAM command = MAKEWPARAM(9, BN_CLICKED);
  SendMessageW(parent.hwnd(), WM_COMMAND, command, reinterpret_cast<LPARAM>(child.hwnd()));
  EXPECT_TRUE(Saw(child.reflected, WM_COMMAND));
  EXPECT_TRUE(Saw(parent.seen, WM_COMMAND)) << "unanswered, the parent handles it";

  parent.seen.clear();
  child.answer_reflected = true;
  EXPECT_EQ(SendMessageW(parent.hwnd(), WM_COMMAND, command, reinterpret_cast<LPARAM>(child.hwnd())), 7);
  EXPECT_FALSE(Saw(parent.seen, WM_COMMAND)) << "answered by the child, it ends there";

  // A standard control's click, and one sent by its id alone (Enter in a
  // form, another program), reach its handler.
  Button button;
  ASSERT_TRUE(button.Create({.parent = parent.hwnd(), .id = 11, .bounds = {0, 0, 40, 20}}));
  int clicks = 0;
  button.on_click = [&] { ++clicks; };
  SendMessageW(button.hwnd(), BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, 1);
  SendMessageW(parent.hwnd(), WM_COMMAND, MAKEWPARAM(11, BN_CLICKED), 0);
  EXPECT_EQ(clicks, 2);
}

TEST(WindowBase, ModalLoopRunsUntilDoneAndPassesAQuitOn) {
  Probe form;
  ASSERT_TRUE(form.MakeTopLevel());
  bool done = false;
  PostMessageW(form.hwnd(), kPing, 0, 0);
  ModalRun run;
  run.done = [&] { return done || Saw(form.seen, kPing); };
  EXPECT_TRUE(ShowModal(form.hwnd(), run));
  EXPECT_FALSE(IsWindowVisible(form.hwnd())) << "put away, not destroyed";

  // A quit ends the loop at once and is posted again for the outer loop.
  PostQuitMessage(3);
  run.done = [] { return false; };
  EXPECT_FALSE(ShowModal(form.hwnd(), run));
  MSG message;
  ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 3u);
}

// A dialog opens on its owner's monitor, also a secondary one left of or
// above the primary (negative coordinates), and stays inside that monitor's
// work area; one larger than the monitor keeps its caption on it.
TEST(WindowPlacement, CentresOnTheOwnersMonitorAndStaysInItsWorkArea) {
  struct Row {
    const char* name;
    RECT area, work;
    int width, height;
    RECT expected;
  };
  const RECT left_monitor{-1280, -200, 0, 824};
  const Row rows[] = {
      {"secondary monitor", left_monitor, left_monitor, 400, 300, {-840, 162, -440, 462}},
      {"owner at the monitor's left edge", {-1400, 0, -1000, 300}, left_monitor, 400, 300, {-1280, 0, -880, 300}},
      {"owner below the work area", {100, 900, 500, 1100}, {0, 0, 1920, 1040}, 400, 300, {100, 740, 500, 1040}},
      {"larger than the monitor", left_monitor, left_monitor, 1600, 1200, {-1280, -200, 320, 1000}},
  };
  for (const Row& row : rows) {
    const RECT got = CentredWithin(row.area, row.work, row.width, row.height);
    EXPECT_EQ(std::vector<LONG>({got.left, got.top, got.right, got.bottom}),
              std::vector<LONG>({row.expected.left, row.expected.top, row.expected.right, row.expected.bottom}))
        << row.name;
  }
}

}  // namespace
}  // namespace plexi::win
