#include "erase/journal_keeper.h"

#include "drives/discovery.h"

namespace plexi {

EraseJournal JournalOfTarget(const EraseTarget& target) {
  EraseJournal journal;
  journal.due = true;
  journal.device_path = target.device_path;
  journal.designator = target.designator;
  journal.label = target.label;
  journal.view = target.view;
  journal.asset_number = target.asset_number;
  journal.media_source = target.media_source;
  return journal;
}

JournalKeeper::JournalKeeper(EraseJournal& journal, platform::Machine& machine, const EraseTarget& target)
    : journal_(journal), machine_(machine) {
  journal_ = JournalOfTarget(target);
  RestartClock();
}

JournalKeeper::~JournalKeeper() {
  journal_.ended = machine_.Now();
  journal_.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - clock_).count();
}

void JournalKeeper::RestartClock() {
  journal_.started = machine_.Now();
  clock_ = std::chrono::steady_clock::now();
}

void JournalKeeper::NoteDrive(platform::Device& drive, const DriveExtent& extent) {
  journal_.sector_size = extent.sector_size;
  journal_.sector_count = extent.sector_count;
  journal_.capacity_bytes = extent.Bytes();
  if (std::optional<DescriptorFacts> d = QueryDescriptor(drive); d && d->has_header) {
    journal_.drive.answered = true;
    journal_.drive.vendor = d->vendor;
    journal_.drive.product = d->product;
    journal_.drive.serial = d->serial;
    journal_.drive.revision = d->revision;
    journal_.drive.identity_source = d->identity_source;
    journal_.drive.bus_type = d->bus_type;
    journal_.drive.removable = d->removable;
  }
  journal_.drive.media = QueryMediaKind(drive);
}

void JournalKeeper::NoteConfirmed(const EraseParameters& params, bool resumed, bool save_history) {
  journal_.confirmed = true;
  journal_.method = params.EraseMethod;
  journal_.resumed = resumed;
  journal_.resume_chunk = params.ResumeChunk;
  journal_.resume_pass = params.ResumePass;
  journal_.sectors_per_chunk = params.SectorsPerChunk;
  journal_.chunk_count = params.ChunkCount;
  journal_.verify_requested = params.VerifyData;
  journal_.history_kept = save_history;
}

void JournalKeeper::NoteRun(const WorkerReport& run, const EraseParameters& params) {
  if (!params.VerifyData) {
    journal_.verify = VerifyResult::kNotAsked;
  } else if (run.cancelled || run.verify_cut_short || (run.failed && run.verify_passed)) {
    journal_.verify = VerifyResult::kNotFinished;
  } else {
    journal_.verify = run.verify_passed ? VerifyResult::kPassed : VerifyResult::kFailed;
  }
  journal_.verify_bytes_read = run.bytes_read;
  journal_.unwritten = run.unwritten;
  journal_.unreadable = run.unreadable;
  journal_.verify_ms = run.read_back_ms;
  if (run.first_nonzero_offset && params.BytesPerSector > 0)
    journal_.first_nonzero_sector = *run.first_nonzero_offset / params.BytesPerSector;
}

void JournalKeeper::NoteError(const std::string& message, uint32_t code, std::optional<uint64_t> sector) {
  journal_.errors.push_back({message, code, sector});
}

}  // namespace plexi
