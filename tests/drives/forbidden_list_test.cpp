// The protection list: what it matches, what a change writes, and that a
// file the program cannot read or write is never lost.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "drives/discovery.h"
#include "drives/forbidden_list.h"
#include "platform/sim/directory_file_store.h"
#include "platform/winconst.h"
#include "support/test_support.h"

namespace plexi {
namespace {

using test::RecordingNotifier;

// The folder store, with reads that can be made to fail and a count of the
// writes asked for.
class WatchedFileStore : public sim::DirectoryFileStore {
 public:
  using DirectoryFileStore::DirectoryFileStore;
  platform::FileContent Read(const std::string& path) override {
    if (read_error != 0 && Exists(path)) return {.exists = true, .bytes = {}, .error = read_error};
    return DirectoryFileStore::Read(path);
  }
  platform::Result<> Replace(const std::string& path, const std::string& bytes) override {
    ++replaces;
    return DirectoryFileStore::Replace(path, bytes);
  }
  uint32_t read_error = 0;
  int replaces = 0;
};

class ForbiddenListTest : public ::testing::Test {
 protected:
  void SetUp() override { machine_ = test::MakeMachine("clock 2026-12-08 09:30:05\n"); }

  ForbiddenList MakeList() { return ForbiddenList(*machine_, files_, path_, notifier_); }
  void WriteFile(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
  std::string ReadFile() {
    std::ifstream in(path_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  test::TempDir dir_;
  std::unique_ptr<sim::SimMachine> machine_;
  WatchedFileStore files_{dir_.path().string()};
  std::string path_ = dir_.file(kForbiddenListFileName);
  RecordingNotifier notifier_;
};

TEST_F(ForbiddenListTest, ForbiddingTwiceKeepsOneLineAndCaseDoesNotMatter) {
  ForbiddenList list = MakeList();
  EXPECT_FALSE(list.IsForbidden("ABCDEFE: F:1TB"));  // no file yet
  EXPECT_EQ(list.AddForbidden("ABCDEFE: F:1TB", "SATA"), ForbiddenList::Change::kChanged);
  // As after a restart: a fresh object reads the file again.
  ForbiddenList again = MakeList();
  EXPECT_EQ(again.AddForbidden("abcdefE: F:1TB", "USB"), ForbiddenList::Change::kUnchanged);
  EXPECT_EQ(ReadFile(), "ABCDEFE: F:1TB=SATA\r\n");
  EXPECT_EQ(files_.replaces, 1);
  EXPECT_TRUE(again.IsForbidden("AbCdEfe: f:1tb"));
  EXPECT_FALSE(again.IsForbidden("ABCDEFE:1TB"));
  EXPECT_TRUE(notifier_.messages.empty());
}

TEST_F(ForbiddenListTest, ReadsAnyLineEndAndSurvivesADamagedFile) {
  const std::string junk = "\x01\xff\xfe=\x80";
  const std::string long_line(200000, 'x');
  WriteFile(std::string("A=1\rB=2\nC=3\r\nD\0X=4\r\n", 21) + junk + "\n" + long_line + "\nHAND-TYPED");
  ForbiddenList list = MakeList();
  EXPECT_TRUE(list.IsForbidden("a"));
  EXPECT_TRUE(list.IsForbidden("C"));
  EXPECT_TRUE(list.IsForbidden("DX"));          // the NUL is dropped
  EXPECT_TRUE(list.IsForbidden("hand-typed"));  // a line without "=" is all name
  EXPECT_FALSE(list.IsForbidden(""));

  EXPECT_EQ(list.RemoveForbidden("B"), ForbiddenList::Change::kChanged);
  // Every other line is kept as it was, ended by CR LF.
  EXPECT_EQ(ReadFile(), "A=1\r\nC=3\r\nDX=4\r\n" + junk + "\r\n" + long_line + "\r\nHAND-TYPED\r\n");
}

TEST_F(ForbiddenListTest, RemovingWritesOnlyWhenALineGoes) {
  WriteFile("K=1\r\nk=2\r\n");
  ForbiddenList list = MakeList();
  EXPECT_EQ(list.RemoveForbidden("other"), ForbiddenList::Change::kUnchanged);
  EXPECT_EQ(files_.replaces, 0);
  EXPECT_EQ(list.RemoveForbidden("K"), ForbiddenList::Change::kChanged);
  EXPECT_EQ(ReadFile(), "k=2\r\n");  // only the first line of that name
}

TEST_F(ForbiddenListTest, AnUnreadableListProtectsEverythingAndIsNeverOverwritten) {
  WriteFile("K=1\r\n");
  files_.read_error = winconst::kErrorAccessDenied;
  ForbiddenList list = MakeList();
  EXPECT_TRUE(list.IsForbidden("any drive"));
  EXPECT_TRUE(list.IsForbidden("another"));
  ASSERT_EQ(notifier_.messages.size(), 1u);  // once per refresh, not once per row
  EXPECT_NE(notifier_.messages[0].find(path_), std::string::npos);

  EXPECT_EQ(list.AddForbidden("new", "USB"), ForbiddenList::Change::kFailed);
  EXPECT_EQ(list.RemoveForbidden("K"), ForbiddenList::Change::kFailed);
  EXPECT_FALSE(list.MigrateForbiddenList([](char) { return std::string("ID"); }));
  EXPECT_EQ(files_.replaces, 0);
  EXPECT_EQ(notifier_.messages.size(), 4u);
  EXPECT_EQ(ReadFile(), "K=1\r\n");

  files_.read_error = 0;
  EXPECT_FALSE(list.IsForbidden("any drive"));
}

TEST_F(ForbiddenListTest, AFailedWriteKeepsTheOldFileAndSaysSo) {
  WriteFile("K=1\r\n");
  std::filesystem::create_directory(path_ + ".tmp");  // the temporary file cannot be made
  ForbiddenList list = MakeList();
  EXPECT_EQ(list.AddForbidden("new", "USB"), ForbiddenList::Change::kFailed);
  EXPECT_EQ(ReadFile(), "K=1\r\n");
  ASSERT_EQ(notifier_.messages.size(), 1u);
  EXPECT_NE(notifier_.messages[0].find("保存できませんでした"), std::string::npos);
}

TEST_F(ForbiddenListTest, MigrationRewritesOnlyLongNamesWithADriveLetter) {
  const std::string old_identity(300, 'F');
  const std::string short_line = "SHORTE: 1TB=SATA";
  const std::string long_without_colon = std::string(300, '0') + "=USB";
  const std::string long_unknown_drive = old_identity + "Q: 2TB=USB";
  // A stable key is never rewritten, however long and whatever it holds.
  const std::string long_stable = "#VOLUME|V|P|" + std::string(300, 'S') + "E:|1TB=USB";
  WriteFile(short_line + "\r\n" + old_identity + "E: F:1TB=SATA\r\n" + long_without_colon +
            "\r\n" + long_unknown_drive + "\r\n" + long_stable + "\r\n");
  std::string asked;
  auto identity_of = [&](char letter) {
    asked += letter;
    return letter == 'E' ? std::string("1234ABCD") : std::string();
  };
  ForbiddenList list = MakeList();
  EXPECT_TRUE(list.MigrateForbiddenList(identity_of));
  EXPECT_EQ(asked, "EQ");
  EXPECT_EQ(ReadFile(), short_line + "\r\n1234ABCDE: F:1TB=SATA\r\n" + long_without_colon + "\r\n" +
                            long_unknown_drive + "\r\n" + long_stable + "\r\n");

  // Nothing old left: nothing written. No file: none created.
  EXPECT_FALSE(list.MigrateForbiddenList(identity_of));
  EXPECT_EQ(files_.replaces, 1);
  std::filesystem::remove(path_);
  EXPECT_FALSE(list.MigrateForbiddenList(identity_of));
  EXPECT_FALSE(std::filesystem::exists(path_));
}

TEST(ForbidMenu, TheSystemDriveOffersNeitherEntry) {
  auto menu = PopupMenu2Popup(true, "C: D:", true, "C:");
  EXPECT_FALSE(menu.forbid_visible || menu.allow_visible);
  menu = PopupMenu2Popup(true, "E:", false, "C:");
  EXPECT_TRUE(menu.forbid_visible && !menu.allow_visible);
  menu = PopupMenu2Popup(true, "E:", true, "C:");
  EXPECT_TRUE(!menu.forbid_visible && menu.allow_visible);
  menu = PopupMenu2Popup(false, "E:", false, "C:");
  EXPECT_FALSE(menu.forbid_visible || menu.allow_visible);
}

TEST_F(ForbiddenListTest, MenuChoiceChangesRowFileAndButtonTogether) {
  DriveRow row;
  row.bus_type = "USB";
  row.letters = "E:";
  row.size_text = "1TB";
  row.identity = "ABCD";
  ForbiddenList list = MakeList();

  std::optional<ForbidOutcome> forbid = N3Click(list, row, 258, ForbidAction::kForbid, true, "C:");
  ASSERT_TRUE(forbid);
  EXPECT_TRUE(row.not_erasable);
  EXPECT_FALSE(forbid->erase_enabled);
  const std::array<uint8_t, 11> sent = {'Q', 'a', 'n', 'd', 'Z', 0, 1, 2, 1, 1, 0};
  EXPECT_EQ(forbid->message.Encode(), sent);
  EXPECT_EQ(ReadFile(), "ABCDE:1TB=USB\r\n");

  // The drive came back with another size: its key is not in the file, yet
  // the row is erasable until the next refresh.
  row.size_text = "2TB";
  std::optional<ForbidOutcome> allow = N3Click(list, row, 0, ForbidAction::kAllow, false, "C:");
  ASSERT_TRUE(allow);
  EXPECT_FALSE(row.not_erasable);
  EXPECT_TRUE(allow->erase_enabled);
  EXPECT_EQ(allow->message.value, 0);
  EXPECT_EQ(ReadFile(), "ABCDE:1TB=USB\r\n");

  // The list was rebuilt under the open menu and the row is now the system
  // drive's: it stays protected.
  DriveRow system = row;
  system.letters = "C: D:";
  system.not_erasable = true;
  EXPECT_FALSE(N3Click(list, system, 0, ForbidAction::kAllow, false, "C:"));
  EXPECT_TRUE(system.not_erasable);

  // A failed write leaves the row as the file says.
  std::filesystem::create_directory(path_ + ".tmp");
  row.size_text = "3TB";
  EXPECT_FALSE(N3Click(list, row, 0, ForbidAction::kForbid, false, "C:"));
  EXPECT_FALSE(row.not_erasable);
}

TEST_F(ForbiddenListTest, ForbiddingTheWholeDriveLeavesItsPartitionsErasable) {
  auto machine = test::MakeMachine(R"(
system-directory "C:\Windows\system32"
disk 0 sectors=1000000 bus=11 product="System disk" serial="S1"
disk 1 sectors=2000000 bus=7 product="Stick" serial="U1"
volume C: disk=0 offset=1M length=400M
volume E: disk=1 offset=1M length=400M
volume F: disk=1 offset=401M length=300M
)");
  ForbiddenList list(*machine, files_, path_, notifier_);
  ViewMode view = ViewMode::kPhysical;
  DriveDiscovery discovery(*machine, notifier_,
                           [&](const DriveRow& row) { return list.IsForbidden(row, view); });
  std::vector<DriveRow> physical = discovery.Refresh(view);
  ASSERT_EQ(physical.size(), 2u);
  ASSERT_TRUE(N3Click(list, physical[1], 1, ForbidAction::kForbid, false, discovery.SystemDrive()));

  physical = discovery.Refresh(view);
  EXPECT_TRUE(physical[1].not_erasable);
  view = ViewMode::kPartition;
  std::vector<DriveRow> partitions = discovery.Refresh(view);
  for (const DriveRow& row : partitions) EXPECT_EQ(row.not_erasable, row.letters == "C:") << row.letters;

  // Forbidding one partition leaves its sibling (of another size: the key
  // tells a drive's partitions apart by size) and the whole drive alone.
  ASSERT_EQ(partitions.size(), 3u);
  ASSERT_TRUE(N3Click(list, partitions[1], 1, ForbidAction::kForbid, true, discovery.SystemDrive()));
  ASSERT_TRUE(N3Click(list, physical[1], 1, ForbidAction::kAllow, false, discovery.SystemDrive()));
  partitions = discovery.Refresh(view);
  EXPECT_TRUE(partitions[1].not_erasable);
  EXPECT_FALSE(partitions[2].not_erasable);
  view = ViewMode::kPhysical;
  EXPECT_FALSE(discovery.Refresh(view)[1].not_erasable);
  EXPECT_TRUE(notifier_.messages.empty());
}

// The same stick as seen by a later start of the program: `revision` and
// `letter` are what a firmware update or a re-plug may change.
std::string StickMachine(const std::string& revision, const std::string& letter,
                         const std::string& serial = "U1") {
  return R"(
system-directory "C:\Windows\system32"
disk 0 sectors=1000000 bus=11 product="System disk" serial="S1"
disk 1 sectors=2000000 bus=7 vendor="SanDisk" product="Cruzer" serial=")" + serial +
         R"(" revision=")" + revision + R"("
volume C: disk=0 offset=1M length=400M
volume )" + letter + R"(: disk=1 offset=1M length=400M
)";
}

// Whether the stick's row (the one not holding C:) is protected in `view`.
bool StickProtected(sim::SimMachine& machine, ForbiddenList& list, Notifier& notifier, ViewMode view) {
  DriveDiscovery discovery(machine, notifier, [&](const DriveRow& row) { return list.IsForbidden(row, view); });
  for (const DriveRow& row : discovery.Refresh(view))
    if (row.letters != "C:") return row.not_erasable;
  ADD_FAILURE() << "no stick row";
  return false;
}

TEST_F(ForbiddenListTest, AProtectionOutlivesFirmwareUpdatesAndNewLetters) {
  auto before = test::MakeMachine(StickMachine("1.00", "E"));
  ForbiddenList list(*before, files_, path_, notifier_);
  for (ViewMode view : {ViewMode::kPhysical, ViewMode::kPartition}) {
    DriveDiscovery discovery(*before, notifier_);
    std::vector<DriveRow> rows = discovery.Refresh(view);
    ASSERT_EQ(rows.size(), 2u);
    ASSERT_EQ(list.AddForbidden(rows[1], view), ForbiddenList::Change::kChanged);
  }
  // Older copies still find their line; each view has its own stable line.
  const std::string file = ReadFile();
  EXPECT_NE(file.find("E:"), std::string::npos);
  EXPECT_NE(file.find("#DRIVE|SanDisk|Cruzer|U1=USB\r\n"), std::string::npos) << file;
  EXPECT_NE(file.find("#VOLUME|SanDisk|Cruzer|U1|400MB=USB\r\n"), std::string::npos) << file;

  auto updated = test::MakeMachine(StickMachine("2.00", "G"));
  for (ViewMode view : {ViewMode::kPhysical, ViewMode::kPartition})
    EXPECT_TRUE(StickProtected(*updated, list, notifier_, view));
  // Another stick of the same model is not protected.
  auto other = test::MakeMachine(StickMachine("1.00", "E", "U2"));
  EXPECT_FALSE(StickProtected(*other, list, notifier_, ViewMode::kPhysical));

  // Allowing under the new letters drops the stable line, so the drive is
  // free again wherever it appears next.
  DriveDiscovery discovery(*updated, notifier_);
  ASSERT_EQ(list.RemoveForbidden(discovery.Refresh(ViewMode::kPhysical)[1], ViewMode::kPhysical),
            ForbiddenList::Change::kChanged);
  auto back = test::MakeMachine(StickMachine("2.00", "F"));
  EXPECT_FALSE(StickProtected(*back, list, notifier_, ViewMode::kPhysical));
  EXPECT_TRUE(StickProtected(*back, list, notifier_, ViewMode::kPartition));
  EXPECT_TRUE(notifier_.messages.empty());
}

DriveRow RowOf(const std::string& serial) {
  DriveRow row;
  row.bus_type = "USB";
  row.letters = "E:";
  row.size_text = "1TB";
  row.identity = "ABCD";
  row.vendor = "WD";
  row.product = "Elements";
  row.serial = serial;
  return row;
}

TEST_F(ForbiddenListTest, WithoutASerialOnlyTheIdentityKeyProtects) {
  DriveRow row = RowOf("");
  EXPECT_TRUE(ProtectionKeysOf(row, ViewMode::kPhysical).stable.empty());
  ForbiddenList list = MakeList();
  ASSERT_EQ(list.AddForbidden(row, ViewMode::kPhysical), ForbiddenList::Change::kChanged);
  EXPECT_EQ(ReadFile(), "ABCDE:1TB=USB\r\n");
  // Neither another drive of the model nor the same one under new letters.
  DriveRow twin = row;
  twin.identity = "ABCE";
  EXPECT_FALSE(list.IsForbidden(twin, ViewMode::kPhysical));
  row.letters = "F:";
  EXPECT_FALSE(list.IsForbidden(row, ViewMode::kPhysical));
}

// A drive that lost its letters (its partition table overwritten) is still
// the drive its identity key protected: without a serial that key is all
// there is, and any letters in it match. Allowing it clears that line.
TEST_F(ForbiddenListTest, ADriveWithoutLettersKeepsTheProtectionOfItsIdentityKey) {
  DriveRow row = RowOf("");
  WriteFile("ABCDE: F:1TB=USB\r\nABCDG:2TB=USB\r\n");
  ForbiddenList list = MakeList();
  row.letters.clear();
  EXPECT_TRUE(list.IsForbidden(row, ViewMode::kPhysical));
  EXPECT_FALSE(list.IsForbidden(row, ViewMode::kPartition)) << "a volume row always has its letter";
  DriveRow bigger = row;
  bigger.size_text = "2TB";
  EXPECT_TRUE(list.IsForbidden(bigger, ViewMode::kPhysical)) << "G: at 2TB";
  bigger.size_text = "3TB";
  EXPECT_FALSE(list.IsForbidden(bigger, ViewMode::kPhysical)) << "another size is another drive";
  DriveRow twin = row;
  twin.identity = "ABCE";
  EXPECT_FALSE(list.IsForbidden(twin, ViewMode::kPhysical));
  WriteFile("ABCDnot letters1TB=USB\r\n");
  EXPECT_FALSE(list.IsForbidden(row, ViewMode::kPhysical)) << "only drive letters between identity and size";

  WriteFile("ABCDE: F:1TB=USB\r\nOTHER=SATA\r\n");
  ASSERT_EQ(list.RemoveForbidden(row, ViewMode::kPhysical), ForbiddenList::Change::kChanged);
  EXPECT_EQ(ReadFile(), "OTHER=SATA\r\n");
  EXPECT_FALSE(list.IsForbidden(row, ViewMode::kPhysical));
}

TEST_F(ForbiddenListTest, OldFilesKeepProtectingAndAllowingClearsEveryLineOfTheDrive) {
  DriveRow row = RowOf("SER1");
  // Written by an older copy: the identity key only, in other letter case.
  WriteFile("abcde:1tb=USB\r\nOTHER=SATA\r\n");
  ForbiddenList list = MakeList();
  EXPECT_TRUE(list.IsForbidden(row, ViewMode::kPhysical));
  // Forbidding again adds the stable line only.
  ASSERT_EQ(list.AddForbidden(row, ViewMode::kPhysical), ForbiddenList::Change::kChanged);
  EXPECT_EQ(ReadFile(), "abcde:1tb=USB\r\nOTHER=SATA\r\n#DRIVE|WD|Elements|SER1=USB\r\n");
  EXPECT_EQ(list.AddForbidden(row, ViewMode::kPhysical), ForbiddenList::Change::kUnchanged);

  // A second copy of the stable line (two copies forbidding at once) goes too.
  WriteFile(ReadFile() + "#drive|wd|elements|ser1=USB\r\n");
  ASSERT_EQ(list.RemoveForbidden(row, ViewMode::kPhysical), ForbiddenList::Change::kChanged);
  EXPECT_EQ(ReadFile(), "OTHER=SATA\r\n");
  EXPECT_FALSE(list.IsForbidden(row, ViewMode::kPhysical));
  EXPECT_EQ(list.RemoveForbidden(row, ViewMode::kPhysical), ForbiddenList::Change::kUnchanged);

  // An NVMe drive an older copy protected under the namespace id Windows
  // gave as its serial, now known by the controller's serial: still
  // protected, never re-added under the old serial, cleared by allowing it.
  DriveRow nvme = RowOf("S4EWNX0R1");
  nvme.letters.clear();
  nvme.reported_serial = "0025_3857_11B0_1234.";
  WriteFile("#DRIVE|WD|Elements|0025_3857_11B0_1234.=NVMe\r\n");
  EXPECT_TRUE(list.IsForbidden(nvme, ViewMode::kPhysical));
  ASSERT_EQ(list.AddForbidden(nvme, ViewMode::kPhysical), ForbiddenList::Change::kChanged);
  EXPECT_EQ(ReadFile(), "#DRIVE|WD|Elements|0025_3857_11B0_1234.=NVMe\r\n#DRIVE|WD|Elements|S4EWNX0R1=USB\r\n");
  ASSERT_EQ(list.RemoveForbidden(nvme, ViewMode::kPhysical), ForbiddenList::Change::kChanged);
  EXPECT_EQ(ReadFile(), "");

  // A SATA drive an older copy on Linux protected under the SCSI inquiry's
  // names (maker "ATA", the model cut at 16, the kernel's wwid), now known
  // by its identify data: likewise.
  DriveRow sata = RowOf("SATA0001");
  sata.letters.clear();
  sata.vendor = "";
  sata.product = "PLEXI SATA Model With A Long Name";
  sata.reported_vendor = "ATA";
  sata.reported_product = "PLEXI SATA Model";
  sata.reported_serial = "t10.ATA PLEXI SATA Model SATA0001";
  WriteFile("#DRIVE|ATA|PLEXI SATA Model|t10.ATA PLEXI SATA Model SATA0001=SATA\r\n");
  EXPECT_TRUE(list.IsForbidden(sata, ViewMode::kPhysical));
  ASSERT_EQ(list.RemoveForbidden(sata, ViewMode::kPhysical), ForbiddenList::Change::kChanged);
  EXPECT_EQ(ReadFile(), "");
  sata.reported_vendor.reset();  // the serial alone changed: a USB drive's
  sata.reported_product.reset();
  WriteFile("#DRIVE||PLEXI SATA Model With A Long Name|t10.ATA PLEXI SATA Model SATA0001=SATA\r\n");
  EXPECT_TRUE(list.IsForbidden(sata, ViewMode::kPhysical));
}

TEST_F(ForbiddenListTest, DescriptorTextCannotBreakTheLine) {
  // "=" would end the name early and "|" would shift the fields.
  DriveRow row = RowOf("A=B|C%\x01\xE9");
  const std::string stable = ProtectionKeysOf(row, ViewMode::kPartition).stable;
  EXPECT_EQ(stable, "#VOLUME|WD|Elements|A%3DB%7CC%25%01%E9|1TB");
  ForbiddenList list = MakeList();
  ASSERT_EQ(list.AddForbidden(row, ViewMode::kPartition), ForbiddenList::Change::kChanged);
  row.letters = "G:";  // only the stable line can match now
  EXPECT_TRUE(MakeList().IsForbidden(row, ViewMode::kPartition));
  DriveRow near = RowOf("A=B|C%\x01");
  near.letters = "G:";
  EXPECT_FALSE(list.IsForbidden(near, ViewMode::kPartition));
}

}  // namespace
}  // namespace plexi
