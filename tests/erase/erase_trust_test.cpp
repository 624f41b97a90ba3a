// Every way of starting an erase, against a machine with a system disk, a
// letterless boot volume, odd sizes and drives that change under the user.
// Each case says which disk may be written and which bytes must end as
// zeros; the machine's counters and a byte scan of every disk check it.
#include <gtest/gtest.h>

#include <cctype>
#include <map>

#include "erase/erase_test_support.h"
#include "support/machine_backend.h"
#include "support/test_support.h"

namespace plexi {
namespace {

using test::FakeEnvironment;
using test::ScriptedEraseUi;

constexpr char kMachine[] = R"(
system-directory "C:\Windows\system32"
disk 0 size=64M bus=nvme product="SysDisk" serial="SYS0" table=gpt
volume - disk=0 offset=1M length=8M boot=yes
volume C: disk=0 offset=9M length=40M
volume - disk=0 offset=49M length=8M
disk 1 sectors=61440 bus=usb vendor="Acme" product="Stick" serial="S1"
volume E: disk=1 offset=1M length=20M
volume - disk=1 offset=21M length=8M mount=C:\Mnt\
disk 2 sectors=61441 bus=usb vendor="Acme" product="Stick" serial="S2"
volume F: disk=2 offset=1M length=10M
disk 3 sectors=7919 sector-size=4096 bus=sata product="Big sectors" serial="S3"
volume G: disk=3 offset=1M length=20M
disk 4 sectors=61440 bus=sata product="GptData" serial="S4" table=gpt
volume H: disk=4 offset=1M length=20M
fault disk=4 op=read sector=43007 error=23
disk 5 sectors=20480 bus=usb vendor="Acme" product="Bare" serial="S5"
)";
constexpr uint32_t kLastDisk = 5;

// A disk without any volume, which the list leaves out.
constexpr char kBareDisk[] = "\\\\.\\PHYSICALDRIVE5";
constexpr char kGuidOfEfi[] = "\\\\?\\Volume{5eed0000-0000-0000-0000-000000000001}";
constexpr uint64_t kMiB = 1 << 20;

// What may change: one area of one disk, which must end all zeros but for
// the record in its first sector.
struct Area {
  uint32_t disk;
  uint64_t offset, length;
};

struct TrustCase {
  std::string name;
  std::string path;  // how the drive is named
  ViewMode view;
  // What else happens: "", "protect" (another copy protects the drive while
  // the confirmation is open), "swap-listing", "swap-question",
  // "swap-confirm" (disks 1 and 2 trade numbers after the listing, during
  // the first question, during the confirmation), "second-erase" (another
  // copy erases the same drive while the confirmation is open).
  std::string event;
  std::optional<Area> erased;  // none: nothing may be written anywhere
  std::string extra = {};      // more description lines
};

enum class Entry { kButton, kNamed };

void PrintTo(const TrustCase& c, std::ostream* os) { *os << c.name; }

const std::vector<TrustCase>& Cases() {
  static const std::vector<TrustCase> cases = {
      {"SystemDiskByNumber", "\\\\.\\PHYSICALDRIVE0", ViewMode::kPhysical, "", std::nullopt},
      {"SystemDiskLowerCase", "\\\\.\\physicaldrive0", ViewMode::kPhysical, "", std::nullopt},
      {"SystemDiskQuestionMarkPath", "\\\\?\\PhysicalDrive0", ViewMode::kPhysical, "", std::nullopt},
      {"SystemVolumeLowerCase", "\\\\.\\c:", ViewMode::kPartition, "", std::nullopt},
      {"BootVolumeWithoutLetter", kGuidOfEfi, ViewMode::kPartition, "", std::nullopt},
      {"ProtectedMeanwhile", "\\\\.\\PHYSICALDRIVE1", ViewMode::kPhysical, "protect", std::nullopt},
      {"SwappedAfterListing", "\\\\.\\PHYSICALDRIVE1", ViewMode::kPhysical, "swap-listing", std::nullopt},
      {"SwappedDuringFirstQuestion", "\\\\.\\PHYSICALDRIVE1", ViewMode::kPhysical, "swap-question", std::nullopt},
      {"SwappedDuringConfirmation", "\\\\.\\PHYSICALDRIVE1", ViewMode::kPhysical, "swap-confirm", std::nullopt},
      {"DiskWithLetterlessMountedVolume", "\\\\.\\PHYSICALDRIVE1", ViewMode::kPhysical, "", Area{1, 0, 61440 * 512}},
      {"BusyVolumeLockRetried", "\\\\.\\PHYSICALDRIVE1", ViewMode::kPhysical, "", Area{1, 0, 61440 * 512},
       "fault volume=#5 op=lock count=3 error=32\nfault volume=E: op=lock count=2 error=5"},
      {"PrimeSectorCount", "\\\\.\\PHYSICALDRIVE2", ViewMode::kPhysical, "", Area{2, 0, 61441 * 512}},
      {"FourKSectorsPrimeCount", "\\\\.\\PHYSICALDRIVE3", ViewMode::kPhysical, "", Area{3, 0, 7919ull * 4096}},
      {"GptVolumeWithUnreadableEnd", "\\\\.\\H:", ViewMode::kPartition, "", Area{4, kMiB, 20 * kMiB}},
      {"GptVolumeByGuidLowerCase", "\\\\.\\volume{5eed0000-0000-0000-0000-000000000008}", ViewMode::kPartition, "",
       Area{4, kMiB, 20 * kMiB}},
      {"VolumeOnAPrimeDisk", "\\\\.\\f:", ViewMode::kPartition, "", Area{2, kMiB, 10 * kMiB}},
      {"SecondEraseOfADiskWithVolumes", "\\\\.\\PHYSICALDRIVE1", ViewMode::kPhysical, "second-erase",
       Area{1, 0, 61440 * 512}},
      {"SecondEraseOfADiskWithoutVolumes", kBareDisk, ViewMode::kPhysical, "second-erase",
       Area{5, 0, 20480 * 512}},
  };
  return cases;
}

class FakeHost : public EraseButtonHost {
 public:
  bool StopDriveWatch() override { return true; }
  void StartDriveWatch() override {}
  void RepaintRow(size_t) override {}
  void BroadcastRowChange(const RowChangeMessage&) override {}
  void ShutdownAfterErase() override {}
  std::optional<std::string> ProtectionRefusal(const DriveRow&, ViewMode) override {
    return protect ? std::optional<std::string>(erase_text::kProtected) : std::nullopt;
  }
  bool protect = false;
};

class TrustTest : public ::testing::TestWithParam<std::tuple<TrustCase, Entry>> {
 protected:
  const TrustCase& Case() const { return std::get<0>(GetParam()); }
  Entry EntryPoint() const { return std::get<1>(GetParam()); }

  void SetUp() override {
    machine_ = test::MakeMachine(std::string(kMachine) + Case().extra + "\n");
    ASSERT_TRUE(machine_);
    backend_ = std::make_unique<test::MachineUnderTest>(*machine_);
    workflow_ = std::make_unique<EraseWorkflow>(backend_->get(), ui_, env_, estimate_, Pacing{0, 0, 20, 0, 0, 0});
    // Every disk starts full of its own byte, so a scan tells what was written.
    for (uint32_t disk = 0; disk <= kLastDisk; ++disk) {
      std::vector<uint8_t> fill(machine_->DiskSize(disk), Fill(disk));
      ASSERT_TRUE(machine_->PokeDisk(disk, 0, fill.data(), fill.size()));
      writes_before_[disk] = machine_->DiskCounters(disk).writes;
    }
    ui_.choice = {true, false, true, OverwriteMethod::kFfThenZeros};
  }

  // The byte the disk that has this number now was filled with.
  uint8_t Fill(uint32_t number) const {
    if (swapped_ && (number == 1 || number == 2)) number = 3 - number;
    return uint8_t(0x40 + number);
  }

  void Swap() {
    machine_->SwapDisks(1, 2);
    swapped_ = true;
  }

  // The event of the case, hooked into the questions.
  void Arrange(std::vector<DriveRow>* rows, DriveDiscovery* discovery) {
    const std::string& event = Case().event;
    if (event == "protect") ui_.on_confirm = [this] { protect_ = host_.protect = true; };
    if (event == "second-erase") ui_.on_confirm = [this] { SecondErase(EraseOutcome::kRefused); };
    if (event == "swap-confirm") ui_.on_confirm = [this] { Swap(); };
    if (event == "swap-question")
      ui_.on_ask = [this, rows, discovery] {
        Swap();
        // The drive watch would rebuild the list meanwhile.
        if (rows) *rows = discovery->Refresh(Case().view);
      };
  }

  void EraseFromTheList() {
    test::RecordingNotifier notifier;
    DriveDiscovery discovery(backend_->get(), notifier);
    std::vector<DriveRow> rows = discovery.Refresh(Case().view);
    std::optional<size_t> selected;
    for (size_t i = 0; i < rows.size(); ++i)
      if (rows[i].designator.DevicePath() == Case().path) selected = i;
    ASSERT_TRUE(selected) << "the list has no row named " << Case().path;
    if (Case().event == "swap-listing") Swap();
    Arrange(&rows, &discovery);
    SpeedButton2Click(*workflow_, ui_, host_, rows, selected, Case().view);
  }

  // As the command-line tool does: the drive named by its path.
  void EraseByName() {
    Arrange(nullptr, nullptr);
    EraseTarget target{Case().path, std::nullopt, Case().path, Case().view, std::nullopt,
                       [this] { return protect_ ? std::optional<std::string>(erase_text::kProtected) : std::nullopt; }, {}, {}};
    if (ui_.Ask(erase_text::EraseDriveQuestion(Case().path)))
      workflow_->RunErase(target);
  }

  // Another copy of the program (or the command-line tool) erases the
  // case's drive by name, answering every question yes: while this erase
  // holds the drive it is refused before anything is written.
  void SecondErase(EraseOutcome expected) {
    const uint32_t disk = Case().erased->disk;
    const uint64_t writes_before = machine_->DiskCounters(disk).writes;
    ScriptedEraseUi ui;
    FakeEnvironment env;
    EstimateState estimate;
    EraseWorkflow other(backend_->get(), ui, env, estimate, Pacing{0, 0, 20, 0, 0, 0});
    other.RunErase(EraseTarget{Case().path, std::nullopt, Case().path, Case().view, std::nullopt, {}, {}, {}});
    EXPECT_EQ(other.Outcome(), expected);
    if (expected != EraseOutcome::kRefused) return;
    EXPECT_EQ(machine_->DiskCounters(disk).writes, writes_before) << "the second erase wrote to disk " << disk;
    EXPECT_TRUE(ui.confirm_requests.empty()) << "the second erase reached its confirmation";
    EXPECT_EQ(ui.messages, std::vector<std::string>{erase_text::kAnotherErase});
  }

  void CheckDisks() {
    const std::optional<Area>& erased = Case().erased;
    for (uint32_t disk = 0; disk <= kLastDisk; ++disk) {
      if (!erased || erased->disk != disk) {
        EXPECT_EQ(machine_->DiskCounters(disk).writes, writes_before_[disk]) << "disk " << disk << " was written";
        std::vector<uint8_t> bytes = machine_->PeekDisk(disk, 0, machine_->DiskSize(disk));
        EXPECT_EQ(std::count(bytes.begin(), bytes.end(), Fill(disk)), std::ptrdiff_t(bytes.size()))
            << "disk " << disk << " changed";
        continue;
      }
      // A disk erased whole is told to read its layout again before its
      // volumes are let go.
      if (erased->offset == 0) {
        EXPECT_GT(machine_->DiskCounters(disk).update_properties, 0u);
      }
      const uint32_t sector = disk == 3 ? 4096 : 512;
      std::vector<uint8_t> bytes = machine_->PeekDisk(disk, erased->offset, erased->length);
      ASSERT_EQ(bytes.size(), erased->length);
      // The completion record, not a file system's cached metadata, opens
      // the area; every byte after it is zero.
      EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 14), "plexi scrub ok");
      const auto first_left = std::find_if(bytes.begin() + sector, bytes.end(), [](uint8_t b) { return b != 0; });
      EXPECT_EQ(first_left, bytes.end()) << "disk " << disk << " byte "
                                         << erased->offset + uint64_t(first_left - bytes.begin()) << " not erased";
      // Nothing beside the area was touched.
      if (erased->offset > 0) {
        EXPECT_EQ(machine_->PeekDisk(disk, erased->offset - 1, 1)[0], Fill(disk));
      }
      std::vector<uint8_t> after = machine_->PeekDisk(disk, erased->offset + erased->length, 1);
      if (!after.empty()) {
        EXPECT_EQ(after[0], Fill(disk));
      }
    }
    if (erased) {
      EXPECT_EQ(workflow_->Outcome(), EraseOutcome::kCompleted);
    } else {
      EXPECT_FALSE(DriveTouched(workflow_->Outcome()));
    }
    EXPECT_EQ(machine_->OpenHandleCount(), 0u);
  }

  std::unique_ptr<sim::SimMachine> machine_;
  std::unique_ptr<test::MachineUnderTest> backend_;  // what the program drives
  ScriptedEraseUi ui_;
  FakeEnvironment env_;
  EstimateState estimate_;
  FakeHost host_;
  bool protect_ = false;
  bool swapped_ = false;
  std::unique_ptr<EraseWorkflow> workflow_;
  std::map<uint32_t, uint64_t> writes_before_;
};

TEST_P(TrustTest, OnlyTheConfirmedDriveIsWrittenAndAllOfIt) {
  if (EntryPoint() == Entry::kButton)
    EraseFromTheList();
  else
    EraseByName();
  if (HasFatalFailure()) return;
  CheckDisks();
  // Once the erase has ended, the drive is free for the next one.
  if (Case().event == "second-erase") SecondErase(EraseOutcome::kCompleted);
}

// From the list where the list has a row of that name (a drive number or a
// letter as the program writes them); by name unless the case is about a
// listing, which a drive named by its path does not have.
std::vector<std::tuple<TrustCase, Entry>> Runs() {
  std::vector<std::tuple<TrustCase, Entry>> runs;
  for (const TrustCase& c : Cases()) {
    const bool listed = (c.path.rfind("\\\\.\\PHYSICALDRIVE", 0) == 0 && c.path != kBareDisk) ||
                        (c.path.size() == 6 && std::isupper(static_cast<unsigned char>(c.path[4])));
    if (listed && c.path != kGuidOfEfi) runs.emplace_back(c, Entry::kButton);
    if (c.event != "swap-listing" && c.event != "swap-question") runs.emplace_back(c, Entry::kNamed);
  }
  return runs;
}

INSTANTIATE_TEST_SUITE_P(
    EveryWayOfStartingAnErase, TrustTest, ::testing::ValuesIn(Runs()),
    [](const ::testing::TestParamInfo<TrustTest::ParamType>& info) {
      return std::get<0>(info.param).name + (std::get<1>(info.param) == Entry::kButton ? "_FromTheList" : "_ByName");
    });

}  // namespace
}  // namespace plexi
