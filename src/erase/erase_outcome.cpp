#include "erase/erase_outcome.h"

#include <algorithm>

#include "erase/erase_journal.h"
#include "erase/erase_texts.h"

namespace plexi {

bool DriveTouched(EraseOutcome outcome) {
  switch (outcome) {
    case EraseOutcome::kDeclined:
    case EraseOutcome::kRefused:
    case EraseOutcome::kStoppedUnwritten:
    case EraseOutcome::kFailedUnwritten: return false;
    default: return true;
  }
}

bool EveryPassWritten(EraseOutcome outcome) {
  return outcome == EraseOutcome::kCompleted || outcome == EraseOutcome::kReadBackStopped;
}

RecordKind RecordKindAfter(RecordLeft left) {
  switch (left) {
    case RecordLeft::kResume: return RecordKind::kResume;
    case RecordLeft::kCompletion: return RecordKind::kComplete;
    default: return RecordKind::kNone;
  }
}

bool EarlierPartUnchecked(const EraseJournal& journal) {
  return journal.resumed && journal.verify != VerifyResult::kPassed;
}

int ReadBackPercent(const EraseJournal& journal) {
  if (journal.capacity_bytes == 0) return 0;
  return int(std::min<uint64_t>(100, journal.verify_bytes_read * 100 / journal.capacity_bytes));
}

std::optional<std::string> CompletionNote(EraseOutcome outcome, const EraseJournal& journal) {
  if (outcome == EraseOutcome::kReadBackStopped) return erase_text::ReadBackStopped(ReadBackPercent(journal));
  if (outcome == EraseOutcome::kCompleted && EarlierPartUnchecked(journal))
    return std::string(erase_text::kEarlierPartUnchecked);
  return std::nullopt;
}

}  // namespace plexi
