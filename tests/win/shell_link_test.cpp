// Shortcut files written and read back through the shell, in a temporary
// folder.
#include "platform/win/shell_link_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/win/win_file_store.h"
#include "shell/shell_actions_win.h"
#include "temp_folder.h"

namespace plexi::win {
namespace {

using plexi::testing::TempFolder;

void Touch(const std::string& path) {
  std::ofstream(std::filesystem::path(plexi::win::Utf8ToWide(path))) << "x";
}

bool Exists(const std::string& path) {
  return GetFileAttributesW(plexi::win::Utf8ToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(ShellLink, WrittenShortcutResolvesToItsTarget) {
  TempFolder folder;
  const std::string target = folder.utf8() + "plexiscrub.exe";
  Touch(target);
  TShellLink shell;
  const std::string link = shell.CreateLinkIn(target, nullptr, folder.utf8(), "プレキシスクラブ", true);
  EXPECT_EQ(link, folder.utf8() + "プレキシスクラブ.lnk");
  ASSERT_TRUE(Exists(link));
  std::string resolved;
  EXPECT_EQ(shell.GetLinkToPath(link, resolved), 0);
  EXPECT_EQ(resolved, target);

  // The target gone: the shortcut's own path comes back, so a caller
  // comparing it with the program's path rewrites the shortcut.
  ASSERT_TRUE(DeleteFileW(plexi::win::Utf8ToWide(target).c_str()));
  shell.GetLinkToPath(link, resolved);
  EXPECT_EQ(resolved, link);
  // No shortcut at all: the same.
  EXPECT_NE(shell.GetLinkToPath(folder.utf8() + "none.lnk", resolved), 0);
  EXPECT_EQ(resolved, folder.utf8() + "none.lnk");
}

std::string Bytes(const std::string& path) {
  std::ifstream in(std::filesystem::path(plexi::win::Utf8ToWide(path)), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Reading a shortcut, with or without an owner window and with its target
// moved away, leaves the file exactly as it was.
TEST(ShellLink, ReadingAShortcutNeverRewritesIt) {
  TempFolder folder;
  const std::string target = folder.utf8() + "plexiscrub.exe";
  Touch(target);
  TShellLink shell;
  const std::string link = shell.CreateLinkIn(target, nullptr, folder.utf8(), "Plexiscrub", true);
  ASSERT_TRUE(Exists(link));
  const std::string before = Bytes(link);
  ASSERT_FALSE(before.empty());

  std::string resolved;
  EXPECT_EQ(shell.GetLinkToPath(link, resolved, GetDesktopWindow()), 0);
  EXPECT_EQ(resolved, target);
  ASSERT_TRUE(MoveFileW(plexi::win::Utf8ToWide(target).c_str(),
                        plexi::win::Utf8ToWide(folder.utf8() + "moved.exe").c_str()));
  shell.GetLinkToPath(link, resolved, GetDesktopWindow());
  EXPECT_EQ(resolved, link);
  shell.GetLinkToPath(link, resolved);
  EXPECT_EQ(resolved, link);
  EXPECT_EQ(Bytes(link), before);
}

TEST(ShellLink, NumberedWithoutOverwriteReplacedWithIt) {
  TempFolder folder;
  const std::string target = folder.utf8() + "tool.exe";
  Touch(target);
  TShellLink shell;
  const std::string first = shell.CreateLinkIn(target, nullptr, folder.utf8(), "N", false);
  EXPECT_EQ(first, folder.utf8() + "N.lnk");
  EXPECT_EQ(shell.CreateLinkIn(target, nullptr, folder.utf8(), "N", false), folder.utf8() + "N(1).lnk");
  EXPECT_EQ(shell.CreateLinkIn(target, nullptr, folder.utf8(), "N", false), folder.utf8() + "N(2).lnk");
  EXPECT_EQ(shell.CreateLinkIn(target, nullptr, folder.utf8(), "N", true), first);
  EXPECT_FALSE(Exists(folder.utf8() + "N(3).lnk"));
}

TEST(ShellLink, NamesMadeSafeAndMissingTargetsRefused) {
  TempFolder folder;
  const std::string target = folder.utf8() + "tool.exe";
  Touch(target);
  TShellLink shell;
  EXPECT_EQ(shell.CreateLinkIn(target, nullptr, folder.utf8(), "A/B:C", true),
            folder.utf8() + "A／B：C.lnk");
  EXPECT_TRUE(Exists(folder.utf8() + "A／B：C.lnk"));
  EXPECT_EQ(shell.CreateLinkIn(target, nullptr, folder.utf8(), "v1.5", true), folder.utf8() + "v1.lnk");
  EXPECT_EQ(shell.CreateLinkIn(target, nullptr, folder.utf8(), "", true), folder.utf8() + "tool.lnk");

  EXPECT_EQ(shell.CreateLinkIn(folder.utf8() + "missing.exe", nullptr, folder.utf8(), "M", true), "");
  EXPECT_FALSE(Exists(folder.utf8() + "M.lnk"));
  EXPECT_EQ(shell.CreateLinkIn("", nullptr, folder.utf8(), "M", true), "");
}

TEST(ShellLink, SpecialFolders) {
  TShellLink shell;
  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
  EXPECT_EQ(shell.GetPath(platform::kFolderWindows), plexi::win::WideToUtf8(windows));
  EXPECT_FALSE(shell.GetPath(platform::kFolderDesktop).empty());
}

TEST(ShellOpen, ErrorLogButtonDoesNothingWithoutTheFile) {
  TempFolder folder;
  plexi::win::WinFileStore files(folder.utf8());
  EXPECT_FALSE(OpenErrorLog(nullptr, folder.utf8() + "errlog.log", files));
}

}  // namespace
}  // namespace plexi::win
