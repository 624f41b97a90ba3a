// Shortcut names and the desktop-shortcut check at the first start.
#include "shell/shell_link.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/shell.h"
#include "platform/sim/file_settings.h"
#include "shell/shell_commands.h"
#include "support/test_support.h"
#include "util/file_names.h"

namespace plexi {
namespace {

using platform::ChooseLinkPath;
using platform::kFolderDesktop;
using platform::LinkFileName;
using platform::LinkPathChoice;
using platform::kShow;
using platform::ShellCommand;
using platform::ShortcutShell;

TEST(ShellLinkNames, ForbiddenCharactersBecomeFullWidth) {
  EXPECT_EQ(FileMogChk("A/B:C"), "A／B：C");
  EXPECT_EQ(FileMogChk("a\"b*c<d>e?f\\g|h//"), "a”b＊c＜d＞e？f￥g｜h／／");
  EXPECT_EQ(FileMogChk("ソフト表"), "ソフト表");  // no byte of these is touched
}

TEST(ShellLinkNames, NameFromLinkNameOrTarget) {
  EXPECT_EQ(LinkFileName("プレキシスクラブ", "C:\\P\\plexiscrub.exe", false), "プレキシスクラブ");
  EXPECT_EQ(LinkFileName("my.tool", "C:\\P\\plexiscrub.exe", false), "my");
  EXPECT_EQ(LinkFileName("my.tool", "C:\\Data", true), "my.tool");
  EXPECT_EQ(LinkFileName("", "C:\\P\\plexi.scrub.exe", false), "plexi");
  EXPECT_EQ(LinkFileName("", "C:\\Data\\Old.set\\", true), "Old");
  EXPECT_EQ(LinkFileName("A/B:C", "C:\\x.exe", false), "A／B：C");
}

TEST(ShellLinkNames, NumberedWhenTaken) {
  std::set<std::string> existing = {"D\\N.lnk", "D\\N(1).lnk"};
  auto exists = [&](const std::string& p) { return existing.count(p) > 0; };
  EXPECT_EQ(ChooseLinkPath("D", "N", false, exists).path, "D\\N.lnk");
  const LinkPathChoice choice = ChooseLinkPath("D\\", "N", true, exists);
  EXPECT_EQ(choice.path, "D\\N(2).lnk");
  EXPECT_TRUE(choice.numbered);
  EXPECT_FALSE(ChooseLinkPath("D", "M", true, exists).numbered);
}

class FakeShell : public ShortcutShell {
 public:
  std::string GetPath(int folder) override { return folder == kFolderDesktop ? "C:\\Desk" : ""; }
  int32_t GetLinkToPath(const std::string& link, std::string& target) override {
    target = link_target.empty() ? link : link_target;
    return 0;
  }
  std::string CreateLink(const std::string& target, int folder, const std::string& name,
                         bool overwrite) override {
    created.push_back(target + "|" + std::to_string(folder) + "|" + name + "|" +
                      (overwrite ? "1" : "0"));
    return "C:\\Desk\\" + name + ".lnk";
  }
  bool FileExists(const std::string& path) override { return path == existing; }

  std::string existing;
  std::string link_target;
  std::vector<std::string> created;
};

TEST(DesktopShortcut, RewrittenOnlyOnFirstStartWhenPointingElsewhere) {
  test::TempDir dir;
  sim::FileSettings settings(dir.file("settings.txt"));
  FakeShell shell;
  shell.existing = "C:\\Desk\\プレキシスクラブ.lnk";
  shell.link_target = "D:\\Old\\plexiscrub.exe";
  EXPECT_TRUE(DesktopShortcutCheck(settings, "C:\\New\\", "C:\\New\\plexiscrub.exe",
                                   "プレキシスクラブ", shell));
  EXPECT_EQ(settings.ReadText("updatepath"), "C:\\New\\");
  EXPECT_EQ(shell.created,
            std::vector<std::string>{"C:\\New\\plexiscrub.exe|0|プレキシスクラブ|1"});
  // "updatepath" is there now: never again.
  EXPECT_FALSE(DesktopShortcutCheck(settings, "C:\\New\\", "C:\\New\\plexiscrub.exe",
                                    "プレキシスクラブ", shell));
  EXPECT_EQ(shell.created.size(), 1u);
}

TEST(DesktopShortcut, LeftAloneWhenRightOrMissing) {
  test::TempDir dir;
  FakeShell shell;
  shell.existing = "C:\\Desk\\プレキシスクラブ.lnk";
  shell.link_target = "C:\\New\\plexiscrub.exe";
  sim::FileSettings first(dir.file("a.txt"));
  EXPECT_FALSE(DesktopShortcutCheck(first, "C:\\New\\", "C:\\New\\plexiscrub.exe",
                                    "プレキシスクラブ", shell));
  shell.existing.clear();  // no shortcut on the desktop: none is made
  sim::FileSettings second(dir.file("b.txt"));
  EXPECT_FALSE(DesktopShortcutCheck(second, "C:\\New\\", "C:\\New\\plexiscrub.exe",
                                    "プレキシスクラブ", shell));
  EXPECT_TRUE(shell.created.empty());
  EXPECT_TRUE(second.Exists("updatepath"));
}

class OneFileStore : public platform::FileStore {
 public:
  std::string ProgramDirectory() override { return "C:\\P\\"; }
  bool Exists(const std::string& path) override { return path == existing; }
  platform::FileContent Read(const std::string&) override { return {}; }
  platform::Result<> Replace(const std::string&, const std::string&) override { return platform::Result<>::Success(); }
  std::string existing;
};

TEST(ShellCommands, ErrorLogOnlyWhenTheFileExistsAndHelpBesideTheProgram) {
  OneFileStore files;
  EXPECT_FALSE(ErrorLogCommand(files, "C:\\Program Files\\P\\errlog.log"));
  files.existing = "C:\\Program Files\\P\\errlog.log";
  EXPECT_EQ(ErrorLogCommand(files, files.existing),
            (ShellCommand{"open", "notepad", "\"C:\\Program Files\\P\\errlog.log\"", kShow}));
  EXPECT_EQ(HelpPagePath("C:\\P\\"), "C:\\P\\Help\\Plexiscrub.htm");
  EXPECT_EQ(HelpCommand("C:\\P\\Help\\Plexiscrub.htm").file, "C:\\P\\Help\\Plexiscrub.htm");
}

}  // namespace
}  // namespace plexi
