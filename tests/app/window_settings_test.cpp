// The main window's settings at show and close, the Windows class, and the
// reset of the running-erase counter at start.
#include <gtest/gtest.h>

#include "app/window_settings.h"
#include "platform/sim/directory_file_store.h"
#include "platform/sim/file_settings.h"
#include "support/test_support.h"

namespace plexi::app {
namespace {

TEST(OsClass, FollowsTheVersionTable) {
  EXPECT_EQ(OsClass(false, 4, 10), 0);  // 98
  EXPECT_EQ(OsClass(false, 4, 90), 1);  // Me
  EXPECT_EQ(OsClass(true, 5, 0), 2);
  EXPECT_EQ(OsClass(true, 5, 1), 3);
  EXPECT_EQ(OsClass(true, 5, 2), 3);
  EXPECT_EQ(OsClass(true, 6, 0), 4);
  EXPECT_EQ(OsClass(true, 6, 3), 5);
  EXPECT_EQ(OsClass(true, 10, 0), 6);
  EXPECT_EQ(OsClass(true, 4, 0), 6);  // NT 4: "any other major version"
  EXPECT_FALSE(IsNtFamily(1));
  EXPECT_TRUE(IsNtFamily(2));
}

class WindowSettingsTest : public ::testing::Test {
 protected:
  test::TempDir dir_;
  sim::FileSettings settings_{dir_.file("machine.settings")};
};

TEST_F(WindowSettingsTest, FirstShowWritesFolderAndMarkOnceAndReadsNoColour) {
  EXPECT_FALSE(VersionRanBefore(settings_));
  ShowSettings show = FormShow(settings_, "C:\\Program Files\\Plexiscrub\\");
  EXPECT_TRUE(show.first_run);
  EXPECT_FALSE(show.header_colour);
  EXPECT_EQ(settings_.ReadText(kProgramFolderValue), "C:\\Program Files\\Plexiscrub\\");
  EXPECT_EQ(settings_.ReadInt(kVersionRunValue), 1102);
  EXPECT_TRUE(VersionRanBefore(settings_));

  // The folder is written only while it is missing.
  show = FormShow(settings_, "D:\\elsewhere\\");
  EXPECT_FALSE(show.first_run);
  EXPECT_EQ(settings_.ReadText(kProgramFolderValue), "C:\\Program Files\\Plexiscrub\\");
}

TEST_F(WindowSettingsTest, HeaderColourSurvivesCloseAndShow) {
  test::TempDir files_dir;
  sim::DirectoryFileStore files(files_dir.path().string() + "/");
  auto machine = test::MakeMachine("disk 0 size=1M\nvolume C: disk=0\n");
  ErrorLog log(*machine, files, files.ProgramDirectory() + "errlog.log");
  test::RecordingNotifier notifier;
  log.LoadErrorLog(notifier);

  // Closing always stores the colour, also the never-chosen 0; an unchanged
  // log is not written.
  FormCloseQuery(settings_, kHeaderGray, log, notifier);
  EXPECT_EQ(settings_.ReadInt(kHeaderColourValue), 0);
  EXPECT_FALSE(files.Exists(log.Path()));
  FormCloseQuery(settings_, kHeaderRed, log, notifier);
  EXPECT_EQ(FormShow(settings_, "C:\\").header_colour, kHeaderRed);

  log.AppendErrorLog("failure", "drive");
  FormCloseQuery(settings_, kHeaderNone, log, notifier);
  EXPECT_TRUE(files.Exists(log.Path()));
  EXPECT_EQ(FormShow(settings_, "C:\\").header_colour, kHeaderNone);

  // Values the menu cannot have chosen: large ones paint no strip, negative
  // ones nothing at all.
  ASSERT_TRUE(settings_.WriteInt(kHeaderColourValue, 9).ok());
  EXPECT_EQ(FormShow(settings_, "C:\\").header_colour, kHeaderNone);
  ASSERT_TRUE(settings_.WriteInt(kHeaderColourValue, -1).ok());
  EXPECT_FALSE(FormShow(settings_, "C:\\").header_colour);
  EXPECT_TRUE(notifier.messages.empty());
}

TEST_F(WindowSettingsTest, EraseCountIsResetOnlyWhenNoOtherCopyRuns) {
  EXPECT_FALSE(ResetEraseCountWhenAlone(settings_, false));
  EXPECT_FALSE(settings_.Exists("exitct")) << "a missing counter is not created";

  ASSERT_TRUE(settings_.WriteInt("exitct", 2).ok());
  EXPECT_FALSE(ResetEraseCountWhenAlone(settings_, true));
  EXPECT_EQ(settings_.ReadInt("exitct"), 2) << "another copy may be erasing";
  EXPECT_TRUE(ResetEraseCountWhenAlone(settings_, false));
  EXPECT_EQ(settings_.ReadInt("exitct"), 0);
}

}  // namespace
}  // namespace plexi::app
