// The bookkeeping of one erase's journal: what the drive said of itself,
// what the user confirmed, what the worker did, every error; and the end
// of the story (the time, the measured duration) when the erase ends.
#pragma once
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "erase/worker_interface.h"
#include "erase/erase_journal.h"
#include "erase/erase_ui.h"
#include "platform/platform.h"

namespace plexi {

// A journal that names `target` (with the report's facts given for it)
// and is due for a report; nothing else is known yet.
EraseJournal JournalOfTarget(const EraseTarget& target);

class JournalKeeper {
 public:
  // Starts the journal of an erase of `target`; the report is due unless
  // the user declines before confirming.
  JournalKeeper(EraseJournal& journal, platform::Machine& machine, const EraseTarget& target);
  // Finishes it: the end time and how long the erase took.
  ~JournalKeeper();
  JournalKeeper(const JournalKeeper&) = delete;
  JournalKeeper& operator=(const JournalKeeper&) = delete;

  EraseJournal& operator*() { return journal_; }
  EraseJournal* operator->() { return &journal_; }
  const EraseJournal* operator->() const { return &journal_; }

  // Writing begins: the erase's times count from here.
  void RestartClock();
  // The drive as it answers for itself; read-only queries.
  void NoteDrive(platform::Device& drive, const DriveExtent& extent);
  void NoteConfirmed(const EraseParameters& params, bool resumed, bool save_history);
  void NoteRun(const WorkerReport& run, const EraseParameters& params);
  void NoteError(const std::string& message, uint32_t code, std::optional<uint64_t> sector = std::nullopt);

 private:
  EraseJournal& journal_;
  platform::Machine& machine_;
  std::chrono::steady_clock::time_point clock_;
};

}  // namespace plexi
