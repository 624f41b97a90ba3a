// The about box's Update button of this build against a site that offers a
// newer release (scripts/package's archive and page, served from the build
// machine by tests/win/update_download.sh): the user agrees to plain http
// and to the download, chooses a folder, and the archive lands there. The
// script then compares the saved file with the one it served.
#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "about/about_dialog_win.h"
#include "driver_config.h"
#include "gui_actions.h"
#include "gui_driver.h"
#include "scenario_support.h"

namespace plexi::gui {
namespace {

constexpr Duration kDownloadTimeout = 60s;

// The first visible dialog of the process; with `tree` only one that holds
// a tree view (the folder dialog), without it only one that does not (a
// message box).
HWND VisibleDialog(DWORD pid, bool tree) {
  struct Query {
    DWORD pid;
    bool tree;
    HWND found = nullptr;
  } query{pid, tree};
  EnumWindows(
      [](HWND window, LPARAM context) -> BOOL {
        auto* q = reinterpret_cast<Query*>(context);
        wchar_t name[64] = {};
        GetClassNameW(window, name, 64);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != q->pid || lstrcmpW(name, L"#32770") != 0 || !IsWindowVisible(window)) return TRUE;
        const bool has_tree = FindChild(window, WC_TREEVIEWW) != nullptr;
        if (has_tree != q->tree) return TRUE;
        q->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&query));
  return query.found;
}

// Waits for the program's next message box, checks that its text holds
// `expected`, answers it with `button` and waits until it has gone.
void Answer(DWORD pid, const std::string& expected, int button) {
  HWND box = nullptr;
  ASSERT_TRUE(WaitFor("a message box saying \"" + expected + "\"", [&] {
    box = VisibleDialog(pid, false);
    return box != nullptr && DialogText(box).find(expected) != std::string::npos;
  }, kStepTimeout, [&] { return box ? DialogText(box) : std::string("no message box"); }));
  PressDialogButton(box, button);
  ASSERT_TRUE(WaitFor("the message box to close", [&] { return !IsWindow(box) || !IsWindowVisible(box); }));
}

TEST(UpdateDownloadScenario, UpdateButtonSavesTheOfferedArchive) {
  const DriverConfig& config = Config();
  if (config.update_site.empty() || config.download_folder.empty() || config.archive.empty())
    GTEST_SKIP() << "run by update_download.sh, which serves a release";
  ASSERT_EQ(config.update_site.find_first_of("\\\r\n"), std::string::npos);
  const std::filesystem::path saved = std::filesystem::path(config.download_folder) / config.archive;
  ASSERT_FALSE(std::filesystem::exists(saved));

  ScenarioMachine machine;
  const std::string settings = ScenarioMachine::ReadText(machine.settings_file());
  ASSERT_TRUE(ScenarioMachine::WriteText(machine.settings_file(),
                                         settings + "updatebase=text:" + config.update_site + "\r\n"));
  auto program = RunningProgram::Start(machine.file());
  ASSERT_TRUE(program);
  const DWORD pid = program->pid();

  program->ClickButton(kAboutButton);
  HWND box = nullptr, update = nullptr;
  ASSERT_TRUE(WaitFor("the about box", [&] {
    box = FindTopWindow(win::kVersionBoxClass, pid);
    update = box ? GetDlgItem(box, win::kUpdateButtonId) : nullptr;
    return update != nullptr && IsWindowVisible(box);
  }));
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(win::kUpdateButtonId, BN_CLICKED), reinterpret_cast<LPARAM>(update));

  ASSERT_NO_FATAL_FAILURE(Answer(pid, "暗号化されていません", IDYES));  // the local site is plain http
  ASSERT_NO_FATAL_FAILURE(Answer(pid, "'" + config.archive + "' をダウンロードしますか", IDYES));

  HWND folder_dialog = nullptr;
  ASSERT_TRUE(WaitFor("the folder dialog", [&] { return (folder_dialog = VisibleDialog(pid, true)) != nullptr; }));
  ASSERT_TRUE(SendTextMessage(folder_dialog, BFFM_SETSELECTIONW, TRUE, config.download_folder));
  PressDialogButton(folder_dialog, IDOK);

  // The download has ended when the button says "Update" again and OK is
  // back; the file is there.
  HWND ok = GetDlgItem(box, IDOK);
  ASSERT_TRUE(WaitFor("the download to end", [&] {
    return WindowText(update) == L"Update" && IsWindowVisible(ok) && std::filesystem::exists(saved);
  }, kDownloadTimeout, [&] { return "button " + Utf8(WindowText(update)); }));
  // What follows the download (the digest check, then a message or the
  // folder opened) runs in the same click; a message sent now is answered
  // only after it, by the box's loop or by a message box's.
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(box, WM_NULL, 0, 0, SMTO_BLOCK, 30000, &ignored);
  const HWND complaint = VisibleDialog(pid, false);
  ASSERT_EQ(complaint, nullptr) << DialogText(complaint);
  EXPECT_TRUE(std::filesystem::exists(saved));

  PressDialogButton(box, IDOK);
  ASSERT_TRUE(WaitFor("the about box to close", [&] { return !IsWindow(box); }));
  EXPECT_EQ(program->Close(), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace plexi::gui
