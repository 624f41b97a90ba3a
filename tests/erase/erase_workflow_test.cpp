// The erase from the button to the written record: questions, the
// confirmation text, the chunk layout, cancelling, failures and the row.
#include <gtest/gtest.h>

#include <algorithm>

#include "record/erase_method.h"
#include "erase/erase_test_support.h"
#include "platform/winconst.h"
#include "support/forwarding_machine.h"
#include "support/test_support.h"

namespace plexi {
namespace {

using test::FakeEnvironment;
using test::ScriptedEraseUi;

constexpr char kMachine[] = R"(
system-directory "C:\Windows\system32"
disk 0 size=1G bus=11 product="System"
disk 1 sectors=61440 bus=11 product="Target"
disk 2 sectors=61440 bus=11 product="Broken"
disk 3 sectors=61440 bus=11 product="Locked"
disk 5 sectors=61440 bus=11 product="Busy"
volume C: disk=0 offset=1M length=900M
volume E: disk=1 offset=1M length=20M
volume F: disk=1 offset=21M length=8M
volume G: disk=2 offset=1M length=20M
volume H: disk=3 offset=1M length=20M
fault disk=2 op=write sector=40000 error=29
fault volume=H: op=lock error=5
fault disk=3 op=lock error=5
volume J: disk=5 offset=1M length=10M
volume K: disk=5 offset=11M length=10M
fault volume=K: op=lock error=5
disk 6 sectors=61440 bus=11 product="Unplugged"
fault disk=6 op=write sector=40000 error=1167
)";

class WorkflowTest : public ::testing::Test {
 protected:
  RecordLeft Erase(uint32_t disk, const std::string& label = "Target （E: F:）") {
    return workflow_.RunErase(DriveDesignator::Physical(disk), label, ViewMode::kPhysical);
  }
  void PutRecord(uint32_t disk, const std::vector<uint8_t>& sector) {
    machine_->PokeDisk(disk, 0, sector.data(), sector.size());
  }
  std::vector<uint8_t> Sector0(uint32_t disk) { return machine_->PeekDisk(disk, 0, 512); }
  bool Asked(const std::string& fragment) {
    return std::any_of(ui_.questions.begin(), ui_.questions.end(),
                       [&](const std::string& q) { return q.find(fragment) != std::string::npos; });
  }

  std::unique_ptr<sim::SimMachine> machine_ = test::MakeMachine(kMachine);
  ScriptedEraseUi ui_;
  FakeEnvironment env_;
  EstimateState estimate_;
  EraseWorkflow workflow_{*machine_, ui_, env_, estimate_, Pacing{0, 0, 20, 0, 0, 0}};
};

// However the drive is sized, the chunks and the tail cover every byte.
TEST(PlanChunks, CoversEveryByteOfOddSizes) {
  const DriveExtent sizes[] = {
      {512, 1000000, 0},              // tiles exactly: 125 chunks of 8000
      {512, 1000003, 0},              // prime: one-sector chunks
      {4096, 7919, 0},                // 4 KiB sectors, prime count
      {512, (1ull << 32) + 15, 0},    // more one-sector chunks than a record can count
      {512, 6442450967ull, 0},        // prime above 2^32
      {512, 2048, 300},               // an image with a part sector
  };
  for (const DriveExtent& e : sizes) {
    std::optional<ChunkLayout> plan = PlanChunks(e, 8192);
    ASSERT_TRUE(plan) << e.sector_count;
    EXPECT_EQ(uint64_t(plan->chunk_count) * plan->chunk_bytes + plan->tail_bytes, e.Bytes()) << e.sector_count;
    EXPECT_EQ(plan->chunk_bytes, plan->sectors_per_chunk * e.sector_size);
    EXPECT_LT(plan->tail_bytes, plan->chunk_bytes + e.sector_size);
  }
  EXPECT_EQ(PlanChunks({512, 1000000, 0}, 8192)->tail_bytes, 0u);
  EXPECT_EQ(PlanChunks({512, (1ull << 32) + 15, 0}, 8192)->sectors_per_chunk, 8192u);
  EXPECT_FALSE(PlanChunks({512, 0, 300}, 8192));
}

TEST(ChooseSectorsPerChunk, TilesTheDriveExactly) {
  EXPECT_EQ(ChooseSectorsPerChunk(1000000, 8192), 8000u);
  EXPECT_EQ(ChooseSectorsPerChunk(61440, 8192), 2048u);
  EXPECT_EQ(ChooseSectorsPerChunk(509, 8192), 1u);
  EXPECT_EQ(ChooseSectorsPerChunk(1000003, 8192), 1u);  // prime
  EXPECT_EQ(ChooseSectorsPerChunk(0, 8192), 1u);
  uint64_t big = 6442450944ull;  // 3 TiB of 512-byte sectors
  uint32_t n = ChooseSectorsPerChunk(big, 8192);
  EXPECT_EQ(big % n, 0u);
  EXPECT_LE(n, 8192u);
  EXPECT_GE(big / n, 30u);
}

TEST(ConfirmationText, ListsTheDriveAndCountsItsPartitions) {
  std::string text = ConfirmationText({"Target （C: D: E:）", 512, 61440, false, OverwriteMethod::kZeros, true});
  EXPECT_EQ(text,
            "***** ドライブのデータを全て消去します。*****\n\nドライブ > Target （C: D: E:）"
            "\n\nセクタ当たりのバイト数 > 512\n総セクタ数 > 61440\nドライブサイズ > 30MB\n"
            "パーティション数 > 3\nこのドライブは、3個のパーティションに分割されています。\n\n"
            "開始ボタンを押す前に処理するドライブが間違っていないか再度確認して下さい。（アクセスランプが点灯）"
            "\n\n    消去を行うには、[ del ] の入力が必要です。");
  std::string single = ConfirmationText({"Target （C:）", 512, 61440, false, OverwriteMethod::kZeros, true});
  EXPECT_EQ(single.find("パーティション数"), std::string::npos);
  std::string resumed = ConfirmationText({"T （C: D:）", 4096, 100, true, OverwriteMethod::kRandomFfThenZeros, false});
  EXPECT_NE(resumed.find("\n消去方式 > 米国陸軍方式\n\n\n開始"), std::string::npos);
  EXPECT_EQ(resumed.find("パーティション数"), std::string::npos);
  // Sectors the drive hides are named right under the size.
  std::string hidden = ConfirmationText({"T （C:）", 512, 61440, false, OverwriteMethod::kZeros, true, 2048});
  EXPECT_NE(hidden.find("ドライブサイズ > 30MB\n隠し領域 > 2048 セクタ"), std::string::npos) << hidden;
  EXPECT_EQ(single.find("隠し領域"), std::string::npos);
  EXPECT_EQ(LetterCountOfLabel("WDC （C: D: E: F:）"), 4);
  EXPECT_EQ(LetterCountOfLabel("（）"), 0);
}

TEST_F(WorkflowTest, ACompletedEraseLeavesTheCompletionRecord) {
  // The last sector lies beyond the last whole cylinder the geometry counts.
  std::vector<uint8_t> tail(512, 0xAB);
  machine_->PokeDisk(1, 61439ull * 512, tail.data(), tail.size());
  ui_.choice = {true, true, true, OverwriteMethod::kFfThenZeros};
  EXPECT_EQ(Erase(1), RecordLeft::kCompletion);
  EXPECT_EQ(machine_->PeekDisk(1, 61439ull * 512, 512), std::vector<uint8_t>(512, 0));
  EXPECT_EQ(Sector0(1), BuildCompletionRecord(512, 1));
  EXPECT_EQ(env_.operations, (std::vector<int>{1, 2}));
  EXPECT_EQ(env_.count, 0);
  EXPECT_TRUE(env_.reported.empty());
  ASSERT_EQ(ui_.progress_requests.size(), 1u);
  EXPECT_TRUE(ui_.progress_requests[0].show_verify_bar);
  EXPECT_EQ(ui_.progress_requests[0].bar_maximum, 61440ull * 512);
  EXPECT_EQ(ui_.progress_requests[0].first_line, "ドライブ > Target （E: F:）");
  ASSERT_EQ(ui_.confirm_requests.size(), 1u);
  EXPECT_EQ(ui_.confirm_requests[0].caption, "ドライブ消去の最終確認");
  EXPECT_NE(ui_.confirm_requests[0].text.find("パーティション数 > 2"), std::string::npos);
  EXPECT_FALSE(workflow_.Running());

  // Without history the first sector is blank.
  ui_.choice = {true, false, false, OverwriteMethod::kZeros};
  ui_.answers = {true};  // yes to the second erase
  EXPECT_EQ(Erase(1), RecordLeft::kBlank);
  EXPECT_TRUE(Asked("255とゼロで消去が完了したドライブです。もう一度消去しますか？"));
  EXPECT_EQ(Sector0(1), std::vector<uint8_t>(512, 0));
}

TEST_F(WorkflowTest, DecliningASecondEraseTouchesNothing) {
  // The question names the method the record holds; a purged drive was not
  // overwritten three times.
  const std::pair<int32_t, const char*> cases[] = {{1, "255とゼロ"}, {3, "ファームウェア消去"}};
  for (const auto& [method, name] : cases) {
    PutRecord(1, BuildCompletionRecord(512, method));
    ui_.answers = {false};
    EXPECT_EQ(Erase(1), RecordLeft::kNone);
    EXPECT_TRUE(Asked(std::string(name) + "で消去が完了したドライブです。もう一度消去しますか？")) << name;
    EXPECT_TRUE(ui_.confirm_requests.empty());
    EXPECT_EQ(machine_->DiskCounters(1).writes, 0u);
    EXPECT_EQ(machine_->OpenHandleCount(), 0u);
  }
}

TEST_F(WorkflowTest, AResumeRecordIsOfferedAndContinued) {
  PutRecord(1, BuildResumeRecord(512, {2, 10, 1}));
  ui_.answers = {true};
  ui_.choice = {true, true, true, OverwriteMethod::kZeros};  // the method choice is ignored when resuming
  EXPECT_EQ(Erase(1), RecordLeft::kCompletion);
  EXPECT_TRUE(Asked("前回の処理情報が見つかりました。途中から続行しますか？"));
  ASSERT_EQ(ui_.confirm_requests.size(), 1u);
  EXPECT_EQ(ui_.confirm_requests[0].caption, "ドライブ消去の最終確認 （継続消去）");
  EXPECT_FALSE(ui_.confirm_requests[0].method_enabled);
  EXPECT_EQ(ui_.confirm_requests[0].method, OverwriteMethod::kRandomFfThenZeros);
  EXPECT_NE(ui_.confirm_requests[0].text.find("消去方式 > 米国陸軍方式"), std::string::npos);
  EXPECT_EQ(Sector0(1), BuildCompletionRecord(512, 2));
  EXPECT_EQ(ui_.view.events.front(), "pass:現在の工程 2 / 3");
}

class FakeHost : public EraseButtonHost {
 public:
  bool StopDriveWatch() override {
    calls.push_back("stop");
    return watching;
  }
  void StartDriveWatch() override { calls.push_back("start"); }
  void RepaintRow(size_t) override {}
  void BroadcastRowChange(const RowChangeMessage& m) override { messages.push_back(m); }
  void ShutdownAfterErase() override { calls.push_back("shutdown"); }
  std::optional<std::string> ProtectionRefusal(const DriveRow&, ViewMode) override {
    return protect ? std::optional<std::string>(erase_text::kProtected) : std::nullopt;
  }
  bool protect = false;
  bool watching = true;
  std::vector<std::string> calls;
  std::vector<RowChangeMessage> messages;
};

// A chunk index counted in another layout would point at other bytes: the
// erase starts over and says why; a record naming this layout, or one
// written before the layout was kept, resumes.
TEST_F(WorkflowTest, AResumeRecordOfAnotherChunkLayoutStartsOver) {
  EraseRecordFields stale{2, 10, 1, 61440 + 2048, 2048};
  PutRecord(1, BuildResumeRecord(512, stale));
  ui_.choice = {true, false, true, OverwriteMethod::kZeros};
  EXPECT_EQ(Erase(1), RecordLeft::kCompletion);
  EXPECT_FALSE(Asked("前回の処理情報"));
  EXPECT_EQ(ui_.messages, std::vector<std::string>{erase_text::kResumeLayoutChanged});
  EXPECT_TRUE(ui_.confirm_requests[0].method_enabled);
  EXPECT_EQ(ui_.view.events.front(), "pass:現在の工程 1 / 1");

  ui_ = {};
  stale.SectorsPerChunk = 1024;
  stale.TotalSectors = 61440;
  PutRecord(1, BuildResumeRecord(512, stale));
  EXPECT_EQ(Erase(1), RecordLeft::kCompletion);
  EXPECT_FALSE(Asked("前回の処理情報"));

  ui_ = {};
  PutRecord(1, BuildResumeRecord(512, {2, 10, 1, 61440, 2048}));
  EXPECT_EQ(Erase(1), RecordLeft::kCompletion);
  EXPECT_TRUE(Asked("前回の処理情報"));
  EXPECT_TRUE(ui_.messages.empty());
}

// An interrupted erase records the layout its chunk index counts in.
TEST_F(WorkflowTest, AResumeRecordNamesTheDriveSizeAndChunkSize) {
  ui_.view.on_write = [this](uint64_t p) {
    if (p >= (5u << 20)) workflow_.RequestCancel();
  };
  ui_.answers = {true, true};
  EXPECT_EQ(Erase(1), RecordLeft::kResume);
  EraseRecordFields fields;
  std::vector<uint8_t> sector = Sector0(1);
  ASSERT_EQ(RecogniseForErase(sector.data(), sector.size(), fields), RecordKind::kResume);
  EXPECT_EQ(fields.TotalSectors, 61440u);
  EXPECT_EQ(fields.SectorsPerChunk, 2048u);
  EXPECT_EQ(workflow_.Outcome(), EraseOutcome::kInterruptedSaved);
}

// Declining to save after the drive was written leaves it partly
// overwritten; the outcome and the row say so, not "nothing happened".
TEST_F(WorkflowTest, AnInterruptionWithoutResumeRecordIsAPartlyOverwrittenDrive) {
  test::RecordingNotifier notifier;
  DriveDiscovery discovery(*machine_, notifier);
  std::vector<DriveRow> rows = discovery.Refresh(ViewMode::kPhysical);
  PutRecord(1, BuildCompletionRecord(512, 1));
  rows[1].method_text = "255,ゼロ";
  rows[1].record_kind = 2;
  ui_.view.on_write = [this](uint64_t p) {
    if (p >= (5u << 20)) workflow_.RequestCancel();
  };
  ui_.answers = {true, true, false};  // erase, erase again, do not save
  FakeHost host;
  EXPECT_EQ(SpeedButton2Click(workflow_, ui_, host, rows, 1, ViewMode::kPhysical), RecordLeft::kNone);
  EXPECT_EQ(workflow_.Outcome(), EraseOutcome::kInterruptedPartly);
  EXPECT_EQ(rows[1].record_kind, 0);
  EXPECT_EQ(rows[1].method_text, "");
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].record_kind, 0);
  EXPECT_EQ(EraseMethodText(host.messages[0].value), "");
}

TEST_F(WorkflowTest, DecliningTheResumeStartsAFreshZeroErase) {
  PutRecord(1, BuildResumeRecord(512, {2, 10, 1}));
  ui_.answers = {false};
  ui_.choice = {true, false, true, OverwriteMethod::kZeros};
  EXPECT_EQ(Erase(1), RecordLeft::kCompletion);
  ASSERT_EQ(ui_.confirm_requests.size(), 1u);
  EXPECT_EQ(ui_.confirm_requests[0].method, OverwriteMethod::kZeros);
  EXPECT_TRUE(ui_.confirm_requests[0].method_enabled);
  EXPECT_EQ(ui_.view.events.front(), "pass:現在の工程 1 / 1");
}

TEST_F(WorkflowTest, RecordsWithoutAUsableResumePointAreNotOffered) {
  PutRecord(1, BuildResumeRecord(512, {1, 0, 0}));  // nothing done yet
  EXPECT_EQ(Erase(1), RecordLeft::kCompletion);
  EXPECT_FALSE(Asked("前回の処理情報"));

  ui_.questions.clear();
  PutRecord(1, BuildResumeRecord(512, {7, 3, 0}));  // no such method
  EXPECT_EQ(Erase(1), RecordLeft::kCompletion);
  EXPECT_FALSE(Asked("前回の処理情報"));

  ui_.questions.clear();
  PutRecord(1, BuildResumeRecord(512, {1, 999999, 0}));  // beyond the drive
  EXPECT_EQ(Erase(1), RecordLeft::kCompletion);
  EXPECT_FALSE(Asked("前回の処理情報"));

  // Old records (no layout) at the end of the last pass: nothing is left
  // to write, so nothing may pass for erased. 61440 sectors: 30 chunks.
  for (const EraseRecordFields& end : {EraseRecordFields{0, 30, 0}, EraseRecordFields{1, 30, 1}}) {
    ui_.questions.clear();
    std::vector<uint8_t> junk(61440ull * 512, 0x6C);
    machine_->PokeDisk(1, 0, junk.data(), junk.size());
    PutRecord(1, BuildResumeRecord(512, end));
    ui_.choice = {true, false, true, OverwriteMethod::kZeros};
    EXPECT_EQ(Erase(1), RecordLeft::kCompletion);
    EXPECT_FALSE(Asked("前回の処理情報"));
    std::vector<uint8_t> disk = machine_->PeekDisk(1, 512, 61439ull * 512);
    EXPECT_TRUE(std::all_of(disk.begin(), disk.end(), [](uint8_t b) { return b == 0; }));
  }
}

TEST_F(WorkflowTest, ACancelInAWritePassSavesTheResumePointWhenAsked) {
  ui_.choice = {true, false, true, OverwriteMethod::kFfThenZeros};
  ui_.view.on_write = [&](uint64_t position) {
    if (position >= (8ull << 20)) workflow_.RequestCancel();
  };
  ui_.answers = {false};  // do not save
  EXPECT_EQ(Erase(1), RecordLeft::kNone);
  EXPECT_TRUE(Asked("途中で中断されました。この情報をドライブに保存すると続きから行えます。\n保存しますか？"));
  EXPECT_EQ(RecogniseForList(Sector0(1).data(), 512).kind, RecordKind::kNone);

  ui_.answers = {true};
  EXPECT_EQ(Erase(1), RecordLeft::kResume);
  EraseRecordFields saved;
  std::vector<uint8_t> sector = Sector0(1);
  EXPECT_EQ(RecogniseForErase(sector.data(), 512, saved), RecordKind::kResume);
  EXPECT_EQ(saved.EraseMethod, 1);
  EXPECT_EQ(saved.ResumePass, 0);
  EXPECT_EQ(saved.ResumeChunk, 8u);  // chunks are written four at a time
}

TEST_F(WorkflowTest, UnattendedCancelSavesWithoutAsking) {
  env_.unattended = true;
  ui_.view.on_write = [&](uint64_t) { workflow_.RequestCancel(); };
  EXPECT_EQ(Erase(1), RecordLeft::kResume);
  EXPECT_FALSE(Asked("途中で中断されました"));
}

// The erase is judged by how its worker ended, not by the cancel request:
// a cancel arriving after the last write leaves a completed erase, and a
// progress dialog that never ran the worker is no completion.
TEST_F(WorkflowTest, TheOutcomeIsWhatTheWorkerReturned) {
  ui_.after_progress = [&] { workflow_.RequestCancel(); };
  EXPECT_EQ(Erase(1), RecordLeft::kCompletion);
  EXPECT_EQ(Sector0(1), BuildCompletionRecord(512, 0));
  EXPECT_EQ(workflow_.Outcome(), EraseOutcome::kCompleted);

  ui_.after_progress = nullptr;
  ui_.run_worker = false;
  std::vector<uint8_t> junk(512, 0x5A);
  PutRecord(1, junk);
  EXPECT_EQ(Erase(1), RecordLeft::kNone);
  EXPECT_EQ(Sector0(1), junk);
  EXPECT_EQ(workflow_.Outcome(), EraseOutcome::kFailedUnwritten);
  ASSERT_EQ(env_.reported.size(), 1u);
  // It says so, rather than showing an empty message.
  EXPECT_EQ(env_.reported[0], "Target （E: F:）|消去の処理を開始できなかったため、消去を中止しました。"
                              "ドライブには何も書き込んでいません。");
}

// A sector no write reaches leaves the rest of the drive erased, and the
// drive without a completion record: it would vouch for that sector too.
TEST_F(WorkflowTest, AnEraseAroundABadSectorIsReportedAndWritesNoCompletionRecord) {
  PutRecord(2, BuildCompletionRecord(512, 0));
  ui_.answers = {true};
  EXPECT_EQ(Erase(2, "Broken （G:）"), RecordLeft::kNone);
  EXPECT_EQ(workflow_.Outcome(), EraseOutcome::kErasedWithExceptions);
  ASSERT_EQ(env_.reported.size(), 1u);
  EXPECT_EQ(env_.reported[0], "Broken （G:）|" + erase_text::ErasedWithExceptions({{40000, 1, 29}}, {}));
  EXPECT_EQ(Sector0(2), std::vector<uint8_t>(512, 0));
  EXPECT_EQ(env_.count, 0);
}

// A drive that stops answering ends the erase; what was flushed before is
// kept as a resume point, and the next erase offers to continue there.
TEST_F(WorkflowTest, AFailedEraseKeepsItsResumePoint) {
  PutRecord(6, BuildCompletionRecord(512, 0));
  EXPECT_EQ(Erase(6, "Unplugged"), RecordLeft::kResume);
  EXPECT_EQ(workflow_.Outcome(), EraseOutcome::kFailed);
  ASSERT_EQ(env_.reported.size(), 1u);
  EXPECT_EQ(env_.reported[0], "Unplugged|" + machine_->ErrorText(1167));
  EraseRecordFields fields;
  std::vector<uint8_t> sector = Sector0(6);
  ASSERT_EQ(RecogniseForErase(sector.data(), sector.size(), fields), RecordKind::kResume);
  EXPECT_FALSE(fields.Checkpoint);
  EXPECT_EQ(fields.ResumePass, 0);
  EXPECT_GT(fields.ResumeChunk, 0u);
  EXPECT_LE(uint64_t(fields.ResumeChunk) * fields.SectorsPerChunk, 40000u);
  EXPECT_EQ(env_.count, 0);
}

TEST_F(WorkflowTest, ARefusedLockStopsBeforeAnythingIsWritten) {
  EXPECT_EQ(Erase(3, "Locked （H:）"), RecordLeft::kNone);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0], "Locked （H:） を使用中のため、消去できません。このドライブを使っているプログラムを終了してから、"
                             "もう一度実行して下さい。\r\n" + machine_->ErrorText(5));
  EXPECT_TRUE(env_.operations.empty());
  EXPECT_EQ(machine_->DiskCounters(3).writes, 0u);
  EXPECT_EQ(machine_->OpenHandleCount(), 0u);
}

TEST_F(WorkflowTest, MountedVolumesOfTheDiskAreLockedAndDismountedFirst) {
  // Windows refuses raw writes into a mounted file system.
  platform::Result<std::unique_ptr<platform::Device>> raw = machine_->OpenDevice("\\\\.\\PHYSICALDRIVE1", platform::Access::kReadWrite);
  ASSERT_TRUE(raw.ok());
  std::vector<uint8_t> sector(512, 1);
  ASSERT_TRUE(raw.value()->SetPosition(1ull << 20).ok());  // the first sector of E:
  EXPECT_EQ(raw.value()->Write(sector.data(), 512).error(), 5u);
  raw.value().reset();

  // The erase takes E: and F: first, so the whole disk is written.
  std::vector<uint8_t> marker(512, 0xAB);
  machine_->PokeDisk(1, 21ull << 20, marker.data(), marker.size());
  EXPECT_EQ(Erase(1), RecordLeft::kCompletion);
  EXPECT_EQ(machine_->PeekDisk(1, 21ull << 20, 512), std::vector<uint8_t>(512, 0));
  EXPECT_EQ(machine_->OpenHandleCount(), 0u);  // and lets them go again
}

TEST_F(WorkflowTest, AVolumeInUseStopsThePhysicalEraseBeforeAnyWrite) {
  EXPECT_EQ(Erase(5, "Busy （J: K:）"), RecordLeft::kNone);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_NE(ui_.messages[0].find("ドライブ K: を使用中のため、消去できません。"), std::string::npos);
  EXPECT_EQ(machine_->DiskCounters(5).writes, 0u);
  EXPECT_TRUE(env_.operations.empty());
  EXPECT_EQ(machine_->OpenHandleCount(), 0u);
}

TEST_F(WorkflowTest, CancellingTheConfirmationErasesNothing) {
  ui_.choice.ok = false;
  EXPECT_EQ(Erase(1), RecordLeft::kNone);
  EXPECT_EQ(machine_->DiskCounters(1).writes, 0u);
  EXPECT_TRUE(ui_.progress_requests.empty());
}

TEST_F(WorkflowTest, PartitionViewErasesOnlyTheVolume) {
  std::vector<uint8_t> marker(512, 0xAB);
  machine_->PokeDisk(1, 21ull << 20, marker.data(), marker.size());  // first sector of F:
  EXPECT_EQ(workflow_.RunErase(DriveDesignator::Letter('E'), "Target 【 】 （E:）", ViewMode::kPartition), RecordLeft::kCompletion);
  EXPECT_EQ(machine_->PeekDisk(1, 1ull << 20, 512), BuildCompletionRecord(512, 0));
  EXPECT_EQ(machine_->PeekDisk(1, 21ull << 20, 512), marker);
}


TEST_F(WorkflowTest, TheEraseButtonUpdatesTheRowAndTellsTheOtherCopies) {
  test::RecordingNotifier notifier;
  DriveDiscovery discovery(*machine_, notifier);
  std::vector<DriveRow> rows = discovery.Refresh(ViewMode::kPhysical);
  ASSERT_EQ(rows.size(), 5u);
  FakeHost host;
  ui_.choice = {true, false, true, OverwriteMethod::kRandomFfThenZeros};
  EXPECT_EQ(SpeedButton2Click(workflow_, ui_, host, rows, 1, ViewMode::kPhysical), RecordLeft::kCompletion);
  EXPECT_TRUE(Asked("データの消去確認|Target （E: F:）\nこのドライブの内容を全て消去しますか？"));
  EXPECT_EQ(rows[1].method_text, "米国陸軍");
  EXPECT_EQ(rows[1].record_kind, 2);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0], (RowChangeMessage{false, 1, RowChangeMessage::kEraseResult, 2, 2}));
  EXPECT_EQ(host.calls, (std::vector<std::string>{"stop", "start", "shutdown"}));

  // The system drive's row is never erased, even if asked.
  ui_.questions.clear();
  EXPECT_EQ(SpeedButton2Click(workflow_, ui_, host, rows, 0, ViewMode::kPhysical), std::nullopt);
  EXPECT_TRUE(ui_.questions.empty());
  // Declined at the first question: no erase, no shutdown step; the drive
  // watch, stopped while the question was open, runs again.
  ui_.answers = {false};
  EXPECT_EQ(SpeedButton2Click(workflow_, ui_, host, rows, 1, ViewMode::kPhysical), std::nullopt);
  EXPECT_EQ(host.calls, (std::vector<std::string>{"stop", "start", "shutdown", "stop", "start"}));
  // A watch that was not running (a first start of this version) stays off.
  host.watching = false;
  ui_.answers = {false};
  EXPECT_EQ(SpeedButton2Click(workflow_, ui_, host, rows, 1, ViewMode::kPhysical), std::nullopt);
  EXPECT_EQ(host.calls.back(), "stop");
}

}  // namespace
}  // namespace plexi

namespace plexi {
namespace {

// Cancel anywhere in any write pass of any method, then resume: the drive
// ends all zeros with the completion record of the method.
struct CancelPoint {
  int32_t method;
  int32_t pass;
  bool at_boundary;  // right after the pass's last chunk, before the change
};

class CancelAndResumeTest : public WorkflowTest, public ::testing::WithParamInterface<CancelPoint> {};

TEST_P(CancelAndResumeTest, EndsWithEveryByteZeroAndTheRightRecord) {
  const CancelPoint point = GetParam();
  std::vector<uint8_t> junk(61440ull * 512, 0x6C);
  machine_->PokeDisk(1, 0, junk.data(), junk.size());
  const uint64_t pass_bytes = 61440ull * 512;
  const uint64_t stop_at = pass_bytes * uint64_t(point.pass) + (point.at_boundary ? pass_bytes : pass_bytes / 2);
  ui_.choice = {true, true, true, MethodOfCode(point.method).value()};
  ui_.view.on_write = [&](uint64_t position) {
    if (position >= stop_at) workflow_.RequestCancel();
  };
  ui_.answers = {true};  // save the resume point
  ASSERT_EQ(Erase(1), RecordLeft::kResume);

  ui_.view = test::RecordingView();
  ui_.answers = {true};  // continue where it stopped
  ui_.choice.method = OverwriteMethod::kZeros;  // ignored: a resumed erase keeps its method
  ASSERT_EQ(Erase(1), RecordLeft::kCompletion);
  // A stop after the last pass's last chunk leaves nothing to resume: the
  // drive is erased afresh, with the method chosen now.
  const bool nothing_left = point.at_boundary && point.pass == point.method;
  EXPECT_EQ(ui_.confirm_requests.back().caption.find("継続消去") != std::string::npos, !nothing_left);

  std::vector<uint8_t> disk = machine_->PeekDisk(1, 0, pass_bytes);
  EXPECT_EQ(std::vector<uint8_t>(disk.begin(), disk.begin() + 512),
            BuildCompletionRecord(512, nothing_left ? 0 : point.method));
  EXPECT_TRUE(std::all_of(disk.begin() + 512, disk.end(), [](uint8_t b) { return b == 0; }));
}

std::vector<CancelPoint> AllCancelPoints() {
  std::vector<CancelPoint> points;
  for (int32_t method = 0; method <= 2; ++method)
    for (int32_t pass = 0; pass <= method; ++pass)
      for (bool boundary : {false, true}) points.push_back({method, pass, boundary});
  return points;
}

INSTANTIATE_TEST_SUITE_P(EveryPass, CancelAndResumeTest, ::testing::ValuesIn(AllCancelPoints()),
                         [](const ::testing::TestParamInfo<CancelPoint>& info) {
                           return "Method" + std::to_string(info.param.method) + "Pass" +
                                  std::to_string(info.param.pass) + (info.param.at_boundary ? "End" : "Middle");
                         });

TEST_F(WorkflowTest, WhenWindowsEndsTheSessionTheResumePointIsSavedAndErrorsAreLogged) {
  env_.unattended = true;  // the session is ending
  ui_.view.on_write = [&](uint64_t) { workflow_.RequestCancel(); };
  EXPECT_EQ(Erase(1), RecordLeft::kResume);
  EXPECT_TRUE(ui_.questions.empty() || !Asked("途中で中断されました"));

  ui_.view.on_write = nullptr;
  ui_.answers = {false};  // no resume: a fresh erase that fails
  EXPECT_EQ(Erase(2, "Broken （G:）"), RecordLeft::kNone);
  ASSERT_EQ(env_.reported.size(), 1u);
  EXPECT_TRUE(ui_.messages.empty());
}

}  // namespace
}  // namespace plexi

namespace plexi {
namespace {

// A disk reached by a name the program does not parse, whose handle does
// not tell its device number: as \\?\GLOBALROOT\Device\Harddisk1\DR1 might.
class NamelessDisk : public platform::Device {
 public:
  explicit NamelessDisk(std::unique_ptr<platform::Device> inner) : inner_(std::move(inner)) {}
  platform::IoResult Read(void* b, uint32_t n) override { return inner_->Read(b, n); }
  platform::IoResult Write(const void* b, uint32_t n) override { return inner_->Write(b, n); }
  platform::Result<> SetPosition(uint64_t offset) override { return inner_->SetPosition(offset); }
  platform::IoResult Control(uint32_t c, const void* i, uint32_t il, void* o, uint32_t ol) override {
    if (c == winconst::kIoctlStorageGetDeviceNumber) return platform::IoResult::Failure(winconst::kErrorInvalidFunction);
    return inner_->Control(c, i, il, o, ol);
  }
  platform::Result<> Flush() override { return inner_->Flush(); }

 private:
  std::unique_ptr<platform::Device> inner_;
};

class AliasMachine : public test::ForwardingMachine {
 public:
  using ForwardingMachine::ForwardingMachine;
  platform::Result<std::unique_ptr<platform::Device>> OpenDevice(const std::string& path, platform::Access access) override {
    if (path != kAlias) return inner_.OpenDevice(path, access);
    platform::Result<std::unique_ptr<platform::Device>> r = inner_.OpenDevice("\\\\.\\PHYSICALDRIVE0", access);
    if (r.ok()) r.value() = std::make_unique<NamelessDisk>(std::move(r.value()));
    return r;
  }

  static constexpr char kAlias[] = "\\\\?\\GLOBALROOT\\Device\\Harddisk0\\DR0";
};

TEST(WorkflowPlacement, ADiskThatCannotBePlacedIsNeverWritten) {
  auto machine = test::MakeMachine(R"(
system-directory "C:\Windows\system32"
disk 0 size=1G bus=sata product="System"
volume C: disk=0 offset=1M
)");
  AliasMachine alias(*machine);
  ScriptedEraseUi ui;
  FakeEnvironment env;
  EstimateState estimate;
  EraseWorkflow workflow(alias, ui, env, estimate, Pacing{0, 0, 1, 0, 0, 0});
  EXPECT_EQ(workflow.RunErase(AliasMachine::kAlias, std::nullopt, "DR0", ViewMode::kPhysical), RecordLeft::kNone);
  EXPECT_EQ(ui.messages, std::vector<std::string>{kUnplacedRefusal});
  EXPECT_EQ(machine->DiskCounters(0).writes, 0u);
}

}  // namespace
}  // namespace plexi
