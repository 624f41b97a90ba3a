// The firmware purge from the confirmation to the record, on simulated
// drives that answer NVMe and ATA commands: which command runs, the zero
// pass where the drive promises nothing, the password of a security erase,
// every refusal and failure, and that only the confirmed drive is touched.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "erase/erase_test_support.h"
#include "platform/winconst.h"
#include "record/erase_record.h"
#include "report/erase_report.h"
#include "report/report_html.h"
#include "support/machine_backend.h"
#include "support/test_support.h"

namespace plexi {
namespace {

constexpr char kMachine[] = R"(
disk 0 size=64M bus=sata product="System"
volume C: disk=0 offset=1M length=60M
disk 1 sectors=8192 bus=nvme product="NvmeCrypto" sanitize=crypto,block format=crypto dlfeat=zeros
disk 2 sectors=8192 bus=nvme product="NvmeFormat" format=user-data
disk 3 sectors=8192 bus=sata product="AtaSanitize" sanitize=block security=enhanced sanitize-steps=4
disk 4 sectors=8192 bus=sata product="AtaSecurity" security=enhanced erase-minutes=4
disk 5 sectors=8192 bus=sata product="AtaFrozen" security=normal frozen=yes
disk 6 sectors=8192 bus=usb product="UsbBridge"
disk 7 sectors=8192 bus=sata product="Plain"
disk 8 sectors=8192 bus=sata product="EraseFails" security=normal
fault disk=8 op=erase-unit
disk 9 sectors=8192 bus=sata product="PasswordStuck" security=normal
fault disk=9 op=erase-unit
fault disk=9 op=disable-password
disk 10 sectors=8192 bus=nvme product="SanitizeFails" sanitize=block dlfeat=zeros
fault disk=10 op=sanitize
disk 11 sectors=8192 bus=usb product="PassingBridge" bridge=passes security=normal
disk 12 sectors=8192 bus=nvme product="Shared" namespaces=2 sanitize=crypto format=user-data format-all=yes
disk 13 sectors=8192 bus=nvme product="NotReached" sanitize=block
fault disk=13 op=sanitize error=50
disk 14 sectors=8192 bus=sata product="EraseTimesOut" security=normal
fault disk=14 op=erase-unit error=121
disk 15 sectors=8192 bus=nvme product="KeepsBlocks" sanitize=crypto dlfeat=zeros no-deallocate=honoured sanitize-estimate=120
disk 16 sectors=8192 bus=nvme product="OverwriteKept" sanitize=overwrite no-deallocate=honoured
disk 17 sectors=8192 bus=nvme product="DeallocatesAnyway" sanitize=overwrite no-deallocate=ignored
disk 18 sectors=8192 bus=sata product="Hides" hpa=1024 dco=64
disk 19 sectors=300000000 bus=sata product="Large" hpa=4096
disk 20 sectors=8192 bus=sata product="HpaOnly" hpa=512
disk 21 sectors=8192 bus=sata product="FrozenHpa" hpa=512 hpa-frozen=yes
)";
constexpr uint32_t kLastDisk = 21;

constexpr uint32_t kSectors = 8192;
constexpr uint64_t kBytes = uint64_t(kSectors) * 512;

// Records the drive's progress as the purge dialog would show it.
class PurgeUi : public test::ScriptedEraseUi {
 public:
  PurgeRun RunPurge(const PurgeRequest& request, const PurgeTask& task) override {
    purge_requests.push_back(request);
    struct View : PurgeView {
      std::vector<std::optional<uint32_t>>* seen;
      void SetPurgeProgress(std::optional<uint32_t> p) override { seen->push_back(p); }
    } view;
    view.seen = &progress;
    return task(view);
  }
  std::vector<PurgeRequest> purge_requests;
  std::vector<std::optional<uint32_t>> progress;
};

class PurgeTest : public ::testing::Test {
 protected:
  PurgeTest() : PurgeTest(kMachine) {}
  // `machine` may name its Windows; without it, Windows PE, where Windows
  // carries every purge command.
  explicit PurgeTest(const std::string& machine)
      : machine_(test::MakeMachine(machine)), backend_(*machine_, {.windows_pe = true}) {
    ui_.choice = ConfirmChoice{true, true, true, OverwriteMethod::kFirmwarePurge};
    // Old contents everywhere, to see what the purge and the zero pass leave.
    for (uint32_t disk = 1; disk <= kLastDisk; ++disk) Scribble(disk);
  }
  RecordLeft Erase(uint32_t disk) {
    return workflow_.RunErase(DriveDesignator::Physical(disk), "Drive", ViewMode::kPhysical);
  }
  void Scribble(uint32_t disk) {
    const std::vector<uint8_t> old(512, 0x5A);
    for (uint64_t sector : {uint64_t(0), uint64_t(1), uint64_t(4000), uint64_t(kSectors - 1)})
      machine_->PokeDisk(disk, sector * 512, old.data(), old.size());
  }
  // Whether every byte after the first sector is zero.
  bool ZeroAfterRecord(uint32_t disk) {
    const std::vector<uint8_t> bytes = machine_->PeekDisk(disk, 512, kBytes - 512);
    return bytes.size() == kBytes - 512 && std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
  }
  bool Journaled(uint32_t disk, const std::string& line) {
    const std::vector<std::string> j = machine_->FirmwareJournal(disk);
    return std::find(j.begin(), j.end(), line) != j.end();
  }
  // Firmware commands other than identify, status and the native maximum's query.
  size_t ChangingCommands(uint32_t disk) {
    const std::vector<std::string> j = machine_->FirmwareJournal(disk);
    return size_t(std::count_if(j.begin(), j.end(), [](const std::string& line) {
      // An identify the system does not carry is journaled by its opcode.
      return line.find("identify") == std::string::npos && line.find("opcode=6 ") == std::string::npos &&
             line.find("read-native-max") == std::string::npos;
    }));
  }
  bool Reported(const std::string& fragment) {
    return std::any_of(env_.reported.begin(), env_.reported.end(),
                       [&](const std::string& r) { return r.find(fragment) != std::string::npos; }) ||
           std::any_of(ui_.messages.begin(), ui_.messages.end(),
                       [&](const std::string& r) { return r.find(fragment) != std::string::npos; });
  }

  std::unique_ptr<sim::SimMachine> machine_;
  test::MachineUnderTest backend_;
  PurgeUi ui_;
  test::FakeEnvironment env_;
  EstimateState estimate_;
  EraseWorkflow workflow_{backend_.get(), ui_, env_, estimate_, Pacing{0, 0, 20, 0, 0, 0}};
};

// A drive that hides sectors, its lift declined: the confirmation says how
// many, the erase writes the sectors the host addresses and changes
// nothing of the drive's size, and the report gives no category while the
// hidden ones keep their bytes.
TEST_F(PurgeTest, HiddenSectorsAreNamedAndNeverPassedOffAsErased) {
  const std::vector<uint8_t> old(512, 0x5A);
  const uint64_t in_hpa = kSectors + 100, in_dco = kSectors + 1024 + 10;
  for (uint64_t sector : {in_hpa, in_dco}) ASSERT_TRUE(machine_->PokeDisk(18, sector * 512, old.data(), old.size()));
  ui_.choice = ConfirmChoice{true, true, true, OverwriteMethod::kZeros};
  ui_.answers = {false};  // do not lift its host protected area
  EXPECT_EQ(Erase(18), RecordLeft::kNone);
  EXPECT_EQ(workflow_.Outcome(), EraseOutcome::kErasedWithExceptions);
  EXPECT_TRUE(Reported(erase_text::ErasedWithExceptions({}, {}, 1088)));
  EXPECT_EQ(ui_.asked, std::vector<EraseQuestion::Id>{EraseQuestion::Id::kLiftHiddenArea});
  ASSERT_EQ(ui_.confirm_requests.size(), 1u);
  EXPECT_NE(ui_.confirm_requests[0].text.find("\n隠し領域 > 1088 セクタ"), std::string::npos)
      << ui_.confirm_requests[0].text;
  EXPECT_TRUE(ZeroAfterRecord(18));
  for (uint64_t sector : {in_hpa, in_dco}) EXPECT_EQ(machine_->PeekDisk(18, sector * 512, 512), old);
  const std::vector<std::string> commands = machine_->FirmwareJournal(18);
  EXPECT_TRUE(std::none_of(commands.begin(), commands.end(),
                           [](const std::string& line) { return line.rfind("ata set-max", 0) == 0; }));
  const EraseJournal& j = workflow_.Journal();
  EXPECT_EQ(j.hidden_area.HpaSectors(), 1024u);
  EXPECT_EQ(j.hidden_area.DcoSectors(), 64u);
  EXPECT_EQ(HiddenSectorsNotErased(j), 1088u);
  const json::Value body = report::ReportBody(j, report::ReportContext{});
  EXPECT_EQ(body["sanitization"].Text("category"), "none");
  EXPECT_EQ(body["drive"]["hidden_area"]["not_erased_sectors"].AsUnsigned(), 1088u);
  EXPECT_EQ(body["drive"]["hidden_area"]["dco_max_sectors"].AsUnsigned(), kSectors + 1088u);
  const std::string page = report::ReportHtml(body, report::BodyDigest(body));
  EXPECT_NE(page.find("1,088 セクタ（ホストから見える 8,192、本来の最大 9,216、DCO の最大 9,280）、"
                      "うち消去されなかったもの 1,088 セクタ"),
            std::string::npos);
  // A drive that hides nothing keeps its category.
  EXPECT_EQ(Erase(7), RecordLeft::kCompletion);
  EXPECT_EQ(HiddenSectorsNotErased(workflow_.Journal()), 0u);
  EXPECT_EQ(report::ReportBody(workflow_.Journal(), report::ReportContext{})["sanitization"].Text("category"), "Clear");
}

// The lift accepted: the drive addresses its native maximum until the next
// power cycle, the erase writes and reads back the sectors that were
// hidden, and only the overlay's part stays out of reach. A drive that
// refuses the SET MAX is erased at its old size and the user is told.
TEST_F(PurgeTest, ALiftedHostProtectedAreaIsErasedToo) {
  const std::vector<uint8_t> old(512, 0x5A);
  const uint64_t in_hpa = kSectors + 100, in_dco = kSectors + 1024 + 10;
  for (uint32_t disk : {18u, 20u, 21u})
    for (uint64_t sector : {in_hpa, in_dco, uint64_t(kSectors + 511)})
      machine_->PokeDisk(disk, sector * 512, old.data(), old.size());
  ui_.choice = ConfirmChoice{true, true, true, OverwriteMethod::kZeros};
  EXPECT_EQ(Erase(18), RecordLeft::kNone);  // the overlay's sectors stay out of reach
  EXPECT_TRUE(Journaled(18, "ata set-max lba=9215 volatile -> ok"));
  EXPECT_EQ(machine_->DiskCounters(18).update_properties, 2u);  // after the lift, after the erase
  const std::vector<uint8_t> hidden_part = machine_->PeekDisk(18, kBytes, 1024 * 512);
  EXPECT_TRUE(std::all_of(hidden_part.begin(), hidden_part.end(), [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(machine_->PeekDisk(18, in_dco * 512, 512), old);
  const EraseJournal& j = workflow_.Journal();
  EXPECT_TRUE(j.hidden_area_lifted);
  EXPECT_EQ(j.sector_count, kSectors + 1024u);
  EXPECT_EQ(j.verify_bytes_read, (kSectors + 1024u) * 512);
  EXPECT_EQ(HiddenSectorsNotErased(j), 64u);
  const json::Value body = report::ReportBody(j, report::ReportContext{});
  EXPECT_EQ(body["sanitization"].Text("category"), "none");
  EXPECT_EQ(*body["drive"]["hidden_area"]["lifted_for_erase"].AsBool(), true);
  // A host protected area alone, lifted: nothing hidden is left, Clear.
  EXPECT_EQ(Erase(20), RecordLeft::kCompletion);
  EXPECT_EQ(machine_->PeekDisk(20, in_hpa * 512, 512), std::vector<uint8_t>(512, 0));
  EXPECT_EQ(HiddenSectorsNotErased(workflow_.Journal()), 0u);
  EXPECT_EQ(report::ReportBody(workflow_.Journal(), report::ReportContext{})["sanitization"].Text("category"), "Clear");
  // SET MAX frozen: told, erased at the size it had, the hidden bytes kept.
  ui_.messages.clear();
  EXPECT_EQ(Erase(21), RecordLeft::kNone);
  EXPECT_TRUE(Reported(erase_text::kHiddenAreaNotLifted));
  EXPECT_FALSE(workflow_.Journal().hidden_area_lifted);
  EXPECT_EQ(workflow_.Journal().sector_count, kSectors);
  EXPECT_EQ(machine_->PeekDisk(21, in_hpa * 512, 512), old);
  EXPECT_EQ(HiddenSectorsNotErased(workflow_.Journal()), 512u);
}

// Past 2^28 sectors the native maximum's high bytes come back only from a
// 48-bit command: the pass-through must send it so whatever its fields.
TEST_F(PurgeTest, TheNativeMaximumOfALargeDriveComesBackWhole) {
  auto device = backend_.get().OpenDevice("\\\\.\\PHYSICALDRIVE19", platform::Access::kReadWrite);
  ASSERT_TRUE(device.ok());
  const HiddenArea area = QueryHiddenArea(**device, winconst::kBusTypeSata, backend_.get().System());
  EXPECT_EQ(area.host_sectors, 300000000u);
  EXPECT_EQ(area.native_sectors, 300004096u);
  EXPECT_EQ(area.HpaSectors(), 4096u);
}

TEST_F(PurgeTest, ADrivePromisingZerosIsOnlyReadBackAndRecordedAsPurged) {
  EXPECT_EQ(Erase(1), RecordLeft::kCompletion);
  ASSERT_EQ(ui_.confirm_requests.size(), 1u);
  const ConfirmRequest& request = ui_.confirm_requests[0];
  EXPECT_TRUE(request.purge_offered);
  const std::string lines = [&] {
    std::string all;
    for (const std::string& l : request.purge_lines) all += l + "\n";
    return all;
  }();
  EXPECT_NE(lines.find("NVMe サニタイズ（暗号消去）"), std::string::npos) << lines;
  EXPECT_NE(lines.find(erase_text::kPurgeWarning), std::string::npos);

  EXPECT_TRUE(Journaled(1, "nvme sanitize action=4 -> ok"));
  EXPECT_EQ(ChangingCommands(1), 1u);
  EXPECT_TRUE(ZeroAfterRecord(1));
  // Only the record was written; the read-back covered the whole drive.
  EXPECT_EQ(machine_->DiskCounters(1).bytes_written, 512u);
  EXPECT_EQ(workflow_.RecordAfterErase().method, 3);
  EXPECT_EQ(workflow_.RecordAfterErase().kind, RecordKind::kComplete);
  ASSERT_FALSE(ui_.progress.empty());
  EXPECT_EQ(ui_.progress.back(), 65536u);

  const EraseJournal& j = workflow_.Journal();
  EXPECT_EQ(j.purge_command, "NVMe サニタイズ（暗号消去）");
  EXPECT_TRUE(j.purge_completed);
  EXPECT_FALSE(j.purge_zero_pass);
  EXPECT_EQ(j.verify, VerifyResult::kPassed);
  const json::Value body = report::ReportBody(j, report::ReportContext{});
  EXPECT_EQ(body["sanitization"].Text("category"), "Purge");
  EXPECT_EQ(body["method"]["code"].AsInt(), 3);
  EXPECT_EQ(body["method"].Text("firmware_command"), "NVMe サニタイズ（暗号消去）");
}

// What the read-back after a sanitize read: the media where the drive kept
// its blocks mapped (after a zero pass where the media is not zeros), or
// blocks it deallocated, which the report then says it read.
TEST_F(PurgeTest, TheReportSaysWhatTheReadBackAfterASanitizeRead) {
  const struct {
    uint32_t disk;
    const char* journal;
    bool zero_pass;
    const char* reads;
    bool deallocated;
    const char* drive_status;
  } cases[] = {
      // The drive cannot be asked: it deallocates, and its zeros are its word.
      {1, "nvme sanitize action=4 -> ok", false, "deallocated_blocks", true, "completed"},
      // Kept: a crypto erase leaves ciphertext, which the zero pass overwrites.
      {15, "nvme sanitize action=4 no-deallocate -> ok", true, "written_passes", false, "completed"},
      // Kept: the overwrite's zero pattern is read from the media itself.
      {16, "nvme sanitize action=3 no-deallocate -> ok", false, "media", false, "completed"},
      // Asked, yet deallocated, and blocks of unknown contents: zero pass.
      {17, "nvme sanitize action=3 no-deallocate -> ok", true, "written_passes", true, "completed_with_deallocation"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.disk);
    ASSERT_EQ(Erase(c.disk), RecordLeft::kCompletion);
    EXPECT_TRUE(Journaled(c.disk, c.journal)) << ::testing::PrintToString(machine_->FirmwareJournal(c.disk));
    EXPECT_EQ(workflow_.Journal().purge_zero_pass, c.zero_pass);
    EXPECT_EQ(machine_->DiskCounters(c.disk).bytes_written, c.zero_pass ? kBytes + 512 : 512u);
    EXPECT_TRUE(ZeroAfterRecord(c.disk));
    const json::Value body = report::ReportBody(workflow_.Journal(), report::ReportContext{});
    EXPECT_EQ(body["verification"].Text("reads"), c.reads);
    EXPECT_EQ(body["verification"].Text("result"), "passed");
    const json::Value& firmware = body["method"]["firmware_purge"];
    EXPECT_EQ(*firmware["blocks_deallocated"].AsBool(), c.deallocated);
    EXPECT_EQ(*firmware["no_deallocate_requested"].AsBool(), c.disk != 1);
    EXPECT_EQ(firmware["drive_status"].Text("status"), c.drive_status);
    EXPECT_EQ(firmware["drive_status"].Text("source"), "nvme_sanitize_status_log");
    EXPECT_EQ(body["sanitization"].Text("category"), "Purge");
    const bool said = body["sanitization"].Text("note").find("解放したブロック") != std::string::npos;
    EXPECT_EQ(said, std::string(c.reads) == "deallocated_blocks");
  }
  // The drive's estimate, as its log gave it.
  const json::Value body = report::ReportBody(workflow_.Journal(), report::ReportContext{});
  EXPECT_TRUE(body["method"]["firmware_purge"]["estimated_seconds"].IsNull());
  ASSERT_EQ(Erase(15), RecordLeft::kCompletion);
  const json::Value kept = report::ReportBody(workflow_.Journal(), report::ReportContext{});
  EXPECT_EQ(kept["method"]["firmware_purge"]["estimated_seconds"].AsInt(), 120);
  EXPECT_EQ(kept["method"]["firmware_purge"].Text("technique"), "nvme_sanitize_crypto_erase");
}

// A drive that does not say its erased blocks read as zeros gets the zero
// pass, and the read-back proves it.
TEST_F(PurgeTest, ZeroPassFollowsWhereTheDrivePromisesNothing) {
  for (uint32_t disk : {2u, 3u}) {
    SCOPED_TRACE(disk);
    EXPECT_EQ(Erase(disk), RecordLeft::kCompletion);
    EXPECT_TRUE(workflow_.Journal().purge_zero_pass);
    EXPECT_EQ(workflow_.Journal().verify, VerifyResult::kPassed);
    EXPECT_EQ(machine_->DiskCounters(disk).bytes_written, kBytes + 512);
    EXPECT_TRUE(ZeroAfterRecord(disk));
    // A format is the weaker command: Clear; a sanitize is Purge.
    const json::Value body = report::ReportBody(workflow_.Journal(), report::ReportContext{});
    EXPECT_EQ(body["sanitization"].Text("category"), disk == 2 ? "Clear" : "Purge");
    EXPECT_EQ(body["sanitization"].Text("technique"),
              disk == 2 ? "nvme_format_user_data_erase" : "ata_sanitize_block_erase");
    EXPECT_EQ(body["verification"].Text("reads"), "written_passes");
  }
  EXPECT_TRUE(Journaled(2, "nvme format ses=1 -> ok"));
  EXPECT_TRUE(Journaled(3, "ata sanitize feature=18 -> ok"));
  // The ATA sanitize reported its progress while under way.
  EXPECT_GE(std::count_if(ui_.progress.begin(), ui_.progress.end(),
                          [](const std::optional<uint32_t>& p) { return p && *p > 0 && *p < 65536; }),
            2);
  const json::Value body = report::ReportBody(workflow_.Journal(), report::ReportContext{});
  EXPECT_EQ(body["method"]["passes"].AsArray()->size(), 1u);
}

// The temporary password is set, used and cleared; in Windows PE it is the
// one fixed user password Windows lets a program set ("Security Group
// Commands"), in the order it is typed.
TEST_F(PurgeTest, SecurityEraseSetsTheTemporaryPasswordAndClearsIt) {
  EXPECT_EQ(Erase(4), RecordLeft::kCompletion);
  EXPECT_TRUE(Journaled(4, "ata security-set-password -> ok"));
  EXPECT_TRUE(Journaled(4, "ata security-erase-unit enhanced -> ok"));
  EXPECT_FALSE(machine_->FirmwarePasswordSet(4));
  EXPECT_TRUE(ZeroAfterRecord(4));
  // A passing USB bridge carries the same commands.
  EXPECT_EQ(Erase(11), RecordLeft::kCompletion);
  EXPECT_TRUE(Journaled(11, "ata security-erase-unit -> ok"));
  EXPECT_FALSE(machine_->FirmwarePasswordSet(11));
}

TEST_F(PurgeTest, AFailedSecurityEraseStillClearsThePassword) {
  EXPECT_EQ(Erase(8), RecordLeft::kNone);
  EXPECT_EQ(workflow_.Outcome(), EraseOutcome::kFailed);  // the drive may have begun
  EXPECT_TRUE(Journaled(8, "ata security-erase-unit -> failed"));
  EXPECT_TRUE(Journaled(8, "ata security-disable-password -> ok"));
  EXPECT_FALSE(machine_->FirmwarePasswordSet(8));
  EXPECT_TRUE(Reported(purge_text::kFailed));
  EXPECT_EQ(machine_->DiskCounters(8).bytes_written, 0u);
  EXPECT_EQ(workflow_.Journal().outcome, EraseOutcome::kFailed);
  EXPECT_TRUE(ui_.progress_requests.empty());  // no zero pass after a failed purge

  // A drive that refuses to clear it: the user is told the password.
  EXPECT_EQ(Erase(9), RecordLeft::kNone);
  EXPECT_TRUE(machine_->FirmwarePasswordSet(9));
  EXPECT_TRUE(Reported(ata::TemporaryPassword(backend_.get().System())));

  // A command that never got its answer back is not a failure the drive
  // reported: the erase says which of the two happened.
  env_.reported.clear();
  ui_.messages.clear();
  EXPECT_EQ(Erase(14), RecordLeft::kNone);
  EXPECT_EQ(workflow_.Outcome(), EraseOutcome::kFailed);
  EXPECT_TRUE(Reported(purge_text::kNoReply));
  EXPECT_FALSE(Reported(purge_text::kFailed));
}

TEST_F(PurgeTest, AFailedSanitizeLeavesNoRecordAndNoCompletedPurge) {
  const std::vector<uint8_t> earlier = BuildCompletionRecord(512, 1);
  machine_->PokeDisk(10, 0, earlier.data(), earlier.size());
  ui_.answers = {true};  // erase it again
  EXPECT_EQ(Erase(10), RecordLeft::kNone);
  EXPECT_EQ(workflow_.Outcome(), EraseOutcome::kFailed);
  EXPECT_FALSE(workflow_.Journal().purge_completed);
  EXPECT_EQ(machine_->PeekDisk(10, 4000 * 512, 1)[0], 0x5A);  // the old contents are still there
  // The list row is told what the first sector holds after the attempt.
  EXPECT_EQ(workflow_.RecordAfterErase().kind, RecordKind::kComplete);
  EXPECT_EQ(workflow_.RecordAfterErase().method, 1);
  const json::Value body = report::ReportBody(workflow_.Journal(), report::ReportContext{});
  EXPECT_EQ(body["sanitization"].Text("category"), "none");

  // A command the driver does not pass never reached the drive.
  EXPECT_EQ(Erase(13), RecordLeft::kNone);
  EXPECT_EQ(workflow_.Outcome(), EraseOutcome::kRefused);
}

// Not offered, with the reason, and refused if asked for anyway: nothing
// but identify commands reaches these drives.
TEST_F(PurgeTest, DrivesThatCannotPurgeSayWhyAndAreNotTouched) {
  // Windows PE cannot suspend, so there the advice is to re-plug the drive.
  const PurgeBlock frozen = backend_.get().System().windows_pe ? PurgeBlock::kFrozenReplug : PurgeBlock::kFrozen;
  const struct {
    uint32_t disk;
    PurgeBlock block;
  } cases[] = {{5, frozen},
               {6, PurgeBlock::kUsbBridge},
               {7, PurgeBlock::kNotSupported},
               {12, PurgeBlock::kOtherNamespaces}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.disk);
    ui_.confirm_requests.clear();
    ui_.messages.clear();
    EXPECT_EQ(Erase(c.disk), RecordLeft::kNone);
    ASSERT_EQ(ui_.confirm_requests.size(), 1u);
    EXPECT_FALSE(ui_.confirm_requests[0].purge_offered);
    EXPECT_EQ(workflow_.Purge().block, c.block);
    EXPECT_NE(ui_.confirm_requests[0].purge_lines.back().find(PurgeBlockText(c.block)), std::string::npos);
    EXPECT_TRUE(Reported(PurgeBlockText(c.block)));
    EXPECT_EQ(ChangingCommands(c.disk), 0u);
    EXPECT_EQ(machine_->DiskCounters(c.disk).bytes_written, 0u);
  }
}

// Full Windows 10 carries neither Format NVM by protocol command nor the
// ATA security commands: neither is offered, the purge frame says why, and
// nothing the system would refuse is sent. An ATA sanitize still runs.
class FullWindowsPurgeTest : public PurgeTest {
 protected:
  FullWindowsPurgeTest() : PurgeTest(std::string(kMachine) + "windows-version 10.0.19045\nwindows-pe no\n") {}
};

TEST_F(FullWindowsPurgeTest, OnlyWhatThisWindowsCarriesIsOffered) {
  for (uint32_t disk : {2u, 4u}) {
    SCOPED_TRACE(disk);
    ui_.confirm_requests.clear();
    EXPECT_EQ(Erase(disk), RecordLeft::kNone);
    ASSERT_EQ(ui_.confirm_requests.size(), 1u);
    EXPECT_FALSE(ui_.confirm_requests[0].purge_offered);
    EXPECT_EQ(workflow_.Purge().block, PurgeBlock::kNeedsWindowsPe);
    EXPECT_NE(ui_.confirm_requests[0].purge_lines.back().find(PurgeBlockText(PurgeBlock::kNeedsWindowsPe)),
              std::string::npos);
    EXPECT_EQ(ChangingCommands(disk), 0u) << ::testing::PrintToString(machine_->FirmwareJournal(disk));
    EXPECT_FALSE(machine_->FirmwarePasswordSet(disk));
    EXPECT_EQ(machine_->DiskCounters(disk).bytes_written, 0u);
  }
  EXPECT_EQ(Erase(3), RecordLeft::kCompletion);
  EXPECT_TRUE(Journaled(3, "ata sanitize feature=18 -> ok"));
  EXPECT_TRUE(ZeroAfterRecord(3));
}

TEST_F(PurgeTest, OnlyTheConfirmedDriveIsTouched) {
  ASSERT_EQ(Erase(2), RecordLeft::kCompletion);
  for (uint32_t disk = 0; disk <= kLastDisk; ++disk) {
    if (disk == 2) continue;
    SCOPED_TRACE(disk);
    EXPECT_EQ(machine_->DiskCounters(disk).bytes_written, 0u);
    EXPECT_TRUE(machine_->FirmwareJournal(disk).empty());
    if (disk > 0) {
      EXPECT_EQ(machine_->PeekDisk(disk, 4000 * 512, 1)[0], 0x5A);
    }
  }
}

// The zero pass after a purge can be stopped, but the erase then starts
// over: no resume record, and none with the purge's number is believed.
TEST_F(PurgeTest, APurgeIsNeverResumed) {
  ui_.view.on_write = [this](uint64_t) { workflow_.RequestCancel(); };
  EXPECT_EQ(Erase(2), RecordLeft::kNone);
  EXPECT_EQ(workflow_.Outcome(), EraseOutcome::kInterruptedPartly);
  EXPECT_EQ(std::count(ui_.asked.begin(), ui_.asked.end(), EraseQuestion::Id::kSaveResumePoint), 0);

  ui_.view.on_write = nullptr;
  ui_.asked.clear();
  EraseRecordFields fields{3, 10, 0, kSectors, 256};  // this drive's chunk layout
  machine_->PokeDisk(2, 0, BuildResumeRecord(512, fields).data(), 512);
  EXPECT_EQ(Erase(2), RecordLeft::kCompletion);
  EXPECT_EQ(std::count(ui_.asked.begin(), ui_.asked.end(), EraseQuestion::Id::kResume), 0);
  EXPECT_TRUE(std::find(ui_.messages.begin(), ui_.messages.end(), erase_text::kResumeLayoutChanged) == ui_.messages.end());
}

// A drive whose answers are scripted: how the wait for a sanitize ends.
// Each status log read answers the next state of `log_states` (the last
// one repeats); kRefused: the system does not return the log.
constexpr int kRefused = -1;
class ScriptedNvme : public platform::Device {
 public:
  platform::IoResult Read(void*, uint32_t) override { return platform::IoResult::Failure(1); }
  platform::IoResult Write(const void*, uint32_t) override { return platform::IoResult::Failure(1); }
  platform::Result<> SetPosition(uint64_t) override { return platform::Result<>::Success(); }
  platform::IoResult Control(uint32_t, const void*, uint32_t, void*, uint32_t) override {
    return platform::IoResult::Failure(1);
  }
  platform::Result<> Flush() override { return platform::Result<>::Success(); }
  platform::Result<platform::NvmeCompletion> NvmeAdmin(const platform::NvmeAdminCommand& c) override {
    ++commands;
    if (c.opcode == nvme::kOpSanitize) {
      sanitize_dword10.push_back(c.cdw10);
      if (refuse_no_deallocate && (c.cdw10 & nvme::kNoDeallocateAfterSanitize))
        return platform::NvmeCompletion{0, nvme::kInvalidField, 0};
      return sanitize_answer;
    }
    const int state = log_states[std::min(reads++, log_states.size() - 1)];
    if (state == kRefused) return platform::Result<platform::NvmeCompletion>::Failure(winconst::kErrorNotSupported);
    std::memset(c.data, 0, c.data_length);
    c.data[2] = uint8_t(state);
    return platform::NvmeCompletion{};
  }
  platform::Result<platform::NvmeCompletion> sanitize_answer = platform::NvmeCompletion{};
  std::vector<int> log_states{0};
  bool refuse_no_deallocate = false;
  std::vector<uint32_t> sanitize_dword10;
  size_t reads = 0;
  int commands = 0;
};

// A sanitize is done only when its log shows it ended after the request;
// a log the system never returns leaves the progress unknown, which is not
// a failure (the zero pass and the read-back follow).
TEST(RunFirmwarePurge, HowTheWaitForASanitizeEnds) {
  PurgeCapability cap;
  cap.command = PurgeCommand::kNvmeSanitizeBlock;
  struct : PurgeView {
    void SetPurgeProgress(std::optional<uint32_t>) override {}
  } view;
  const PurgePacing pacing{0, 5};
  struct Case {
    const char* what;
    std::vector<int> log_states;  // the first is read before the request
    bool completed, progress_unknown;
    const char* error_text;
    int commands;
  } cases[] = {
      {"under way, then done", {0, 2, 2, 1}, true, false, "", 1 + 1 + 3},
      {"done at once, the log changed", {0, 1}, true, false, "", 1 + 1 + 1},
      {"the log says done as before: an earlier sanitize", {1}, false, false, purge_text::kNoStatus, 1 + 1 + 5},
      {"never began", {0}, false, false, purge_text::kNoStatus, 1 + 1 + 5},
      {"under way, then failed", {0, 2, 3}, false, false, purge_text::kFailed, 1 + 1 + 2},
      {"the system never returns the log", {kRefused}, false, true, "", 1 + 1 + 1},
      {"the log stopped coming", {0, 2, kRefused}, false, false, purge_text::kNoStatus, 1 + 1 + 1 + 5},
  };
  for (const Case& c : cases) {
    ScriptedNvme drive;
    drive.log_states = c.log_states;
    const PurgeRun run = RunFirmwarePurge(drive, cap, view, pacing, [](int) {});
    EXPECT_TRUE(run.accepted) << c.what;
    EXPECT_EQ(run.completed, c.completed) << c.what;
    EXPECT_EQ(run.progress_unknown, c.progress_unknown) << c.what;
    EXPECT_EQ(run.error_text, c.error_text) << c.what;
    EXPECT_EQ(drive.commands, c.commands) << c.what;
  }

  ScriptedNvme refusing;  // invalid field: the drive took nothing
  refusing.sanitize_answer = platform::NvmeCompletion{0, nvme::kInvalidField, 0};
  const PurgeRun run = RunFirmwarePurge(refusing, cap, view, pacing, [](int) {});
  EXPECT_FALSE(run.accepted);
  EXPECT_EQ(run.error_text, purge_text::kRefused);
  EXPECT_EQ(refusing.commands, 2);

  // A drive that refuses the request to keep its blocks gets the sanitize
  // without it; the report then says the blocks were deallocated.
  cap.no_deallocate = true;
  ScriptedNvme keeps_nothing;
  keeps_nothing.refuse_no_deallocate = true;
  keeps_nothing.log_states = {0, 2, 1};
  const PurgeRun again = RunFirmwarePurge(keeps_nothing, cap, view, pacing, [](int) {});
  EXPECT_TRUE(again.completed);
  ASSERT_EQ(keeps_nothing.sanitize_dword10.size(), 2u);
  EXPECT_NE(keeps_nothing.sanitize_dword10[0] & nvme::kNoDeallocateAfterSanitize, 0u);
  EXPECT_EQ(keeps_nothing.sanitize_dword10[1] & nvme::kNoDeallocateAfterSanitize, 0u);
  EXPECT_FALSE(again.evidence.no_deallocate_requested);
  EXPECT_EQ(again.evidence.deallocated, true);
}

TEST(SimFirmwareDescription, BadKeysAreNamed) {
  std::string error;
  EXPECT_FALSE(sim::SimMachine::Parse("disk 1 sectors=64 sanitize=fast\n", ".", &error));
  EXPECT_EQ(error, "line 1: sanitize modes are crypto, block and overwrite (or none), not 'fast'");
  EXPECT_FALSE(sim::SimMachine::Parse("disk 1 sectors=64 format=quick\n", ".", &error));
  EXPECT_EQ(error, "line 1: format must be crypto, user-data or none, not 'quick'");
  EXPECT_FALSE(sim::SimMachine::Parse("disk 1 sectors=64\nvolume E: disk=1\nfault volume=E: op=sanitize\n", ".", &error));
  EXPECT_EQ(error, "line 3: firmware command faults apply to a disk (disk=)");
}

}  // namespace
}  // namespace plexi
