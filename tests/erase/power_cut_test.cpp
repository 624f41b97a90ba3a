// The power goes at every write of an erase in turn, with every unflushed
// write lost (or all but the last, as a cache that wrote that one first).
// Whatever the resume record left on the drive claims must be on the
// medium, it must be at most one checkpoint behind, and the erase resumed
// from it must end with every byte zero and read back.
#include <gtest/gtest.h>

#include "erase/erase_test_support.h"
#include "support/test_support.h"

namespace plexi {
namespace {

using test::FakeEnvironment;
using test::ScriptedEraseUi;

constexpr uint64_t kSectors = 61440;  // 30 MiB
constexpr uint64_t kBytes = kSectors * 512;
constexpr uint8_t kOldByte = 0x5A;
// A checkpoint every 6 MiB: several per pass.
constexpr uint64_t kCheckpointBytes = 6 << 20;
// The worker looks at the interval after each transfer of up to 4 MiB.
constexpr uint64_t kTransferBytes = 4 << 20;

std::string MachineText(uint64_t cut_after, bool keep_last) {
  std::string text = "disk 0 size=1G bus=11 product=\"System\"\nvolume C: disk=0 offset=1M length=900M\n"
                     "disk 1 sectors=" + std::to_string(kSectors) + " bus=11 product=\"Target\"\n";
  if (cut_after > 0)
    text += "fault disk=1 op=power-cut after=" + std::to_string(cut_after) + (keep_last ? " keep=last" : "") + "\n";
  return text;
}

struct Erase {
  explicit Erase(sim::SimMachine& machine)
      : workflow(machine, ui, env, estimate, Pacing{0, 0, 20, 0, 0, 0, 3600 * 1000, kCheckpointBytes}) {
    ui.choice = {true, true, true, OverwriteMethod::kFfThenZeros};
    env.unattended = true;
  }
  RecordLeft Run() { return workflow.RunErase(DriveDesignator::Physical(1), "Target", ViewMode::kPhysical); }

  ScriptedEraseUi ui;
  FakeEnvironment env;
  EstimateState estimate;
  EraseWorkflow workflow;
};

// Bytes [from, to) of the disk all hold `value` (or `other`).
bool AllAre(sim::SimMachine& machine, uint64_t from, uint64_t to, uint8_t value, int other = -1) {
  if (from >= to) return true;
  std::vector<uint8_t> bytes = machine.PeekDisk(1, from, to - from);
  auto it = std::find_if(bytes.begin(), bytes.end(), [&](uint8_t b) { return b != value && int(b) != other; });
  if (bytes.size() == to - from && it == bytes.end()) return true;
  ADD_FAILURE() << "byte " << from + uint64_t(it - bytes.begin()) << " holds " << int(*it);
  return false;
}

// What the first sector claims after the cut holds on the medium: the pass
// it names written up to its chunk, the pass before it whole (past the
// claim, the cut may have kept some of the claimed pass's writes).
void CheckClaim(sim::SimMachine& machine, const EraseRecordFields& claim, uint64_t chunk_bytes) {
  const uint64_t done = std::max<uint64_t>(512, uint64_t(claim.ResumeChunk) * chunk_bytes);
  if (claim.ResumePass == 0) {
    EXPECT_TRUE(AllAre(machine, 512, done, 0xFF)) << "claimed 0xFF up to " << done;
  } else {
    EXPECT_TRUE(AllAre(machine, 512, done, 0x00)) << "claimed zeros up to " << done;
    EXPECT_TRUE(AllAre(machine, done, kBytes, 0xFF, 0x00)) << "the first pass is not all on the medium";
  }
}

TEST(PowerCut, AtEveryWriteTheResumePointHoldsAndTheResumedEraseEndsAllZero) {
  uint64_t writes = 0;
  {
    std::unique_ptr<sim::SimMachine> machine = test::MakeMachine(MachineText(0, false));
    Erase erase(*machine);
    ASSERT_EQ(erase.Run(), RecordLeft::kCompletion);
    writes = machine->DiskCounters(1).writes;
  }
  ASSERT_GT(writes, 16u);
  int resumed = 0;
  for (bool keep_last : {false, true}) {
    for (uint64_t cut = 1; cut <= writes; ++cut) {
      SCOPED_TRACE("power cut at write " + std::to_string(cut) + (keep_last ? ", the last write kept" : ""));
      std::unique_ptr<sim::SimMachine> machine = test::MakeMachine(MachineText(cut, keep_last));
      std::vector<uint8_t> old(kBytes, kOldByte);
      ASSERT_TRUE(machine->PokeDisk(1, 0, old.data(), old.size()));
      Erase first(*machine);
      uint64_t reached = 0;  // bytes of the erase's passes the worker showed as written
      first.ui.view.on_write = [&](uint64_t shown) { reached = shown; };
      first.Run();
      EXPECT_EQ(first.workflow.Outcome(), EraseOutcome::kFailed);
      machine->RestorePower();

      std::vector<uint8_t> sector = machine->PeekDisk(1, 0, 512);
      EraseRecordFields claim;
      const RecordKind kind = RecogniseForErase(sector.data(), sector.size(), claim);
      const uint64_t chunk_bytes = uint64_t(first.workflow.Journal().sectors_per_chunk) * 512;
      // A completion record kept by the cut: every pass and the read-back were done.
      uint64_t claimed = kind == RecordKind::kComplete ? 2 * kBytes : 0;
      if (kind == RecordKind::kResume) {
        EXPECT_TRUE(claim.Checkpoint);
        CheckClaim(*machine, claim, chunk_bytes);
        claimed = uint64_t(claim.ResumePass) * kBytes + uint64_t(claim.ResumeChunk) * chunk_bytes;
      }
      // At most one checkpoint's worth (and the transfer that passed it) lost.
      EXPECT_LE(reached, claimed + kCheckpointBytes + kTransferBytes) << "claimed " << claimed;

      Erase second(*machine);
      EXPECT_EQ(second.Run(), RecordLeft::kCompletion);
      EXPECT_EQ(second.workflow.Outcome(), EraseOutcome::kCompleted);
      EXPECT_EQ(second.workflow.Journal().verify, VerifyResult::kPassed);
      EXPECT_EQ(second.workflow.Journal().earlier_run_ended_unexpectedly, kind == RecordKind::kResume);
      if (kind == RecordKind::kResume) {
        ++resumed;
        ASSERT_FALSE(second.ui.questions.empty());
        EXPECT_NE(second.ui.questions[0].find(erase_text::kUnexpectedEndLine), std::string::npos);
      }
      sector = machine->PeekDisk(1, 0, 512);
      EXPECT_EQ(std::string(sector.begin(), sector.begin() + 14), "plexi scrub ok");
      EXPECT_TRUE(AllAre(*machine, 512, kBytes, 0x00)) << "a byte is left after the resumed erase";
    }
  }
  // Most cuts come after the first checkpoint, and resume from one.
  EXPECT_GT(resumed, int(writes));
}

}  // namespace
}  // namespace plexi
