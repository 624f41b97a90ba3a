// What an erase did: to the drive's bytes (one outcome, decided once when
// the erase ends) and to its first sector (the record left there).
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "record/erase_record.h"

namespace plexi {

struct EraseJournal;

enum class EraseOutcome {
  kDeclined,             // the user said no before confirming: nothing done, nothing to report
  kRefused,              // the program wrote nothing: the drive may not or could not be erased
  kStoppedUnwritten,     // cancelled before the first write
  kFailedUnwritten,      // a write or read failed before anything reached the drive
  kCompleted,            // every pass written (and read back when asked), record as chosen
  kReadBackStopped,      // every pass written and recorded; the read-back was cancelled before its end
  kInterruptedSaved,     // stopped after writing; the resume record is on the drive
  kInterruptedPartly,    // stopped after writing, without a resume record
  kFailed,               // a write, read or record error after writing began
  kVerificationFailed,   // the read-back found bytes that are not zero; nothing recorded
  kReadBackFailed,       // every pass written, a read of the read-back failed; nothing recorded
  // Every pass went over the whole drive, but some sectors could not be
  // written or read back (they are listed); no completion record.
  kErasedWithExceptions,
};

// Whether the drive's contents may have changed: the program wrote to it,
// or the drive accepted its own purge command.
bool DriveTouched(EraseOutcome outcome);

// Whether every pass is on the drive (the read-back may still be short).
bool EveryPassWritten(EraseOutcome outcome);

// What the erase left in the drive's first sector. The numbers are the
// result of an erase, which the command-line tool prints; 0 to 2 are the
// record kinds.
enum class RecordLeft : int32_t {
  kNone = -1,        // nothing recorded: nothing done, failed, or stopped without a record
  kBlank = 0,        // completed, first sector left blank (no history)
  kResume = 1,       // interrupted, resume record written
  kCompletion = 2,   // completed, completion record written
};

// The record kind the drive list shows after an erase that left `left`
// (none for kNone, whose row shows what the drive holds instead).
RecordKind RecordKindAfter(RecordLeft left);

// Whether an erase that wrote every pass checked all of it in this run: a
// resumed erase did not, unless it read the whole drive back.
bool EarlierPartUnchecked(const EraseJournal& journal);

// How far the read-back got, in percent of the drive (rounded down).
int ReadBackPercent(const EraseJournal& journal);

// The one sentence that tells the user an erase that wrote every pass did
// not prove all of it (the read-back stopped, or a resumed erase not read
// back whole); nothing for any other end.
std::optional<std::string> CompletionNote(EraseOutcome outcome, const EraseJournal& journal);

}  // namespace plexi
