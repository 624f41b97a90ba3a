// Drive letters that come and go while a program runs on a simulated machine:
// hidden volumes, and the changes file another process writes.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/sim/sim_machine.h"
#include "platform/winconst.h"
#include "support/test_support.h"

namespace plexi::sim {
namespace {

constexpr char kMachine[] =
    "disk 0 size=1G bus=11 product=\"System\"\n"
    "volume C: disk=0\n"
    "disk 1 size=64M bus=7 product=\"Stick\" removable=yes\n"
    "volume J: disk=1 type=removable label=\"STICK\" hidden=yes\n";

constexpr uint32_t kC = 1u << ('C' - 'A');
constexpr uint32_t kJ = 1u << ('J' - 'A');

void Write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

TEST(SimChanges, HiddenVolumeIsAbsentUntilShownAndGoneAgainWhenHidden) {
  auto m = test::MakeMachine(kMachine);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->LogicalDriveMask(), kC);
  EXPECT_EQ(m->LogicalDriveStrings(), std::string("C:\\\0\0", 5));
  EXPECT_EQ(m->OpenDevice("\\\\.\\J:", platform::Access::kRead).error(), winconst::kErrorFileNotFound);
  EXPECT_EQ(m->DriveType("J:\\"), winconst::kDriveNoRootDir);
  EXPECT_FALSE(m->VolumeLabel("J:\\"));
  // The disk behind it is there all along, as an unpartitioned disk would be.
  EXPECT_TRUE(m->OpenDevice("\\\\.\\PHYSICALDRIVE1", platform::Access::kRead).ok());

  ASSERT_TRUE(m->ShowVolume('j'));
  EXPECT_EQ(m->LogicalDriveMask(), kC | kJ);
  EXPECT_TRUE(m->OpenDevice("\\\\.\\J:", platform::Access::kRead).ok());
  EXPECT_EQ(m->VolumeLabel("J:\\"), "STICK");
  EXPECT_EQ(m->DriveType("J:\\"), winconst::kDriveRemovable);

  ASSERT_TRUE(m->HideVolume('C'));
  EXPECT_EQ(m->LogicalDriveMask(), kJ);
  EXPECT_FALSE(m->ShowVolume('K'));
}

TEST(SimChanges, ChangesFileIsAppliedInOrderWheneverTheMaskIsAsked) {
  test::TempDir dir;
  const std::string machine_file = dir.file("pc.machine");
  Write(machine_file, kMachine);
  std::string error;
  auto m = SimMachine::Load(machine_file, &error);
  ASSERT_TRUE(m) << error;
  EXPECT_EQ(m->LogicalDriveMask(), kC) << "no changes file: nothing changes";

  Write(machine_file + ".changes", "# plugged in\r\nshow J:\r\n");
  EXPECT_EQ(m->LogicalDriveMask(), kC | kJ);
  EXPECT_EQ(m->LogicalDriveStrings(), std::string("C:\\\0J:\\\0\0", 9));

  // Later lines win; unknown letters and other lines are ignored.
  Write(machine_file + ".changes", "show J:\nhide J:\nshow K:\nplug J:\nhide C\n");
  EXPECT_EQ(m->LogicalDriveMask(), kC);
}

// Whole disks plugged in and out by the changes file: the disk's number and
// its volumes' letters come and go together, however the volumes are set.
TEST(SimChanges, ChangesFileAttachesAndDetachesWholeDisks) {
  test::TempDir dir;
  const std::string machine_file = dir.file("pc.machine");
  Write(machine_file, std::string(kMachine) + "disk 2 size=64M bus=7 product=\"Card\" attached=no\n"
                                             "volume K: disk=2 type=removable\n");
  std::string error;
  auto m = SimMachine::Load(machine_file, &error);
  ASSERT_TRUE(m) << error;
  constexpr uint32_t kK = 1u << ('K' - 'A');
  EXPECT_EQ(m->LogicalDriveMask(), kC);
  EXPECT_EQ(m->DiskNumbers(), (std::vector<uint32_t>{0, 1}));

  Write(machine_file + ".changes", "attach 2\nshow J:\ndetach 1\n");
  EXPECT_EQ(m->LogicalDriveMask(), kC | kK) << "J: went with its disk";
  EXPECT_EQ(m->DiskNumbers(), (std::vector<uint32_t>{0, 2}));
  EXPECT_EQ(m->OpenDevice("\\\\.\\PHYSICALDRIVE1", platform::Access::kRead).error(), winconst::kErrorFileNotFound);
  EXPECT_EQ(m->OpenDevice("\\\\.\\J:", platform::Access::kRead).error(), winconst::kErrorFileNotFound);

  Write(machine_file + ".changes", "attach 2\nshow J:\ndetach 1\nattach 1\ndetach 7\nattach x\n");
  EXPECT_EQ(m->LogicalDriveMask(), kC | kJ | kK);
  EXPECT_EQ(m->DiskNumbers(), (std::vector<uint32_t>{0, 1, 2}));
}

}  // namespace
}  // namespace plexi::sim
